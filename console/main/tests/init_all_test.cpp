// Setting the main window up from ZELK_SCR.ini: position, display mode, monitor grid, and the errors.
#include "engine_rigs.h"
#include "main/frm_zelk.h"
#include "testing/recorded_messages.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace zelk::console::testing {
namespace {

class InitAll : public ::testing::Test {
protected:
    InitAll() { recordedMessages().clear(); }
    std::unique_ptr<frmZELK> load(const QByteArray& settings) {
        directory.write(QStringLiteral("ZELK_SCR.ini"), settings);
        return std::make_unique<frmZELK>(rig);
    }
    static QString cell(const frmZELK& form, int row, int column) { return form.gridText(row, column); }

    ProgramDirectory directory;
    ManualRig rig{directory, false};
};

TEST_F(InitAll, BuildsTheIdleWindowFromTheSettings) {
    const auto form = load(screenSettings("0"));
    EXPECT_TRUE(recordedMessages().isEmpty()) << recordedMessages().join('\n').toStdString();
    EXPECT_EQ(form->pos(), QPoint(80, 80)) << "1200 twips";
    EXPECT_EQ(form->windowTitle(), "Varnel ZELK Ver0.30");
    EXPECT_EQ(form->size(), QSize(635, 255)) << "9525 x 3825 twips";

    ASSERT_EQ(form->cmbRevMode->count(), 2);
    EXPECT_EQ(form->cmbRevMode->itemText(0), "反転値");
    EXPECT_EQ(form->cmbRevMode->itemText(1), "制御値");
    EXPECT_EQ(form->cmbRevMode->currentIndex(), 0);

    ASSERT_EQ(form->gridRows(), 16);
    ASSERT_EQ(form->grdCtlData->columnCount(), 3);
    const QStringList names{"項目", "状態", "制御開始日", "制御開始時間", "経過時間(秒)", "ログ"};
    for (int row = 0; row < 16; ++row) {
        EXPECT_EQ(cell(*form, row, 0), row < names.size() ? names[row] : QString()) << row;
        EXPECT_EQ(cell(*form, row, 1), row == 0 ? QString("値") : QString()) << "no values yet, row " << row;
        EXPECT_EQ(cell(*form, row, 2), QString()) << row;
    }
    EXPECT_EQ(form->grdCtlData->columnWidth(0), 90);
    EXPECT_EQ(form->grdCtlData->columnWidth(1), 80);
    EXPECT_EQ(form->grdCtlData->columnWidth(2), 160);
    EXPECT_EQ(form->currentCellText(), "値") << "current cell: row 0, column 1";
    // Row 0 is the fixed header row: the table's header, which stays in view.
    EXPECT_EQ(form->grdCtlData->rowCount(), 15);
    EXPECT_EQ(form->grdCtlData->horizontalHeaderItem(0)->text(), "項目");
    EXPECT_EQ(form->grdCtlData->horizontalHeaderItem(1)->textAlignment(), int(Qt::AlignCenter));
    EXPECT_EQ(form->grdCtlData->item(2, 0)->textAlignment(), int(Qt::AlignLeft | Qt::AlignVCenter))
        << "row 3";

    // Idle: every pin not energized, shown complemented in mode 0.
    EXPECT_EQ(form->txtPortHex[0]->text(), "00");
    EXPECT_EQ(form->txtPortHex[1]->text(), "00");
    for (QLabel* mark : form->lblPort0) {
        EXPECT_EQ(mark->text(), "○");
        EXPECT_FALSE(mark->isEnabled());
    }
    for (QLabel* mark : form->lblPort1)
        EXPECT_FALSE(mark->isEnabled());
    EXPECT_TRUE(form->cmdStart->isEnabled());
    EXPECT_FALSE(form->cmdEnd->isEnabled());
    EXPECT_FALSE(form->cmdLgInit->isEnabled());
    EXPECT_FALSE(form->cmdLgEnd->isEnabled());
    EXPECT_FALSE(form->Command4->isEnabled());

    form->cmbRevMode->setCurrentIndex(1); // switching the mode while idle redraws from the last record
    EXPECT_EQ(form->txtPortHex[0]->text(), "FF");
    EXPECT_EQ(form->txtPortHex[1]->text(), "0F");
}

TEST_F(InitAll, TheShippedSettingsLoadAndTheColumnsFitTheGrid) {
    QFile sample(QStringLiteral(ZELK_SAMPLES_DIR "/ZELK_SCR.ini"));
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    const QByteArray bytes = sample.readAll();
    EXPECT_FALSE(bytes.contains("\n") && !bytes.contains("\r\n")) << "CRLF lines";
    const auto form = load(bytes);
    EXPECT_TRUE(recordedMessages().isEmpty()) << recordedMessages().join('\n').toStdString();
    EXPECT_EQ(form->cmbRevMode->currentIndex(), 0);
    int total = 0;
    for (int column = 0; column < 3; ++column)
        total += form->grdCtlData->columnWidth(column);
    const int scrollBar = form->grdCtlData->verticalScrollBar()->sizeHint().width();
    EXPECT_LE(total + scrollBar + 2 * form->grdCtlData->frameWidth(), form->grdCtlData->width())
        << "no horizontal scrolling next to the vertical scroll bar";
}

TEST_F(InitAll, WithoutTheFileTheWindowGoesToTheCornerAndTheGridIsNotBuilt) {
    const auto form = std::make_unique<frmZELK>(rig);
    ASSERT_EQ(recordedMessages().size(), 1);
    EXPECT_EQ(recordedMessages()[0], "initAll -型が一致しません (ELEC_ON_DSP):13");
    EXPECT_EQ(form->pos(), QPoint(0, 0));
    EXPECT_EQ(form->gridRows(), 0);
    EXPECT_EQ(form->cmbRevMode->count(), 2) << "the steps before the error keep their effect";
    EXPECT_FALSE(form->cmdEnd->isEnabled());

    // A run may still be monitored: drawing into the unbuilt grid is skipped.
    form->bRefreshAll = true;
    form->curData.events[0].passageSec = 1;
    form->refreshMonitor();
    EXPECT_EQ(form->gridRows(), 0);
}

TEST_F(InitAll, ABadDisplayModeEndsItAfterThePositionIsApplied) {
    const struct {
        QByteArray text;
        QString message;
    } cases[] = {
        {"2", "initAll -プロパティの値が不正です (ELEC_ON_DSP):380"},
        {"-2", "initAll -プロパティの値が不正です (ELEC_ON_DSP):380"},
        {"x", "initAll -型が一致しません (ELEC_ON_DSP):13"},
        {"", "initAll -型が一致しません (ELEC_ON_DSP):13"},
        {"40000", "initAll -オーバーフローしました (ELEC_ON_DSP):6"},
    };
    for (const auto& c : cases) {
        recordedMessages().clear();
        const auto form = load(screenSettings(c.text));
        ASSERT_EQ(recordedMessages().size(), 1) << c.text.toStdString();
        EXPECT_EQ(recordedMessages()[0], c.message);
        EXPECT_EQ(form->pos(), QPoint(80, 80));
        EXPECT_EQ(form->gridRows(), 0);
        EXPECT_EQ(form->txtPortHex[0]->text(), "") << "step 10 did not run";
        // The list has no selection, so a run shows the ports raw, as for -1.
        EXPECT_EQ(form->cmbRevMode->currentIndex(), -1);
        form->curData.port0 = 0xFE;
        form->curData.port1 = 0x0E;
        form->bRefreshAll = true;
        form->refreshMonitor();
        EXPECT_EQ(form->txtPortHex[0]->text(), "FE");
        EXPECT_EQ(form->txtPortHex[1]->text(), "0E");
    }
}

TEST_F(InitAll, OddButValidValues) {
    // No selection behaves like the control-value mode; a half rounds to the even neighbour.
    auto form = load(screenSettings("-1"));
    EXPECT_TRUE(recordedMessages().isEmpty());
    EXPECT_EQ(form->cmbRevMode->currentIndex(), -1);
    EXPECT_EQ(form->txtPortHex[0]->text(), "FF");
    EXPECT_EQ(form->txtPortHex[1]->text(), "0F");
    form = load(screenSettings(" 0.5 "));
    EXPECT_EQ(form->cmbRevMode->currentIndex(), 0);

    // Out of range or missing positions count as 0; negative positions are kept; a zero or negative width
    // hides its column.
    form = load("[SETTING]\r\nMAIN_TOP=40000\r\nMAIN_LEFT=-1200\r\nELEC_ON_DSP=1\r\nMAIN_VALUE_WIDTH=1200\r\n"
                "MAIN_VALLOG_WIDTH=-15\r\n");
    EXPECT_TRUE(recordedMessages().isEmpty());
    EXPECT_EQ(form->pos(), QPoint(-80, 0));
    EXPECT_TRUE(form->grdCtlData->isColumnHidden(0));
    EXPECT_FALSE(form->grdCtlData->isColumnHidden(1));
    EXPECT_TRUE(form->grdCtlData->isColumnHidden(2));
    EXPECT_EQ(form->gridRows(), 16);
}

TEST_F(InitAll, ControlsCarryTheirNamesAndArraysShareThem) {
    const auto form = load(screenSettings());
    EXPECT_EQ(form->findChildren<QLabel*>("lblPort0").size(), 8);
    EXPECT_EQ(form->findChildren<QLabel*>("lblPort1").size(), 4);
    EXPECT_EQ(form->findChildren<QPushButton*>("cmdOut").size(), 4);
    EXPECT_EQ(form->findChildren<QLineEdit*>("txtPortHex").size(), 2);
    EXPECT_EQ(form->findChildren<QLabel*>("Label2").size(), 10) << "Label2 has no element 3";
    EXPECT_EQ(form->findChildren<QPushButton*>("cmdMnCtl").size(), 6);
    EXPECT_EQ(form->findChild<QTableWidget*>("grdCtlData"), form->grdCtlData);
    EXPECT_EQ(form->cmdOut[3]->text(), "3");
    EXPECT_EQ(form->cmdOut[3]->geometry(), QRect(32, 72, 17, 17)) << "left 480, top 1080 in Port1";
    EXPECT_EQ(form->lblPort0[5]->geometry(), QRect(56, 56, 17, 17)) << "left 840, top 840 in Port0";
    EXPECT_EQ(form->Label2[9]->text(), "5");
    EXPECT_GE(form->Frame4->y(), form->height()) << "below the visible client area";
    EXPECT_EQ(form->cmdMnCtl[5]->text(), "手動制御05");
    EXPECT_EQ(form->cmdCpy->text(), "値コピー(&C)");
}

} // namespace
} // namespace zelk::console::testing

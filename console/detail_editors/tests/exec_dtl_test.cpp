// The action-detail editor: its lists for "CALC" and for "LOG ", the work row read and written back.
#include "common/ansi.h"
#include "common/ini.h"
#include "common/text_helpers.h"
#include "detail_editors/frm_exec_dtl.h"
#include "testing/recorded_messages.h"
#include "testing/work_folder_scope.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace zelk::console {
namespace {

using testing::recordedMessages;

const QStringList kOperands{"", "VAR :変数", "VARM:変数(1/100)", "SVAR:システム変数", "CNST:固定値"};
const QStringList kOperators{"",          "+   :加算",   "-   :減算",   "x   :乗算",        "/   :除算",
                             "%   :剰余", "&   :論理積", "|   :論理和", "^   :排他的論理和"};

QStringList items(const QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

class ExecDtl : public ::testing::Test {
protected:
    ExecDtl() : grdWkLG(1, 14) {
        recordedMessages().clear();
        cmbExec.addItems(
            {"NONE:なし", "OUT :固定出力", "OUTR:反転出力", "CALC:計算", "CLIP:ｸﾘｯﾌﾟﾎﾞｰﾄﾞ", "LOG :ログ出力"});
        writeFile("[LG_CONTENTS]\r\nVARIABLE_CNT=8\r\n[LG_VAR_DEF]\r\nVAR_NAME_00=開始\r\n"
                  "VAR_NAME_03= COUNT \r\nVAR_NAME_04=   \r\nVAR_NAME_07=LAST\r\n");
    }

    void writeFile(const QString& text) {
        QFile file(dir.filePath(kLogicFile));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(toAnsi(text)));
    }
    void setAction(const QString& kind) {
        cmbExec.setCurrentIndex(cmbExec.findText(kind, Qt::MatchStartsWith));
    }
    void setRow(const QStringList& cells) {
        for (int c = 0; c < 14; ++c)
            grdWkLG.setItem(0, c, new QTableWidgetItem(cells.value(c)));
    }
    QStringList row() const {
        QStringList cells;
        for (int c = 0; c < 14; ++c)
            cells << (grdWkLG.item(0, c) ? grdWkLG.item(0, c)->text() : "<none>");
        return cells;
    }

    QTemporaryDir dir;
    testing::WorkFolderScope workFolder{dir.path()};
    QComboBox cmbExec;
    QTableWidget grdWkLG;
};

TEST_F(ExecDtl, CalcAlternatesOperandsAndOperatorsOtherActionsOfferOperandsOnly) {
    const QStringList data{"",
                           "10MS CNT    :ミリ秒カウンタ",
                           "PORT 0      :ポート０値",
                           "PORT 1      :ポート１",
                           "00          :開始",
                           "03          :COUNT",
                           "07          :LAST"};
    setAction("CALC");
    frmExecDtl calc(&cmbExec, &grdWkLG);
    calc.setPara(12);
    EXPECT_EQ(calc.lblLineNo->text(), "0012");
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(items(calc.cmbDetl[k]), k % 2 == 0 ? kOperands : kOperators) << k;
        EXPECT_EQ(items(calc.cmbDetlData[k]), data) << k;
        EXPECT_EQ(calc.lblVarCnt[k]->text(), QStringLiteral("処理0%1").arg(k));
    }

    for (const char* action : {"LOG ", "CLIP"}) {
        setAction(action);
        frmExecDtl log(&cmbExec, &grdWkLG);
        log.setPara(7);
        EXPECT_EQ(log.lblLineNo->text(), "0007");
        for (int k = 0; k < 7; ++k)
            EXPECT_EQ(items(log.cmbDetl[k]), kOperands) << action << k;
    }
}

TEST_F(ExecDtl, AWorkRowComesBackUnchangedThroughOk) {
    setAction("CALC");
    const QStringList cells{"VAR ",         "03          ", "+   ",         "PORT 0      ", "CNST",
                            "100         ", "x   ",         "00          ", "VARM",         "05          ",
                            "^   ",         "ﾃｽﾄ         ", "SVAR",         "10MS CNT    "};
    setRow(cells);
    frmExecDtl form(&cmbExec, &grdWkLG);
    form.setPara(0);
    EXPECT_EQ(form.cmbDetl[0]->currentText(), "VAR :変数");
    EXPECT_EQ(form.cmbDetlData[0]->currentText(), "03          :COUNT");
    EXPECT_EQ(form.cmbDetlData[4]->currentIndex(), -1) << "variable 05 has no name: the text stands as typed";
    EXPECT_EQ(form.cmbDetlData[4]->currentText(), "05") << "shown without the field's padding";
    form.cmdOK->click();
    EXPECT_EQ(row(), cells);
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(ExecDtl, KindsARowDoesNotOfferAndEmptyCellsBecomeBlankFields) {
    setAction("LOG ");
    setRow({"NONE", "", "+   ", "03          ", ""}); // empty texts, not null ones, in cells 1 and 4
    frmExecDtl form(&cmbExec, &grdWkLG);
    form.setPara(1);
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(form.cmbDetl[k]->currentIndex(), 0) << k;
        if (k != 1) {
            EXPECT_EQ(form.cmbDetlData[k]->currentIndex(), 0) << k;
        }
    }
    form.cmdOK->click();
    QStringList expected;
    for (int k = 0; k < 7; ++k)
        expected << "    "
                 << "            ";
    expected[3] = "03          ";
    EXPECT_EQ(row(), expected);
}

// A click to the right of stored data puts the cursor right after it; typed data that does not fit its 12
// bytes is refused with a message, never cut.
TEST_F(ExecDtl, TypedDataIsKeptWholeOrRefused) {
    setAction("CLIP");
    setRow({"CNST", "            "}); // a constant stored empty
    frmExecDtl form(&cmbExec, &grdWkLG);
    form.setPara(0);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(form.cmbDetlData[0]->currentIndex(), 0) << "blank data is the empty item";
    QLineEdit* edit = form.cmbDetlData[0]->lineEdit();
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() - 3, edit->height() / 2));
    QTest::keyClicks(edit, "7");
    form.cmbDetl[1]->setCurrentIndex(4);
    form.cmbDetlData[1]->setEditText("あいうえおかき"); // 14 bytes
    form.cmbDetlData[2]->setEditText("1234567890123");
    const QStringList before = row();
    form.cmdOK->click();
    EXPECT_EQ(recordedMessages(), QStringList{"処理01のデータが12バイトを超えています"})
        << "the first row only";
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(row(), before) << "nothing is written";

    recordedMessages().clear();
    form.cmbDetlData[1]->setEditText(QStringLiteral("é")); // no code page 932 form: refused, not "?"
    form.cmdOK->click();
    EXPECT_EQ(recordedMessages(), QStringList{"処理01のデータにShift-JISで保存できない文字があります(é)"});
    EXPECT_EQ(row(), before);

    recordedMessages().clear();
    form.cmbDetlData[1]->setEditText("あいうえおか"); // 12 bytes
    form.cmbDetlData[2]->setEditText("123456789012");
    form.cmbDetlData[3]->setCurrentIndex(2); // an item: its label is not part of the field
    form.cmdOK->click();
    EXPECT_TRUE(recordedMessages().isEmpty());
    const QStringList cells = row();
    EXPECT_EQ(cells.mid(0, 8), QStringList({"CNST", "7           ", "CNST", "あいうえおか", "    ",
                                            "123456789012", "    ", "PORT 0      "}));
    for (int c = 0; c < 14; ++c)
        EXPECT_EQ(byteLength(cells[c]), c % 2 == 0 ? 4 : 12) << c;
}

TEST_F(ExecDtl, CancelAndCloseWriteNothing) {
    setAction("CALC");
    grdWkLG.setItem(0, 0, new QTableWidgetItem("VAR "));
    grdWkLG.setItem(0, 1, new QTableWidgetItem("7"));
    const QStringList before = row();
    for (bool byCloseBox : {false, true}) {
        frmExecDtl form(&cmbExec, &grdWkLG);
        form.setPara(3);
        form.show();
        form.cmbDetl[0]->setCurrentIndex(3);
        form.cmbDetlData[1]->setEditText("999");
        if (byCloseBox) {
            form.close();
        } else {
            form.cmdCancel->click();
        }
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(row(), before) << "closed by " << (byCloseBox ? "close box" : "cancel");
    }
}

TEST_F(ExecDtl, ModalShowReturnsAfterOk) {
    setAction("CALC");
    QWidget opener;
    opener.move(90, 60);
    frmExecDtl form(&cmbExec, &grdWkLG, &opener);
    EXPECT_EQ(form.pos(), opener.pos()) << "placed at the opener's top-left corner";
    form.setPara(2);
    QTimer::singleShot(0, [] {
        auto* shown = qobject_cast<frmExecDtl*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        shown->cmbDetl[1]->setCurrentIndex(8);
        shown->cmdOK->click();
    });
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    EXPECT_EQ(grdWkLG.item(0, 2)->text(), "^   ");
}

TEST_F(ExecDtl, AVariableCountThatIsNoNumberKeepsTheDialogFromShowing) {
    writeFile("[LG_VAR_DEF]\r\nVAR_NAME_00=A\r\n");
    setAction("CALC");
    setRow({"VAR ", "00          "});
    const QStringList before = row();
    frmExecDtl form(&cmbExec, &grdWkLG);
    form.setPara(0);
    ASSERT_TRUE(form.fillError());
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(recordedMessages(), QStringList{"cmdPinView_Click-型が一致しません:13"});
    EXPECT_EQ(row(), before);

    // A count of 0 is a number: no variable items, no error.
    writeFile("[LG_CONTENTS]\r\nVARIABLE_CNT=0\r\n[LG_VAR_DEF]\r\nVAR_NAME_00=A\r\n");
    form.setPara(0);
    EXPECT_FALSE(form.fillError());
    EXPECT_EQ(form.cmbDetlData[0]->count(), 4);
}

} // namespace
} // namespace zelk::console

// The pin editor: the three modes and their marks, port switching, the code handed back, refused texts.
#include "common/message.h"
#include "detail_editors/frm_pin_edit.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace zelk::console {
namespace {

QString marks(const auto& labels) {
    QString text;
    for (const QLabel* mark : labels)
        text += mark->text();
    return text;
}

bool allEnabled(const auto& controls, bool enabled) {
    for (const QWidget* control : controls)
        if (control->isEnabled() != enabled) return false;
    return true;
}

TEST(PinEdit, PinSelectionMarksSetBitsOnPortZero) {
    frmPinEdit form;
    ASSERT_FALSE(form.setPara("", -1, "ピン選択"));
    EXPECT_TRUE(form.OptPort[0]->isChecked());
    EXPECT_EQ(form.txtPortHex->text(), "000");
    EXPECT_EQ(marks(form.lblPort0), "○○○○○○○○");
    EXPECT_TRUE(allEnabled(form.cmdPort0, true) && allEnabled(form.lblPort0, true));
    EXPECT_TRUE(allEnabled(form.cmdPort1, false) && allEnabled(form.lblPort1, false));
    EXPECT_TRUE(allEnabled(form.OptPort, true)) << "the port follows the code and may be switched";
    EXPECT_EQ(form.txtExplain->toPlainText(), "比較するピンを選択\n(補足:比較するピンを●に設定)");

    form.cmdPort0[3]->click();
    form.cmdPort0[7]->click();
    EXPECT_EQ(form.txtPortHex->text(), "088");
    EXPECT_EQ(marks(form.lblPort0), "○○○●○○○●");
    form.cmdPort0[7]->click();
    EXPECT_EQ(form.txtPortHex->text(), "008") << "a second press restores the bit";
}

TEST(PinEdit, PortValueAndOutputMarkClearBits) {
    frmPinEdit form;
    ASSERT_FALSE(form.setPara("000", -1, "ポート値"));
    EXPECT_EQ(marks(form.lblPort0), "●●●●●●●●");
    form.cmdPort0[3]->click();
    EXPECT_EQ(form.txtPortHex->text(), "008");
    EXPECT_EQ(marks(form.lblPort0), "●●●○●●●●");
    EXPECT_EQ(form.txtExplain->toPlainText(), "ポート値を設定\n(補足:KALDEX制御値は通電時ビットOFF)");

    // Output: Port 1 fixed whatever the first character; bits 4 to 7 stay in the code.
    ASSERT_FALSE(form.setPara("0FF", 1, "出力"));
    EXPECT_EQ(form.txtPortHex->text(), "1FF");
    EXPECT_TRUE(form.OptPort[1]->isChecked());
    EXPECT_TRUE(allEnabled(form.OptPort, false));
    EXPECT_TRUE(allEnabled(form.cmdPort0, false) && allEnabled(form.lblPort0, false));
    EXPECT_TRUE(allEnabled(form.cmdPort1, true));
    EXPECT_EQ(marks(form.lblPort1), "○○○○");
    EXPECT_EQ(marks(form.lblPort0), "○○○○○○○○");
    form.cmdPort1[0]->click();
    EXPECT_EQ(form.txtPortHex->text(), "1FE");
    EXPECT_EQ(marks(form.lblPort1), "●○○○");
    EXPECT_EQ(form.txtExplain->toPlainText(), "出力するピンを選択\n(補足:KALDEX制御値はビットOFFで通電)");

    // A text that is no mode keeps the explanation and marks like the control-value modes.
    ASSERT_FALSE(form.setPara("10E", -1, "他"));
    EXPECT_EQ(marks(form.lblPort1), "●○○○");
    EXPECT_EQ(form.txtExplain->toPlainText(), "出力するピンを選択\n(補足:KALDEX制御値はビットOFFで通電)");
}

TEST(PinEdit, SwitchingPortsKeepsBothPatterns) {
    frmPinEdit form;
    ASSERT_FALSE(form.setPara("0A5", -1, "ピン選択"));
    EXPECT_EQ(marks(form.lblPort0), "●○●○○●○●");
    form.OptPort[1]->click();
    EXPECT_EQ(form.txtPortHex->text(), "100");
    EXPECT_TRUE(allEnabled(form.cmdPort0, false) && allEnabled(form.cmdPort1, true));
    EXPECT_EQ(marks(form.lblPort0), "○○○○○○○○") << "the other port's marks are cleared";
    form.cmdPort1[0]->click();
    EXPECT_EQ(form.txtPortHex->text(), "101");
    form.OptPort[0]->click();
    EXPECT_EQ(form.txtPortHex->text(), "0A5");
    EXPECT_EQ(marks(form.lblPort0), "●○●○○●○●");
    EXPECT_EQ(marks(form.lblPort1), "○○○○");
    form.OptPort[1]->click();
    EXPECT_EQ(form.txtPortHex->text(), "101");
    form.OptPort[0]->click();
    form.cmdOK->click();
    EXPECT_EQ(form.retPinCode("0A5"), "0A5");
}

TEST(PinEdit, CodesComeBackNormalisedAfterOk) {
    const struct {
        const char* given;
        const char* returned;
    } cases[] = {
        {"0ab", "0AB"}, {"0F", "00F"},      {"1", "100"},
        {"1e", "10E"},  {"0a5junk", "0A5"}, {"03          ", "003"}, // a blank ends the hexadecimal number
        {"0 3", "000"}, {"x12", "012"}, // a first character that is no digit is Port 0
    };
    for (const auto& c : cases) {
        frmPinEdit form;
        ASSERT_FALSE(form.setPara(c.given, -1, "ピン選択")) << c.given;
        form.cmdOK->click();
        EXPECT_EQ(form.retPinCode(c.given), c.returned) << c.given;
    }
}

TEST(PinEdit, CancelAndCloseReturnTheCallersTextUnchanged) {
    frmPinEdit form;
    ASSERT_FALSE(form.setPara("0a", -1, "ポート値"));
    form.show();
    form.cmdPort0[0]->click();
    form.cmdCancel->click();
    EXPECT_TRUE(form.isHidden());
    EXPECT_EQ(form.retPinCode("0a"), "0a");

    // An earlier OK does not count for the next use: setPara starts over.
    form.cmdOK->click();
    ASSERT_FALSE(form.setPara("1 ", -1, "ピン選択"));
    form.show();
    form.cmdPort1[2]->click();
    form.close();
    EXPECT_EQ(form.retPinCode("1 "), "1 ");
}

TEST(PinEdit, TextsThatNameNoPortOrPatternAreRefused) {
    const struct {
        const char* data;
        int port;
        int number;
    } cases[] = {
        {"10MS CNT    :ミリ秒カウンタ", -1, 13},
        {"0G1", -1, 13},
        {"0ミ", -1, 13},
        {"01\t", -1, 13},
        {"2A5", -1, 340},
        {"000", 2, 340},
    };
    for (const auto& c : cases) {
        frmPinEdit form;
        const std::optional<FormError> error = form.setPara(c.data, c.port, "ピン選択");
        ASSERT_TRUE(error) << c.data;
        EXPECT_EQ(error->number, c.number) << c.data;
        EXPECT_EQ(form.retPinCode(c.data), c.data);
    }
    frmPinEdit form;
    const std::optional<FormError> error = form.setPara("9", -1, "出力");
    ASSERT_TRUE(error);
    EXPECT_EQ(procedureError("cmdPinView_Click", error->description, error->number),
              "cmdPinView_Click-コントロール配列の要素 '9' は存在しません:340");
}

TEST(PinEdit, ModalShowEndsWithOkAndLeavesTheFormForRetPinCode) {
    QWidget opener;
    opener.move(70, 40);
    auto* form = new frmPinEdit(&opener);
    EXPECT_EQ(form->pos(), opener.pos()) << "placed at the opener's top-left corner";
    ASSERT_FALSE(form->setPara("1", 1, "出力"));
    QTimer::singleShot(0, [] {
        auto* shown = qobject_cast<frmPinEdit*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        shown->cmdPort1[3]->click();
        shown->cmdOK->click();
    });
    EXPECT_EQ(form->exec(), QDialog::Accepted);
    EXPECT_EQ(form->retPinCode("1"), "108");
    delete form;
}

} // namespace
} // namespace zelk::console

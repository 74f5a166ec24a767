// The main window with the engine's real 10 ms timer and a virtual board served on a socket of a private
// directory, as a user sees it.
#include "common/ansi.h"
#include "engine_rigs.h"
#include "hid/backends.h"
#include "loop_script.h"
#include "main/frm_zelk.h"
#include "testing/program_builder.h"
#include "testing/recorded_messages.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace zelk::console::testing {
namespace {
using namespace Qt::Literals::StringLiterals;

class BoardRun : public ::testing::Test {
protected:
    BoardRun() {
        recordedMessages().clear();
        directory.write(QStringLiteral("ZELK_SCR.ini"), screenSettings("0"));
        directory.write(
            QStringLiteral("LogicCtl.ini"),
            QByteArray::fromStdString(
                test::ProgramBuilder()
                    .lines({test::lineText(
                        {{"NEW "}, {"PIN ", "001"}, {"STS ", "STOP->ELEC"}, {"NONE"}, {"OUTR", "101"}})})
                    .text()));
        form = std::make_unique<frmZELK>(rig);
    }
    QString cell(int row, int column) const { return form->gridText(row, column); }

    ProgramDirectory directory;
    SocketRig rig{directory};
    std::unique_ptr<frmZELK> form;
};

TEST_F(BoardRun, APressOnTheBoardTogglesTheOutputAndTheButtonsToggleItByHand) {
    ASSERT_TRUE(rig.plugIn());
    const bool done =
        runControl(*form, rig,
                   {
                       [&] { return rig.board.commandCount(3) > 10; },
                       [&] {
                           EXPECT_EQ(cell(2, 1), "2026/03/04");
                           EXPECT_EQ(cell(3, 1), "15:06:07");
                           rig.board.setPin(0, true);
                           return true;
                       },
                       [&] { return form->lblPort0[0]->text() == "●" && form->lblPort1[0]->text() == "●"; },
                       [&] {
                           EXPECT_EQ(form->txtPortHex[0]->text(), "01");
                           EXPECT_EQ(form->txtPortHex[1]->text(), "01");
                           EXPECT_EQ(rig.board.port1Output(), 0x0E);
                           form->cmdOut[3]->click();
                           return true;
                       },
                       [&] { return rig.board.port1Output() == 0x06 && form->lblPort1[3]->text() == "●"; },
                       [&] { return cell(4, 1).toInt() >= 1; }, // the seconds are counted
                   });
    EXPECT_TRUE(done);
    EXPECT_TRUE(recordedMessages().isEmpty()) << recordedMessages().join('\n').toStdString();
    EXPECT_EQ(rig.data().state, ZELK_STATE_CLOSED);
    EXPECT_EQ(rig.toggleMasks, std::vector<std::uint8_t>{8});
}

TEST_F(BoardRun, UnpluggingTheBoardStopsTheRun) {
    ASSERT_TRUE(rig.plugIn());
    const bool done = runControl(*form, rig,
                                 {[&] { return rig.board.commandCount(3) > 10; },
                                  [&] {
                                      rig.board.disconnect();
                                      return true;
                                  }},
                                 AfterSteps::WaitForTheLoop);
    EXPECT_TRUE(done);
    EXPECT_EQ(recordedMessages(), QStringList{"KALDEX 制御停止"});
    EXPECT_EQ(rig.calls.mid(rig.calls.size() - 2), (QStringList{"close", "get"}));
    EXPECT_TRUE(form->cmdStart->isEnabled());
    EXPECT_FALSE(form->cmdEnd->isEnabled());
}

TEST_F(BoardRun, WithoutABoardTheStartFailsAndSaysWhereBoardsAreLookedFor) {
    form->cmdStart->click();
    EXPECT_EQ(
        recordedMessages(),
        QStringList{u"KALDEX オープン失敗\nボードが見つかりません。USBの接続と、仮想ボードのフォルダ "_s +
                    QString::fromStdString(rig.boardDirectory()) +
                    u" (KALDEX_BOARD_DIR) を確認してください。仮想ボードは kaldex-sim で起動します"_s});
    EXPECT_EQ(rig.calls, QStringList{"open"});
    CtlData data = rig.data();
    EXPECT_EQ(fromAnsi(data.events[0].text), "KALDEXオープン失敗") << "the engine's reason, not polled";
    EXPECT_EQ(cell(1, 1), "");
}

TEST_F(BoardRun, ABoardHeldByAnotherProgramIsNamedInUse) {
    ASSERT_TRUE(rig.plugIn());
    const std::string socket = rig.boardDirectory() + "/kaldex0.sock";
    const auto otherProgram = hid::makeVirtualBackend(rig.boardDirectory())->open(socket);
    ASSERT_NE(otherProgram, nullptr);
    form->cmdStart->click();
    EXPECT_EQ(recordedMessages(),
              QStringList{u"KALDEX オープン失敗\nボード "_s + QString::fromStdString(socket) +
                          u" は他のプログラムが使用中です"_s});
    EXPECT_TRUE(form->cmdStart->isEnabled());
}

} // namespace
} // namespace zelk::console::testing

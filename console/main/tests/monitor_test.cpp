// The main window's monitor and control during a run, against an engine object whose cycles the test fires
// one at a time (board model in-process), so every poll sees a known engine state.
#include "common/ansi.h"
#include "engine_rigs.h"
#include "loop_script.h"
#include "main/frm_zelk.h"
#include "main/termination_signals.h"
#include "testing/program_builder.h"
#include "testing/recorded_messages.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

namespace zelk::console::testing {
namespace {

using test::lineText;

// Input pin 0 energized toggles output pin 0; each press also logs a row: "押下", TAB, the port-0 value.
std::vector<std::string> togglingProgram() {
    const std::string pressed = toAnsi(QStringLiteral("押下"));
    return {
        lineText({{"NEW "}, {"PIN ", "001"}, {"STS ", "STOP->ELEC"}, {"NONE"}, {"OUTR", "101"}}),
        lineText({{"NEXT"}, {"NONE"}, {"NONE"}, {"NONE"}, {"LOG "}, {"CNST", pressed}, {"SVAR", "PORT 0"}})};
}

class Monitor : public ::testing::Test {
protected:
    Monitor() {
        recordedMessages().clear();
        directory.write(QStringLiteral("ZELK_SCR.ini"), screenSettings("0"));
        directory.write(QStringLiteral("LogicCtl.ini"),
                        QByteArray::fromStdString(test::ProgramBuilder().lines(togglingProgram()).text()));
        form = std::make_unique<frmZELK>(rig);
        form->setSleepFunction([this](int ms) { sleeps.push_back(ms); });
    }
    QString cell(int row, int column) const { return form->gridText(row, column); }
    // Fires cycles until the echoed count read by the next poll is a multiple of 25 (or, with
    // onQuarter false, is not).
    void cyclesUntilQuarter(bool onQuarter) {
        do
            rig.cycles(1);
        while ((rig.data().tick10ms % 25 == 0) != onQuarter);
    }

    ProgramDirectory directory;
    ManualRig rig{directory};
    std::unique_ptr<frmZELK> form;
    std::vector<int> sleeps;
};

TEST_F(Monitor, ARunShowsTheRecordAndEndsOnePollAfterTheStopClick) {
    int pollsAtStop = 0;
    const bool done = runControl(*form, rig,
                                 {
                                     [&] {
                                         // The first poll redraws everything.
                                         EXPECT_FALSE(form->cmdStart->isEnabled());
                                         EXPECT_TRUE(form->cmdEnd->isEnabled());
                                         for (QLabel* mark : form->lblPort0)
                                             EXPECT_TRUE(mark->isEnabled());
                                         for (QLabel* mark : form->lblPort1)
                                             EXPECT_TRUE(mark->isEnabled());
                                         EXPECT_EQ(cell(1, 1), "3");
                                         EXPECT_EQ(cell(2, 1), "2026/12/07");
                                         EXPECT_EQ(cell(3, 1), "09:05:03");
                                         EXPECT_EQ(cell(4, 1), "0");
                                         for (int row = 5; row < 16; ++row)
                                             EXPECT_EQ(cell(row, 1), "") << "empty entries, row " << row;
                                         rig.cycles(3);
                                         return true;
                                     },
                                     [&] {
                                         rig.board.setPin(0, true);
                                         rig.cycles(2);
                                         return true;
                                     },
                                     [&] {
                                         EXPECT_EQ(form->lblPort0[0]->text(), "●");
                                         EXPECT_EQ(form->lblPort0[1]->text(), "○");
                                         EXPECT_EQ(form->txtPortHex[0]->text(), "01")
                                             << "mode 0: a set bit for an energized pin";
                                         EXPECT_EQ(form->lblPort1[0]->text(), "●") << "the toggled output";
                                         EXPECT_EQ(form->txtPortHex[1]->text(), "01");
                                         EXPECT_EQ(rig.board.port1Output(), 0x0E);
                                         form->cmbRevMode->setCurrentIndex(1);
                                         EXPECT_EQ(form->txtPortHex[0]->text(), "FE");
                                         EXPECT_EQ(form->txtPortHex[1]->text(), "0E");
                                         cyclesUntilQuarter(true);
                                         return true;
                                     },
                                     [&] {
                                         // The press was logged; the grid shows it at the quarter second.
                                         EXPECT_EQ(cell(5, 2), "押下\t254");
                                         EXPECT_TRUE(cell(5, 1).contains('.'));
                                         EXPECT_EQ(cell(6, 1), "") << "still an empty entry";
                                         pollsAtStop = rig.count("get");
                                         form->cmdEnd->click();
                                         EXPECT_TRUE(form->cmdEnd->isEnabled())
                                             << "the loop is still in this pass";
                                         return true;
                                     },
                                 });
    EXPECT_TRUE(done);
    // The pass of the click still polls once; after the close, one more read asks for the log file's fate.
    EXPECT_EQ(rig.count("get"), pollsAtStop + 2) << "the pass of the click still polls once";
    EXPECT_EQ(rig.calls.first(), "open");
    EXPECT_EQ(rig.calls.mid(rig.calls.size() - 2), (QStringList{"close", "get"}));
    EXPECT_EQ(rig.count("close"), 1);
    EXPECT_TRUE(recordedMessages().isEmpty()) << recordedMessages().join('\n').toStdString();
    for (int ms : sleeps)
        EXPECT_EQ(ms, 5);
    EXPECT_EQ(static_cast<int>(sleeps.size()), rig.count("get") - 1) << "one pause per poll";

    // Idle after the run: the last contents stay, the port-1 indicators are disabled.
    EXPECT_TRUE(form->cmdStart->isEnabled());
    EXPECT_FALSE(form->cmdEnd->isEnabled());
    for (QLabel* mark : form->lblPort0)
        EXPECT_TRUE(mark->isEnabled());
    for (QLabel* mark : form->lblPort1)
        EXPECT_FALSE(mark->isEnabled());
    EXPECT_EQ(form->lblPort0[0]->text(), "●");
    EXPECT_EQ(cell(5, 2), "押下\t254");
}

TEST_F(Monitor, TheGridIsRewrittenOnlyAtQuarterSeconds) {
    runControl(*form, rig,
               {
                   [&] {
                       rig.cycles(3);
                       cyclesUntilQuarter(false);
                       rig.board.setPin(0, true);
                       rig.cycles(2); // the second cycle reads the press and logs it
                       while (rig.data().tick10ms % 25 == 0)
                           rig.cycles(1);
                       return true;
                   },
                   [&] {
                       EXPECT_EQ(fromAnsi(form->curData.events[0].text), "押下\t254") << "copied";
                       EXPECT_EQ(cell(5, 2), "") << "but not shown between quarters";
                       EXPECT_EQ(form->lblPort0[0]->text(), "●") << "the ports are redrawn at every change";
                       cyclesUntilQuarter(true);
                       return true;
                   },
                   [&] {
                       EXPECT_EQ(cell(5, 2), "押下\t254");
                       return true;
                   },
               });
}

TEST_F(Monitor, EventRowsFollowTheRecordAndEmptyEntriesLeaveTheirRowsAlone) {
    // Drawing a record by hand: entries 0..9 fill rows 5..14; row 15 stays empty.
    form->bRefreshAll = true;
    for (int i = 0; i < ZELK_EVENT_COUNT; ++i) {
        form->curData.events[i].passageSec = 12 + i;
        form->curData.events[i].tick10ms = static_cast<std::uint8_t>(5 * i);
        std::snprintf(form->curData.events[i].text, sizeof form->curData.events[i].text, "event %d", i);
    }
    std::memcpy(form->curData.events[9].text, "\x83\x73\x83\x93\x0", 5); // "ピン" in code page 932
    form->refreshMonitor();
    EXPECT_EQ(cell(5, 1), "12.00");
    EXPECT_EQ(cell(6, 1), "13.05");
    EXPECT_EQ(cell(6, 2), "event 1");
    EXPECT_EQ(cell(14, 1), "21.45");
    EXPECT_EQ(cell(14, 2), "ピン");
    EXPECT_EQ(cell(15, 1), "");
    EXPECT_EQ(cell(15, 2), "");
    EXPECT_FALSE(form->bRefreshAll);

    // Entries marked empty keep what their rows show; the others are rewritten.
    for (auto& entry : form->curData.events)
        entry.passageSec = -1;
    form->curData.events[0].passageSec = 99;
    form->curData.tick10ms = 50;
    form->refreshMonitor();
    EXPECT_EQ(cell(5, 1), "99.00");
    EXPECT_EQ(cell(6, 1), "13.05");
    EXPECT_EQ(cell(6, 2), "event 1");

    // Port 1 at 0x0E: pin 0 energized.
    form->curData.port1 = 0x0E;
    form->refreshMonitor();
    EXPECT_EQ(form->txtPortHex[1]->text(), "01");
    EXPECT_EQ(form->lblPort1[0]->text(), "●");
    EXPECT_EQ(form->lblPort1[1]->text(), "○");
}

TEST_F(Monitor, OutputButtonsActOnlyWhileRunning) {
    form->cmdOut[1]->click();
    EXPECT_EQ(rig.count("put"), 0) << "idle: nothing is sent";
    runControl(*form, rig,
               {
                   [&] {
                       rig.cycles(3);
                       form->cmdOut[2]->click();
                       rig.cycles(1);
                       return true;
                   },
                   [&] {
                       EXPECT_EQ(rig.board.port1Output(), 0x0B);
                       EXPECT_EQ(form->lblPort1[2]->text(), "●");
                       form->cmdOut[2]->click();
                       form->cmdOut[3]->click();
                       rig.cycles(1);
                       return true;
                   },
                   [&] {
                       EXPECT_EQ(rig.board.port1Output(), 0x03) << "the second request replaced the first";
                       return true;
                   },
               });
    EXPECT_EQ(rig.toggleMasks, (std::vector<std::uint8_t>{4, 4, 8}));
    form->cmdOut[0]->click();
    EXPECT_EQ(rig.count("put"), 3) << "idle again";
}

TEST_F(Monitor, AnUnpluggedBoardStopsTheRun) {
    const bool done = runControl(*form, rig, {[&] {
        rig.cycles(3);
        rig.board.disconnect();
        rig.cycles(1); // the failed send closes the engine's run
        return true;
    }},
                                 AfterSteps::WaitForTheLoop);
    EXPECT_TRUE(done);
    EXPECT_EQ(recordedMessages(), QStringList{"KALDEX 制御停止"});
    EXPECT_EQ(rig.calls.mid(rig.calls.size() - 2), (QStringList{"close", "get"})) << "closed anyway";
    EXPECT_TRUE(form->cmdStart->isEnabled());
    EXPECT_FALSE(form->bRunning);
}

TEST_F(Monitor, TheStopMessageStillComesInThePassAfterTheStopClick) {
    runControl(*form, rig, {[&] {
        rig.cycles(3);
        rig.board.disconnect();
        rig.cycles(1);
        form->cmdEnd->click();
        return true;
    }});
    EXPECT_EQ(recordedMessages(), QStringList{"KALDEX 制御停止"});
}

TEST_F(Monitor, ALogFileThatCannotBeWrittenIsNamedAfterTheStop) {
    directory.write(QStringLiteral("LogicCtl.ini"),
                    QByteArray::fromStdString(
                        test::ProgramBuilder().lines(togglingProgram()).logFile("no/such/log.csv").text()));
    runControl(*form, rig, {[&] {
        rig.cycles(3);
        form->cmdEnd->click();
        return true;
    }});
    EXPECT_EQ(recordedMessages(),
              QStringList{
                  QStringLiteral(
                      "CSVファイルオープンエラー\nログファイル no/such/log.csv を %1 に書き込めませんでした。"
                      "この制御の LOG の行は保存されていません")
                      .arg(QDir::toNativeSeparators(QDir::currentPath()))});
}

TEST_F(Monitor, WithoutABoardTheStartFailsAndTheWindowKeepsItsState) {
    ManualRig empty(directory, false);
    frmZELK idle(empty);
    idle.setGridText(1, 0, "kept");
    idle.cmdStart->click();
    ASSERT_EQ(recordedMessages().size(), 1);
    const QStringList lines = recordedMessages().front().split(u'\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "KALDEX オープン失敗");
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("ボードが見つかりません"))) << lines[1].toStdString();
    EXPECT_EQ(empty.calls, QStringList{"open"}) << "the reason is not asked of the engine";
    EXPECT_EQ(idle.gridText(1, 0), "kept") << "initAll did not run";
    EXPECT_TRUE(idle.cmdStart->isEnabled());
    EXPECT_FALSE(idle.cmdEnd->isEnabled());
}

TEST_F(Monitor, AStartRereadsTheSettingsAndClearsTheGrid) {
    runControl(*form, rig,
               {[&] {
                    rig.cycles(3);
                    rig.board.setPin(0, true);
                    rig.cycles(2);
                    cyclesUntilQuarter(true);
                    return true;
                },
                [&] { return cell(5, 2) == "押下\t254"; }});
    directory.write(QStringLiteral("ZELK_SCR.ini"), screenSettings("1"));
    runControl(*form, rig, {[&] {
        EXPECT_EQ(form->cmbRevMode->currentIndex(), 1);
        EXPECT_EQ(cell(5, 2), "") << "the new run's log is empty";
        return true;
    }});
}

TEST_F(Monitor, TheValueCopyTakesTheCellTheUserLastSelected) {
    form->show();
    QApplication::setActiveWindow(form.get());
    QTableWidget* grid = form->grdCtlData;
    const auto clickCell = [grid](int row, int column) { // row counted with the header row
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(row - 1, column)).center());
    };
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    form->cmdCpy->click();
    EXPECT_EQ(clipboard->text(), "値") << "right after start-up: row 0, column 1";
    grid->setFocus(); // taking the focus does not choose a cell
    form->cmdCpy->click();
    EXPECT_EQ(clipboard->text(), "値");

    clickCell(4, 0);
    form->cmdCpy->click();
    EXPECT_EQ(clipboard->text(), "経過時間(秒)");
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(grid->columnViewportPosition(2) + 5, grid->horizontalHeader()->height() / 2));
    form->cmdCpy->click();
    EXPECT_EQ(clipboard->text(), "経過時間(秒)") << "the fixed header row is not selected by a click";
    clickCell(9, 2);
    form->cmdCpy->click();
    EXPECT_EQ(clipboard->text(), "") << "a cell never written";

    // The header row stays in view while the rows scroll.
    grid->scrollToBottom();
    EXPECT_TRUE(grid->horizontalHeader()->isVisible());
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "値");
    EXPECT_GT(grid->rowAt(0), 0) << "the rows scrolled";

    // A start makes row 0, column 1 current again.
    form->initAll();
    form->cmdCpy->click();
    EXPECT_EQ(clipboard->text(), "値");
}

TEST_F(Monitor, ClosingTheWindowClosesTheRunThenEndsTheProcess) {
    form->close();
    EXPECT_EQ(rig.calls, (QStringList{"close", "exit"}));
}

// Logging out, or Ctrl+C in the terminal the console was started from, closes the run (its log file is
// written) before the program ends, as the close box does.
TEST_F(Monitor, TheEndOfTheSessionClosesTheRunAsTheCloseBoxDoes) {
    new CloseOnTermination(*form); // owned by the window
    const bool done = runControl(*form, rig,
                                 {[&] {
                                      rig.cycles(3);
                                      return true;
                                  },
                                  [] {
                                      std::raise(SIGTERM);
                                      return true;
                                  },
                                  [&] { return rig.count("exit") == 1; }});
    EXPECT_TRUE(done);
    const qsizetype exit = rig.calls.indexOf("exit");
    ASSERT_GE(exit, 2);
    EXPECT_EQ(rig.calls.mid(exit - 2, 2), (QStringList{"close", "get"}))
        << "closed, then its log file's fate read";
}

TEST(MonitorOverTheLibrary, TheDefaultEngineIsTheLibraryBoundByName) {
    recordedMessages().clear();
    setEngineLibraryPath(QStringLiteral(ZELK_ENG_LIBRARY));
    ProgramDirectory directory;
    directory.write(QStringLiteral("ZELK_SCR.ini"), screenSettings("0"));
    frmZELK form;
    form.bRunning = true;
    form.pollPass(); // the library's engine has no run: state 0
    EXPECT_FALSE(form.bRunning);
    EXPECT_EQ(recordedMessages(), QStringList{"KALDEX 制御停止"});
    EXPECT_EQ(form.gridText(1, 1), "0");
}

} // namespace
} // namespace zelk::console::testing

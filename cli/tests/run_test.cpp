// zelkctl run as a user or a service manager drives it: real processes, the built engine, kaldex-sim as
// the board, each test in its own folders.
#include "codepage/codepage.h"
#include "kaldex_config.h"
#include "testing/child_process.h"
#include "testing/temp_dir.h"
#include "testing/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <regex>

namespace zelk {
namespace {

using test::ChildProcess;
using test::eventually;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

bool contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

// The first line that holds part (a loaded machine adds lines such as "readKaldex NG" anywhere).
std::string firstLineWith(const std::vector<std::string>& lines, std::string_view part) {
    const auto found =
        std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return contains(l, part); });
    return found != lines.end() ? *found : std::string();
}

class Run : public ::testing::Test {
protected:
    Run() {
        std::filesystem::create_directory(work());
        std::filesystem::copy_file(ZELK_SAMPLES_DIR "/LogicCtl.ini", work() / "LogicCtl.ini");
    }

    std::filesystem::path work() const { return dir.path() / "work"; }

    // The built engine is found through LD_LIBRARY_PATH: the sanitizers' dlopen interceptor hides
    // zelkctl's own library path. Without it, only where zelkctl lies counts.
    std::unique_ptr<ChildProcess> start(std::vector<std::string> args, const std::string& name,
                                        bool builtEngine = true) {
        std::vector<std::string> env = {"KALDEX_BOARD_DIR=" + dir.file("boards")};
        if (builtEngine)
            env.push_back("LD_LIBRARY_PATH=" +
                          std::filesystem::path(ZELK_ENG_LIBRARY).parent_path().string());
        return std::make_unique<ChildProcess>(ChildProcess::Options{
            std::move(args), env, {}, dir.file(name + ".out"), dir.file(name + ".err")});
    }
    // kaldex-sim, once it serves its board.
    std::unique_ptr<ChildProcess> startBoard() {
        auto board = start({KALDEX_SIM, "--stay"}, "board");
        EXPECT_TRUE(eventually([&] { return contains(board->err(), "board on"); })) << board->err();
        return board;
    }
    std::unique_ptr<ChildProcess> startRun(std::vector<std::string> options = {},
                                           const std::string& name = "run") {
        std::vector<std::string> args = {ZELKCTL, "run", "--dir", work().string()};
        args.insert(args.end(), options.begin(), options.end());
        return start(std::move(args), name);
    }
    static bool running(ChildProcess& run) { return contains(run.out(), "state 3 running"); }

    test::TempDir dir;
};

TEST_F(Run, TheSampleRunsUntilSigtermAndItsLogFileIsWritten) {
    auto board = startBoard();
    auto run = startRun();
    // The sample logs its counters every second; a press of input 0 is counted.
    ASSERT_TRUE(eventually([&] { return contains(run->out(), " event 経過秒\t"); }))
        << run->out() << run->err();
    board->write("port0 0x00\n");
    ASSERT_TRUE(eventually([&] { return contains(run->out(), "押下回数\t1\t"); })) << run->out();

    run->signal(SIGTERM);
    EXPECT_EQ(run->wait(), 0);
    const std::vector<std::string> out = lines(run->out());
    ASSERT_GE(out.size(), 3u);
    EXPECT_TRUE(
        std::regex_match(out.front(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d 0s state 3 running)")))
        << out.front();
    const std::string row = firstLineWith(out, "経過秒");
    EXPECT_TRUE(std::regex_match(row, std::regex(R"(.* \d+s event 経過秒\t\d+\t押下回数\t0\t出力\t15)")))
        << row;
    EXPECT_TRUE(std::regex_match(out.back(), std::regex(R"(.* \d+s state 0 closed)"))) << out.back();
    EXPECT_EQ(run->err(), "");

    const std::string log = test::readFile(work() / "ZELK_LOG.csv");
    EXPECT_EQ(log.rfind(codepage::toCp932("経過秒\t"), 0), 0u) << "rows in code page 932";
    EXPECT_TRUE(contains(log, "\r\n"));
}

TEST_F(Run, JsonLinesAndForEndTheRunByItself) {
    auto board = startBoard();
    auto run = startRun({"--json", "--for", "1.5"});
    EXPECT_EQ(run->wait(), 0) << run->err();
    const std::vector<std::string> out = lines(run->out());
    ASSERT_GE(out.size(), 3u) << run->out();
    const std::string time = R"(\{"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d","passageSec":\d+,)";
    EXPECT_TRUE(std::regex_match(out.front(),
                                 std::regex(time + R"("type":"state","state":3,"stateName":"running"\})")))
        << out.front();
    const std::string row = firstLineWith(out, "経過秒");
    EXPECT_TRUE(std::regex_match(
        row, std::regex(time +
                        R"("type":"event","tick10ms":\d+,"text":"経過秒\\t1\\t押下回数\\t0\\t出力\\t15"\})")))
        << row;
    EXPECT_TRUE(
        std::regex_match(out.back(), std::regex(time + R"("type":"state","state":0,"stateName":"closed"\})")))
        << out.back();
    EXPECT_TRUE(std::filesystem::exists(work() / "ZELK_LOG.csv"));
}

TEST_F(Run, WithoutABoardOrAUsableFolderNoRunStarts) {
    std::filesystem::remove(work() / "LogicCtl.ini");
    auto run = startRun();
    EXPECT_EQ(run->wait(), 2);
    EXPECT_TRUE(contains(run->out(), " event KALDEXオープン失敗\n")) << run->out();
    EXPECT_TRUE(contains(run->err(), "zelkctl: no run started: KALDEXオープン失敗\n"
                                     "zelkctl: no board found: no KALDEX board among the HID devices and "
                                     "no virtual board in " +
                                         dir.file("boards") + " (KALDEX_BOARD_DIR); kaldex-sim serves one\n"))
        << run->err();
    EXPECT_TRUE(contains(run->err(), "no LogicCtl.ini")) << "a missing program is named";
    EXPECT_FALSE(std::filesystem::exists(work() / "ZELK_LOG.csv"));

    auto nowhere = start({ZELKCTL, "run", "--dir", dir.file("missing")}, "nowhere");
    EXPECT_EQ(nowhere->wait(), 2);
    EXPECT_TRUE(contains(nowhere->err(), "cannot enter")) << nowhere->err();
}

TEST_F(Run, ASecondRunIsRefusedAndTheFirstGoesOn) {
    auto board = startBoard();
    auto first = startRun({}, "first");
    ASSERT_TRUE(eventually([&] { return running(*first); })) << first->err();

    auto second = startRun({}, "second");
    EXPECT_EQ(second->wait(), 2);
    EXPECT_TRUE(contains(second->err(), "no run started: KALDEXオープン失敗\nzelkctl: the board " +
                                            dir.file("boards") +
                                            "/kaldex0.sock is in use by another program\n"))
        << second->err();

    const std::size_t before = lines(first->out()).size();
    EXPECT_TRUE(eventually([&] { return lines(first->out()).size() > before; }))
        << "the first run still logs";
    EXPECT_FALSE(first->ended());
    first->signal(SIGINT);
    EXPECT_EQ(first->wait(), 0);
}

TEST_F(Run, ABoardLostMidRunEndsItWithStatusFour) {
    auto board = startBoard();
    auto run = startRun();
    ASSERT_TRUE(eventually([&] { return running(*run); })) << run->err();
    board->signal(SIGKILL);
    EXPECT_EQ(run->wait(), 4);
    EXPECT_TRUE(contains(run->out(), " event sendKaldex NG\n")) << run->out();
    EXPECT_TRUE(lines(run->out()).back().ends_with("state 0 closed"));
    EXPECT_TRUE(contains(run->err(), "the run ended by itself: sendKaldex NG; now no board found"))
        << run->err();
    EXPECT_TRUE(std::filesystem::exists(work() / "ZELK_LOG.csv"));
}

TEST_F(Run, ABoardUnpluggedEndsTheRunAndPluggedInAgainServesTheNext) {
    auto board = startBoard();
    auto run = startRun();
    ASSERT_TRUE(eventually([&] { return running(*run); })) << run->err();
    board->write("unplug\n");
    EXPECT_EQ(run->wait(), 4);
    EXPECT_TRUE(contains(run->err(), "now no board found")) << run->err();
    EXPECT_TRUE(contains(board->err(), "kaldex-sim: board unplugged\n")) << board->err();

    board->write("plug\n");
    ASSERT_TRUE(eventually([&] { return contains(board->err(), "board plugged in again on "); }))
        << board->err();
    EXPECT_EQ(startRun({"--for", "0.3"}, "again")->wait(), 0);
}

TEST_F(Run, ALogFileThatCannotBeWrittenIsSaidAndIsStatusFive) {
    std::string program;
    ASSERT_TRUE(test::readFile(work() / "LogicCtl.ini", program));
    test::writeFile(work() / "LogicCtl.ini", std::regex_replace(program, std::regex("CSV_FNAME=ZELK_LOG.csv"),
                                                                "CSV_FNAME=no/such/log.csv"));
    auto board = startBoard();
    auto run = startRun({"--for", "0.3"});
    EXPECT_EQ(run->wait(), 5);
    EXPECT_TRUE(contains(run->out(), "event CSVファイルオープンエラー\n")) << run->out();
    EXPECT_TRUE(contains(run->err(), "the log file \"no/such/log.csv\" could not be written in " +
                                         work().string() +
                                         " (CSVファイルオープンエラー): the run's LOG rows are lost"))
        << run->err();

    // After a lost board, the board's reason and status come first.
    auto lost = startRun({}, "lost");
    ASSERT_TRUE(eventually([&] { return running(*lost); })) << lost->err();
    board->write("unplug\n");
    EXPECT_EQ(lost->wait(), 4);
    EXPECT_TRUE(contains(lost->err(), "the run ended by itself: sendKaldex NG; now")) << lost->err();
    EXPECT_TRUE(contains(lost->err(), "could not be written")) << lost->err();
}

TEST_F(Run, VerboseTellsWhyTheBoardWasLost) {
    auto board = startBoard();
    auto run = startRun({"--verbose"});
    ASSERT_TRUE(eventually([&] { return running(*run); })) << run->err();
    EXPECT_TRUE(eventually([&] {
        return contains(run->err(), "ZELK_Eng: " + dir.file("boards") + "/kaldex0.sock\n");
    })) << "the board search: "
        << run->err();
    board->signal(SIGKILL);
    EXPECT_EQ(run->wait(), 4);
    EXPECT_TRUE(contains(run->err(), "NG: the board is gone: unplugged, or its program ended")) << run->err();
}

TEST_F(Run, TheEngineIsFoundWhereItIsInstalledAndItsAbsenceIsStatusThree) {
    const std::filesystem::path bin = dir.path() / "prefix" / "bin";
    std::filesystem::create_directories(bin);
    std::filesystem::copy_file(ZELKCTL, bin / "zelkctl");
    const std::string program = (bin / "zelkctl").string();

    auto missing = start({program, "run", "--dir", work().string()}, "missing", false);
    EXPECT_EQ(missing->wait(), 3);
    EXPECT_TRUE(contains(missing->err(), "the engine ZELK_Eng was not found")) << missing->err();

    std::filesystem::copy_file(PARTIAL_ENGINE, bin / "libZELK_Eng.so");
    auto partial = start({program, "run", "--dir", work().string()}, "partial", false);
    EXPECT_EQ(partial->wait(), 3);
    EXPECT_TRUE(contains(partial->err(), "no export closeKaldex")) << partial->err();
    std::filesystem::remove(bin / "libZELK_Eng.so");

    const std::filesystem::path engineDir = bin / kEngineRelativeDir;
    std::filesystem::create_directories(engineDir);
    std::filesystem::copy_file(ZELK_ENG_LIBRARY, engineDir / "libZELK_Eng.so");
    auto installed = start({program, "run", "--dir", work().string()}, "installed", false);
    EXPECT_EQ(installed->wait(), 2) << "the engine ran and found no board: " << installed->err();
}

TEST(RunCommandLine, BadArgumentsAreStatus64AndTheHelpNamesEveryStatus) {
    test::TempDir dir;
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"run", "--frob"},
        {"run", "--for"},
        {"run", "--for", "0"},
        {"run", "--for", "-1"},
        {"run", "--for", "soon"},
        {"run", "--json=1"},
        {"run", "extra"},
    };
    for (const auto& args : bad) {
        std::vector<std::string> command = {ZELKCTL};
        command.insert(command.end(), args.begin(), args.end());
        ChildProcess zelkctl({command, {}, {}, dir.file("out"), dir.file("err")});
        EXPECT_EQ(zelkctl.wait(), 64) << testing::PrintToString(args);
        EXPECT_NE(zelkctl.err(), "") << testing::PrintToString(args);
    }

    ChildProcess help({{ZELKCTL, "run", "--help"}, {}, {}, dir.file("out"), dir.file("err")});
    EXPECT_EQ(help.wait(), 0);
    for (const char* status : {"\n  0 ", "\n  2 ", "\n  3 ", "\n  4 ", "\n  64 "})
        EXPECT_TRUE(contains(help.out(), status)) << status << " in\n" << help.out();
}

} // namespace
} // namespace zelk

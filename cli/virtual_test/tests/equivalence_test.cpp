// The virtual run against a real-time one: the same program and inputs give the same port-1 sequence, LOG
// rows and counters when the engine runs on its own timer against kaldex-sim.
#include "cli/virtual_test/virtual_run.h"
#include "socket_platform.h"
#include "testing/child_process.h"
#include "testing/program_builder.h"
#include "testing/test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace zelk::vtest {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::lineText;

// What a run shows to the outside: each port-1 value in turn, and the LOG rows.
class Recorder final : public CycleListener {
public:
    void cycleDone(const CycleView& view, const Program&) override {
        if (port1.empty() || port1.back() != view.port1) port1.push_back(view.port1);
        for (std::string_view rows = view.rows; !rows.empty();) {
            const std::size_t end = rows.find('\n');
            log += std::string(rows.substr(0, end)) + "\r\n";
            rows.remove_prefix(end + 1);
        }
    }
    std::vector<int> port1 = {0x0F}; // set at the start of every run
    std::string log;
};

TEST(Equivalence, VirtualAndRealTimeRunsAgree) {
    // Edges count, invert and log; a level sets the whole port; variables 01..03 count.
    const std::vector<std::string> lines = {
        lineText({{"NEW "}, {"PIN ", "001"}, {"STS ", "STOP->ELEC"}, {"NONE"}, {"OUTR", "101"}}),
        lineText({{"NEXT"}, {}, {}, {}, {"CALC", "01"}, {"VAR ", "01"}, {"+   "}, {"CNST", "1"}}),
        lineText({{"NEXT"}, {}, {}, {}, {"LOG "}, {"CNST", "press"}, {"VAR ", "01"}, {"SVAR", "PORT 1"}}),
        lineText({{"NEW "},
                  {"PIN ", "002"},
                  {"STS ", "ELEC->STOP"},
                  {"NONE"},
                  {"CALC", "02"},
                  {"VAR ", "02"},
                  {"+   "},
                  {"CNST", "10"}}),
        lineText({{"NEXT"}, {}, {}, {}, {"LOG "}, {"CNST", "release"}, {"VAR ", "02"}, {"VAR ", "01"}}),
        lineText({{"NEW "}, {"PIN ", "0FF"}, {"STS ", "CHANGE"}, {"NONE"}, {"OUTR", "108"}}),
        lineText({{"NEXT"}, {}, {}, {}, {"CALC", "03"}, {"VAR ", "03"}, {"+   "}, {"CNST", "1"}}),
        lineText({{"NEW "}, {"SVAR", "PORT 0"}, {"COMP", "="}, {"CNST", "252"}, {"OUT ", "100"}}),
    };
    const std::vector<std::pair<int, std::string>> inputs = {
        {100, "press 0"},   {250, "press 1"}, {400, "release 0"},   {550, "port0 0xFC"},
        {700, "release 1"}, {850, "press 2"}, {1000, "port0 0xFF"}, {1150, "press 0"},
    };
    constexpr int kRunMs = 1300;

    test::TempDir dir, boards;
    const std::string program = dir.file("equivalence.ini");
    test::ProgramBuilder().longVariables(4).lines(lines).logFile(dir.file("log.csv")).write(program);

    // Virtual time.
    std::string scriptText = "run " + std::to_string(kRunMs) + "\n";
    for (const auto& [ms, command] : inputs)
        scriptText += std::to_string(ms) + " " + command + "\n";
    ScriptError error;
    const auto script = parseScript(scriptText, error);
    ASSERT_TRUE(script) << error.message;
    VirtualRun virtualRun(program);
    std::string message;
    ASSERT_TRUE(virtualRun.open(message)) << message;
    Recorder recorded;
    CycleListener* listeners[] = {&recorded};
    virtualRun.run(*script, listeners);

    // Real time: the engine on its timer, the board in its own process. Each input waits until the engine
    // has read the one before, so a late wake-up on a busy machine never merges two inputs into one cycle.
    const std::string boardDirectory = boards.file("kaldex");
    test::ChildProcess sim({.args = {KALDEX_SIM, "--dir", boardDirectory, "--name", "kaldex0"},
                            .env = {"KALDEX_BOARD_DIR=" + boardDirectory},
                            .cwd = {},
                            .out = boards.file("sim.out"),
                            .err = boards.file("sim.err")});
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(boardDirectory + "/kaldex0.sock"); }, 10s));
    test::SocketPlatform platform(boardDirectory, dir.cwd());
    auto engine = std::make_unique<Engine>(platform, program);
    ASSERT_EQ(engine->open(), 1);
    vboard::BoardModel pins; // what the board's inputs are after each command
    const auto start = std::chrono::steady_clock::now();
    for (const InputStep& step : script->inputs) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(step.cycle * kCycleMs));
        vboard::applyInput(pins, step.command);
        sim.write(inputs[&step - script->inputs.data()].second + "\n");
        ASSERT_TRUE(eventually(
            [&] {
                CtlData data{};
                engine->getCtlData(data);
                return data.port0 == pins.port0Input();
            },
            10s));
    }
    std::this_thread::sleep_until(start + std::chrono::milliseconds(kRunMs));
    ASSERT_EQ(engine->close(), 1);
    std::string realLog;
    ASSERT_TRUE(test::readFile(dir.file("log.csv"), realLog));

    sim.signal(SIGTERM);
    ASSERT_EQ(sim.wait(), 0);
    std::vector<int> boardPort1; // kaldex-sim prints each change of its port-1 output
    const std::string printed = sim.out();
    for (std::size_t at = 0; (at = printed.find("port1 0x", at)) != std::string::npos; at += 8)
        boardPort1.push_back(std::stoi(printed.substr(at + 8, 2), nullptr, 16));
    EXPECT_EQ(boardPort1, recorded.port1);
    EXPECT_EQ(realLog, recorded.log);
    EXPECT_NE(recorded.log.find("release\t10\t2"), std::string::npos) << "the program did run";
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(engine->program().variables[i].value, virtualRun.program().variables[i].value)
            << "variable " << i;
}

} // namespace
} // namespace zelk::vtest

// zelkctl prove from the command line: the sample's properties hold, an unsafe one is violated with a
// counterexample that zelkctl test replays, and a bad file or variable is a status-2 error with its line.
#include "testing/child_process.h"
#include "testing/temp_dir.h"
#include "testing/test_files.h"

#include <gtest/gtest.h>

#include <fstream>

namespace zelk {
namespace {

class ProveCommand : public ::testing::Test {
protected:
    ProveCommand() {
        std::filesystem::copy_file(ZELK_SAMPLES_DIR "/LogicCtl.ini", dir.path() / "LogicCtl.ini");
        std::filesystem::copy_file(ZELK_SAMPLES_DIR "/LogicCtl.props", dir.path() / "LogicCtl.props");
    }
    std::tuple<int, std::string, std::string> run(const std::string& command, std::vector<std::string> args) {
        args.insert(args.begin(), {ZELKCTL, command});
        test::ChildProcess zelkctl({args, {}, dir.path(), dir.file("out"), dir.file("err")});
        const std::optional<int> status = zelkctl.wait();
        return std::tuple(status.value_or(-1), zelkctl.out(), zelkctl.err());
    }
    test::TempDir dir;
};

TEST_F(ProveCommand, TheSamplesPropertiesHold) {
    const auto [status, out, err] = run("prove", {"LogicCtl.props", "--depth", "200"});
    EXPECT_EQ(status, 0) << out << err;
    EXPECT_NE(out.find("LogicCtl.props:7: never out 2 on: proved (induction depth 1)"), std::string::npos)
        << out;
    EXPECT_NE(out.find("after in 1 rises, out 1 on within 2 cycles: proved"), std::string::npos) << out;
    EXPECT_NE(out.find("reachable out 0 on: reachable in cycle 0"), std::string::npos) << out;
    EXPECT_NE(out.find("always var 押下回数 >= 0: holds up to 200 cycles"), std::string::npos) << out;
}

TEST_F(ProveCommand, AViolationComesWithACounterexampleThatTheTesterReplays) {
    // Output 0 is inverted by presses of input 0, output 1 follows input 1: both can be on at once. Three
    // presses need five cycles, and only with every input energized at the start: otherwise the second cycle
    // reads the start's input again and it takes six.
    test::writeFile(dir.path() / "unsafe.props", "never out 0 on and out 1 on\n"
                                                 "after in 0 rises, out 1 on within 5 cycles\n"
                                                 "always var 押下回数 < 3\n");
    const auto [status, out, err] = run("prove", {"unsafe.props", "--svg", "cex.svg"});
    EXPECT_EQ(status, 1) << out << err;
    EXPECT_NE(out.find("unsafe.props:1: never out 0 on and out 1 on: violated in cycle"), std::string::npos)
        << out;
    EXPECT_NE(out.find("counterexample: unsafe-line1.test"), std::string::npos) << out;
    EXPECT_NE(out.find("unsafe.props:2: after in 0 rises, out 1 on within 5 cycles: violated"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("unsafe.props:3: always var 押下回数 < 3: violated in cycle 4 (40 ms)"),
              std::string::npos)
        << out;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "cex.svg"));

    for (const char* script : {"unsafe-line1.test", "unsafe-line2.test", "unsafe-line3.test"}) {
        const auto [replayed, report, errors] = run("test", {script});
        EXPECT_EQ(replayed, 1) << script << "\n" << report << errors;
        EXPECT_NE(report.find("1 expectation, 0 held, 1 failed"), std::string::npos) << report;
    }
}

TEST_F(ProveCommand, ABadFileOrVariableIsAnErrorWithItsLine) {
    test::writeFile(dir.path() / "typo.props", "never out 0 on\nnever out 4 on\n");
    test::writeFile(dir.path() / "name.props", "# comment\nalways var nobody >= 0\n");
    test::writeFile(dir.path() / "empty.props", "# nothing\n");
    const auto [typo, ignored1, typoErr] = run("prove", {"typo.props"});
    EXPECT_EQ(typo, 2);
    EXPECT_NE(typoErr.find("typo.props:2: error: expected an output pin (0 to 3), not '4'"),
              std::string::npos)
        << typoErr;
    const auto [name, ignored2, nameErr] = run("prove", {"name.props"});
    EXPECT_EQ(name, 2);
    EXPECT_NE(nameErr.find("name.props:2: error: the program has no variable named nobody"),
              std::string::npos)
        << nameErr;
    EXPECT_EQ(std::get<0>(run("prove", {"empty.props"})), 2);
    EXPECT_EQ(std::get<0>(run("prove", {"LogicCtl.props", "--counterexample", "LogicCtl.ini"})), 2);
    EXPECT_EQ(std::get<0>(run("prove", {"LogicCtl.props", "--depth", "0"})), 64);
}

} // namespace
} // namespace zelk

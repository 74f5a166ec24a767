// zelkctl test from the command line: options reach the tester, the program defaults to the current folder's.
#include "testing/child_process.h"
#include "testing/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

namespace zelk {
namespace {

// A folder holding the sample program and its script, and zelkctl test run in it.
class TestCommand : public ::testing::Test {
protected:
    TestCommand() {
        std::filesystem::copy_file(ZELK_SAMPLES_DIR "/LogicCtl.ini", dir.path() / "LogicCtl.ini");
        std::filesystem::copy_file(ZELK_SAMPLES_DIR "/LogicCtl.test", dir.path() / "LogicCtl.test");
    }
    std::tuple<int, std::string, std::string> run(std::vector<std::string> args) {
        args.insert(args.begin(), {ZELKCTL, "test"});
        test::ChildProcess zelkctl({args, {}, dir.path(), dir.file("out"), dir.file("err")});
        const std::optional<int> status = zelkctl.wait();
        return std::tuple(status.value_or(-1), zelkctl.out(), zelkctl.err());
    }
    std::string contents(const std::string& name) {
        std::ifstream file(dir.path() / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
    test::TempDir dir;
};

TEST_F(TestCommand, RunsAScriptOnTheCurrentFoldersProgram) {
    const auto [held, out, err] = run({"LogicCtl.test", "--svg", "d.svg", "--trace", "t.csv"});
    EXPECT_EQ(held, 0) << out << err;
    EXPECT_NE(out.find("LogicCtl.test: 15 expectations, 15 held, 0 failed"), std::string::npos) << out;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "d.svg"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "t.csv"));

    std::ofstream(dir.path() / "fails.test") << "300 expect out 0 on\n";
    const auto [failed, failure, ignored] = run({"fails.test", "--program", "LogicCtl.ini"});
    EXPECT_EQ(failed, 1);
    EXPECT_NE(failure.find("fails.test:1: at 300 ms (cycle 30): expected out 0 on, saw off"),
              std::string::npos)
        << failure;
}

TEST_F(TestCommand, AnInputPressedAtTheStartIsReadByTheFirstCycle) {
    // The sample's output 1 follows input 1; pressed at 0 ms, the first cycle has not read it yet.
    std::ofstream(dir.path() / "start.test") << "start press 1\n0 expect out 1 on\n";
    std::ofstream(dir.path() / "later.test") << "0 press 1\n0 expect out 1 on\n";
    EXPECT_EQ(std::get<0>(run({"start.test"})), 0);
    const auto [status, out, err] = run({"later.test"});
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("1 expectation, 0 held, 1 failed"), std::string::npos) << out << err;
}

} // namespace
} // namespace zelk

namespace zelk {
namespace {

TEST_F(TestCommand, NeverWritesAnOutputOverTheProgramTheScriptOrTheOtherOutput) {
    const std::string program = contents("LogicCtl.ini"), script = contents("LogicCtl.test");
    std::filesystem::create_symlink("LogicCtl.ini", dir.path() / "link.ini");
    for (const std::vector<std::string>& outputs : {std::vector<std::string>{"--trace", "LogicCtl.ini"},
                                                    {"--svg", "LogicCtl.test"},
                                                    {"--svg", "link.ini"},
                                                    {"--svg", "x.svg", "--trace", "./x.svg"}}) {
        std::vector<std::string> args{"LogicCtl.test"};
        args.insert(args.end(), outputs.begin(), outputs.end());
        const auto [status, out, err] = run(args);
        EXPECT_EQ(status, 2) << outputs[1];
        EXPECT_NE(err.find("will not write"), std::string::npos) << err;
    }
    EXPECT_EQ(contents("LogicCtl.ini"), program);
    EXPECT_EQ(contents("LogicCtl.test"), script);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "x.svg"));
}

TEST_F(TestCommand, RefusesAScriptThatIsNoRegularFileOrTooLarge) {
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::ofstream(dir.path() / "big.test") << std::string(2 << 20, '#');
    for (const std::string script : {"/dev/zero", "fifo", "big.test"}) {
        const auto [status, out, err] = run({script});
        EXPECT_EQ(status, 2) << script;
        EXPECT_NE(err.find("cannot read the script " + script), std::string::npos) << err;
    }
}

TEST_F(TestCommand, AnEmptyOutputNameIsABadCommandLine) {
    for (const std::string option : {"--svg", "--trace"}) {
        const auto [status, out, err] = run({"LogicCtl.test", option, ""});
        EXPECT_EQ(status, 64) << err;
        EXPECT_NE(err.find(option + " needs a file name"), std::string::npos) << err;
    }
}

} // namespace
} // namespace zelk

// zelkctl test from the command line: options reach the tester, the program defaults to the current folder's.
#include "testing/child_process.h"
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

namespace zelk {
namespace {

TEST(TestCommand, RunsAScriptOnTheCurrentFoldersProgram) {
    test::TempDir dir;
    std::filesystem::copy_file(ZELK_SAMPLES_DIR "/LogicCtl.ini", dir.path() / "LogicCtl.ini");
    std::filesystem::copy_file(ZELK_SAMPLES_DIR "/LogicCtl.test", dir.path() / "LogicCtl.test");
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {ZELKCTL, "test"});
        test::ChildProcess zelkctl({args, {}, dir.path(), dir.file("out"), dir.file("err")});
        const std::optional<int> status = zelkctl.wait();
        return std::tuple(status.value_or(-1), zelkctl.out(), zelkctl.err());
    };

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

} // namespace
} // namespace zelk

// kaldex-sim as a user starts it: where it serves, and the directories it refuses.
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

struct Outcome {
    int status = -1;
    std::string output; // standard output and standard error
};

// Runs kaldex-sim through the shell with standard input empty, so it ends once it has started serving.
Outcome runSim(const std::string& environment, const std::string& arguments) {
    const std::string command = environment + " " + KALDEX_SIM_PROGRAM + " " + arguments + " </dev/null 2>&1";
    Outcome outcome;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return outcome;
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr)
        outcome.output += chunk;
    const int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

TEST(SimProgram, ServesInTheDirectoryOfKaldexBoardDir) {
    zelk::test::TempDir temp;
    const std::string boards = temp.file("boards");
    const Outcome run = runSim("XDG_RUNTIME_DIR=" + temp.cwd() + " KALDEX_BOARD_DIR=" + boards, "");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("board on " + boards + "/kaldex0.sock"), std::string::npos) << run.output;
    struct stat st {};
    ASSERT_EQ(::lstat(boards.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
}

TEST(SimProgram, RefusesASharedDirectoryAndLeavesItsModeAlone) {
    zelk::test::TempDir temp;
    const std::string shared = temp.file("shared");
    ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const Outcome run = runSim("", "--dir " + shared);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find(shared + " is open to other users"), std::string::npos) << run.output;
    struct stat st {};
    ASSERT_EQ(::lstat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 01777u);
}

} // namespace

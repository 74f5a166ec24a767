#pragma once
// zelkctl run with its servers, as a plant sees it: real processes (kaldex-sim as the board, zelkctl, and
// the broker where a test needs one), each test in its own folders and on ports the system picks.
#include "testing/child_process.h"
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace zelk::test {

inline bool contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

class PlantRun : public ::testing::Test {
protected:
    PlantRun() {
        std::filesystem::create_directory(work());
        std::filesystem::copy_file(ZELK_SAMPLES_DIR "/LogicCtl.ini", work() / "LogicCtl.ini");
    }

    std::filesystem::path work() const { return dir.path() / "work"; }

    // cwd: the folder the program starts in; empty: the test's.
    std::unique_ptr<ChildProcess> start(std::vector<std::string> args, const std::string& name,
                                        std::vector<std::string> env = {}, std::filesystem::path cwd = {}) {
        env.push_back("KALDEX_BOARD_DIR=" + dir.file("boards"));
        return std::make_unique<ChildProcess>(ChildProcess::Options{std::move(args), std::move(env),
                                                                    std::move(cwd), dir.file(name + ".out"),
                                                                    dir.file(name + ".err")});
    }
    // kaldex-sim, once it serves its board, in the board folder of that name.
    std::unique_ptr<ChildProcess> startBoard(const std::string& boards = "boards") {
        auto board = start({KALDEX_SIM, "--stay"}, boards, {"KALDEX_BOARD_DIR=" + dir.file(boards)});
        EXPECT_TRUE(eventually([&] { return contains(board->err(), "board on"); })) << board->err();
        return board;
    }
    // zelkctl run on the work folder with these options, once its run has started.
    std::unique_ptr<ChildProcess> startRun(std::vector<std::string> options, const std::string& name = "run",
                                           std::vector<std::string> env = {},
                                           std::filesystem::path cwd = {}) {
        std::vector<std::string> args = {ZELKCTL, "run", "--dir", work().string()};
        args.insert(args.end(), options.begin(), options.end());
        auto run = start(std::move(args), name, std::move(env), std::move(cwd));
        EXPECT_TRUE(eventually([&] { return contains(run->out(), "state 3 running") || run->ended(); }))
            << run->err();
        return run;
    }
    // The port that zelkctl says its Modbus server listens on.
    static int modbusPort(ChildProcess& run) {
        std::smatch match;
        const std::string err = run.err();
        if (!std::regex_search(err, match, std::regex(R"(Modbus TCP on (127\.0\.0\.1|\[::1\]):(\d+))")))
            return -1;
        return std::stoi(match[2]);
    }

    TempDir dir;
};

} // namespace zelk::test

#include "virtual_board/sim_cli.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace zelk::vboard;
using namespace std::chrono_literals;

TEST(SimOptions, ParsesEveryOption) {
    std::string error;
    const auto options =
        parseSimOptions({"--name", "bench", "--dir", "/tmp/x", "--vendor", "0x04D8", "--product", "4096",
                         "--in-len", "16", "--out-len", "0x41", "--schedule", "s.txt", "--stay", "--panel"},
                        error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->server.name, "bench");
    EXPECT_EQ(options->server.directory, "/tmp/x");
    EXPECT_EQ(options->board.vendorId, 0x04D8);
    EXPECT_EQ(options->board.productId, 0x1000);
    EXPECT_EQ(options->board.inputLength, 16u);
    EXPECT_EQ(options->board.outputLength, 65u);
    EXPECT_EQ(options->schedulePath, "s.txt");
    EXPECT_TRUE(options->stay);
    EXPECT_TRUE(options->panel);

    const auto defaults = parseSimOptions({}, error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->server.name, "kaldex0");
    EXPECT_TRUE(defaults->server.directory.empty());
    EXPECT_EQ(defaults->board.vendorId, zelk::kKaldexVendorId);
    EXPECT_FALSE(defaults->stay);
    EXPECT_FALSE(defaults->panel);
}

TEST(SimOptions, RejectsBadArguments) {
    const std::vector<std::vector<std::string>> bad = {
        {"--vendor", "0x10000"}, {"--product", "12ab"}, {"--in-len", "3"},
        {"--out-len", "256"},    {"--in-len", "-9"},    {"--name"},
        {"--frobnicate"},        {"--vendor", "0x"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(parseSimOptions(args, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(SimInput, LinesChangePortZero) {
    BoardModel model;
    auto apply = [&](std::string_view line) {
        std::optional<InputCommand> command;
        std::string error;
        if (!parseInputLine(line, command, error)) return false;
        if (command) applyInput(model, *command);
        return true;
    };
    EXPECT_TRUE(apply("port0 0x70"));
    EXPECT_EQ(model.port0Input(), 0x70);
    EXPECT_TRUE(apply("  release 0\r"));
    EXPECT_TRUE(apply("release\t7"));
    EXPECT_EQ(model.port0Input(), 0xF1);
    EXPECT_TRUE(apply("press 4"));
    EXPECT_EQ(model.port0Input(), 0xE1);
    EXPECT_TRUE(apply(""));
    EXPECT_TRUE(apply("# press 3"));
    EXPECT_EQ(model.port0Input(), 0xE1);

    for (std::string_view bad :
         {"press 8", "port0 0x100", "port0", "press 1 2", "push 1", "port0 -1", "unplug now", "plugin"})
        EXPECT_FALSE(apply(bad)) << bad;
    EXPECT_EQ(model.port0Input(), 0xE1);
}

TEST(SimInput, UnplugAndPlugAreCommandsOfTheirOwn) {
    std::optional<InputCommand> command;
    std::string error;
    ASSERT_TRUE(parseInputLine(" unplug\r", command, error));
    EXPECT_EQ(command->kind, InputCommand::Kind::Unplug);
    ASSERT_TRUE(parseInputLine("plug", command, error));
    EXPECT_EQ(command->kind, InputCommand::Kind::Plug);
    ASSERT_TRUE(parseInputLine("# unplug", command, error));
    EXPECT_FALSE(command);
}

TEST(SimSchedule, OrdersByTimeAndNamesBadLines) {
    std::istringstream good("# test run\n"
                            "500 port0 0xFE\n"
                            "\n"
                            "100 press 2\n"
                            "500 port0 0xFF\n"
                            "0 release 2\n");
    std::vector<ScheduledInput> schedule;
    std::string error;
    ASSERT_TRUE(parseSchedule(good, schedule, error)) << error;
    ASSERT_EQ(schedule.size(), 4u);
    EXPECT_EQ(schedule[0].at, 0ms);
    EXPECT_EQ(schedule[1].at, 100ms);
    EXPECT_EQ(schedule[1].command.kind, InputCommand::Kind::Press);
    EXPECT_EQ(schedule[2].command.value, 0xFE); // equal times keep file order
    EXPECT_EQ(schedule[3].command.value, 0xFF);

    std::istringstream bad("10 port0 0x01\nsoon port0 0x02\n");
    EXPECT_FALSE(parseSchedule(bad, schedule, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    std::istringstream badCommand("10 port1 0x01\n");
    EXPECT_FALSE(parseSchedule(badCommand, schedule, error));
}

TEST(SimBanner, SaysWhenAnswersMayComeLate) {
    const BoardConfig board;
    const std::string fast = boardBanner("/run/b/kaldex0.sock", board);
    EXPECT_EQ(fast.find("normal priority"), std::string::npos) << fast;
    const std::string slow = boardBanner("/run/b/kaldex0.sock", board, "Operation not permitted");
    EXPECT_EQ(slow.rfind(fast, 0), 0u) << "the board's line first";
    EXPECT_NE(slow.find("normal priority, real-time priority refused (Operation not permitted)"),
              std::string::npos)
        << slow;
}

// Virtual boards on Windows: the virtual backend against the board server, over named pipes.
#include "hid/backends.h"
#include "temp_dir.h"
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

using zelk::hid::Device;
using zelk::hid::makeVirtualBackend;
using zelk::hid::ReportLengths;
using zelk::vboard::BoardModel;
using zelk::vboard::BoardServer;

namespace {

std::array<std::uint8_t, 9> readRequest(std::uint8_t sequence) {
    return {0, 3, 0, sequence, 4, 5, 6, 7, 0};
}

class BoardPipes : public TempDirTest {
protected:
    std::unique_ptr<Device> openBoard(const std::string& name = "kaldex0") {
        return makeVirtualBackend(dir)->open(dir + "\\" + name + ".pipe");
    }
};

TEST_F(BoardPipes, BoardGreetsAndAnswersEveryReport) {
    BoardModel model({.productId = 0x0105, .inputLength = 9, .outputLength = 9});
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    EXPECT_EQ(server.socketPath(), dir + "\\kaldex0.pipe");

    auto device = openBoard();
    ASSERT_NE(device, nullptr);
    std::uint16_t vendor = 0, product = 0;
    ASSERT_TRUE(device->attributes(vendor, product));
    EXPECT_EQ(product, 0x0105);
    ReportLengths lengths;
    ASSERT_TRUE(device->reportLengths(lengths));
    EXPECT_EQ(lengths.input, 9u);
    EXPECT_EQ(lengths.output, 9u);

    model.setPort0Input(0xFB);
    std::uint8_t answer[9] = {};
    EXPECT_EQ(device->read(answer, sizeof answer, 5), -1) << "nothing asked, nothing answered";
    for (std::uint8_t sequence : {17, 18}) {
        ASSERT_TRUE(device->write(readRequest(sequence).data(), 9));
        ASSERT_EQ(device->read(answer, sizeof answer, 1000), 9);
        EXPECT_EQ(answer[1], 3);
        EXPECT_EQ(answer[2], 0xFB);
        EXPECT_EQ(answer[3], sequence);
    }
    EXPECT_FALSE(device->write(readRequest(1).data(), 8)) << "only reports of the output length";
}

TEST_F(BoardPipes, ABoardServesOneClientAtATime) {
    BoardModel model;
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    auto first = openBoard();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(openBoard(), nullptr);
    first.reset();
    auto next = openBoard();
    ASSERT_NE(next, nullptr);
    std::uint8_t answer[9];
    ASSERT_TRUE(next->write(readRequest(5).data(), 9));
    EXPECT_EQ(next->read(answer, sizeof answer, 1000), 9);
}

TEST_F(BoardPipes, AClosedBoardFailsReadsAndWritesAndLeavesNoMarker) {
    BoardModel model;
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    auto device = openBoard();
    ASSERT_NE(device, nullptr);
    server.stop();
    std::uint8_t answer[9];
    EXPECT_EQ(device->read(answer, sizeof answer, 100), -1);
    EXPECT_FALSE(device->write(readRequest(1).data(), 9));
    EXPECT_TRUE(makeVirtualBackend(dir)->enumerate().empty());
    EXPECT_FALSE(std::filesystem::exists(dir + "\\kaldex0.pipe"));
}

TEST_F(BoardPipes, BoardsAreListedInByteOrderAndANameIsServedOnce) {
    BoardModel a, b, c, again;
    BoardServer sb(b, {.directory = dir, .name = "b"});
    BoardServer sa(a, {.directory = dir, .name = "a"});
    BoardServer sc(c, {.directory = dir, .name = "Z"});
    ASSERT_TRUE(sb.start());
    ASSERT_TRUE(sa.start());
    ASSERT_TRUE(sc.start());
    std::ofstream(dir + "\\notes.txt") << "not a board";
    EXPECT_EQ(makeVirtualBackend(dir)->enumerate(),
              (std::vector<std::string>{dir + "\\Z.pipe", dir + "\\a.pipe", dir + "\\b.pipe"}));

    BoardServer twin(again, {.directory = dir, .name = "a"});
    std::string error;
    EXPECT_FALSE(twin.start(&error));
    EXPECT_NE(error.find("another board"), std::string::npos) << error;
    EXPECT_EQ(makeVirtualBackend(dir)->open(dir + "\\notes.txt"), nullptr);
}

} // namespace

#include "virtual_board/board_model.h"
#include "virtual_board/port1_relay.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <thread>
#include <vector>

using namespace zelk::vboard;

namespace {

bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
}

TEST(Port1Relay, ChangesReachTheReaderInOrderAndAStalledReaderNeverHoldsUpTheBoard) {
    BoardModel model;
    Port1Relay relay;
    model.setPort1Listener([&relay](std::uint8_t value) { relay.push(value); });
    EXPECT_FALSE(readable(relay.fd()));

    // The answering thread sets port 1 more often than the ring holds, with nobody reading.
    std::thread answering([&] {
        for (std::size_t i = 0; i <= Port1Relay::kCapacity; ++i) {
            const std::uint8_t report[9] = {0, zelk::hid::board::kSetPort1,
                                            static_cast<std::uint8_t>(i % 2 ? 0x0E : 0x0F), 0};
            Answers answers;
            model.takeOutputReport(report, sizeof report, answers);
        }
    });
    answering.join(); // would hang if the board waited for the reader
    ASSERT_TRUE(readable(relay.fd()));
    std::vector<std::uint8_t> heard;
    relay.drain([&](std::uint8_t value) { heard.push_back(value); });
    ASSERT_EQ(heard.size(), Port1Relay::kCapacity) << "the change beyond the ring's room is dropped";
    EXPECT_EQ(heard[0], 0x0F);
    EXPECT_EQ(heard[1], 0x0E);
    EXPECT_FALSE(readable(relay.fd()));

    const std::uint8_t report[9] = {0, zelk::hid::board::kSetPort1, 0x05, 0};
    Answers answers;
    model.takeOutputReport(report, sizeof report, answers);
    heard.clear();
    relay.drain([&](std::uint8_t value) { heard.push_back(value); });
    EXPECT_EQ(heard, std::vector<std::uint8_t>{0x05}) << "room again once read";
}

} // namespace

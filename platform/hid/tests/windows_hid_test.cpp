// The Windows HID backend's logic over a fake of the system calls.
#include "fake_windows_hid.h"

#include <gtest/gtest.h>

using namespace zelk::hid;
using winhid::test::FakeHidDevice;
using winhid::test::FakeHidSystem;

namespace {

struct WindowsHid : ::testing::Test {
    std::unique_ptr<Device> openOnly(FakeHidDevice& device) {
        auto system = std::make_unique<FakeHidSystem>();
        system->add("\\\\?\\hid#vid_1209&pid_0100", device);
        backend = winhid::makeBackend(std::move(system));
        return backend->open(backend->enumerate().at(0));
    }
    std::unique_ptr<Backend> backend;
};

TEST_F(WindowsHid, ReportLengthsComeFromTheCapabilities) {
    FakeHidDevice board(0x1209, 0x0100, 65, 33);
    auto device = openOnly(board);
    ASSERT_NE(device, nullptr);
    ReportLengths lengths;
    ASSERT_TRUE(device->reportLengths(lengths));
    EXPECT_EQ(lengths.input, 65u);
    EXPECT_EQ(lengths.output, 33u);

    FakeHidDevice noCaps(0x1209, 0x0100);
    noCaps.hasCapabilities = false;
    auto other = openOnly(noCaps);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(other->reportLengths(lengths));
    std::uint8_t buffer[9];
    EXPECT_EQ(other->read(buffer, sizeof buffer, 5), -1);
}

TEST_F(WindowsHid, AReadThatTimesOutFailsAndItsReportComesWithTheNextRead) {
    FakeHidDevice board(0x1209, 0x0100);
    auto device = openOnly(board);
    ASSERT_NE(device, nullptr);
    std::uint8_t buffer[16] = {};
    EXPECT_EQ(device->read(buffer, 9, 5), -1); // nothing arrives in time

    board.reports.push_back({0, 3, 0xFE, 42, 0, 0, 0, 0, 0});
    board.reports.push_back({0, 3, 0xFD, 43, 0, 0, 0, 0, 0});
    ASSERT_EQ(device->read(buffer, 9, 5), 9); // the pending read completes
    EXPECT_EQ(buffer[3], 42);
    // A caller's buffer shorter than the report gets its first bytes; nothing is written past it.
    buffer[4] = 0x77;
    ASSERT_EQ(device->read(buffer, 4, 5), 4);
    EXPECT_EQ(buffer[3], 43);
    EXPECT_EQ(buffer[4], 0x77);
}

TEST_F(WindowsHid, AFailedReadOrWriteKeepsItsReason) {
    FakeHidDevice board(0x1209, 0x0100);
    auto device = openOnly(board);
    ASSERT_NE(device, nullptr);
    std::uint8_t buffer[9] = {};
    EXPECT_EQ(device->read(buffer, 9, 5), -1);
    EXPECT_EQ(device->lastError().kind, IoFailure::TimedOut);
    EXPECT_TRUE(device->write(buffer, 9));
    EXPECT_EQ(device->lastError().kind, IoFailure::None);
    board.writeFailure = {IoFailure::Gone, 1167}; // ERROR_DEVICE_NOT_CONNECTED
    EXPECT_FALSE(device->write(buffer, 9));
    EXPECT_EQ(device->lastError(), (IoError{IoFailure::Gone, 1167}));
}

} // namespace

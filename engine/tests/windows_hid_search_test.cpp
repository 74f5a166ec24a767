// The board search and the read handshake over the Windows HID backend, with the system calls faked: the
// same rules as on Linux, on HID class interfaces with their attributes and capabilities.
#include "core/device_link.h"
#include "core/engine_platform.h"
#include "hid/tests/fake_windows_hid.h"
#include "kaldex_config.h"

#include <gtest/gtest.h>

namespace zelk {
namespace {

using hid::winhid::test::FakeHidDevice;
using hid::winhid::test::FakeHidSystem;

class WindowsHidPlatform final : public Platform {
public:
    explicit WindowsHidPlatform(std::unique_ptr<FakeHidSystem> system)
        : system_(*system), devices_(hid::winhid::makeBackend(std::move(system))) {}
    hid::Backend& devices() override { return *devices_; }
    std::unique_ptr<timer::PeriodicTimer> makeTimer() override { return nullptr; }
    LocalTime now() override { return {}; }
    void sleepMs(int) override {}
    bool currentDirectory(std::string&) override { return false; }
    void putClipboard(const char*) override {}
    FakeHidSystem& system() { return system_; }

private:
    FakeHidSystem& system_;
    std::unique_ptr<hid::Backend> devices_;
};

TEST(WindowsHidSearch, OpensTheFirstBoardAmongTheInterfacesWithItsCapabilities) {
    FakeHidDevice unopenable(kKaldexVendorId, 0x0100);
    unopenable.opens = false;
    FakeHidDevice keyboard(0x046D, 0x0100);
    FakeHidDevice otherProduct(kKaldexVendorId, 0x0110);
    FakeHidDevice board(kKaldexVendorId, 0x1000, 9, 12);
    FakeHidDevice secondBoard(kKaldexVendorId, 0x0100);
    auto system = std::make_unique<FakeHidSystem>();
    system->add("\\\\?\\hid#1", unopenable);
    system->add("\\\\?\\hid#2", keyboard);
    system->add("\\\\?\\hid#3", otherProduct);
    system->add("\\\\?\\hid#4", board);
    system->add("\\\\?\\hid#5", secondBoard);
    WindowsHidPlatform platform(std::move(system));
    DeviceLink link(platform);

    ASSERT_TRUE(link.findAndOpen());
    EXPECT_EQ(platform.system().opened,
              (std::vector<std::string>{"\\\\?\\hid#1", "\\\\?\\hid#2", "\\\\?\\hid#3", "\\\\?\\hid#4"}));
    EXPECT_TRUE(board.open);
    EXPECT_FALSE(keyboard.open) << "a device that is not the board is released";
    EXPECT_FALSE(otherProduct.open);

    // Output reports go out with the output length of the capabilities.
    ASSERT_TRUE(link.send(hid::board::kReadRequest, 0, 7));
    ASSERT_EQ(board.written.size(), 1u);
    EXPECT_EQ(board.written[0].size(), 12u);
    EXPECT_EQ(board.written[0][3], 7);

    // The answer to an earlier request is skipped; reads that find nothing in time fail.
    board.reports.push_back({0, 3, 0xFE, 6, 0, 0, 0, 0, 0});
    board.reports.push_back({0, 3, 0xFD, 7, 0, 0, 0, 0, 0});
    int failedReads = 0;
    ASSERT_TRUE(link.readInput(failedReads));
    EXPECT_EQ(link.lastReport()[2], 0xFD);
    EXPECT_EQ(failedReads, 0);
    EXPECT_FALSE(link.readInput(failedReads));
    EXPECT_EQ(failedReads, DeviceLink::kReadAttempts);
}

} // namespace
} // namespace zelk

#include "virtual_board/uhid/uhid_cli.h"

#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

using namespace zelk::vboard;

TEST(UhidCli, TakesAnyIdentityAndTheBoardsLengths) {
    std::string error;
    const auto options =
        parseUhidOptions({"--vendor", "0x04D8", "--product", "0x0200", "--in-len", "65", "--stay"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->board.vendorId, 0x04D8);
    EXPECT_EQ(options->board.productId, 0x0200) << "a product the device link leaves alone is allowed";
    EXPECT_EQ(options->board.inputLength, 65u);
    EXPECT_TRUE(options->stay);
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--dir", "/tmp"}, {"--out-len", "3"}, {"--vendor"}, {"--product", "x"}})
        EXPECT_FALSE(parseUhidOptions(bad, error)) << bad[0];
}

TEST(UhidCli, SaysWhyDevUhidCannotBeOpened) {
    EXPECT_NE(uhidOpenFailure(ENOENT).find("modprobe uhid"), std::string::npos);
    EXPECT_NE(uhidOpenFailure(EACCES).find("sudo"), std::string::npos);
    EXPECT_NE(uhidOpenFailure(EBUSY).find("/dev/uhid"), std::string::npos);
}

TEST(UhidCli, FindsTheHidrawNodeOfItsOwnDevice) {
    zelk::test::TempDir sys;
    const auto device = [&](const std::string& name, const std::string& phys, const std::string& node) {
        const auto dir = sys.path() / "bus/hid/devices" / name;
        std::filesystem::create_directories(dir / "hidraw" / node);
        std::ofstream(dir / "uevent")
            << "DRIVER=hid-generic\nHID_ID=0003:00001209:00000100\nHID_PHYS=" << phys << "\nHID_UNIQ=\n";
    };
    device("0003:1209:0100.0001", "kaldex-uhid-7", "hidraw0");
    device("0003:1209:0100.0002", "kaldex-uhid-77", "hidraw1");
    EXPECT_EQ(findHidrawNode("kaldex-uhid-77", sys.cwd()), "/dev/hidraw1");
    EXPECT_EQ(findHidrawNode("kaldex-uhid-8", sys.cwd()), "");
}

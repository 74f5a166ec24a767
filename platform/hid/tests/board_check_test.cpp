// Why no board opens: virtual boards served in a private folder, and a backend whose opens fail as a test
// says.
#include "hid/backends.h"
#include "hid/board_check.h"
#include "kaldex_config.h"
#include "temp_dir.h"
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <map>

using namespace zelk::hid;
using zelk::vboard::BoardModel;
using zelk::vboard::BoardServer;

namespace {

// Devices listed with their IDs, none of which opens: each fails with its own reason.
class RefusingBackend final : public Backend {
public:
    struct Entry {
        std::uint16_t vendorId;
        OpenError error;
    };
    void add(const std::string& path, std::uint16_t vendorId, OpenError error) {
        order_.push_back(path);
        entries_[path] = {vendorId, error};
    }
    std::vector<std::string> enumerate() override { return order_; }
    std::unique_ptr<Device> open(const std::string& path) override {
        opened.push_back(path);
        last_ = entries_.at(path).error;
        return nullptr;
    }
    OpenError lastOpenError() const override { return last_; }
    bool listedAttributes(const std::string& path, std::uint16_t& vendorId,
                          std::uint16_t& productId) override {
        vendorId = entries_.at(path).vendorId;
        productId = 0x0100;
        return true;
    }
    std::vector<std::string> opened;

private:
    std::vector<std::string> order_;
    std::map<std::string, Entry> entries_;
    OpenError last_;
};

class BoardCheckTest : public TempDirTest {};

TEST_F(BoardCheckTest, AnEmptyFolderOrAStaleSocketIsNoBoardAndNamesTheFolder) {
    auto devices = makeVirtualBackend(dir);
    BoardCheck check = checkBoards(*devices, dir);
    EXPECT_EQ(check.problem, BoardProblem::NoBoard);
    EXPECT_EQ(check.boardDirectory, dir);
    EXPECT_EQ(check.path, "");

    std::ofstream(dir + "/gone.sock"); // left behind by a board that ended: nobody listens
    EXPECT_EQ(checkBoards(*devices, dir).problem, BoardProblem::NoBoard);
}

TEST_F(BoardCheckTest, ABoardHeldByAnotherClientIsInUseAndAFreeOneOpens) {
    BoardModel model;
    BoardServer server(model, {.directory = dir, .name = "kaldex0"});
    ASSERT_TRUE(server.start());
    auto devices = makeVirtualBackend(dir);
    EXPECT_EQ(checkBoards(*devices, dir).problem, BoardProblem::Opens) << "nothing holds it";

    auto holder = makeVirtualBackend(dir);
    const auto held = holder->open(server.socketPath());
    ASSERT_NE(held, nullptr);
    const BoardCheck check = checkBoards(*devices, dir);
    EXPECT_EQ(check.problem, BoardProblem::InUse);
    EXPECT_EQ(check.path, server.socketPath());
}

TEST_F(BoardCheckTest, OnlyBoardsCountAndTheFirstBoardThatFailsNamesTheProblem) {
    RefusingBackend devices;
    devices.add("/dev/hidraw0", zelk::kKaldexVendorId + 1, {OpenFailure::NoPermission, EACCES}); // a keyboard
    devices.add("/dev/hidraw1", zelk::kKaldexVendorId, {OpenFailure::Missing, ENODEV});          // unplugged
    devices.add("/dev/hidraw2", zelk::kKaldexVendorId, {OpenFailure::NoPermission, EACCES});
    devices.add("/dev/hidraw3", zelk::kKaldexVendorId, {OpenFailure::InUse, EWOULDBLOCK});
    const BoardCheck check = checkBoards(devices, dir);
    EXPECT_EQ(check.problem, BoardProblem::NoPermission);
    EXPECT_EQ(check.path, "/dev/hidraw2");
    EXPECT_EQ(check.systemText, "Permission denied");
    EXPECT_EQ(devices.opened, (std::vector<std::string>{"/dev/hidraw1", "/dev/hidraw2"}))
        << "another maker's device is not opened";
}

} // namespace

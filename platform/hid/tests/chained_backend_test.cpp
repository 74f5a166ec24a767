#include "hid/backends.h"
#include "hid/chained_backend.h"
#include "temp_dir.h"
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

using namespace zelk::hid;

namespace {

// Lists fixed paths and records which paths it was asked to open.
class ListBackend : public Backend {
public:
    ListBackend(std::vector<std::string> paths, std::vector<std::string>& opened, std::string tag)
        : paths_(std::move(paths)), opened_(opened), tag_(std::move(tag)) {}
    std::vector<std::string> enumerate() override { return paths_; }
    std::unique_ptr<Device> open(const std::string& path) override {
        opened_.push_back(tag_ + ":" + path);
        if (std::find(paths_.begin(), paths_.end(), path) == paths_.end()) return nullptr;
        return std::make_unique<NullDevice>();
    }
    std::vector<std::string> paths_;

private:
    struct NullDevice : Device {
        bool attributes(std::uint16_t&, std::uint16_t&) override { return false; }
        bool reportLengths(ReportLengths&) override { return false; }
        int read(std::uint8_t*, std::size_t, int) override { return -1; }
        bool write(const std::uint8_t*, std::size_t) override { return false; }
    };
    std::vector<std::string>& opened_;
    std::string tag_;
};

} // namespace

TEST(ChainedBackend, ListsBackendsInOrderAndOpensEachPathWithItsOwner) {
    std::vector<std::string> opened;
    auto first =
        std::make_unique<ListBackend>(std::vector<std::string>{"/dev/hidraw1", "/shared"}, opened, "first");
    auto second =
        std::make_unique<ListBackend>(std::vector<std::string>{"/b/x.sock", "/shared"}, opened, "second");
    ListBackend* secondRaw = second.get();
    std::vector<std::unique_ptr<Backend>> backends;
    backends.push_back(std::move(first));
    backends.push_back(std::move(second));
    auto chained = makeChainedBackend(std::move(backends));

    EXPECT_EQ(chained->enumerate(), (std::vector<std::string>{"/dev/hidraw1", "/shared", "/b/x.sock"}));
    EXPECT_NE(chained->open("/b/x.sock"), nullptr);
    EXPECT_NE(chained->open("/shared"), nullptr);
    EXPECT_EQ(opened, (std::vector<std::string>{"second:/b/x.sock", "first:/shared"}));

    // A path no enumeration listed is offered to each backend in turn.
    opened.clear();
    EXPECT_EQ(chained->open("/unknown"), nullptr);
    EXPECT_EQ(opened, (std::vector<std::string>{"first:/unknown", "second:/unknown"}));

    // Ownership follows the latest enumeration.
    secondRaw->paths_ = {"/dev/hidraw1"};
    chained->enumerate();
    opened.clear();
    EXPECT_NE(chained->open("/dev/hidraw1"), nullptr);
    EXPECT_EQ(opened, (std::vector<std::string>{"first:/dev/hidraw1"}));
}

class SystemBackend : public TempDirTest {};

TEST_F(SystemBackend, ListsVirtualBoardsAfterRealDevices) {
    zelk::vboard::BoardModel model;
    zelk::vboard::BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());

    auto backend = makeSystemBackend(dir);
    const auto paths = backend->enumerate();
    ASSERT_FALSE(paths.empty());
    EXPECT_EQ(paths.back(), server.socketPath());
    auto device = backend->open(server.socketPath());
    ASSERT_NE(device, nullptr);
    std::uint16_t vendor = 0, product = 0;
    EXPECT_TRUE(device->attributes(vendor, product));
    EXPECT_EQ(product, 0x0100);
}

#ifndef _WIN32
TEST(HidapiBackend, MissingPathDoesNotOpen) {
    auto backend = makeHidapiBackend();
    backend->enumerate();
    EXPECT_EQ(backend->open("/nonexistent/hidraw9"), nullptr);
    EXPECT_EQ(makeVirtualBackend("/nonexistent")->open("/dev/hidraw0"), nullptr);
}

TEST(VirtualBoardDirectory, OwnSettingThenRuntimeDirectoryThenPerUserTmp) {
    // The test's own environment is restored afterwards.
    struct Saved {
        const char* name;
        std::optional<std::string> value;
    };
    std::vector<Saved> saved;
    for (const char* name : {"KALDEX_BOARD_DIR", "XDG_RUNTIME_DIR"}) {
        const char* value = std::getenv(name);
        saved.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
    ::setenv("KALDEX_BOARD_DIR", "/srv/boards", 1);
    ::setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
    EXPECT_EQ(vproto::boardDirectory(), "/srv/boards");
    ::setenv("KALDEX_BOARD_DIR", "", 1);
    EXPECT_EQ(vproto::boardDirectory(), "/run/user/1234/kaldex-boards");
    ::unsetenv("KALDEX_BOARD_DIR");
    EXPECT_EQ(vproto::boardDirectory(), "/run/user/1234/kaldex-boards");
    const std::string tmp = "/tmp/kaldex-boards-" + std::to_string(::getuid());
    ::setenv("XDG_RUNTIME_DIR", "relative", 1); // not a usable runtime directory
    EXPECT_EQ(vproto::boardDirectory(), tmp);
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(vproto::boardDirectory(), tmp);
    for (const Saved& s : saved) {
        if (s.value)
            ::setenv(s.name, s.value->c_str(), 1);
        else
            ::unsetenv(s.name);
    }
}
#endif

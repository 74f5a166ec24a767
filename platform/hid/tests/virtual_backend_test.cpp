#include "hid/backends.h"
#include "hid/failure_text.h"
#include "hid/unique_fd.h"
#include "temp_dir.h"
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using zelk::hid::Device;
using zelk::hid::makeVirtualBackend;
using zelk::hid::OpenFailure;
using zelk::hid::ReportLengths;
using zelk::hid::UniqueFd;
using zelk::vboard::BoardConfig;
using zelk::vboard::BoardModel;
using zelk::vboard::BoardServer;
using Clock = std::chrono::steady_clock;

namespace {

std::array<std::uint8_t, 9> command(std::uint8_t cmd, std::uint8_t value, std::uint8_t sequence = 0) {
    return {0, cmd, value, sequence, 4, 5, 6, 7, 0};
}

bool send(Device& device, const std::array<std::uint8_t, 9>& report) {
    return device.write(report.data(), 9);
}

// A socket in dir that greets each client with the given bytes (nothing when empty) and keeps it open.
class RawBoard {
public:
    RawBoard(const std::string& path, std::vector<std::uint8_t> hello) : hello_(std::move(hello)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.c_str());
        listener_.reset(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
        EXPECT_EQ(::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(::listen(listener_.get(), 4), 0);
        thread_ = std::thread([this] {
            client_.reset(::accept(listener_.get(), nullptr, nullptr));
            if (client_.valid() && !hello_.empty())
                ::send(client_.get(), hello_.data(), hello_.size(), MSG_NOSIGNAL);
        });
    }
    ~RawBoard() {
        ::shutdown(listener_.get(), SHUT_RDWR);
        thread_.join();
    }

private:
    UniqueFd listener_;
    UniqueFd client_;
    std::vector<std::uint8_t> hello_;
    std::thread thread_;
};

class VirtualBackend : public TempDirTest {
protected:
    std::string socketPath(const std::string& name) const { return dir + "/" + name + ".sock"; }
};

} // namespace

TEST_F(VirtualBackend, HelloGivesIdentityAndReportLengths) {
    BoardModel model(
        BoardConfig{.vendorId = 0x1234, .productId = 0x0105, .inputLength = 12, .outputLength = 10});
    BoardServer server(model, {.directory = dir, .name = "kaldex0"});
    ASSERT_TRUE(server.start());

    auto backend = makeVirtualBackend(dir);
    ASSERT_EQ(backend->enumerate(), std::vector<std::string>{socketPath("kaldex0")});
    auto device = backend->open(socketPath("kaldex0"));
    ASSERT_NE(device, nullptr);
    std::uint16_t vendor = 0, product = 0;
    ASSERT_TRUE(device->attributes(vendor, product));
    EXPECT_EQ(vendor, 0x1234);
    EXPECT_EQ(product, 0x0105);
    ReportLengths lengths;
    ASSERT_TRUE(device->reportLengths(lengths));
    EXPECT_EQ(lengths.input, 12u);
    EXPECT_EQ(lengths.output, 10u);
}

TEST_F(VirtualBackend, CommandsAreAnsweredInOrder) {
    BoardModel model;
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    auto device = makeVirtualBackend(dir)->open(server.socketPath());
    ASSERT_NE(device, nullptr);

    model.setPort0Input(0xFE);
    ASSERT_TRUE(send(*device, command(1, 0xFF)));
    ASSERT_TRUE(send(*device, command(2, 0x0E)));
    ASSERT_TRUE(send(*device, command(3, 0, 42)));
    const std::uint8_t expectedCommands[] = {1, 2, 3};
    for (std::uint8_t cmd : expectedCommands) {
        std::uint8_t buffer[16];
        std::memset(buffer, 0xAA, sizeof(buffer));
        ASSERT_EQ(device->read(buffer, sizeof(buffer), 2000), 9);
        EXPECT_EQ(buffer[0], 0);
        EXPECT_EQ(buffer[1], cmd);
        EXPECT_EQ(buffer[2], 0xFE);
        EXPECT_EQ(buffer[3], cmd == 3 ? 42 : 0);
        for (int i = 4; i < 9; ++i)
            EXPECT_EQ(buffer[i], 0) << i;
        EXPECT_EQ(buffer[9], 0xAA); // nothing past the report
    }
    EXPECT_EQ(model.port1Output(), 0x0E);
    EXPECT_EQ(model.commandCount(3), 1u);

    // A report of another length than the board's output length is refused by the device itself.
    const std::uint8_t shortReport[4] = {0, 3, 0, 1};
    EXPECT_FALSE(device->write(shortReport, sizeof(shortReport)));
    EXPECT_EQ(model.reportCount(), 3u);
}

TEST_F(VirtualBackend, EnumeratesSocketsInByteOrderOfTheirNames) {
    BoardModel a, b, upper;
    BoardServer serverB(b, {.directory = dir, .name = "b"});
    BoardServer serverA(a, {.directory = dir, .name = "a"});
    BoardServer serverUpper(upper, {.directory = dir, .name = "B"});
    ASSERT_TRUE(serverB.start());
    ASSERT_TRUE(serverA.start());
    ASSERT_TRUE(serverUpper.start());
    std::ofstream(dir + "/c.sock") << "not a socket";
    std::ofstream(dir + "/a.txt") << "not a board";

    EXPECT_EQ(makeVirtualBackend(dir + "/")->enumerate(),
              (std::vector<std::string>{socketPath("B"), socketPath("a"), socketPath("b")}));
}

TEST_F(VirtualBackend, UntrustedDirectoriesAreSkipped) {
    BoardModel model;
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    auto backend = makeVirtualBackend(dir);
    ASSERT_EQ(backend->enumerate().size(), 1u);

    // Open to the group: neither listed nor opened.
    ASSERT_EQ(::chmod(dir.c_str(), 0750), 0);
    EXPECT_TRUE(backend->enumerate().empty());
    EXPECT_EQ(backend->open(server.socketPath()), nullptr);
    ASSERT_EQ(::chmod(dir.c_str(), 0700), 0);

    // Reached through a symbolic link.
    const std::string link = dir + "-link";
    ASSERT_EQ(::symlink(dir.c_str(), link.c_str()), 0);
    auto linked = makeVirtualBackend(link);
    EXPECT_TRUE(linked->enumerate().empty());
    EXPECT_EQ(linked->open(link + "/kaldex0.sock"), nullptr);
    ::unlink(link.c_str());

    // Missing directory; a path outside the directory.
    EXPECT_TRUE(makeVirtualBackend(dir + "/missing")->enumerate().empty());
    EXPECT_EQ(makeVirtualBackend(dir + "/missing")->open(server.socketPath()), nullptr);

    // Owned by another user (only root can arrange that).
    if (::chown(dir.c_str(), 4242, static_cast<gid_t>(-1)) == 0) {
        EXPECT_TRUE(backend->enumerate().empty());
        EXPECT_EQ(backend->open(server.socketPath()), nullptr);
        ASSERT_EQ(::chown(dir.c_str(), ::getuid(), static_cast<gid_t>(-1)), 0);
    }
    EXPECT_NE(backend->open(server.socketPath()), nullptr);
}

TEST_F(VirtualBackend, BadHelloFailsTheOpen) {
    const std::vector<std::vector<std::uint8_t>> hellos = {
        {'K', 'X', 'V', 'B', 2, 0, 0x09, 0x12, 0x00, 0x01, 9, 9},    // version 2
        {'K', 'X', 'V', 'C', 1, 0, 0x09, 0x12, 0x00, 0x01, 9, 9},    // wrong magic
        {'K', 'X', 'V', 'B', 1, 0, 0x09, 0x12, 0x00, 0x01, 9},       // short
        {'K', 'X', 'V', 'B', 1, 0, 0x09, 0x12, 0x00, 0x01, 9, 9, 0}, // long
        {'K', 'X', 'V', 'B', 1, 0, 0x09, 0x12, 0x00, 0x01, 0, 9},    // no input report
    };
    for (std::size_t i = 0; i < hellos.size(); ++i) {
        const std::string path = socketPath("raw" + std::to_string(i));
        RawBoard raw(path, hellos[i]);
        EXPECT_EQ(makeVirtualBackend(dir)->open(path), nullptr) << i;
    }
    // A board that never greets: the open gives up after its hello time-out.
    RawBoard silent(socketPath("silent"), {});
    const auto start = Clock::now();
    auto backend = makeVirtualBackend(dir);
    EXPECT_EQ(backend->open(socketPath("silent")), nullptr);
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_EQ(backend->lastOpenError().kind, OpenFailure::NoAnswer);
    // Nothing listens.
    std::ofstream(dir + "/none.sock");
    EXPECT_EQ(backend->open(socketPath("none")), nullptr);
    EXPECT_EQ(backend->lastOpenError().kind, OpenFailure::Missing);
    EXPECT_EQ(backend->lastOpenError().errorNumber, ECONNREFUSED);
}

TEST_F(VirtualBackend, BusyBoardRefusesASecondClient) {
    BoardModel model;
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    auto backend = makeVirtualBackend(dir);
    auto first = backend->open(server.socketPath());
    ASSERT_NE(first, nullptr);
    const auto start = Clock::now();
    EXPECT_EQ(backend->open(server.socketPath()), nullptr);
    EXPECT_LT(Clock::now() - start, 900ms); // closed at once, not left to the hello time-out
    EXPECT_EQ(backend->lastOpenError().kind, OpenFailure::InUse);

    first.reset();
    EXPECT_NE(backend->open(server.socketPath()), nullptr);
}

TEST_F(VirtualBackend, UnpluggedBoardFailsReadsAndWritesWithoutSignal) {
    BoardModel model;
    {
        BoardServer server(model, {.directory = dir});
        ASSERT_TRUE(server.start());
        auto device = makeVirtualBackend(dir)->open(server.socketPath());
        ASSERT_NE(device, nullptr);
        server.stop();
        // A write into a closed socket would raise SIGPIPE and end this test program.
        EXPECT_FALSE(send(*device, command(3, 0, 1)));
        std::uint8_t buffer[16];
        EXPECT_EQ(device->read(buffer, sizeof(buffer), 100), -1);
        EXPECT_FALSE(send(*device, command(3, 0, 2)));
    }
    {
        BoardServer server(model, {.directory = dir});
        ASSERT_TRUE(server.start());
        auto device = makeVirtualBackend(dir)->open(server.socketPath());
        ASSERT_NE(device, nullptr);
        model.disconnect();
        std::uint8_t buffer[16];
        EXPECT_EQ(device->read(buffer, sizeof(buffer), 2000), -1);
        EXPECT_FALSE(send(*device, command(3, 0, 1)));
        // The board itself goes on: a new connection works.
        auto again = makeVirtualBackend(dir)->open(server.socketPath());
        ASSERT_NE(again, nullptr);
        ASSERT_TRUE(send(*again, command(3, 0, 7)));
        ASSERT_EQ(again->read(buffer, sizeof(buffer), 2000), 9);
        EXPECT_EQ(buffer[3], 7);
    }
}

TEST_F(VirtualBackend, SilentBoardTimesOutEachRead) {
    BoardModel model;
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    auto device = makeVirtualBackend(dir)->open(server.socketPath());
    ASSERT_NE(device, nullptr);

    model.setSilent(true);
    ASSERT_TRUE(send(*device, command(3, 0, 1)));
    std::uint8_t buffer[16];
    const auto start = Clock::now();
    EXPECT_EQ(device->read(buffer, sizeof(buffer), 30), -1);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 25ms);
    EXPECT_LT(took, 1s);
    EXPECT_EQ(device->read(buffer, sizeof(buffer), 0), -1);

    // Silence does not break the link: once the board answers again, the next command gets its answer.
    model.setSilent(false);
    ASSERT_TRUE(send(*device, command(3, 0, 2)));
    ASSERT_EQ(device->read(buffer, sizeof(buffer), 2000), 9);
    EXPECT_EQ(buffer[3], 2);
}

// The reason a person reads: a time-out as a time-out, a board that went away as gone, kept after it.
TEST_F(VirtualBackend, AFailedReadOrWriteKeepsItsReason) {
    using zelk::hid::IoFailure;
    BoardModel model;
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    auto device = makeVirtualBackend(dir)->open(server.socketPath());
    ASSERT_NE(device, nullptr);
    const auto reason = [&] {
        char text[zelk::hid::kReasonTextBytes];
        device->describeLastError(text, sizeof text);
        return std::string(text);
    };
    std::uint8_t buffer[16];

    model.setSilent(true);
    EXPECT_EQ(device->read(buffer, sizeof(buffer), 5), -1);
    EXPECT_EQ(device->lastError().kind, IoFailure::TimedOut);
    EXPECT_EQ(reason(), "time-out: the board did not respond in time");
    EXPECT_FALSE(device->write(buffer, 5)) << "not the board's output length";
    EXPECT_EQ(device->lastError().kind, IoFailure::Rejected);
    model.setSilent(false);
    ASSERT_TRUE(send(*device, command(3, 0, 1)));
    EXPECT_EQ(device->lastError().kind, IoFailure::None);

    model.disconnect();
    ASSERT_TRUE(device->read(buffer, sizeof(buffer), 2000) == 9 ||
                device->lastError().kind == IoFailure::Gone);
    EXPECT_EQ(device->read(buffer, sizeof(buffer), 2000), -1);
    EXPECT_EQ(device->lastError().kind, IoFailure::Gone);
    EXPECT_EQ(reason(), "the board is gone: unplugged, or its program ended");
    EXPECT_FALSE(send(*device, command(3, 0, 2)));
    EXPECT_EQ(reason(), "the board is gone: unplugged, or its program ended") << "the reason that closed it";
}

TEST_F(VirtualBackend, RefusedWritesFail) {
    BoardModel model;
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    auto device = makeVirtualBackend(dir)->open(server.socketPath());
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(send(*device, command(3, 0, 1)));

    model.setRefuseWrites(true);
    // The board shuts its receiving side on its own thread; writes fail from then on.
    const auto deadline = Clock::now() + 5s;
    bool failed = false;
    while (!failed && Clock::now() < deadline) {
        failed = !send(*device, command(3, 0, 2));
        if (!failed) std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(failed);
    EXPECT_FALSE(send(*device, command(3, 0, 3)));
}

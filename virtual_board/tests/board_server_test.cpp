#include "hid/unique_fd.h"
#include "testing/temp_dir.h"
#include "virtual_board/board_server.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>

using namespace zelk::vboard;
using namespace std::chrono_literals;
using zelk::hid::UniqueFd;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

namespace {

// A bare protocol client.
class Client {
public:
    explicit Client(const std::string& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.c_str());
        fd_.reset(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
        connected_ = ::connect(fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    bool connected() const { return connected_; }
    bool send(const Bytes& packet) {
        return ::send(fd_.get(), packet.data(), packet.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(packet.size());
    }
    // One packet, or nothing within timeoutMs; empty also when the board closed the connection.
    std::optional<Bytes> receive(int timeoutMs) {
        pollfd p{fd_.get(), POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) != 1) return std::nullopt;
        Bytes packet(300);
        const ssize_t n = ::recv(fd_.get(), packet.data(), packet.size(), 0);
        packet.resize(static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        return packet;
    }

private:
    UniqueFd fd_;
    bool connected_ = false;
};

Bytes report(std::uint8_t command, std::uint8_t value, std::uint8_t sequence = 0, std::size_t length = 9) {
    Bytes bytes(length, 0);
    bytes[1] = command;
    bytes[2] = value;
    bytes[3] = sequence;
    return bytes;
}

class BoardServerTest : public ::testing::Test {
protected:
    zelk::test::TempDir temp;
    std::string root = temp.cwd();
    std::string dir = root + "/boards";
};

} // namespace

TEST_F(BoardServerTest, GreetsAndAnswersOverTheSocket) {
    BoardModel model(
        BoardConfig{.vendorId = 0xABCD, .productId = 0x1000, .inputLength = 10, .outputLength = 12});
    BoardServer server(model, {.directory = dir, .name = "bench"});
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    EXPECT_EQ(server.socketPath(), dir + "/bench.sock");
    struct stat st {};
    ASSERT_EQ(::lstat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    Client client(server.socketPath());
    ASSERT_TRUE(client.connected());
    EXPECT_EQ(client.receive(2000), (Bytes{'K', 'X', 'V', 'B', 1, 0, 0xCD, 0xAB, 0x00, 0x10, 10, 12}));

    model.setPort0Input(0x7F);
    ASSERT_TRUE(client.send(report(3, 0, 99, 9)));  // wrong length: ignored
    ASSERT_TRUE(client.send(report(3, 0, 98, 13))); // wrong length: ignored
    ASSERT_TRUE(client.send(Bytes{}));              // zero length: ignored, not the end of the connection
    ASSERT_TRUE(client.send(report(2, 0x0C, 0, 12)));
    ASSERT_TRUE(client.send(report(3, 0, 42, 12)));
    EXPECT_EQ(client.receive(2000), (Bytes{0, 2, 0x7F, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(client.receive(2000), (Bytes{0, 3, 0x7F, 42, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(client.receive(50));
    EXPECT_EQ(model.port1Output(), 0x0C);
    EXPECT_EQ(model.reportCount(), 2u);
    EXPECT_TRUE(server.clientConnected());

    server.stop();
    EXPECT_FALSE(std::filesystem::exists(server.socketPath()));
    EXPECT_EQ(client.receive(2000), Bytes{}); // closed
}

TEST_F(BoardServerTest, DelaysAnswersAndServesOneClientAtATime) {
    BoardModel model;
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    Client first(server.socketPath());
    ASSERT_TRUE(first.receive(2000));
    Client second(server.socketPath());
    EXPECT_EQ(second.receive(2000), Bytes{}); // closed without a hello
    EXPECT_EQ(server.connectionCount(), 1u);

    model.setAnswerDelay(150ms);
    const auto sent = Clock::now();
    ASSERT_TRUE(first.send(report(3, 0, 1)));
    ASSERT_TRUE(first.send(report(3, 0, 2)));
    EXPECT_FALSE(first.receive(20));
    const auto answer = first.receive(3000);
    EXPECT_GE(Clock::now() - sent, 140ms);
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[3], 1);
    EXPECT_EQ((*first.receive(3000))[3], 2);
}

TEST_F(BoardServerTest, DisconnectEndsTheConnectionOnly) {
    BoardModel model;
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    Client first(server.socketPath());
    ASSERT_TRUE(first.receive(2000));
    model.disconnect();
    EXPECT_EQ(first.receive(2000), Bytes{});

    Client second(server.socketPath());
    ASSERT_TRUE(second.receive(2000));
    ASSERT_TRUE(second.send(report(3, 0, 4)));
    EXPECT_EQ((*second.receive(2000))[3], 4);
    EXPECT_EQ(server.connectionCount(), 2u);
}

TEST_F(BoardServerTest, RefusedWritesFailAtTheClient) {
    BoardModel model;
    model.setRefuseWrites(true);
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    Client client(server.socketPath());
    ASSERT_TRUE(client.receive(2000));
    const auto deadline = Clock::now() + 5s;
    while (client.send(report(3, 0, 1)) && Clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(client.send(report(3, 0, 1)));
    EXPECT_EQ(model.reportCount(), 0u);
}

TEST_F(BoardServerTest, SocketFileRules) {
    BoardModel model;
    BoardModel other;
    {
        BoardServer server(model, {.directory = dir});
        ASSERT_TRUE(server.start());
        // Another board on the same name is refused while the first listens.
        BoardServer rival(other, {.directory = dir});
        std::string error;
        EXPECT_FALSE(rival.start(&error));
        EXPECT_NE(error.find("another board"), std::string::npos) << error;
    }
    // A socket left behind by a board that died is replaced.
    {
        UniqueFd leftover(::socket(AF_UNIX, SOCK_SEQPACKET, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, (dir + "/kaldex0.sock").c_str());
        ASSERT_EQ(::bind(leftover.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    }
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    server.stop();

    // A file that is not a socket is left alone; an unusable name is refused.
    std::ofstream(dir + "/kaldex0.sock") << "keep";
    EXPECT_FALSE(server.start());
    EXPECT_TRUE(std::filesystem::exists(dir + "/kaldex0.sock"));
    EXPECT_FALSE(BoardServer(model, {.directory = dir, .name = "a/b"}).start());
    EXPECT_FALSE(BoardServer(model, {.directory = dir, .name = std::string(120, 'x')}).start());
}

TEST_F(BoardServerTest, DirectoryMustBeTheCallersOwn) {
    BoardModel model;
    // An existing directory open to others is refused and keeps its mode (a shared folder keeps its sticky
    // bit and everyone's access); one closed to others is used.
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
    for (const mode_t mode : {01777, 0750}) {
        ASSERT_EQ(::chmod(dir.c_str(), mode), 0);
        std::string error;
        EXPECT_FALSE(BoardServer(model, {.directory = dir}).start(&error));
        EXPECT_NE(error.find("open to other users"), std::string::npos) << error;
        struct stat st {};
        ASSERT_EQ(::lstat(dir.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
    }
    ASSERT_EQ(::chmod(dir.c_str(), 0700), 0);
    BoardServer server(model, {.directory = dir});
    ASSERT_TRUE(server.start());
    server.stop();

    // A symbolic link or a file in its place is refused.
    const std::string link = root + "/link";
    ASSERT_EQ(::symlink(dir.c_str(), link.c_str()), 0);
    EXPECT_FALSE(BoardServer(model, {.directory = link}).start());
    std::ofstream(root + "/file") << "x";
    EXPECT_FALSE(BoardServer(model, {.directory = root + "/file"}).start());
}

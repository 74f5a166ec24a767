// The engine against virtual boards through real sockets, with the real timer.
#include "core/engine.h"
#include "hid/unique_fd.h"
#include "socket_platform.h"
#include "testing/eventually.h"
#include "testing/program_builder.h"
#include "testing/temp_dir.h"
#include "virtual_board/board_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#endif
#include <thread>

namespace zelk {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::lineText;

#ifndef _WIN32
// A socket that takes connections and never greets: a board that hangs before its hello.
class MuteSocket {
public:
    explicit MuteSocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.c_str());
        EXPECT_EQ(::bind(fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd_.get(), 8), 0);
    }

private:
    hid::UniqueFd fd_;
};
#endif

class EndToEnd : public ::testing::Test {
protected:
    EndToEnd() {
        const std::string toggle =
            lineText({{"NEW "}, {"PIN ", "001"}, {"STS ", "STOP->ELEC"}, {"NONE"}, {"OUTR", "101"}});
        test::ProgramBuilder().lines({toggle}).logFile(dir.file("log.csv")).write(dir.file("LogicCtl.ini"));
    }
    // The board answers like hardware: real-time where allowed, so a busy machine costs no failed reads.
    std::unique_ptr<vboard::BoardServer> serve(vboard::BoardModel& model, const std::string& name) {
        auto server = std::make_unique<vboard::BoardServer>(
            model, vboard::ServerOptions{boards.cwd() + "/kaldex", name, true});
        std::string error;
        EXPECT_TRUE(server->start(&error)) << error;
        return server;
    }
    CtlData data() const {
        CtlData d{};
        engine->getCtlData(d);
        return d;
    }

    test::TempDir dir;
    test::TempDir boards;
    test::SocketPlatform platform{boards.cwd() + "/kaldex", dir.cwd()};
    std::unique_ptr<Engine> engine = std::make_unique<Engine>(platform);
};

TEST_F(EndToEnd, AnInputEdgeTogglesTheBoardsOutput) {
    vboard::BoardModel board;
    auto server = serve(board, "kaldex0");
    ASSERT_EQ(engine->open(), 1);
    EXPECT_EQ(board.commandCount(1), 1u);
    EXPECT_EQ(board.port1Output(), 0x0F);
    EXPECT_TRUE(eventually([&] { return board.commandCount(3) > 20; }));
    board.setPin(0, true);
    EXPECT_TRUE(eventually([&] { return board.port1Output() == 0x0E; }));
    EXPECT_TRUE(eventually([&] { return data().port0 == 0xFE && data().port1 == 0x0E; }));
    EXPECT_EQ(data().events[0].passageSec, -1) << "no failed read or send";
    EXPECT_EQ(engine->close(), 1);
    EXPECT_EQ(data().state, ZELK_STATE_CLOSED);
}

TEST_F(EndToEnd, StaleAndLateAnswersAreDiscarded) {
    vboard::BoardModel board;
    auto server = serve(board, "kaldex0");
    ASSERT_EQ(engine->open(), 1);
    board.insertStaleAnswers(50);
    board.staleAnswers(5);
    board.setPin(0, true);
    EXPECT_TRUE(eventually([&] { return board.port1Output() == 0x0E; }));
    EXPECT_EQ(engine->close(), 1);
}

TEST_F(EndToEnd, ASilentBoardCostsFailedReadsButNeverStallsTheRun) {
    vboard::BoardModel board;
    auto server = serve(board, "kaldex0");
    ASSERT_EQ(engine->open(), 1);
    board.setSilent(true);
    EXPECT_TRUE(eventually([&] { return std::string_view(data().events[9].text) == "readKaldex NG"; }));
    EXPECT_EQ(data().state, ZELK_STATE_RUNNING);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(engine->close(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s) << "the close does not hang on the silent board";
}

TEST_F(EndToEnd, AnUnpluggedBoardEndsTheRunAndTheLogIsStillWritten) {
    vboard::BoardModel board;
    auto server = serve(board, "kaldex0");
    ASSERT_EQ(engine->open(), 1);
    EXPECT_TRUE(eventually([&] { return board.commandCount(3) > 5; }));
    board.disconnect();
    EXPECT_TRUE(eventually([&] { return data().state == ZELK_STATE_CLOSED; }));
    EXPECT_STREQ(data().events[0].text, "sendKaldex NG");
    EXPECT_TRUE(eventually([&] { return std::filesystem::exists(dir.file("log.csv")); }));
    EXPECT_EQ(engine->close(), 0);
}

TEST_F(EndToEnd, TheFirstMatchingBoardIsUsedAndTheOthersAreLeftAlone) {
    vboard::BoardModel foreign({.productId = 0x0110});
    vboard::BoardModel first({.productId = 0x1000});
    vboard::BoardModel second({.productId = 0x010F});
    auto s0 = serve(foreign, "a-foreign");
    auto s1 = serve(first, "b-first");
    auto s2 = serve(second, "c-second");
    ASSERT_EQ(engine->open(), 1);
    EXPECT_EQ(first.commandCount(1), 1u);
    EXPECT_EQ(foreign.reportCount(), 0u);
    EXPECT_EQ(second.reportCount(), 0u);
    EXPECT_EQ(s2->connectionCount(), 0u);
    EXPECT_TRUE(eventually([&] { return !s0->clientConnected(); })) << "the foreign board was released";
    EXPECT_EQ(engine->close(), 1);
}

#ifndef _WIN32
TEST_F(EndToEnd, SocketsThatNeverGreetDelayTheSearchByAboutASecondInAll) {
    vboard::BoardModel board;
    auto server = serve(board, "z-board");
    std::vector<std::unique_ptr<MuteSocket>> mute;
    for (char name = 'a'; name < 'k'; ++name)
        mute.push_back(std::make_unique<MuteSocket>(boards.cwd() + "/kaldex/" + name + ".sock"));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(engine->open(), 1) << "the board behind them is found";
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2500ms) << "not a second for each of the ten";
    EXPECT_EQ(engine->close(), 1);
}
#endif

TEST_F(EndToEnd, ConsoleCloseAndSelfCloseMeetOnce) {
    // A board that refuses writes makes the cycle close itself while the caller closes too: exactly one of
    // them closes and writes the log.
    for (int round = 0; round < 20; ++round) {
        vboard::BoardModel board;
        auto server = serve(board, "kaldex0");
        ASSERT_EQ(engine->open(), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 5 * 3));
        board.setRefuseWrites(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 7));
        const int closed = engine->close();
        EXPECT_EQ(data().state, ZELK_STATE_CLOSED);
        EXPECT_EQ(engine->close(), 0);
        EXPECT_TRUE(closed == 0 || closed == 1);
        server->stop();
    }
}

TEST_F(EndToEnd, ARunReopenedRightAfterItClosedItselfStartsClean) {
    // The cycle that closed the board goes on to its end: a new run may not start under it (a reopened board
    // handle, a state of 0 written over the new run's 3).
    vboard::BoardModel board;
    auto server = serve(board, "kaldex0");
    for (int round = 0; round < 10; ++round) {
        ASSERT_EQ(engine->open(), 1) << "round " << round;
        ASSERT_TRUE(eventually([&] { return board.commandCount(3) > 2; }));
        board.setRefuseWrites(true);
        ASSERT_TRUE(eventually([&] { return data().state == ZELK_STATE_CLOSED; }));
        EXPECT_EQ(engine->close(), 0);
        board.setRefuseWrites(false);
        ASSERT_TRUE(eventually([&] { return !server->clientConnected(); }));
        board.clearRecord();
        ASSERT_EQ(engine->open(), 1) << "round " << round;
        EXPECT_EQ(data().state, ZELK_STATE_RUNNING);
        EXPECT_EQ(data().events[0].passageSec, -1) << "nothing of the old run is recorded into the new one";
        EXPECT_TRUE(eventually([&] { return board.commandCount(3) > 3; }));
        EXPECT_EQ(data().state, ZELK_STATE_RUNNING);
        EXPECT_EQ(engine->close(), 1);
        ASSERT_TRUE(eventually([&] { return !server->clientConnected(); }));
    }
}

} // namespace
} // namespace zelk

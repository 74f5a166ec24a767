// The engine's trace: off it costs the cycle nothing and formats nothing; on, a failure's reason reaches
// the sink, once a second for a board that keeps failing the same way.
#include "core/engine.h"
#include "core/messages.h"
#include "fake_platform.h"
#include "socket_platform.h"
#include "testing/eventually.h"
#include "testing/temp_dir.h"
#include "testing/test_files.h"
#include "trace_rig.h"
#include "virtual_board/board_server.h"

#include <gtest/gtest.h>

namespace zelk {
namespace {

using test::eventually;

class TraceOfASilentBoard : public ::testing::Test {
protected:
    TraceOfASilentBoard() {
        test::writeFile(dir.file("LogicCtl.ini"), "");
        platform.cwd = dir.cwd();
        platform.backend.add(
            "/dev/board0", [this] { return std::make_unique<test::ReasonCountingDevice>(board, described); });
    }
    ~TraceOfASilentBoard() override { engine->close(); }

    void runSilent(int cycles) {
        board.setSilent(true);
        for (int i = 0; i < cycles; ++i)
            platform.armedTimer().fire();
    }

    test::TempDir dir;
    vboard::BoardModel board;
    std::atomic<int> described{0};
    test::FakePlatform platform;
    std::unique_ptr<Engine> engine = std::make_unique<Engine>(platform);
};

TEST_F(TraceOfASilentBoard, OffNothingIsFormatted) {
    ASSERT_EQ(engine->open(), 1);
    tracing::stop(); // whatever ZELK_TRACE of the test's environment turned on at the open
    runSilent(20);
    CtlData data{};
    engine->getCtlData(data);
    EXPECT_STREQ(data.events[0].text, "readKaldex NG") << "the reads failed";
    EXPECT_EQ(described.load(), 0);
}

TEST_F(TraceOfASilentBoard, OnTheReasonIsTracedOnceASecond) {
    test::TraceLines lines;
    ASSERT_EQ(engine->open(), 1);
    runSilent(20); // 4 ms each, the read deadline
    platform.elapsedMs += 1000;
    runSilent(1);
    tracing::stop();
    const std::string reason = "ZELK_Eng: readKaldex NG: time-out: the board did not respond in time\n";
    EXPECT_EQ(lines.with("readKaldex NG"), (std::vector<std::string>{reason, reason}));
    EXPECT_EQ(described.load(), 2);
    EXPECT_EQ(lines.with(std::string(messages::kEnumResult) + " 1").size(), 1u) << "the search is traced";
}

TEST(Trace, AnUnpluggedVirtualBoardsReasonReachesTheSink) {
    test::TempDir dir, boards;
    test::writeFile(dir.file("LogicCtl.ini"), "");
    test::SocketPlatform platform{boards.cwd() + "/kaldex", dir.cwd()};
    auto engine = std::make_unique<Engine>(platform); // too large for a thread's stack on Windows
    vboard::BoardModel board;
    vboard::BoardServer server(board, vboard::ServerOptions{boards.cwd() + "/kaldex", "kaldex0", true});
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    test::TraceLines lines;
    ASSERT_EQ(engine->open(), 1);
    board.disconnect();
    EXPECT_TRUE(eventually([&] { return !lines.with("NG: the board is gone").empty(); }));
    EXPECT_TRUE(eventually([&] { return !lines.with("kaldex0").empty(); })) << "the board's path";
    engine->close();
}

} // namespace
} // namespace zelk

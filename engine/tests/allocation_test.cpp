// The control cycle allocates nothing: block runs are counted against a replaced global operator new.
#include "core/engine.h"
#include "fake_platform.h"
#include "mixed_block.h"
#include "testing/allocation_counter.h"
#include "testing/test_files.h"
#include "trace_rig.h"

#include <gtest/gtest.h>

namespace zelk {
namespace {

using test::allocations;
using test::counting;

TEST(Allocation, CyclesOfAFullBlockAllocateNothing) {
    test::TempDir dir;
    test::writeFile(dir.file("LogicCtl.ini"), "");
    vboard::BoardModel board;
    test::FakePlatform platform;
    platform.cwd = dir.cwd();
    platform.backend.add("/dev/board0", &board);
    auto engine = std::make_unique<Engine>(platform);
    ASSERT_EQ(engine->open(), 1);
    test::FakeTimer& timer = platform.armedTimer();
    test::fillMixedBlock(engine->program());

    // The counter itself works.
    counting = true;
    int* volatile probe = new int(1); // volatile: the pair may not be elided
    delete probe;
    counting = false;
    ASSERT_EQ(allocations.exchange(0), 1);

    timer.fire();
    counting = true;
    for (int i = 0; i < 300; ++i) {
        board.setPort0Input(static_cast<std::uint8_t>(i % 2 ? 0xFE : 0xFF));
        timer.fire();
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(engine->close(), 1);
}

TEST(Allocation, TracingTheFailuresOfASilentBoardAllocatesNothingOnTheCycle) {
    test::TempDir dir;
    test::writeFile(dir.file("LogicCtl.ini"), "");
    vboard::BoardModel board;
    std::atomic<int> described{0};
    test::FakePlatform platform;
    platform.cwd = dir.cwd();
    platform.backend.add("/dev/board0",
                         [&] { return std::make_unique<test::ReasonCountingDevice>(board, described); });
    auto engine = std::make_unique<Engine>(platform);
    test::TraceLines lines;
    ASSERT_EQ(engine->open(), 1);
    test::FakeTimer& timer = platform.armedTimer();
    board.setSilent(true);

    // The sink's own thread allocates as it writes lines: only this thread, the cycle's, is counted.
    test::chosenThreadsOnly = true;
    test::countedHere = true;
    counting = true;
    for (int i = 0; i < 300; ++i) {
        if (i % 50 == 0) platform.elapsedMs += 1000; // a reason traced again every 50 cycles
        timer.fire();
    }
    counting = false;
    test::chosenThreadsOnly = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(described.load(), 6) << "the failures were traced";
    EXPECT_EQ(engine->close(), 1);
}

} // namespace
} // namespace zelk

// The control cycle allocates nothing: block runs are counted against a replaced global operator new.
#include "engine.h"
#include "fake_platform.h"
#include "mixed_block.h"
#include "testing/allocation_counter.h"
#include "testing/test_files.h"

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

} // namespace
} // namespace zelk

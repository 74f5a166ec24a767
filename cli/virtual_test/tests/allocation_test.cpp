// A virtual run allocates nothing per cycle: a run of ten thousand cycles allocates as often as one of ten.
#include "cli/virtual_test/virtual_run.h"
#include "testing/allocation_counter.h"

#include <gtest/gtest.h>

namespace zelk::vtest {
namespace {

using test::allocations;
using test::counting;

long allocationsOfARun(const std::string& length) {
    ScriptError error;
    auto script = parseScript("100 press 0\n200 release 0\n0..90 expect always out 0 off\n"
                              "100..300 expect var 押下回数 = 1\nrun " +
                                  length + "\n",
                              error);
    VirtualRun run(ZELK_SAMPLES_DIR "/LogicCtl.ini");
    std::string message;
    EXPECT_TRUE(run.open(message)) << message;
    EXPECT_TRUE(run.bindVariables(*script, error));
    allocations = 0;
    counting = true;
    const std::vector<Outcome> outcomes = run.run(*script);
    counting = false;
    EXPECT_TRUE(outcomes[0].held && outcomes[1].held);
    return allocations.load();
}

TEST(Allocation, CyclesOfAVirtualRunAllocateNothing) {
    EXPECT_EQ(allocationsOfARun("100s"), allocationsOfARun("1s"));
}

} // namespace
} // namespace zelk::vtest

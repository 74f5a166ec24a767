// The timer thread's deadlines and its use of the platform clock, on a fake clock that never really sleeps:
// each sleep jumps the time to its deadline, and a callback can make time pass to simulate an overrun.
#include "timer/thread_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace {

using zelk::timer::DeadlineClock;
using zelk::timer::makeThreadTimer;
using zelk::timer::PeriodicTimer;

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kOriginNs = 5'000;

// The fake's time and what the timer thread did with it. Written by the timer thread, read by the test
// only after cancel() has joined that thread.
struct FakeTime {
    std::int64_t nowNs = kOriginNs;
    std::vector<std::int64_t> sleeps;
    bool prepared = false;
    bool destroyed = false;
};
FakeTime* gTime = nullptr;

class FakeClock final : public DeadlineClock {
public:
    ~FakeClock() override { gTime->destroyed = true; }
    void prepareThread() override { gTime->prepared = true; }
    std::int64_t nowNs() override { return gTime->nowNs; }
    void sleepUntil(std::int64_t deadlineNs) override {
        gTime->sleeps.push_back(deadlineNs);
        if (deadlineNs > gTime->nowNs) gTime->nowNs = deadlineNs;
    }
};

std::unique_ptr<DeadlineClock> makeFakeClock() {
    return std::make_unique<FakeClock>();
}

// Lets `overrunMs` pass inside the callback of call `overrunOnCall`; cancels the timer on call `lastCall`.
struct Script {
    PeriodicTimer* timer = nullptr;
    int overrunOnCall = 0;
    std::int64_t overrunMs = 0;
    int lastCall = 0;
    std::atomic<int> calls{0};
    static void run(void* p) {
        auto& self = *static_cast<Script*>(p);
        const int call = self.calls.load() + 1;
        if (call == self.overrunOnCall) gTime->nowNs += self.overrunMs * kMs;
        if (call == self.lastCall) self.timer->cancel();
        self.calls.store(call);
    }
};

TEST(ThreadTimer, DeadlinesFollowTheStartAndSkipThePeriodsAnOverrunMissed) {
    FakeTime time;
    gTime = &time;
    Script script;
    script.overrunOnCall = 3;
    script.overrunMs = 35; // the callback of deadline 30 ms returns at 65 ms
    script.lastCall = 6;
    auto timer = makeThreadTimer(&makeFakeClock);
    script.timer = timer.get();
    ASSERT_TRUE(timer->start(10, &Script::run, &script));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (script.calls.load() < script.lastCall && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    timer->cancel();

    ASSERT_EQ(script.calls.load(), 6);
    const std::vector<std::int64_t> expected = {10, 20, 30, 70, 80, 90};
    ASSERT_EQ(time.sleeps.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(time.sleeps[i], kOriginNs + expected[i] * kMs) << "deadline " << i;
    EXPECT_TRUE(time.prepared);
    EXPECT_TRUE(time.destroyed) << "the clock outlived the timer thread";
    gTime = nullptr;
}

TEST(ThreadTimer, StartFailsWhenThePlatformHasNoClock) {
    auto timer = makeThreadTimer([]() -> std::unique_ptr<DeadlineClock> { return nullptr; });
    const auto tick = [](void*) {};
    EXPECT_FALSE(timer->start(10, tick, nullptr));
    timer->cancel(); // harmless on a timer that never ran
}

} // namespace

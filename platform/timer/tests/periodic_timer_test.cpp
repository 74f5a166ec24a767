// Behaviour of the system timer under real time. Bounds are loose on purpose: these tests check what happens
// (callbacks run, stop, are not bunched up), never how precisely they are timed.
#include "timer/periodic_timer.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using zelk::timer::makeSystemTimer;
using zelk::timer::PeriodicTimer;

constexpr int kPeriodMs = 10;

// Polls until pred() holds or `limit` has passed; returns pred().
template <class Pred>
bool waitFor(Pred pred, Clock::duration limit = 5s) {
    const auto end = Clock::now() + limit;
    while (!pred() && Clock::now() < end)
        std::this_thread::sleep_for(1ms);
    return pred();
}

struct Counter {
    std::atomic<int> calls{0};
    static void tick(void* self) { static_cast<Counter*>(self)->calls.fetch_add(1); }
};

// A callback that cancels its timer on a chosen call and then goes on working for a while.
struct SelfCancel {
    PeriodicTimer* timer = nullptr;
    int cancelOnCall = 1;
    std::chrono::milliseconds workAfterCancel{0};
    std::atomic<int> calls{0};
    std::atomic<bool> cancelReturned{false};
    std::atomic<bool> finished{false};

    static void run(void* p) {
        auto& self = *static_cast<SelfCancel*>(p);
        if (self.calls.fetch_add(1) + 1 != self.cancelOnCall) return;
        self.timer->cancel();
        self.cancelReturned = true;
        std::this_thread::sleep_for(self.workAfterCancel);
        self.finished = true;
    }
};

TEST(SystemTimer, RunsCallbacksAtTheGivenPeriodWithoutExceedingIt) {
    Counter counter;
    auto timer = makeSystemTimer();
    const auto begin = Clock::now();
    ASSERT_TRUE(timer->start(kPeriodMs, &Counter::tick, &counter));
    std::this_thread::sleep_for(200ms);
    timer->cancel();
    const auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin).count();

    const int calls = counter.calls.load();
    EXPECT_GE(calls, 3);
    // Every callback has its own deadline one period after the previous one: never more than fit.
    EXPECT_LE(calls, elapsedMs / kPeriodMs + 1);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(counter.calls.load(), calls) << "callback after cancel() returned";
}

TEST(SystemTimer, StartFailsWhileRunningAndWorksAgainAfterCancel) {
    Counter counter;
    auto timer = makeSystemTimer();
    EXPECT_FALSE(timer->start(0, &Counter::tick, &counter));
    EXPECT_FALSE(timer->start(kPeriodMs, nullptr, &counter));

    ASSERT_TRUE(timer->start(kPeriodMs, &Counter::tick, &counter));
    EXPECT_FALSE(timer->start(kPeriodMs, &Counter::tick, &counter));
    timer->cancel();
    timer->cancel(); // a second cancel is harmless

    const int before = counter.calls.load();
    ASSERT_TRUE(timer->start(kPeriodMs, &Counter::tick, &counter));
    EXPECT_TRUE(waitFor([&] { return counter.calls.load() >= before + 2; }));
    timer->cancel();
}

TEST(SystemTimer, StartFromInsideTheCallbackFails) {
    struct Restart {
        PeriodicTimer* timer = nullptr;
        std::atomic<int> results{0}; // 1 = refused, 2 = accepted
        static void run(void* p) {
            auto& self = *static_cast<Restart*>(p);
            if (self.results.load() != 0) return;
            self.timer->cancel();
            self.results = self.timer->start(kPeriodMs, &Restart::run, p) ? 2 : 1;
        }
    } restart;
    auto timer = makeSystemTimer();
    restart.timer = timer.get();
    ASSERT_TRUE(timer->start(kPeriodMs, &Restart::run, &restart));
    ASSERT_TRUE(waitFor([&] { return restart.results.load() != 0; }));
    EXPECT_EQ(restart.results.load(), 1);
}

TEST(SystemTimer, CancelFromAnotherThreadWaitsForTheRunningCallback) {
    struct Slow {
        std::atomic<bool> entered{false};
        std::atomic<bool> finished{false};
        std::atomic<int> calls{0};
        static void run(void* p) {
            auto& self = *static_cast<Slow*>(p);
            self.calls.fetch_add(1);
            self.entered = true;
            std::this_thread::sleep_for(50ms);
            self.finished = true;
        }
    } slow;
    auto timer = makeSystemTimer();
    ASSERT_TRUE(timer->start(kPeriodMs, &Slow::run, &slow));
    ASSERT_TRUE(waitFor([&] { return slow.entered.load(); }));
    timer->cancel();
    EXPECT_TRUE(slow.finished.load()) << "cancel() returned while the callback was running";
    const int calls = slow.calls.load();
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(slow.calls.load(), calls);
}

TEST(SystemTimer, CancelFromInsideTheCallbackReturnsAndEndsTheTimer) {
    SelfCancel probe;
    probe.cancelOnCall = 3;
    auto timer = makeSystemTimer();
    probe.timer = timer.get();
    ASSERT_TRUE(timer->start(kPeriodMs, &SelfCancel::run, &probe));
    ASSERT_TRUE(waitFor([&] { return probe.finished.load(); })) << "cancel() inside the callback blocked";
    EXPECT_TRUE(probe.cancelReturned.load());
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(probe.calls.load(), 3);

    // The timer can be started again from outside once it has wound down.
    probe.calls = 0;
    probe.finished = false;
    probe.cancelOnCall = 2;
    ASSERT_TRUE(timer->start(kPeriodMs, &SelfCancel::run, &probe));
    ASSERT_TRUE(waitFor([&] { return probe.finished.load(); }));
    timer->cancel();
    EXPECT_EQ(probe.calls.load(), 2);
}

TEST(SystemTimer, CancelFromOutsideAfterASelfCancelWaitsForTheCallback) {
    SelfCancel probe;
    probe.workAfterCancel = 60ms;
    auto timer = makeSystemTimer();
    probe.timer = timer.get();
    ASSERT_TRUE(timer->start(kPeriodMs, &SelfCancel::run, &probe));
    ASSERT_TRUE(waitFor([&] { return probe.cancelReturned.load(); }));
    timer->cancel();
    EXPECT_TRUE(probe.finished.load()) << "cancel() returned while the self-cancelling callback was running";
    EXPECT_EQ(probe.calls.load(), 1);
}

TEST(SystemTimer, DestroyingRightAfterASelfCancelWaitsForTheCallback) {
    auto probe = std::make_unique<SelfCancel>();
    probe->workAfterCancel = 40ms;
    auto timer = makeSystemTimer();
    probe->timer = timer.get();
    ASSERT_TRUE(timer->start(kPeriodMs, &SelfCancel::run, probe.get()));
    ASSERT_TRUE(waitFor([&] { return probe->cancelReturned.load(); }));
    timer.reset();
    EXPECT_TRUE(probe->finished.load()) << "the timer was destroyed under a running callback";
    // Freeing the callback's context now must be safe: no thread of the timer is left that could touch it.
    probe.reset();
}

TEST(SystemTimer, DestroyingWhileRunningStopsTheCallbacks) {
    Counter counter;
    auto timer = makeSystemTimer();
    ASSERT_TRUE(timer->start(kPeriodMs, &Counter::tick, &counter));
    ASSERT_TRUE(waitFor([&] { return counter.calls.load() >= 2; }));
    timer.reset();
    const int calls = counter.calls.load();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(counter.calls.load(), calls);
}

TEST(SystemTimer, CanBeDestroyedByItsOwnCallback) {
    struct Owner {
        std::unique_ptr<PeriodicTimer> timer;
        std::atomic<int> calls{0};
        std::atomic<bool> destroyed{false};
        static void run(void* p) {
            auto& self = *static_cast<Owner*>(p);
            self.calls.fetch_add(1);
            self.timer.reset();
            self.destroyed = true;
        }
    };
    // After setting `destroyed` the callback touches nothing of `owner` any more, so it may go out of scope
    // while the detached timer thread is still leaving the callback.
    Owner owner;
    owner.timer = makeSystemTimer();
    ASSERT_TRUE(owner.timer->start(kPeriodMs, &Owner::run, &owner));
    ASSERT_TRUE(waitFor([&] { return owner.destroyed.load(); }));
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(owner.calls.load(), 1);
}

TEST(SystemTimer, OverrunningCallbackSkipsMissedPeriodsInsteadOfBursting) {
    static constexpr int kOverrunCall = 5;
    struct Recorder {
        std::array<Clock::time_point, 64> starts{};
        std::atomic<int> calls{0};
        Clock::time_point overrunEnd{};
        static void run(void* p) {
            auto& self = *static_cast<Recorder*>(p);
            const int n = self.calls.load();
            if (n >= static_cast<int>(self.starts.size())) return;
            self.starts[static_cast<std::size_t>(n)] = Clock::now();
            if (n == kOverrunCall) {
                std::this_thread::sleep_for(35ms); // misses three deadlines
                self.overrunEnd = Clock::now();
            }
            self.calls.store(n + 1);
        }
    } rec;
    auto timer = makeSystemTimer();
    ASSERT_TRUE(timer->start(kPeriodMs, &Recorder::run, &rec));
    ASSERT_TRUE(waitFor([&] { return rec.calls.load() >= kOverrunCall + 6; }));
    timer->cancel();

    // The next deadline after the overrun lies at most one period ahead, the one after that a full period
    // further: with missed periods skipped, at most one callback can start within 8 ms after the overrun,
    // however late the thread wakes. Catching up the missed periods would start several at once.
    int startsRightAfter = 0;
    for (int i = kOverrunCall + 1; i < rec.calls.load(); ++i) {
        if (rec.starts[static_cast<std::size_t>(i)] - rec.overrunEnd < 8ms) ++startsRightAfter;
    }
    EXPECT_LE(startsRightAfter, 1);
}

} // namespace

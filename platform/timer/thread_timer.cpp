// The timer thread and the start, cancel and destroy rules shared by the platforms' system timers.
#include "timer/thread_timer.h"

#include "sync/wake_flag.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace zelk::timer {

namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;

// What the timer object and its thread share. The thread holds its own reference, so it never touches the
// timer object: the object may be destroyed while a callback that cancelled the timer is still running.
struct SharedState {
    std::atomic<bool> cancelled{false};
    // Set by start() once the thread object is stored; the thread waits for it before its first callback,
    // so a callback that destroys the timer sees the stored thread object.
    WakeFlag published;
};

// The state of the timer whose callback runs on this thread; null on every other thread.
thread_local const SharedState* tCurrentTimer = nullptr;

// Index of the deadline to wait for after the callback of deadline `done` returned at `nowNs`: the next one,
// or, when the callback overran it, the first one still in the future. Missed periods are dropped.
std::int64_t nextDeadlineIndex(std::int64_t originNs, std::int64_t periodNs, std::int64_t done,
                               std::int64_t nowNs) {
    const std::int64_t next = done + 1;
    if (originNs + next * periodNs > nowNs) return next;
    return (nowNs - originNs) / periodNs + 1;
}

void runTimer(std::shared_ptr<SharedState> state, std::unique_ptr<DeadlineClock> clock, std::int64_t periodNs,
              PeriodicTimer::Callback callback, void* context) {
    state->published.wait();
    tCurrentTimer = state.get();
    clock->prepareThread();

    const std::int64_t originNs = clock->nowNs();
    std::int64_t index = 1;
    while (!state->cancelled.load(std::memory_order_acquire)) {
        clock->sleepUntil(originNs + index * periodNs);
        if (state->cancelled.load(std::memory_order_acquire)) break;
        callback(context);
        if (state->cancelled.load(std::memory_order_acquire)) break;
        index = nextDeadlineIndex(originNs, periodNs, index, clock->nowNs());
    }
    tCurrentTimer = nullptr;
}

class ThreadTimer final : public PeriodicTimer {
public:
    explicit ThreadTimer(ClockFactory makeClock) : makeClock_(makeClock) {}
    ThreadTimer(const ThreadTimer&) = delete;
    ThreadTimer& operator=(const ThreadTimer&) = delete;

    ~ThreadTimer() override {
        if (onTimerThread()) {
            // Destroyed by its own callback: the thread cannot join itself. It holds its own reference to the
            // shared state and ends once the callback returns.
            state_->cancelled.store(true, std::memory_order_release);
            thread_.detach();
            return;
        }
        stopAndJoin();
    }

    bool start(int periodMs, Callback callback, void* context) override {
        if (periodMs <= 0 || callback == nullptr) return false;
        // From inside the callback the timer is still running (or winding down after a cancel).
        if (onTimerThread()) return false;

        const std::shared_ptr<SharedState> state = state_;
        {
            std::lock_guard lock(mutex_);
            if (thread_.joinable()) {
                if (!state->cancelled.load(std::memory_order_acquire)) return false;
                // Cancelled from inside its callback: wait until that callback has returned.
                thread_.join();
            }
            std::unique_ptr<DeadlineClock> clock = makeClock_();
            if (clock == nullptr) return false;
            state->cancelled.store(false, std::memory_order_relaxed);
            state->published.lower();
            try {
                thread_ = std::thread(runTimer, state, std::move(clock),
                                      static_cast<std::int64_t>(periodMs) * kNsPerMs, callback, context);
            } catch (const std::system_error&) {
                return false;
            }
        }
        // Once published, a callback may run and even destroy this timer: from here on only the local
        // reference to the shared state is touched.
        state->published.raise();
        return true;
    }

    void cancel() override {
        if (onTimerThread()) {
            // The running callback is the last one; the thread ends when it returns.
            state_->cancelled.store(true, std::memory_order_release);
            return;
        }
        stopAndJoin();
    }

private:
    bool onTimerThread() const { return tCurrentTimer == state_.get(); }

    void stopAndJoin() {
        std::lock_guard lock(mutex_);
        state_->cancelled.store(true, std::memory_order_release);
        if (thread_.joinable()) thread_.join();
    }

    const ClockFactory makeClock_;
    const std::shared_ptr<SharedState> state_ = std::make_shared<SharedState>();
    // Serialises start() and cancel() among threads other than the timer's own; never taken per period.
    std::mutex mutex_;
    std::thread thread_;
};

} // namespace

std::unique_ptr<PeriodicTimer> makeThreadTimer(ClockFactory makeClock) {
    return std::make_unique<ThreadTimer>(makeClock);
}

} // namespace zelk::timer

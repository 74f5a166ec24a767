// The Windows system timer: the timer thread measures its absolute deadlines on the performance counter and
// sleeps to each of them on a high-resolution waitable timer of its own.
//
// A thread of its own rather than the multimedia timer (timeSetEvent): the thread's loop, shared with the
// other platforms, already guarantees what the engine relies on: a cancel from inside the callback only sets
// a flag and returns, a callback may destroy its timer, and missed periods are skipped. The multimedia timer
// runs every timer of the process on one system thread, and its documentation says nothing about killing a
// timer from inside its own callback or about periods missed while a callback overran.
#include "timer/periodic_timer.h"
#include "timer/thread_timer.h"

#include <cstdint>
#include <memory>

#include <windows.h>

#include <mmsystem.h>

namespace zelk::timer {

namespace {

#ifdef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
constexpr DWORD kHighResolutionTimer = CREATE_WAITABLE_TIMER_HIGH_RESOLUTION;
#else
// Windows 10 version 1803 and later; older SDK headers lack the name.
constexpr DWORD kHighResolutionTimer = 0x00000002;
#endif

constexpr std::int64_t kNsPerSec = 1'000'000'000;
constexpr std::int64_t kNsPerMs = 1'000'000;
// Due times of waitable timers count in units of 100 ns.
constexpr std::int64_t kNsPerDueUnit = 100;
// System timer resolution requested while a plain waitable timer is in use, in milliseconds.
constexpr UINT kResolutionMs = 1;

class WaitableTimerClock final : public DeadlineClock {
public:
    // Creates the waitable timer: a high-resolution one where the system has them, otherwise a plain one with
    // the system timer resolution raised to 1 ms for as long as this clock exists.
    WaitableTimerClock() {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        ticksPerSec_ = frequency.QuadPart;
        timer_ = CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
        if (timer_ != nullptr) return;
        timer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
        if (timer_ != nullptr) raisedResolution_ = timeBeginPeriod(kResolutionMs) == TIMERR_NOERROR;
    }
    WaitableTimerClock(const WaitableTimerClock&) = delete;
    WaitableTimerClock& operator=(const WaitableTimerClock&) = delete;

    ~WaitableTimerClock() override {
        if (raisedResolution_) timeEndPeriod(kResolutionMs);
        if (timer_ != nullptr) CloseHandle(timer_);
    }

    bool valid() const { return timer_ != nullptr; }

    // The highest priority of a normal process, the one the system gives its own timer threads.
    void prepareThread() override { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL); }

    std::int64_t nowNs() override {
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        // Whole seconds and the rest apart, so that the product cannot overflow.
        const std::int64_t ticks = counter.QuadPart;
        return ticks / ticksPerSec_ * kNsPerSec + (ticks % ticksPerSec_) * kNsPerSec / ticksPerSec_;
    }

    void sleepUntil(std::int64_t deadlineNs) override {
        const std::int64_t remainingNs = deadlineNs - nowNs();
        if (remainingNs <= 0) return;
        // A negative due time is relative to now; rounded up so that the wait never ends before the deadline.
        LARGE_INTEGER due{};
        due.QuadPart = -((remainingNs + kNsPerDueUnit - 1) / kNsPerDueUnit);
        if (SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE) &&
            WaitForSingleObject(timer_, INFINITE) == WAIT_OBJECT_0) {
            return;
        }
        // The timer failed: a coarse sleep still keeps the callbacks apart.
        Sleep(static_cast<DWORD>((remainingNs + kNsPerMs - 1) / kNsPerMs));
    }

private:
    HANDLE timer_ = nullptr;
    bool raisedResolution_ = false;
    std::int64_t ticksPerSec_ = 1;
};

std::unique_ptr<DeadlineClock> makeWaitableTimerClock() {
    auto clock = std::make_unique<WaitableTimerClock>();
    if (!clock->valid()) return nullptr;
    return clock;
}

} // namespace

std::unique_ptr<PeriodicTimer> makeSystemTimer() {
    return makeThreadTimer(&makeWaitableTimerClock);
}

} // namespace zelk::timer

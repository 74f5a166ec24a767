// The Linux system timer: the timer thread sleeps to absolute CLOCK_MONOTONIC deadlines.
#include "timer/periodic_timer.h"
#include "timer/thread_timer.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <memory>

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>

namespace zelk::timer {

namespace {

constexpr std::int64_t kNsPerSec = 1'000'000'000;
// Real-time priority of the timer thread when the process may use one: above every normal thread, well
// below the kernel's own real-time threads.
constexpr int kFifoPriority = 10;
// Timer slack of the timer thread in nanoseconds. 0 would select the default of 50 microseconds.
constexpr unsigned long kTimerSlackNs = 1;

class MonotonicClock final : public DeadlineClock {
public:
    // Tightens the wake-up of this thread: minimal timer slack and, where the process is allowed to, the FIFO
    // real-time policy. Without CAP_SYS_NICE or an RLIMIT_RTPRIO allowance pthread_setschedparam fails with
    // EPERM and the thread keeps the normal policy; the timer works the same, only with more jitter.
    void prepareThread() override {
        prctl(PR_SET_TIMERSLACK, kTimerSlackNs, 0UL, 0UL, 0UL);
        sched_param param{};
        param.sched_priority = kFifoPriority;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    }

    std::int64_t nowNs() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::int64_t>(ts.tv_sec) * kNsPerSec + ts.tv_nsec;
    }

    void sleepUntil(std::int64_t deadlineNs) override {
        timespec ts{};
        ts.tv_sec = static_cast<time_t>(deadlineNs / kNsPerSec);
        ts.tv_nsec = static_cast<long>(deadlineNs % kNsPerSec);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
    }
};

std::unique_ptr<DeadlineClock> makeMonotonicClock() {
    return std::make_unique<MonotonicClock>();
}

} // namespace

std::unique_ptr<PeriodicTimer> makeSystemTimer() {
    return makeThreadTimer(&makeMonotonicClock);
}

} // namespace zelk::timer

#pragma once
// The system timer's common part: a thread of its own that sleeps to absolute deadlines and runs the
// callback, with the start, cancel and destroy rules of PeriodicTimer. Each platform supplies the clock and
// the sleep (system_timer_<platform>.cpp) and builds makeSystemTimer() on makeThreadTimer().
#include "timer/periodic_timer.h"

#include <cstdint>
#include <memory>

namespace zelk::timer {

// The platform's monotonic clock and sleep for one run of the timer thread. start() creates it on the
// caller's thread and hands it to the timer thread, which alone uses it and destroys it when it ends.
class DeadlineClock {
public:
    virtual ~DeadlineClock() = default;
    // Called once on the timer thread before the first sleep: tightens the thread's wake-up where the
    // platform allows it. The timer works without it, only with more jitter.
    virtual void prepareThread() = 0;
    // Monotonic time in nanoseconds, from an arbitrary origin.
    virtual std::int64_t nowNs() = 0;
    // Returns at (or as soon as possible after) deadlineNs on the nowNs() clock; at once when it has passed.
    virtual void sleepUntil(std::int64_t deadlineNs) = 0;
};

// Returns null when the platform cannot provide a clock; start() then returns false.
using ClockFactory = std::unique_ptr<DeadlineClock> (*)();

std::unique_ptr<PeriodicTimer> makeThreadTimer(ClockFactory makeClock);

} // namespace zelk::timer

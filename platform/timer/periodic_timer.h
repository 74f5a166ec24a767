#pragma once
// A periodic callback on a thread of its own: the time base of the control cycle.
#include <memory>

namespace zelk::timer {

class PeriodicTimer {
public:
    using Callback = void (*)(void* context);

    // Destroying a running timer cancels it. A timer may also be destroyed by its own callback; its thread
    // then ends when that callback returns.
    virtual ~PeriodicTimer() = default;
    // Starts calling callback(context) every periodMs milliseconds. Returns false when the timer cannot be
    // started or is already running. Called from inside the callback it always returns false.
    virtual bool start(int periodMs, Callback callback, void* context) = 0;
    // Stops the timer. Called from another thread it returns only when no callback is running any more;
    // called from inside the callback it returns at once and no further callback follows. Called from another
    // thread after the callback cancelled the timer, it waits until that callback has returned.
    virtual void cancel() = 0;
};

// The platform's timer: absolute deadlines at 1 ms resolution, the first one period after start(); missed
// periods are skipped, never run in a burst.
std::unique_ptr<PeriodicTimer> makeSystemTimer();

} // namespace zelk::timer

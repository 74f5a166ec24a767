#pragma once
// A flag that one thread raises and others wait for: the start and the end of the control thread and of the
// timer thread. A mutex and a condition variable, not std::atomic<bool>::wait: the standard library of the
// Windows builds implements that wait without a futex and can lose the wake-up, so a close would hang for
// ever. Reading the flag takes no lock.
#include <atomic>
#include <condition_variable>
#include <mutex>

namespace zelk {

class WakeFlag {
public:
    bool isRaised() const { return raised_.load(std::memory_order_acquire); }

    void raise() {
        {
            std::lock_guard lock(mutex_);
            raised_.store(true, std::memory_order_release);
        }
        changed_.notify_all();
    }

    // Only while no thread waits.
    void lower() { raised_.store(false, std::memory_order_relaxed); }

    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return raised_.load(std::memory_order_relaxed); });
    }

private:
    std::atomic<bool> raised_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
};

} // namespace zelk

#pragma once
// Serializes the writers of one profile file across processes and threads: a write holds the lock from
// reading the file to renaming the new text over it, so no writer loses another's key to its rename.
// Readers never take it. The lock is held on a file beside the profile file, path + ".lock", since the
// profile file itself is replaced by every write.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

namespace zelk::profile::detail {

class WriterLock {
public:
    // Takes the lock for the profile file at path (no symbolic link), waiting while another writer holds
    // it, up to kWaitLimit. Where no lock file can be made or locked (a folder that may not be written, a
    // file system without locks) the write goes on unlocked, as it can only fail or run alone there.
    explicit WriterLock(const std::string& path);
    ~WriterLock();
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    // Another writer held the lock for longer than kWaitLimit: the write must not go ahead.
    bool timedOut() const { return timedOut_; }

    // Far above the few milliseconds a write holds the lock; a writer stuck while holding it makes the
    // other writes fail after this time rather than hang.
    static constexpr std::chrono::seconds kWaitLimit{10};

private:
    enum class Attempt { Locked, Busy, Unavailable };

    // Calls tryLock until it answers other than Busy, with pauses growing from 0.1 ms to 2 ms so that
    // a waiter follows soon after the holder lets go. Busy when kWaitLimit passed first.
    template <class TryLock>
    static Attempt retryWhileBusy(TryLock tryLock) {
        const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
        std::chrono::microseconds pause{100};
        for (;;) {
            const Attempt attempt = tryLock();
            if (attempt != Attempt::Busy || std::chrono::steady_clock::now() >= deadline) return attempt;
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::microseconds{2000});
        }
    }

    std::string lockPath_;
    bool timedOut_ = false;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

} // namespace zelk::profile::detail

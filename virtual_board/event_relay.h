#pragma once
// Values from a board's answering thread to a thread that may block (printing them, the panel). The
// answering side takes no lock and allocates nothing, so nothing the reader does can delay an answer.
#include "hid/unique_fd.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace zelk::vboard {

template <typename Value, std::size_t Capacity>
class EventRelay {
public:
    static constexpr std::size_t kCapacity = Capacity;

    // Throws std::system_error when no event descriptor can be made.
    EventRelay() : event_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (!event_.valid()) throw std::system_error(errno, std::generic_category(), "eventfd");
    }

    // From one thread only (the answering thread). A value that finds the ring full is dropped: the reader
    // is that far behind.
    void push(const Value& value) {
        const std::size_t written = written_.load(std::memory_order_relaxed);
        if (written - read_.load(std::memory_order_acquire) == kCapacity) return;
        ring_[written % kCapacity] = value;
        written_.store(written + 1, std::memory_order_release);
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(event_.get(), &one, sizeof one);
    }

    // Readable (poll) while values wait.
    int fd() const { return event_.get(); }

    // From one thread only (the reader): hands each waiting value to show, oldest first.
    template <typename Show>
    void drain(Show&& show) {
        std::uint64_t count;
        [[maybe_unused]] const auto n = ::read(event_.get(), &count, sizeof count);
        std::size_t read = read_.load(std::memory_order_relaxed);
        const std::size_t written = written_.load(std::memory_order_acquire);
        for (; read != written; ++read) {
            show(ring_[read % kCapacity]);
            read_.store(read + 1, std::memory_order_release);
        }
    }

private:
    std::array<Value, kCapacity> ring_{};
    std::atomic<std::size_t> written_{0};
    std::atomic<std::size_t> read_{0};
    hid::UniqueFd event_;
};

} // namespace zelk::vboard

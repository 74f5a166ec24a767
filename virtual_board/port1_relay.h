#pragma once
// Port-1 output values from the board's answering thread to a thread that may block (printing them, the
// panel). The answering side takes no lock and allocates nothing, so nothing the reader does can delay an
// answer.
#include "hid/unique_fd.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <unistd.h>

namespace zelk::vboard {

class Port1Relay {
public:
    static constexpr std::size_t kCapacity = 1024;

    // Throws std::system_error when no event descriptor can be made.
    Port1Relay();

    // From one thread only (the answering thread). A value that finds the ring full is dropped: the reader
    // is that far behind.
    void push(std::uint8_t value);
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
    std::array<std::uint8_t, kCapacity> ring_{};
    std::atomic<std::size_t> written_{0};
    std::atomic<std::size_t> read_{0};
    hid::UniqueFd event_;
};

} // namespace zelk::vboard

#pragma once
// A block of bytes published by the control cycle and copied out by getCtlData on another thread, without a
// mutex: readers retry while a write is in progress (sequence counter), so a copy is never torn. The bytes
// are stored as atomic words, which keeps the concurrent copy well-defined. Words are stored with release and
// loaded with acquire order instead of separate fences: on x86 both are plain moves.
//
// Writers claim the sequence counter with a compare-exchange. Two writers meet only when a caller records an
// event while a control run is recording one too; the later one waits for the few hundred nanoseconds that
// the other needs.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace zelk {

template <typename T>
class Seqlocked {
    static_assert(std::is_trivially_copyable_v<T>);
    static constexpr std::size_t kWords = (sizeof(T) + 7) / 8;

public:
    // Copies the published value into out.
    void read(T& out) const {
        std::array<std::uint64_t, kWords> copy;
        for (;;) {
            const std::uint32_t before = sequence_.load(std::memory_order_acquire);
            if (before & 1u) continue;
            for (std::size_t i = 0; i < kWords; ++i)
                copy[i] = words_[i].load(std::memory_order_acquire);
            if (sequence_.load(std::memory_order_relaxed) == before) break;
        }
        std::memcpy(&out, copy.data(), sizeof(T));
    }

    // Runs edit(value) on a private copy of the value and publishes the result.
    template <typename Edit>
    void update(Edit&& edit) {
        const std::uint32_t sequence = claim();
        std::array<std::uint64_t, kWords> copy{};
        for (std::size_t i = 0; i < kWords; ++i)
            copy[i] = words_[i].load(std::memory_order_relaxed);
        T value;
        std::memcpy(&value, copy.data(), sizeof(T));
        edit(value);
        store(value, sequence);
    }

    // Publishes value as a whole, without reading what was there.
    void publish(const T& value) { store(value, claim()); }

private:
    // Takes the sequence counter for a write: odd while it lasts. Returns the even value it had.
    std::uint32_t claim() {
        std::uint32_t sequence = sequence_.load(std::memory_order_relaxed);
        for (;;) {
            if ((sequence & 1u) == 0 &&
                sequence_.compare_exchange_weak(sequence, sequence + 1, std::memory_order_acquire,
                                                std::memory_order_relaxed))
                return sequence;
            sequence = sequence_.load(std::memory_order_relaxed);
        }
    }

    void store(const T& value, std::uint32_t sequence) {
        std::array<std::uint64_t, kWords> copy{};
        std::memcpy(copy.data(), &value, sizeof(T));
        for (std::size_t i = 0; i < kWords; ++i)
            words_[i].store(copy[i], std::memory_order_release);
        sequence_.store(sequence + 2, std::memory_order_release);
    }

    std::atomic<std::uint32_t> sequence_{0};
    std::array<std::atomic<std::uint64_t>, kWords> words_{};
};

} // namespace zelk

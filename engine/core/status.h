#pragma once
// The status picture shared between the control cycle and the callers of the exports, and the port
// histories that only the cycle (or the run start, before any cycle) touches.
#include <array>
#include <atomic>
#include <cstdint>

namespace zelk {

struct Status {
    std::atomic<std::uint8_t> state{0};
    std::atomic<std::uint8_t> port0{0};      // newest port-0 input sample
    std::atomic<std::uint8_t> port1{0};      // newest port-1 output value
    std::atomic<std::int32_t> passageSec{0}; // seconds counter: completed hundreds of cycles
    std::atomic<std::uint8_t> echo{0};       // tick10ms: byte 3 of the last accepted input report
    std::atomic<std::uint8_t> tick{0};       // the engine's own 10 ms count, 0..99
};

// The ten most recent samples of a port, newest at index 0.
class PortHistory {
public:
    static constexpr int kDepth = 10;

    void fill(std::uint8_t value) { samples_.fill(value); }
    // Moves every sample one place back; the oldest drops out and the newest place keeps its value.
    void shift() {
        for (int i = kDepth - 1; i > 0; --i)
            samples_[i] = samples_[i - 1];
    }
    void setNewest(std::uint8_t value) { samples_[0] = value; }
    std::uint8_t newest() const { return samples_[0]; }
    std::uint8_t previous() const { return samples_[1]; }

private:
    std::array<std::uint8_t, kDepth> samples_{};
};

} // namespace zelk

#pragma once
// Bounds of every variable after each cycle of any run from the start, by interval arithmetic over the
// main block: for each cycle, a range that holds whatever the inputs were. They are sound
// over-approximations of the engine's values; the bounded check adds them as facts, so that a counter's
// range after 1,000 cycles is known to the solver without its counting to 1,000 bit by bit.
#include "core/loaded_program.h"

#include <array>
#include <cstdint>

namespace zelk::prove {

struct Interval {
    std::int64_t low = 0, high = 0; // within the 32-bit range, low <= high
    bool isEverything() const;
};

class ValueBounds {
public:
    explicit ValueBounds(const Program& program);
    // The bounds after the next cycle (the first call: after cycle 0).
    const std::array<Interval, kVariableCount>& next();

private:
    Interval operand(const DecodedOperand& operand) const;
    Interval systemValue(SystemVariable variable) const;
    Interval calculate(const DecodedLine& line) const;

    const Program& program_;
    std::array<Interval, kVariableCount> values_{};
    std::int64_t cycle_ = 0;
};

} // namespace zelk::prove

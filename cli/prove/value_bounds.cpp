#include "cli/prove/value_bounds.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <limits>

namespace zelk::prove {

namespace {

constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr Interval kEverything{kMin, kMax};

Interval exactly(std::int64_t value) {
    return {value, value};
}

Interval join(const Interval& a, const Interval& b) {
    return {std::min(a.low, b.low), std::max(a.high, b.high)};
}

// A range computed without wrap-around: beyond 32 bits the value wraps, and then it may be anything.
Interval within32(std::int64_t low, std::int64_t high) {
    return low < kMin || high > kMax ? kEverything : Interval{low, high};
}

bool isConstant(const Interval& v) {
    return v.low == v.high;
}

Interval apply(Operator op, const Interval& a, const Interval& b) {
    switch (op) {
    case Operator::Add:
        return within32(a.low + b.low, a.high + b.high);
    case Operator::Sub:
        return within32(a.low - b.high, a.high - b.low);
    case Operator::Mul: {
        const std::int64_t p[] = {a.low * b.low, a.low * b.high, a.high * b.low, a.high * b.high};
        return within32(*std::min_element(p, p + 4), *std::max_element(p, p + 4));
    }
    case Operator::Div: // by one constant other than 0 and -1 the quotient is monotone in the dividend
        if (!isConstant(b) || b.low == 0 || b.low == -1) return kEverything;
        return {std::min(a.low / b.low, a.high / b.low), std::max(a.low / b.low, a.high / b.low)};
    case Operator::Rem: { // by one constant other than 0 and -1: smaller than it, with the dividend's sign
        if (!isConstant(b) || b.low == 0 || b.low == -1) return kEverything;
        const std::int64_t bound = std::abs(b.low) - 1;
        if (a.low >= 0) return {0, std::min(a.high, bound)};
        if (a.high <= 0) return {std::max(a.low, -bound), 0};
        return {-bound, bound};
    }
    case Operator::BitAnd:
        if (a.low >= 0 && b.low >= 0) return {0, std::min(a.high, b.high)};
        if (a.low >= 0) return {0, a.high};
        if (b.low >= 0) return {0, b.high};
        return kEverything;
    case Operator::BitOr:
    case Operator::BitXor:
        if (a.low < 0 || b.low < 0) return kEverything;
        return {0, static_cast<std::int64_t>(
                       std::bit_ceil(static_cast<std::uint64_t>(std::max(a.high, b.high)) + 1) - 1)};
    default:
        return a;
    }
}

} // namespace

bool Interval::isEverything() const {
    return low == kMin && high == kMax;
}

ValueBounds::ValueBounds(const Program& program) : program_(program) {
    for (std::size_t n = 0; n < values_.size(); ++n)
        values_[n] = exactly(program.variables[n].value);
}

Interval ValueBounds::systemValue(SystemVariable variable) const {
    // The counters of cycle c are known: c / 100 seconds, and the echo of the sequence sent in cycle c - 1.
    const std::int64_t seconds = cycle_ / 100;
    const std::int64_t echo = cycle_ == 0 ? 0 : (cycle_ - 1) % 100;
    switch (variable) {
    case SystemVariable::PassageSec:
        return exactly(seconds);
    case SystemVariable::Tick10ms:
        return exactly(echo);
    case SystemVariable::Passage10ms:
        return within32(seconds * 100 + echo, seconds * 100 + echo);
    case SystemVariable::Port0:
    case SystemVariable::Port1:
        return {0, 255};
    default:
        return exactly(0);
    }
}

Interval ValueBounds::operand(const DecodedOperand& operand) const {
    switch (operand.kind) {
    case OperandKind::Cnst:
        return exactly(operand.number);
    case OperandKind::Var:
        return operand.number >= 0 && operand.number < kVariableCount
                   ? values_[static_cast<std::size_t>(operand.number)]
                   : exactly(0);
    case OperandKind::Svar:
        return systemValue(operand.system);
    default:
        return exactly(0);
    }
}

Interval ValueBounds::calculate(const DecodedLine& line) const {
    Interval acc = operand(line.details[0]);
    for (std::size_t k = 0; k < line.operators.size(); ++k)
        acc = apply(line.operators[k], acc, operand(line.details[2 * k + 2]));
    return acc;
}

const std::array<Interval, kVariableCount>& ValueBounds::next() {
    const Block& block = program_.main;
    for (int i = 0; i < block.loadedLines(); ++i) {
        const DecodedLine& line = block.decoded[static_cast<std::size_t>(i)];
        if (line.action != Action::Calc || line.target < 0 || line.target >= kVariableCount) continue;
        if (!program_.variables[static_cast<std::size_t>(line.target)].isLong()) continue;
        Interval& target = values_[static_cast<std::size_t>(line.target)];
        // A line without a condition always acts; one with a condition may or may not.
        const Interval result = calculate(line);
        target = line.connective == Connective::None ? result : join(target, result);
    }
    ++cycle_;
    return values_;
}

} // namespace zelk::prove

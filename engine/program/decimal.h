#pragma once
// Decimal conversion of data fields and value texts: optional leading blanks, an optional sign, then the
// leading digits; no digits give 0. A value beyond the int32 range is clamped to INT32_MIN or INT32_MAX.
#include <cstdint>
#include <limits>
#include <string_view>

namespace zelk {

constexpr std::int32_t parseDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t magnitude = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit) magnitude = kLimit; // clamp; keeps scanning without overflow
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

static_assert(parseDecimal("5           ") == 5 && parseDecimal("-12 ") == -12 && parseDecimal("x1") == 0);
static_assert(parseDecimal("99999999999") == 2147483647 && parseDecimal("-99999999999") == -2147483647 - 1);

} // namespace zelk

// The five actions: set or invert output pins, compute a variable, log a row, put a row on the clipboard.
#include "event_log.h"
#include "log_buffer.h"
#include "platform.h"
#include "program/codes.h"
#include "program/decimal.h"
#include "program/pin_code.h"
#include "rules.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace zelk {

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

std::int32_t wrap(std::int64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// One step of a "CALC" expression: two's-complement wrap-around; division and remainder by 0 leave the
// accumulator; the one quotient that does not fit (-2147483648 / -1) wraps to -2147483648, remainder 0.
std::int32_t apply(std::string_view op, std::int32_t acc, std::int32_t v) {
    if (op == codes::kAdd) return wrap(std::int64_t{acc} + v);
    if (op == codes::kSub) return wrap(std::int64_t{acc} - v);
    if (op == codes::kMul) return wrap(std::int64_t{acc} * v);
    if (op == codes::kDiv) {
        if (v == 0) return acc;
        return (acc == kMin && v == -1) ? kMin : acc / v;
    }
    if (op == codes::kRem) {
        if (v == 0) return acc;
        return v == -1 ? 0 : acc % v;
    }
    if (op == codes::kBitAnd) return acc & v;
    if (op == codes::kBitOr) return acc | v;
    if (op == codes::kBitXor) return acc ^ v;
    return acc;
}

// Appends text to the row, keeping the terminating NUL inside the buffer.
void appendText(RowBuffer& row, std::size_t& length, std::string_view text) {
    const std::size_t n = std::min(text.size(), row.size() - 1 - length);
    std::memcpy(row.data() + length, text.data(), n);
    length += n;
}

void appendNumber(RowBuffer& row, std::size_t& length, std::int32_t value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    appendText(row, length, {digits, static_cast<std::size_t>(result.ptr - digits)});
}

// A value in hundredths with two decimals ("%03.2f" of value x 0.01): 1234 gives 12.34, 5 gives 0.05,
// -250 gives -2.50. Exact integer formatting, independent of the process locale.
void appendHundredths(RowBuffer& row, std::size_t& length, std::int32_t value) {
    const std::int64_t magnitude = value < 0 ? -std::int64_t{value} : value;
    char text[24];
    char* p = text;
    if (value < 0) *p++ = '-';
    p = std::to_chars(p, text + sizeof text, magnitude / 100).ptr;
    *p++ = '.';
    *p++ = static_cast<char>('0' + magnitude % 100 / 10);
    *p++ = static_cast<char>('0' + magnitude % 10);
    appendText(row, length, {text, static_cast<std::size_t>(p - text)});
}

std::string_view trimRight(std::string_view text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

} // namespace

std::int32_t Rules::detailOperand(const LineRecord& line, Group group) const {
    const std::string_view kind = line.kind(group);
    const std::string_view data = line.data(group);
    std::int32_t value = 0;
    if (kind == codes::kCnst) {
        value = parseDecimal(data);
    } else if (kind == codes::kVar) {
        value = variableValue(data); // whatever the variable's type
    } else if (kind == codes::kSvar) {
        systemVariable(data, value);
    }
    return value;
}

std::int32_t Rules::calculate(const LineRecord& line) const {
    // Strictly left to right: ((P0 op1 P2) op3 P4) op5 P6.
    std::int32_t acc = detailOperand(line, Group::P0);
    for (int k = 1; k <= 3; ++k) {
        const std::int32_t v = detailOperand(line, detailGroup(2 * k));
        acc = apply(line.kind(detailGroup(2 * k - 1)), acc, v);
    }
    return acc;
}

std::string_view Rules::buildRow(const LineRecord& line, RowBuffer& row) const {
    std::size_t length = 0;
    for (int k = 0; k < static_cast<int>(kDetailGroups); ++k) {
        const Group group = detailGroup(k);
        const std::string_view kind = line.kind(group);
        const std::string_view data = line.data(group);
        const bool isItem =
            kind == codes::kCnst || kind == codes::kVar || kind == codes::kSvar || kind == codes::kVarm;
        if (!isItem) continue; // no item, and no separator either
        if (k > 0) appendText(row, length, "\t");
        if (kind == codes::kCnst) {
            appendText(row, length, trimRight(line.dataText(group)));
        } else if (kind == codes::kVarm) {
            appendHundredths(row, length, variableValue(data));
        } else if (kind == codes::kVar) {
            appendNumber(row, length, variableValue(data));
        } else {
            std::int32_t value = 0; // an unknown system variable reads 0
            systemVariable(data, value);
            appendNumber(row, length, value);
        }
    }
    row[length] = '\0';
    return {row.data(), length};
}

void Rules::performAction(const LineRecord& line, std::uint8_t& output) {
    const std::string_view action = line.kind(kAction);
    if (action == codes::kOut) {
        output = decodePinCode(line.data(kAction)).pattern; // always the whole port-1 value
    } else if (action == codes::kOutr) {
        output ^= decodePinCode(line.data(kAction)).pattern;
    } else if (action == codes::kCalc) {
        VarEntry* target = program_.variable(parseDecimal(line.data(kAction)));
        if (target != nullptr && target->isLong()) target->value = calculate(line);
    } else if (action == codes::kLog) {
        RowBuffer row;
        const std::string_view text = buildRow(line, row);
        events_.record(text, status_.passageSec.load(std::memory_order_relaxed),
                       status_.tick.load(std::memory_order_relaxed));
        log_.append(text);
    } else if (action == codes::kClip) {
        RowBuffer row;
        buildRow(line, row);
        platform_.putClipboard(row.data());
    }
}

} // namespace zelk

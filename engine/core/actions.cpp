// The five actions: set or invert output pins, compute a variable, log a row, put a row on the clipboard.
#include "core/engine_platform.h"
#include "core/event_log.h"
#include "core/log_buffer.h"
#include "core/rules.h"

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
std::int32_t apply(Operator op, std::int32_t acc, std::int32_t v) {
    switch (op) {
    case Operator::Add:
        return wrap(std::int64_t{acc} + v);
    case Operator::Sub:
        return wrap(std::int64_t{acc} - v);
    case Operator::Mul:
        return wrap(std::int64_t{acc} * v);
    case Operator::Div:
        if (v == 0) return acc;
        return (acc == kMin && v == -1) ? kMin : acc / v;
    case Operator::Rem:
        if (v == 0) return acc;
        return v == -1 ? 0 : acc % v;
    case Operator::BitAnd:
        return acc & v;
    case Operator::BitOr:
        return acc | v;
    case Operator::BitXor:
        return acc ^ v;
    default:
        return acc;
    }
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

std::int32_t Rules::variableValue(std::int32_t number) const {
    const VarEntry* variable = program_.variable(number);
    return variable != nullptr ? variable->value : 0; // whatever the variable's type
}

std::int32_t Rules::detailOperand(const DecodedOperand& operand) const {
    switch (operand.kind) {
    case OperandKind::Cnst:
        return operand.number;
    case OperandKind::Var:
        return variableValue(operand.number);
    case OperandKind::Svar:
        return systemValue(operand.system);
    default:
        return 0;
    }
}

std::int32_t Rules::calculate(const DecodedLine& line) const {
    // Strictly left to right: ((P0 op1 P2) op3 P4) op5 P6.
    std::int32_t acc = detailOperand(line.details[0]);
    for (std::size_t k = 0; k < line.operators.size(); ++k)
        acc = apply(line.operators[k], acc, detailOperand(line.details[2 * k + 2]));
    return acc;
}

std::string_view Rules::buildRow(const LineRecord& line, RowBuffer& row) const {
    return buildRow(decodeLine(line), line, row);
}

std::string_view Rules::buildRow(const DecodedLine& line, const LineRecord& record, RowBuffer& row) const {
    std::size_t length = 0;
    for (std::size_t k = 0; k < line.details.size(); ++k) {
        const DecodedOperand& item = line.details[k];
        switch (item.kind) {
        case OperandKind::Cnst:
        case OperandKind::Var:
        case OperandKind::Varm:
        case OperandKind::Svar:
            break;
        default:
            continue; // no item, and no separator either
        }
        if (k > 0) appendText(row, length, "\t");
        if (item.kind == OperandKind::Cnst) {
            appendText(row, length, trimRight(record.dataText(detailGroup(static_cast<int>(k)))));
        } else if (item.kind == OperandKind::Varm) {
            appendHundredths(row, length, variableValue(item.number));
        } else if (item.kind == OperandKind::Var) {
            appendNumber(row, length, variableValue(item.number));
        } else {
            appendNumber(row, length, systemValue(item.system)); // an unknown system variable reads 0
        }
    }
    row[length] = '\0';
    return {row.data(), length};
}

void Rules::performAction(const LineRecord& line, std::uint8_t& output) {
    act(decodeLine(line), line, output);
}

void Rules::act(const DecodedLine& line, const LineRecord& record, std::uint8_t& output) {
    switch (line.action) {
    case Action::Out:
        output = line.actionPattern; // always the whole port-1 value
        break;
    case Action::Outr:
        output ^= line.actionPattern;
        break;
    case Action::Calc:
        if (VarEntry* target = program_.variable(line.target); target != nullptr && target->isLong())
            target->value = calculate(line);
        break;
    case Action::Log: {
        RowBuffer row;
        const std::string_view text = buildRow(line, record, row);
        events_.record(text, status_.passageSec.load(std::memory_order_relaxed),
                       status_.tick.load(std::memory_order_relaxed));
        log_.append(text);
        break;
    }
    case Action::Clip: {
        RowBuffer row;
        buildRow(line, record, row);
        platform_.putClipboard(row.data());
        break;
    }
    default:
        break;
    }
}

} // namespace zelk

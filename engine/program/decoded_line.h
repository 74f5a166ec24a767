#pragma once
// A logic line decoded once, when the program is loaded: each column's code as its meaning, each number
// parsed and each pin code split into port and pattern. The cycle runs the decoded form, so no text is
// compared or parsed while a program runs; what a line means is decided here and nowhere else.
#include "program/decimal.h"
#include "program/line_record.h"
#include "program/pin_code.h"
#include "program/vocabulary.h"

#include <array>
#include <cstdint>

namespace zelk {

// An operand: of a condition (object, value) or of a detail group.
struct DecodedOperand {
    OperandKind kind = OperandKind::Other;
    SystemVariable system = SystemVariable::Other; // of kind Svar
    std::int8_t port = -1;                         // of kind Pin: 0 or 1, or -1 for any other port digit
    std::uint8_t pattern = 0;                      // of kind Pin
    std::int32_t number = 0; // of kind Cnst the constant, of kind Var and Varm the variable
};

struct DecodedLine {
    Connective connective = Connective::Other;
    DecodedOperand object, value;
    ComparisonKind comparisonKind = ComparisonKind::Other;
    Comparison comparison = Comparison::Other; // under "COMP"
    PinState pinState = PinState::Other;       // under "STS "
    Action action = Action::Other;
    std::int8_t actionPort = -1;    // "OUT " and "OUTR": the pin code's port, as for an operand
    std::uint8_t actionPattern = 0; // "OUT " and "OUTR": the output value or the bits to invert
    std::int32_t target = 0;        // "CALC": the variable number
    std::array<DecodedOperand, kDetailGroups> details{};
    std::array<Operator, 3> operators{}; // the kinds of P1, P3 and P5
};

namespace decoding {

constexpr std::int8_t portOf(const PinCode& pin) {
    return pin.port == 0 || pin.port == 1 ? static_cast<std::int8_t>(pin.port) : std::int8_t{-1};
}

inline DecodedOperand operand(const LineRecord& line, Group group) {
    DecodedOperand decoded;
    decoded.kind = meaningOf(kOperandKinds, line.kind(group));
    const std::string_view data = line.data(group);
    switch (decoded.kind) {
    case OperandKind::Svar:
        decoded.system = meaningOf(kSystemVariables, data);
        break;
    case OperandKind::Pin: {
        const PinCode pin = decodePinCode(data);
        decoded.port = portOf(pin);
        decoded.pattern = pin.pattern;
        break;
    }
    case OperandKind::Cnst:
    case OperandKind::Var:
    case OperandKind::Varm:
        decoded.number = parseDecimal(data);
        break;
    default:
        break;
    }
    return decoded;
}

} // namespace decoding

inline DecodedLine decodeLine(const LineRecord& line) {
    DecodedLine decoded;
    decoded.connective = meaningOf(kConnectives, line.kind(kConnective));
    decoded.object = decoding::operand(line, kObject);
    decoded.value = decoding::operand(line, kValue);
    decoded.comparisonKind = meaningOf(kComparisonKinds, line.kind(kComparison));
    decoded.comparison = meaningOf(kComparisons, line.data(kComparison));
    decoded.pinState = meaningOf(kPinStates, line.data(kComparison));
    decoded.action = meaningOf(kActions, line.kind(kAction));
    const PinCode pin = decodePinCode(line.data(kAction));
    decoded.actionPort = decoding::portOf(pin);
    decoded.actionPattern = pin.pattern;
    decoded.target = parseDecimal(line.data(kAction));
    for (int k = 0; k < static_cast<int>(kDetailGroups); ++k)
        decoded.details[static_cast<std::size_t>(k)] = decoding::operand(line, detailGroup(k));
    for (int k = 0; k < 3; ++k)
        decoded.operators[static_cast<std::size_t>(k)] =
            meaningOf(kOperators, line.kind(detailGroup(2 * k + 1)));
    return decoded;
}

} // namespace zelk

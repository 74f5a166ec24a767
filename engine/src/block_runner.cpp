// The block runner, condition evaluation and the system variables.
#include "program/codes.h"
#include "program/decimal.h"
#include "program/pin_code.h"
#include "rules.h"

namespace zelk {

std::uint8_t Rules::runBlock(const Block& block, std::uint8_t output) {
    // The chain result: no precedence, each connective combines it with the line's own condition in order.
    bool chain = false;
    const int lines = block.loadedLines();
    for (int i = 0; i < lines; ++i) {
        const LineRecord& line = block.lines[i];
        const std::string_view connective = line.kind(kConnective);
        if (connective == codes::kNew) {
            chain = evaluateCondition(line);
        } else if (connective == codes::kAnd) {
            chain = evaluateCondition(line) && chain;
        } else if (connective == codes::kOr) {
            chain = evaluateCondition(line) || chain;
        }
        if (chain || connective == codes::kNone) performAction(line, output);
    }
    return output;
}

const PortHistory* Rules::history(int port) const {
    if (port == 0) return &port0_;
    if (port == 1) return &port1_;
    return nullptr; // the engine keeps no history of any other port
}

std::int32_t Rules::variableValue(std::string_view numberField) const {
    const VarEntry* variable = program_.variable(parseDecimal(numberField));
    return variable != nullptr ? variable->value : 0;
}

// An operand of a condition (object or value). Whatever does not resolve is the neutral value 0.
std::int32_t Rules::conditionOperand(const LineRecord& line, Group group) const {
    const std::string_view kind = line.kind(group);
    const std::string_view data = line.data(group);
    std::int32_t value = 0;
    if (kind == codes::kSvar) {
        systemVariable(data, value);
    } else if (kind == codes::kVar) {
        const VarEntry* variable = program_.variable(parseDecimal(data));
        if (variable != nullptr && variable->isLong()) value = variable->value;
    } else if (kind == codes::kPin) {
        const PinCode pin = decodePinCode(data);
        if (const PortHistory* port = history(pin.port)) value = port->newest() & pin.pattern;
    } else if (kind == codes::kCnst && group == kValue) {
        value = parseDecimal(data);
    }
    return value;
}

namespace {

bool compare(std::string_view code, std::int32_t a, std::int32_t b) {
    if (code == codes::kEq) return a == b;
    if (code == codes::kLt) return a < b;
    if (code == codes::kGt) return a > b;
    if (code == codes::kLe) return a <= b;
    if (code == codes::kGe) return a >= b;
    if (code == codes::kNe) return a != b;
    return false;
}

// A selected pin bit of 0 is energized ("ELEC"), 1 is not energized ("STOP").
bool pinState(std::string_view code, std::uint8_t current, std::uint8_t previous) {
    if (code == codes::kElec) return current == 0;
    if (code == codes::kStop) return current != 0;
    if (code == codes::kStopToElec) return previous != 0 && current == 0;
    if (code == codes::kElecToStop) return previous == 0 && current != 0;
    if (code == codes::kChange) return previous != current;
    return false;
}

} // namespace

bool Rules::evaluateCondition(const LineRecord& line) const {
    if (line.kind(kObject) == codes::kNone) return true;
    const std::int32_t a = conditionOperand(line, kObject);
    const std::int32_t b = conditionOperand(line, kValue);
    const std::string_view comparison = line.kind(kComparison);
    if (comparison == codes::kComp) return compare(line.data(kComparison), a, b);
    if (comparison == codes::kSts) {
        if (line.kind(kObject) != codes::kPin) return false;
        const PinCode pin = decodePinCode(line.data(kObject));
        const PortHistory* port = history(pin.port);
        if (port == nullptr) return false;
        return pinState(line.data(kComparison), port->newest() & pin.pattern, port->previous() & pin.pattern);
    }
    return false;
}

bool Rules::systemVariable(std::string_view name, std::int32_t& value) const {
    // A snapshot of the status picture, as getCtlData would copy it.
    const std::int32_t passageSec = status_.passageSec.load(std::memory_order_relaxed);
    const std::uint8_t tick = status_.echo.load(std::memory_order_relaxed);
    if (name == codes::kPassageSec) {
        value = passageSec;
    } else if (name == codes::kTick10ms) {
        value = tick;
    } else if (name == codes::kPassage10ms) {
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(passageSec) * 100u + tick);
    } else if (name == codes::kPort0) {
        value = status_.port0.load(std::memory_order_relaxed);
    } else if (name == codes::kPort1) {
        value = status_.port1.load(std::memory_order_relaxed);
    } else {
        return false;
    }
    return true;
}

} // namespace zelk

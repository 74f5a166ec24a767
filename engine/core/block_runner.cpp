// The block runner, condition evaluation and the system variables.
#include "core/rules.h"

namespace zelk {

std::uint8_t Rules::runBlock(const Block& block, std::uint8_t output) {
    // The chain result: no precedence, each connective combines it with the line's own condition in order.
    bool chain = false;
    const int lines = block.loadedLines();
    for (int i = 0; i < lines; ++i) {
        const DecodedLine& line = block.decoded[i];
        switch (line.connective) {
        case Connective::New:
            chain = holds(line);
            break;
        case Connective::And:
            chain = holds(line) && chain;
            break;
        case Connective::Or:
            chain = holds(line) || chain;
            break;
        default: // "NONE", "NEXT" and any other text keep the chain
            break;
        }
        if (chain || line.connective == Connective::None) act(line, block.lines[i], output);
    }
    return output;
}

bool Rules::evaluateCondition(const LineRecord& line) const {
    return holds(decodeLine(line));
}

const PortHistory* Rules::history(int port) const {
    if (port == 0) return &port0_;
    if (port == 1) return &port1_;
    return nullptr; // the engine keeps no history of any other port
}

// An operand of a condition (object or value). Whatever does not resolve is the neutral value 0.
std::int32_t Rules::conditionOperand(const DecodedOperand& operand, Group group) const {
    switch (operand.kind) {
    case OperandKind::Svar:
        return systemValue(operand.system);
    case OperandKind::Var: {
        const VarEntry* variable = program_.variable(operand.number);
        return variable != nullptr && variable->isLong() ? variable->value : 0;
    }
    case OperandKind::Pin: {
        const PortHistory* port = history(operand.port);
        return port != nullptr ? port->newest() & operand.pattern : 0;
    }
    case OperandKind::Cnst:
        return group == kValue ? operand.number : 0;
    default:
        return 0;
    }
}

namespace {

bool compare(Comparison comparison, std::int32_t a, std::int32_t b) {
    switch (comparison) {
    case Comparison::Eq:
        return a == b;
    case Comparison::Lt:
        return a < b;
    case Comparison::Gt:
        return a > b;
    case Comparison::Le:
        return a <= b;
    case Comparison::Ge:
        return a >= b;
    case Comparison::Ne:
        return a != b;
    default:
        return false;
    }
}

// A selected pin bit of 0 is energized ("ELEC"), 1 is not energized ("STOP").
bool pinState(PinState state, std::uint8_t current, std::uint8_t previous) {
    switch (state) {
    case PinState::Elec:
        return current == 0;
    case PinState::Stop:
        return current != 0;
    case PinState::StopToElec:
        return previous != 0 && current == 0;
    case PinState::ElecToStop:
        return previous == 0 && current != 0;
    case PinState::Change:
        return previous != current;
    default:
        return false;
    }
}

} // namespace

bool Rules::holds(const DecodedLine& line) const {
    if (line.object.kind == OperandKind::None) return true;
    if (line.comparisonKind == ComparisonKind::Comp)
        return compare(line.comparison, conditionOperand(line.object, kObject),
                       conditionOperand(line.value, kValue));
    if (line.comparisonKind == ComparisonKind::Sts) {
        if (line.object.kind != OperandKind::Pin) return false;
        const PortHistory* port = history(line.object.port);
        if (port == nullptr) return false;
        const std::uint8_t pattern = line.object.pattern;
        return pinState(line.pinState, port->newest() & pattern, port->previous() & pattern);
    }
    return false;
}

bool Rules::systemVariable(std::string_view name, std::int32_t& value) const {
    const SystemVariable variable = meaningOf(kSystemVariables, name);
    if (variable == SystemVariable::Other) return false;
    value = systemValue(variable);
    return true;
}

std::int32_t Rules::systemValue(SystemVariable variable) const {
    // A snapshot of the status picture, as getCtlData would copy it.
    switch (variable) {
    case SystemVariable::PassageSec:
        return status_.passageSec.load(std::memory_order_relaxed);
    case SystemVariable::Tick10ms:
        return status_.echo.load(std::memory_order_relaxed);
    case SystemVariable::Passage10ms: {
        const auto seconds = static_cast<std::uint32_t>(status_.passageSec.load(std::memory_order_relaxed));
        return static_cast<std::int32_t>(seconds * 100u + status_.echo.load(std::memory_order_relaxed));
    }
    case SystemVariable::Port0:
        return status_.port0.load(std::memory_order_relaxed);
    case SystemVariable::Port1:
        return status_.port1.load(std::memory_order_relaxed);
    default:
        return 0; // an unknown name reads 0
    }
}

} // namespace zelk

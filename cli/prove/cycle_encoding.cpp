#include "cli/prove/cycle_encoding.h"

#include <limits>
#include <span>

namespace zelk::prove {

namespace {

constexpr int kMinValue = std::numeric_limits<std::int32_t>::min();

z3::expr byte(z3::context& c, unsigned value) {
    return c.bv_val(value, 8);
}

z3::expr word(z3::context& c, std::int32_t value) {
    return c.bv_val(value, 32);
}

const VarEntry& variableAt(const Program& program, std::int32_t n) {
    return program.variables[static_cast<std::size_t>(n)];
}

bool inTable(std::int32_t n) {
    return n >= 0 && n < kVariableCount;
}

} // namespace

// One cycle's evaluation of the block: the inputs of the cycle and the values the lines change in order.
struct CycleEncoding::Cycle {
    const CycleEncoding& encoding;
    const State& before;
    z3::expr input;
    z3::expr output;                 // port 1 as the lines leave it
    std::vector<z3::expr> variables; // as the lines leave them

    z3::context& c() const { return encoding.context_; }

    z3::expr systemValue(SystemVariable variable) const {
        switch (variable) {
        case SystemVariable::PassageSec:
            return before.seconds;
        case SystemVariable::Tick10ms: // the answer's echo of the last read request's sequence
            return z3::zext(before.sequence, 24);
        case SystemVariable::Passage10ms:
            return before.seconds * word(c(), 100) + z3::zext(before.sequence, 24);
        case SystemVariable::Port0:
            return z3::zext(input, 24);
        case SystemVariable::Port1: // the output of the cycle before, until this cycle ends
            return z3::zext(before.port1, 24);
        default:
            return word(c(), 0);
        }
    }

    // Port 1's history during the block holds the cycle before's output in its newest and previous place.
    std::pair<z3::expr, z3::expr> pinSamples(int port) const {
        if (port == 0) return {input, before.port0};
        return {before.port1, before.port1};
    }

    z3::expr conditionOperand(const DecodedOperand& operand, Group group) const {
        switch (operand.kind) {
        case OperandKind::Svar:
            return systemValue(operand.system);
        case OperandKind::Var:
            if (!inTable(operand.number) || !variableAt(encoding.program_, operand.number).isLong())
                return word(c(), 0);
            return variables[static_cast<std::size_t>(operand.number)];
        case OperandKind::Pin:
            if (operand.port < 0) return word(c(), 0);
            return z3::zext(pinSamples(operand.port).first & byte(c(), operand.pattern), 24);
        case OperandKind::Cnst:
            return word(c(), group == kValue ? operand.number : 0);
        default:
            return word(c(), 0);
        }
    }

    z3::expr holds(const DecodedLine& line) const {
        if (line.object.kind == OperandKind::None) return c().bool_val(true);
        if (line.comparisonKind == ComparisonKind::Comp) {
            const z3::expr a = conditionOperand(line.object, kObject);
            const z3::expr b = conditionOperand(line.value, kValue);
            switch (line.comparison) {
            case Comparison::Eq:
                return a == b;
            case Comparison::Lt:
                return a < b; // signed, as z3's operators on bit vectors are
            case Comparison::Gt:
                return a > b;
            case Comparison::Le:
                return a <= b;
            case Comparison::Ge:
                return a >= b;
            case Comparison::Ne:
                return a != b;
            default:
                return c().bool_val(false);
            }
        }
        if (line.comparisonKind == ComparisonKind::Sts && line.object.kind == OperandKind::Pin &&
            line.object.port >= 0) {
            const auto [newest, previous] = pinSamples(line.object.port);
            const z3::expr pattern = byte(c(), line.object.pattern);
            const z3::expr zero = byte(c(), 0);
            const z3::expr current = (newest & pattern) == zero; // every selected pin energized
            const z3::expr earlier = (previous & pattern) == zero;
            switch (line.pinState) {
            case PinState::Elec:
                return current;
            case PinState::Stop:
                return !current;
            case PinState::StopToElec:
                return !earlier && current;
            case PinState::ElecToStop:
                return earlier && !current;
            case PinState::Change:
                return (newest & pattern) != (previous & pattern);
            default:
                break;
            }
        }
        return c().bool_val(false);
    }

    z3::expr detailOperand(const DecodedOperand& operand) const {
        switch (operand.kind) {
        case OperandKind::Cnst:
            return word(c(), operand.number);
        case OperandKind::Var: // whatever the variable's type
            return inTable(operand.number) ? variables[static_cast<std::size_t>(operand.number)]
                                           : word(c(), 0);
        case OperandKind::Svar:
            return systemValue(operand.system);
        default:
            return word(c(), 0);
        }
    }

    z3::expr apply(Operator op, const z3::expr& acc, const z3::expr& v) const {
        const z3::expr zero = word(c(), 0);
        const z3::expr minusOne = word(c(), -1);
        switch (op) {
        case Operator::Add:
            return acc + v;
        case Operator::Sub:
            return acc - v;
        case Operator::Mul:
            return acc * v;
        case Operator::Div: // by 0 the accumulator stays; -2147483648 / -1 wraps to -2147483648
            return z3::ite(v == zero, acc,
                           z3::ite(acc == word(c(), kMinValue) && v == minusOne, acc, acc / v));
        case Operator::Rem: // by 0 the accumulator stays; by -1 the remainder is 0
            return z3::ite(v == zero, acc, z3::ite(v == minusOne, zero, z3::srem(acc, v)));
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

    z3::expr calculate(const DecodedLine& line) const {
        z3::expr acc = detailOperand(line.details[0]);
        for (std::size_t k = 0; k < line.operators.size(); ++k)
            acc = apply(line.operators[k], acc, detailOperand(line.details[2 * k + 2]));
        return acc;
    }

    void act(const DecodedLine& line, const z3::expr& fires) {
        switch (line.action) {
        case Action::Out:
            output = z3::ite(fires, byte(c(), line.actionPattern), output);
            break;
        case Action::Outr:
            output = z3::ite(fires, output ^ byte(c(), line.actionPattern), output);
            break;
        case Action::Calc:
            if (inTable(line.target) && encoding.settable_[static_cast<std::size_t>(line.target)]) {
                z3::expr& target = variables[static_cast<std::size_t>(line.target)];
                target = z3::ite(fires, calculate(line), target);
            }
            break;
        default: // "LOG ", "CLIP" and no action leave ports and variables alone
            break;
        }
    }

    void runBlock(const Block& block) {
        z3::expr chain = c().bool_val(false);
        for (int i = 0; i < block.loadedLines(); ++i) {
            const DecodedLine& line = block.decoded[static_cast<std::size_t>(i)];
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
            default:
                break;
            }
            act(line, line.connective == Connective::None ? c().bool_val(true) : chain);
        }
    }
};

namespace {

// The variable an operand reads, or -1.
int variableRead(const DecodedOperand& operand) {
    return operand.kind == OperandKind::Var && inTable(operand.number) ? operand.number : -1;
}

} // namespace

CycleEncoding::CycleEncoding(z3::context& context, const Program& program, Variables watched)
    : context_(context), program_(program), settable_(kVariableCount, false) {
    const Block& block = program.main;
    const std::span lines(block.decoded.data(), static_cast<std::size_t>(block.loadedLines()));
    Variables cone = watched;
    for (const DecodedLine& line : lines)
        for (const DecodedOperand* operand : {&line.object, &line.value})
            if (const int n = variableRead(*operand); n >= 0) cone.set(static_cast<std::size_t>(n));
    for (bool grown = true; grown;) {
        grown = false;
        for (const DecodedLine& line : lines) {
            if (line.action != Action::Calc || !inTable(line.target) || !cone.test(line.target)) continue;
            for (const DecodedOperand& operand : line.details)
                if (const int n = variableRead(operand); n >= 0 && !cone.test(static_cast<std::size_t>(n))) {
                    cone.set(static_cast<std::size_t>(n));
                    grown = true;
                }
        }
    }
    for (const DecodedLine& line : lines)
        if (line.action == Action::Calc && inTable(line.target) && cone.test(line.target) &&
            variableAt(program, line.target).isLong())
            settable_[static_cast<std::size_t>(line.target)] = true;
}

State CycleEncoding::initial() const {
    State s{byte(context_, 0xFF), byte(context_, 0x0F), byte(context_, 0xFF), byte(context_, 0x0F),
            byte(context_, 0),    byte(context_, 0),    word(context_, 0),    {}};
    for (const VarEntry& variable : program_.variables)
        s.variables.push_back(word(context_, variable.value));
    return s;
}

State CycleEncoding::unknown(const std::string& prefix) const {
    const auto bits = [&](const char* name, unsigned width) {
        return context_.bv_const((prefix + name).c_str(), width);
    };
    State s{bits("port0", 8), bits("port1", 8), bits("lastPort0", 8), bits("lastPort1", 8),
            bits("tick", 8),  bits("seq", 8),   bits("seconds", 32),  {}};
    for (int n = 0; n < kVariableCount; ++n)
        s.variables.push_back(settable_[static_cast<std::size_t>(n)]
                                  ? context_.bv_const((prefix + "var" + std::to_string(n)).c_str(), 32)
                                  : word(context_, variableAt(program_, n).value));
    return s;
}

State CycleEncoding::next(const State& s, const z3::expr& input) const {
    Cycle cycle{*this, s, input, s.port1, s.variables};
    cycle.runBlock(program_.main);
    const z3::expr counted =
        z3::ite(s.tick == byte(context_, 99), byte(context_, 0), s.tick + byte(context_, 1));
    const z3::expr seconds = z3::ite(counted == byte(context_, 0), s.seconds + word(context_, 1), s.seconds);
    return {input, cycle.output, s.port0, s.port1, counted, s.tick, seconds, cycle.variables};
}

z3::expr CycleEncoding::cycleEndShape(const State& s) const {
    // After a cycle the count is 0..99 and the sequence it sent is one behind it.
    const z3::expr behind =
        z3::ite(s.tick == byte(context_, 0), byte(context_, 99), s.tick - byte(context_, 1));
    return z3::ule(s.tick, byte(context_, 99)) && s.sequence == behind;
}

} // namespace zelk::prove

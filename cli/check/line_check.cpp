#include "cli/check/line_check.h"

#include "cli/check/field_text.h"
#include "program/codes.h"
#include "program/decimal.h"
#include "program/decoded_line.h"
#include "program/keys.h"
#include "program/pin_code.h"
#include "program/spaces.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace zelk::check {

namespace {

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// A group that holds nothing: "NONE", or a kind of blanks only or none at all (a group missing from a
// short line). The engine passes over such a detail group as over "NONE".
bool isEmptyKind(std::string_view kindText) {
    return kindText == codes::kNone || trimSpaces(kindText).empty();
}

// A port digit and two hexadecimal digits, then spaces.
bool isPinCode(std::string_view text) {
    return text.size() >= 3 && text[0] >= '0' && text[0] <= '9' && hexDigitValue(text[1]) >= 0 &&
           hexDigitValue(text[2]) >= 0 && trimSpaces(text.substr(3)).empty();
}

std::string detailName(int k) {
    return "P" + std::to_string(k);
}

class LineCheck {
public:
    LineCheck(const Program& program, const LineRecord& line, const LinePlace& place, Findings& out)
        : program_(program), line_(line), decoded_(decodeLine(line)), place_(place), out_(out) {}

    void run() {
        connective();
        action();
    }

private:
    void warn(std::string message) {
        out_.push_back({place_.section, place_.index, {}, place_.fileLine, std::move(message)});
    }

    std::string_view kindText(Group g) const { return line_.kindText(g); }
    std::string_view dataText(Group g) const { return line_.dataText(g); }
    // The decoded operand of an operand group: the object, the value or a detail group. The connective, the
    // comparison and the action hold none.
    const DecodedOperand& operand(Group g) const {
        static constexpr DecodedOperand kNoOperand{};
        switch (g) {
        case Group::C1:
            return decoded_.object;
        case Group::C3:
            return decoded_.value;
        case Group::P0:
        case Group::P1:
        case Group::P2:
        case Group::P3:
        case Group::P4:
        case Group::P5:
        case Group::P6:
            return decoded_.details[groupIndex(g) - groupIndex(Group::P0)];
        case Group::C0:
        case Group::C2:
        case Group::C4:
            break;
        }
        return kNoOperand;
    }
    OperandKind kind(Group g) const { return operand(g).kind; }

    void connective() {
        const Connective c = decoded_.connective;
        if (c == Connective::New || c == Connective::And || c == Connective::Or) {
            if (c == Connective::And && place_.index == 0)
                warn("connective: \"AND \" on the first line of a block is never true: the chain starts "
                     "false");
            condition();
            return;
        }
        if (c == Connective::Next && place_.index == 0)
            warn("connective: \"NEXT\" on the first line of a block: its action never runs");
        if (c == Connective::Other) {
            warn("connective: " + quoted(kindText(kConnective)) +
                 " is not a connective: the condition is not evaluated and the chain result is kept");
        } else if (!isEmptyKind(kindText(kObject)) || !isEmptyKind(kindText(kComparison)) ||
                   !isEmptyKind(kindText(kValue))) {
            warn("the condition of a " + quoted(kindText(kConnective)) + " line is not evaluated");
        }
    }

    void condition() {
        if (kind(kObject) == OperandKind::None) {
            if (!isEmptyKind(kindText(kComparison)) || !isEmptyKind(kindText(kValue)))
                warn("the object is \"NONE\": the condition is true, its comparison and value are not used");
            return;
        }
        const ComparisonKind comparison = decoded_.comparisonKind;
        if (comparison == ComparisonKind::Comp) {
            conditionOperand(kObject, "object");
            if (kind(kValue) == OperandKind::None)
                warn("value: \"NONE\" under \"COMP\" reads as 0");
            else
                conditionOperand(kValue, "value");
            if (decoded_.comparison == Comparison::Other)
                warn("comparison: " + quoted(dataText(kComparison)) +
                     " is not a comparison: the condition is never true");
        } else if (comparison == ComparisonKind::Sts) {
            if (kind(kObject) != OperandKind::Pin) {
                warn("pin-state test on an object of kind " + quoted(kindText(kObject)) +
                     ", not a pin: the condition is never true");
            } else {
                pinCode("object", kObject, true, "the condition is never true");
                pinState();
            }
            if (decoded_.pinState == PinState::Other)
                warn("comparison: " + quoted(dataText(kComparison)) +
                     " is not a pin state: the condition is never true");
            if (!isEmptyKind(kindText(kValue))) warn("value: a pin-state test does not use it");
        } else if (isEmptyKind(kindText(kComparison))) {
            warn("no comparison: the condition is never true");
        } else {
            warn("comparison: " + quoted(kindText(kComparison)) +
                 " is not a comparison kind: the condition is never true");
        }
    }

    // The pin-state tests of a well-formed pin code that are never true. Port 1's history holds the engine's
    // own output, shifted before the block runs and set after it: while the block runs its newest and
    // previous values are both the last cycle's output, so a transition never shows. A pattern that selects
    // no pin reads as energized always.
    void pinState() {
        const DecodedOperand& pin = decoded_.object;
        if (!isPinCode(dataText(kObject)) || pin.port < 0) return;
        const PinState state = decoded_.pinState;
        const bool transition =
            state == PinState::StopToElec || state == PinState::ElecToStop || state == PinState::Change;
        if (pin.port == 1 && transition) {
            warn("comparison: " + quoted(dataText(kComparison)) +
                 " on a port-1 pin is never true: while the block runs, port 1's newest and previous values "
                 "are both the last cycle's output");
        } else if (pin.pattern == 0 && state == PinState::Elec) {
            warn("object: pin code " + quoted(dataText(kObject)) +
                 " selects no pin: \"ELEC\" is always true");
        } else if (pin.pattern == 0 && (transition || state == PinState::Stop)) {
            warn("object: pin code " + quoted(dataText(kObject)) +
                 " selects no pin: " + quoted(dataText(kComparison)) + " is never true");
        }
    }

    // The object or the value of a "COMP" condition.
    void conditionOperand(Group g, const std::string& role) {
        const OperandKind k = kind(g);
        if (k == OperandKind::Var) {
            variable(role, g, "it reads as 0");
        } else if (k == OperandKind::Svar) {
            systemVariable(role, g);
        } else if (k == OperandKind::Pin) {
            pinCode(role, g, true, "it reads as 0");
        } else if (k == OperandKind::Cnst && g == kValue) {
            constant(role, g);
        } else {
            warn(role + ": " + quoted(kindText(g)) +
                 (g == kObject ? " is not an object kind" : " is not a value kind") + ": it reads as 0");
        }
    }

    void action() {
        const Action a = decoded_.action;
        if (a == Action::Out || a == Action::Outr) {
            pinCode("action", kAction, false, {});
            if (isPinCode(dataText(kAction)) && decoded_.actionPort != 1)
                warn("action: pin code " + quoted(dataText(kAction)) + " names port " +
                     std::string(dataText(kAction).substr(0, 1)) + ", but " + quoted(kindText(kAction)) +
                     " always sets port 1");
            unusedDetails();
        } else if (a == Action::Calc) {
            variable("CALC target", kAction, "the line does nothing");
            if (!place_.hasDetails)
                warn(missingDetails() + ": the calculation gives 0");
            else
                calculation();
        } else if (a == Action::Log || a == Action::Clip) {
            if (!place_.hasDetails)
                warn(missingDetails() + ": the row is empty");
            else
                rowItems();
        } else if (a == Action::None) {
            unusedDetails();
        } else {
            warn("action: " + quoted(kindText(kAction)) + " is not an action: the line does nothing");
        }
    }

    std::string missingDetails() const {
        return std::string(keys::lineKey(keys::kLineProc, place_.index)) + " is missing";
    }

    void unusedDetails() {
        std::string unused;
        for (int k = 0; k < static_cast<int>(kDetailGroups); ++k)
            if (!isEmptyKind(kindText(detailGroup(k))))
                unused += (unused.empty() ? "" : ", ") + detailName(k);
        if (!unused.empty())
            warn("details " + unused + " are not used by the action " + quoted(kindText(kAction)));
    }

    // ((P0 op1 P2) op3 P4) op5 P6
    void calculation() {
        if (!isEmptyKind(kindText(Group::P0))) calculationOperand(0);
        for (int k = 1; k <= 3; ++k) {
            const Group op = detailGroup(2 * k - 1);
            const Group argument = detailGroup(2 * k);
            const Operator kindOfOp = decoded_.operators[static_cast<std::size_t>(k - 1)];
            if (isEmptyKind(kindText(op))) {
                if (!isEmptyKind(kindText(argument)))
                    warn(detailName(2 * k) + " is not used: " + detailName(2 * k - 1) + " holds no operator");
            } else if (kindOfOp == Operator::Other) {
                warn(detailName(2 * k - 1) + ": " + quoted(kindText(op)) +
                     " is not an operator: the result so far is kept");
            } else if (isEmptyKind(kindText(argument))) {
                warn(detailName(2 * k) + ": the operator " + quoted(kindText(op)) +
                     " has no operand: it takes 0");
            } else {
                calculationOperand(2 * k);
                if ((kindOfOp == Operator::Div || kindOfOp == Operator::Rem) &&
                    kind(argument) == OperandKind::Cnst && operand(argument).number == 0)
                    warn(detailName(2 * k - 1) + ": " + quoted(kindText(op)) +
                         " by the constant 0: the engine leaves the result so far unchanged");
            }
        }
    }

    void calculationOperand(int k) {
        const Group g = detailGroup(k);
        const std::string role = detailName(k);
        const OperandKind operandKind = kind(g);
        if (operandKind == OperandKind::Cnst) {
            constant(role, g);
        } else if (operandKind == OperandKind::Var) {
            variable(role, g, "it reads as 0");
        } else if (operandKind == OperandKind::Svar) {
            systemVariable(role, g);
        } else if (operandKind == OperandKind::Varm) {
            warn(role + ": \"VARM\" is for rows of LOG and CLIP: in a calculation it reads as 0");
        } else {
            warn(role + ": " + quoted(kindText(g)) + " is not an operand kind: it reads as 0");
        }
    }

    void rowItems() {
        bool anyItem = false;
        for (int k = 0; k < static_cast<int>(kDetailGroups); ++k) {
            const Group g = detailGroup(k);
            const OperandKind itemKind = kind(g);
            if (isEmptyKind(kindText(g))) continue;
            anyItem = true;
            if (itemKind == OperandKind::Var || itemKind == OperandKind::Varm) {
                variable(detailName(k), g, "it reads as 0");
            } else if (itemKind == OperandKind::Svar) {
                systemVariable(detailName(k), g);
            } else if (itemKind != OperandKind::Cnst) {
                warn(detailName(k) + ": " + quoted(kindText(g)) +
                     " is not a row item kind: no item is written");
            }
        }
        if (!anyItem) warn("the row of " + quoted(kindText(kAction)) + " has no items");
    }

    // A variable number: the engine reads the variable's value only when it is defined and of type "LONG".
    void variable(const std::string& role, Group g, const std::string& consequence) {
        const std::string_view text = dataText(g);
        const std::int32_t n = parseDecimal(line_.data(g));
        const std::string name = variableName(n);
        if (!isWholeNumber(text)) {
            warn(role + ": " + quoted(text) + " is not a variable number: it names " + name);
            return;
        }
        const int defined = std::clamp<std::int32_t>(program_.variableCount, 0, kVariableCount);
        const VarEntry* entry = program_.variable(n);
        if (entry == nullptr) {
            warn(role + ": " + name + " is outside the engine's variables 00 to 63: " + consequence);
        } else if (n >= defined) {
            warn(role + ": " + name + " is not defined (VARIABLE_CNT is " +
                 std::to_string(program_.variableCount) + "): " + consequence);
        } else if (!entry->isLong()) {
            const std::string type =
                entry->type[0] == '\0' ? " has no type" : " is of type " + quoted(entry->type);
            warn(role + ": " + name + type + ", not \"LONG\": " + consequence);
        }
    }

    void systemVariable(const std::string& role, Group g) {
        if (operand(g).system == SystemVariable::Other)
            warn(role + ": " + quoted(dataText(g)) + " is not a system variable: it reads as 0");
    }

    void constant(const std::string& role, Group g) {
        if (!isWholeNumber(dataText(g)))
            warn(role + ": " + quoted(dataText(g)) + " is not a 32-bit whole number: it reads as " +
                 std::to_string(parseDecimal(line_.data(g))));
    }

    // A pin code: a port digit and two hexadecimal digits, then spaces. In a condition the port must be 0
    // or 1, the engine's two ports; an action always sets port 1.
    void pinCode(const std::string& role, Group g, bool portMatters, const std::string& noPort) {
        const std::string_view text = dataText(g);
        const PinCode pin = decodePinCode(line_.data(g));
        const bool noSuchPort = portMatters && pin.port != 0 && pin.port != 1;
        if (!isPinCode(text)) {
            warn(role + ": " + quoted(text) +
                 " is not a pin code (a port digit and two hexadecimal digits): " +
                 (noSuchPort ? noPort : "its pattern reads as " + hexByte(pin.pattern)));
        } else if (noSuchPort) {
            warn(role + ": pin code " + quoted(text) + " names port " + std::to_string(pin.port) +
                 "; the engine has ports 0 and 1: " + noPort);
        }
    }

    const Program& program_;
    const LineRecord& line_;
    const DecodedLine decoded_;
    const LinePlace& place_;
    Findings& out_;
};

} // namespace

void checkLine(const Program& program, const LineRecord& line, const LinePlace& place, Findings& out) {
    LineCheck(program, line, place, out).run();
}

} // namespace zelk::check

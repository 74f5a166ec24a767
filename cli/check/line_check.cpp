#include "cli/check/line_check.h"

#include "cli/check/field_text.h"
#include "program/codes.h"
#include "program/decimal.h"
#include "program/keys.h"
#include "program/pin_code.h"
#include "program/spaces.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string_view>

namespace zelk::check {

namespace {

bool isAny(std::string_view field, std::initializer_list<std::string_view> codes) {
    return std::find(codes.begin(), codes.end(), field) != codes.end();
}

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
        : program_(program), line_(line), place_(place), out_(out) {}

    void run() {
        connective();
        action();
    }

private:
    void warn(std::string message) {
        out_.push_back({place_.section, place_.index, {}, place_.fileLine, std::move(message)});
    }

    std::string_view kind(Group g) const { return line_.kind(g); }
    std::string_view kindText(Group g) const { return line_.kindText(g); }
    std::string_view dataText(Group g) const { return line_.dataText(g); }

    void connective() {
        const std::string_view c = kind(kConnective);
        if (isAny(c, {codes::kNew, codes::kAnd, codes::kOr})) {
            if (c == codes::kAnd && place_.index == 0)
                warn("connective: \"AND \" on the first line of a block is never true: the chain starts "
                     "false");
            condition();
            return;
        }
        if (c == codes::kNext && place_.index == 0)
            warn("connective: \"NEXT\" on the first line of a block: its action never runs");
        if (!isAny(c, {codes::kNext, codes::kNone})) {
            warn("connective: " + quoted(kindText(kConnective)) +
                 " is not a connective: the condition is not evaluated and the chain result is kept");
        } else if (!isEmptyKind(kindText(kObject)) || !isEmptyKind(kindText(kComparison)) ||
                   !isEmptyKind(kindText(kValue))) {
            warn("the condition of a " + quoted(kindText(kConnective)) + " line is not evaluated");
        }
    }

    void condition() {
        if (kind(kObject) == codes::kNone) {
            if (!isEmptyKind(kindText(kComparison)) || !isEmptyKind(kindText(kValue)))
                warn("the object is \"NONE\": the condition is true, its comparison and value are not used");
            return;
        }
        const std::string_view comparison = kind(kComparison);
        const std::string_view code = line_.data(kComparison);
        if (comparison == codes::kComp) {
            conditionOperand(kObject, "object");
            if (kind(kValue) == codes::kNone)
                warn("value: \"NONE\" under \"COMP\" reads as 0");
            else
                conditionOperand(kValue, "value");
            if (!isAny(code, {codes::kEq, codes::kLt, codes::kGt, codes::kLe, codes::kGe, codes::kNe}))
                warn("comparison: " + quoted(dataText(kComparison)) +
                     " is not a comparison: the condition is never true");
        } else if (comparison == codes::kSts) {
            if (kind(kObject) != codes::kPin) {
                warn("pin-state test on an object of kind " + quoted(kindText(kObject)) +
                     ", not a pin: the condition is never true");
            } else {
                pinCode("object", kObject, true, "the condition is never true");
                pinState(code);
            }
            if (!isAny(code,
                       {codes::kElec, codes::kStop, codes::kStopToElec, codes::kElecToStop, codes::kChange}))
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
    void pinState(std::string_view code) {
        const PinCode pin = decodePinCode(line_.data(kObject));
        if (!isPinCode(dataText(kObject)) || (pin.port != 0 && pin.port != 1)) return;
        const bool transition = isAny(code, {codes::kStopToElec, codes::kElecToStop, codes::kChange});
        if (pin.port == 1 && transition) {
            warn("comparison: " + quoted(dataText(kComparison)) +
                 " on a port-1 pin is never true: while the block runs, port 1's newest and previous values "
                 "are both the last cycle's output");
        } else if (pin.pattern == 0 && code == codes::kElec) {
            warn("object: pin code " + quoted(dataText(kObject)) +
                 " selects no pin: \"ELEC\" is always true");
        } else if (pin.pattern == 0 && (transition || code == codes::kStop)) {
            warn("object: pin code " + quoted(dataText(kObject)) +
                 " selects no pin: " + quoted(dataText(kComparison)) + " is never true");
        }
    }

    // The object or the value of a "COMP" condition.
    void conditionOperand(Group g, const std::string& role) {
        const std::string_view k = kind(g);
        if (k == codes::kVar) {
            variable(role, g, "it reads as 0");
        } else if (k == codes::kSvar) {
            systemVariable(role, g);
        } else if (k == codes::kPin) {
            pinCode(role, g, true, "it reads as 0");
        } else if (k == codes::kCnst && g == kValue) {
            constant(role, g);
        } else {
            warn(role + ": " + quoted(kindText(g)) +
                 (g == kObject ? " is not an object kind" : " is not a value kind") + ": it reads as 0");
        }
    }

    void action() {
        const std::string_view a = kind(kAction);
        if (a == codes::kOut || a == codes::kOutr) {
            pinCode("action", kAction, false, {});
            if (isPinCode(dataText(kAction)) && decodePinCode(line_.data(kAction)).port != 1)
                warn("action: pin code " + quoted(dataText(kAction)) + " names port " +
                     std::string(dataText(kAction).substr(0, 1)) + ", but " + quoted(kindText(kAction)) +
                     " always sets port 1");
            unusedDetails();
        } else if (a == codes::kCalc) {
            variable("CALC target", kAction, "the line does nothing");
            if (!place_.hasDetails)
                warn(missingDetails() + ": the calculation gives 0");
            else
                calculation();
        } else if (a == codes::kLog || a == codes::kClip) {
            if (!place_.hasDetails)
                warn(missingDetails() + ": the row is empty");
            else
                rowItems();
        } else if (a == codes::kNone) {
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
            const Group operand = detailGroup(2 * k);
            if (isEmptyKind(kindText(op))) {
                if (!isEmptyKind(kindText(operand)))
                    warn(detailName(2 * k) + " is not used: " + detailName(2 * k - 1) + " holds no operator");
            } else if (!isAny(kind(op), {codes::kAdd, codes::kSub, codes::kMul, codes::kDiv, codes::kRem,
                                         codes::kBitAnd, codes::kBitOr, codes::kBitXor})) {
                warn(detailName(2 * k - 1) + ": " + quoted(kindText(op)) +
                     " is not an operator: the result so far is kept");
            } else if (isEmptyKind(kindText(operand))) {
                warn(detailName(2 * k) + ": the operator " + quoted(kindText(op)) +
                     " has no operand: it takes 0");
            } else {
                calculationOperand(2 * k);
                if (isAny(kind(op), {codes::kDiv, codes::kRem}) && kind(operand) == codes::kCnst &&
                    parseDecimal(line_.data(operand)) == 0)
                    warn(detailName(2 * k - 1) + ": " + quoted(kindText(op)) +
                         " by the constant 0: the engine leaves the result so far unchanged");
            }
        }
    }

    void calculationOperand(int k) {
        const Group g = detailGroup(k);
        const std::string role = detailName(k);
        const std::string_view operandKind = kind(g);
        if (operandKind == codes::kCnst) {
            constant(role, g);
        } else if (operandKind == codes::kVar) {
            variable(role, g, "it reads as 0");
        } else if (operandKind == codes::kSvar) {
            systemVariable(role, g);
        } else if (operandKind == codes::kVarm) {
            warn(role + ": \"VARM\" is for rows of LOG and CLIP: in a calculation it reads as 0");
        } else {
            warn(role + ": " + quoted(kindText(g)) + " is not an operand kind: it reads as 0");
        }
    }

    void rowItems() {
        bool anyItem = false;
        for (int k = 0; k < static_cast<int>(kDetailGroups); ++k) {
            const Group g = detailGroup(k);
            const std::string_view itemKind = kind(g);
            if (isEmptyKind(kindText(g))) continue;
            anyItem = true;
            if (itemKind == codes::kVar || itemKind == codes::kVarm) {
                variable(detailName(k), g, "it reads as 0");
            } else if (itemKind == codes::kSvar) {
                systemVariable(detailName(k), g);
            } else if (itemKind != codes::kCnst) {
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
        if (!isAny(line_.data(g),
                   {codes::kPassageSec, codes::kTick10ms, codes::kPassage10ms, codes::kPort0, codes::kPort1}))
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
    const LinePlace& place_;
    Findings& out_;
};

} // namespace

void checkLine(const Program& program, const LineRecord& line, const LinePlace& place, Findings& out) {
    LineCheck(program, line, place, out).run();
}

} // namespace zelk::check

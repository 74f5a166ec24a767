#include "cli/check/block_check.h"

#include "cli/check/field_text.h"
#include "program/decimal.h"
#include "program/decoded_line.h"

#include <algorithm>
#include <bitset>
#include <functional>

namespace zelk::check {

namespace {

void warn(const LinePlace& place, std::string message, Findings& out) {
    out.push_back({place.section, place.index, {}, place.fileLine, std::move(message)});
}

// "OUT " sets the whole port-1 output: of two such lines that act in one cycle only the later one counts.
void outputsSetTwice(const Block& block, const std::vector<LinePlace>& places, Findings& out) {
    const LinePlace* previous = nullptr;
    for (const LinePlace& place : places) {
        if (meaningOf(kActions, block.lines[place.index].kind(kAction)) != Action::Out) continue;
        if (previous != nullptr)
            warn(place,
                 "action: \"OUT \" sets the whole port-1 output, as line " + lineNumber(previous->index) +
                     " does: in a cycle in which both act, the later one wins",
                 out);
        previous = &place;
    }
}

// Calls read(role, group) for every operand of the line that reads a variable.
void variableReads(const LineRecord& line, const std::function<void(const std::string&, Group)>& read) {
    const DecodedLine decoded = decodeLine(line);
    const Connective connective = decoded.connective;
    const bool compares =
        (connective == Connective::New || connective == Connective::And || connective == Connective::Or) &&
        decoded.comparisonKind == ComparisonKind::Comp;
    if (compares) {
        if (decoded.object.kind == OperandKind::Var) read("object", kObject);
        if (decoded.value.kind == OperandKind::Var) read("value", kValue);
    }
    const bool rows = decoded.action == Action::Log || decoded.action == Action::Clip;
    if (decoded.action != Action::Calc && !rows) return;
    for (int k = 0; k < static_cast<int>(kDetailGroups); k += rows ? 1 : 2) {
        const OperandKind kind = decoded.details[static_cast<std::size_t>(k)].kind;
        if (kind == OperandKind::Var || (rows && kind == OperandKind::Varm))
            read("P" + std::to_string(k), detailGroup(k));
    }
}

// A variable changes only through "CALC": one that no "CALC" of the block sets and that has no initial value
// is always 0 where a line reads it. Variables that do not hold a value at all (not defined, not "LONG")
// are the findings of the lines that name them.
void variablesNeverSet(const Program& program, const Block& block, const std::vector<LinePlace>& places,
                       Findings& out) {
    std::bitset<kVariableCount> set;
    for (const LinePlace& place : places) {
        const LineRecord& line = block.lines[place.index];
        const DecodedLine decoded = decodeLine(line);
        const VarEntry* target = program.variable(decoded.target);
        if (decoded.action == Action::Calc && target != nullptr && target->isLong())
            set.set(static_cast<std::size_t>(target - program.variables.data()));
    }
    const int defined = std::clamp<std::int32_t>(program.variableCount, 0, kVariableCount);
    std::bitset<kVariableCount> reported;
    for (const LinePlace& place : places) {
        variableReads(block.lines[place.index], [&](const std::string& role, Group g) {
            const std::int32_t n = parseDecimal(block.lines[place.index].data(g));
            if (n < 0 || n >= defined || set[n] || reported[n]) return;
            const VarEntry& variable = program.variables[n];
            if (!variable.isLong() || variable.valueText[0] != '\0') return;
            reported.set(n);
            warn(place,
                 role + ": " + variableName(n) +
                     " is never set: no \"CALC\" of the block sets it and it has no initial value, so it is "
                     "always 0",
                 out);
        });
    }
}

} // namespace

void checkBlock(const Program& program, const Block& block, const std::vector<LinePlace>& places,
                Findings& out) {
    outputsSetTwice(block, places, out);
    variablesNeverSet(program, block, places, out);
}

} // namespace zelk::check

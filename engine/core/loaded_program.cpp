#include "core/loaded_program.h"

#include "core/messages.h"
#include "core/trace.h"
#include "profile/profile.h"
#include "program/codes.h"
#include "program/decimal.h"
#include "program/keys.h"

#include <cstdio>
#include <cstring>

namespace zelk {

bool ProgramFile::readText(std::string_view section, std::string_view key,
                           std::array<char, 256>& buffer) const {
    std::array<char, 256> value{};
    profile::getString(section, key, messages::kIniMissing, value.data(), value.size(), path_);
    if (std::string_view(value.data()) == messages::kIniMissing) {
        traceWhy(messages::kIniReadFailed, [&](char* text, std::size_t size) {
            std::snprintf(text, size, "[%.*s] %.*s", static_cast<int>(section.size()), section.data(),
                          static_cast<int>(key.size()), key.data());
        });
        return false;
    }
    buffer = value;
    return true;
}

std::int32_t ProgramFile::readNumber(std::string_view section, std::string_view key) const {
    std::array<char, 256> text{'0'};
    readText(section, key, text);
    return parseDecimal(text.data());
}

namespace {

// Copies the first width bytes of a read value into a field of width + 1 bytes, NUL-terminated.
template <std::size_t N>
void copyField(char (&field)[N], const std::array<char, 256>& value) {
    std::memcpy(field, value.data(), N - 1);
    field[N - 1] = '\0';
}

void loadVariables(Program& program, const ProgramFile& file) {
    program.variables = {};
    const int count = std::min<std::int32_t>(program.variableCount, kVariableCount);
    for (int i = 0; i < count; ++i) {
        VarEntry& entry = program.variables[i];
        std::array<char, 256> value{};
        if (file.readText(keys::kVarDef, keys::variableKey(keys::kVarType, i), value))
            copyField(entry.type, value);
        value = {};
        if (file.readText(keys::kVarDef, keys::variableKey(keys::kVarName, i), value))
            copyField(entry.name, value);
        value = {};
        if (file.readText(keys::kVarDef, keys::variableKey(keys::kVarValue, i), value))
            copyField(entry.valueText, value);
        value = {};
        if (file.readText(keys::kVarDef, keys::variableKey(keys::kVarComment, i), value))
            copyField(entry.comment, value);
        if (entry.isLong()) entry.value = parseDecimal(entry.valueText);
    }
}

void loadBlock(Block& block, std::string_view section, const ProgramFile& file) {
    // Every line inside the count starts empty, so a line whose keys are missing never keeps the text of an
    // earlier program.
    const int lines = block.loadedLines();
    for (int i = 0; i < lines; ++i) {
        LineRecord& line = block.lines[i];
        line = {};
        std::array<char, 256> value{};
        if (file.readText(section, keys::lineKey(keys::kLineComp, i), value)) {
            std::memcpy(line.bytes.data(), value.data(), kLineBytes);
            line.terminateFields(Group::C0, Group::C4);
        }
        value = {};
        if (file.readText(section, keys::lineKey(keys::kLineProc, i), value)) {
            std::memcpy(line.bytes.data() + kCompBytes, value.data(), kProcBytes);
            line.terminateFields(Group::P0, Group::P6);
        }
    }
    block.decode();
}

} // namespace

void loadProgram(Program& program, const ProgramFile& file) {
    program.variableCount = file.readNumber(keys::kContents, keys::kVariableCount);
    program.init.count = file.readNumber(keys::kContents, keys::kInitCount);
    program.main.count = file.readNumber(keys::kContents, keys::kMainCount);
    program.end.count = file.readNumber(keys::kContents, keys::kEndCount);
    loadVariables(program, file);
    loadBlock(program.init, keys::kInitBlock, file);
    loadBlock(program.main, keys::kMainBlock, file);
    loadBlock(program.end, keys::kEndBlock, file);
}

} // namespace zelk

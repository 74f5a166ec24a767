#pragma once
// Logic programs for tests and benchmarks, written as the editors write them: lines of 4-byte kinds and
// 12-byte data fields, space-padded, absent groups "NONE", and LogicCtl.ini files keyed by the engine's own
// key functions, so a test's file has the layout the engine and the editors expect.
#include "program/keys.h"
#include "program/line_record.h"
#include "testing/test_files.h"

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::test {

// One group of a line: its kind and data field, unpadded.
struct G {
    std::string_view kind;
    std::string_view data = "";
};

// One group as stored: the kind padded to 4 bytes, ",", the data padded to 12 bytes, ",".
inline std::string group(std::string_view kind, std::string_view data = "") {
    std::string kindField(kind), dataField(data);
    kindField.resize(kKindBytes, ' ');
    dataField.resize(kDataBytes, ' ');
    return kindField + ',' + dataField + ',';
}

// The text of one line (both values, 216 bytes) from its groups in order C0, C1, ... P6; groups left out
// are "NONE" with a blank data field.
inline std::string lineText(std::span<const G> groups) {
    std::string text;
    for (std::size_t g = 0; g < kCompGroups + kDetailGroups; ++g) {
        const G one = g < groups.size() ? groups[g] : G{"NONE"};
        text += group(one.kind, one.data);
    }
    return text;
}
inline std::string lineText(std::initializer_list<G> groups) {
    return lineText(std::span<const G>(groups.begin(), groups.size()));
}

// A loaded line: separators turned into NULs as the loader does.
inline LineRecord makeLine(std::span<const G> groups) {
    const std::string text = lineText(groups);
    LineRecord line;
    std::memcpy(line.bytes.data(), text.data(), kLineBytes);
    line.terminateFields(Group::C0, Group::P6);
    return line;
}
inline LineRecord makeLine(std::initializer_list<G> groups) {
    return makeLine(std::span<const G>(groups.begin(), groups.size()));
}

// A LogicCtl.ini: [LG_CONTENTS] with the variable count (when set) and each block's line count,
// [LG_VAR_DEF] with the variable entries, each block's lines (LG_COMP_nnnn the first 90 bytes of a line
// text, LG_PROC_nnnn the rest) and [LOG_CSV] with the log file name (when set). Each part is written in
// the order it was added.
class ProgramBuilder {
public:
    // VARIABLE_CNT.
    ProgramBuilder& variableCount(int count) {
        counts_ += entry(keys::kVariableCount, std::to_string(count));
        return *this;
    }
    // VARIABLE_CNT=count and the first count variables of type LONG.
    ProgramBuilder& longVariables(int count) {
        variableCount(count);
        for (int i = 0; i < count; ++i)
            variable(keys::kVarType, i, "LONG");
        return *this;
    }
    // One variable entry: prefix (keys::kVarName, ...), index and value.
    ProgramBuilder& variable(std::string_view prefix, int index, std::string_view value) {
        variables_ += entry(keys::variableKey(prefix, index), value);
        return *this;
    }
    // A block's lines (line texts, see lineText) and its count: the main block unless named otherwise.
    ProgramBuilder& lines(const std::vector<std::string>& texts, std::string_view block = keys::kMainBlock,
                          std::string_view countKey = keys::kMainCount) {
        counts_ += entry(countKey, std::to_string(texts.size()));
        blocks_ += section(block);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const int index = static_cast<int>(i);
            const std::string_view text = texts[i];
            blocks_ += entry(keys::lineKey(keys::kLineComp, index), text.substr(0, kCompBytes));
            blocks_ +=
                entry(keys::lineKey(keys::kLineProc, index), text.substr(std::min(text.size(), kCompBytes)));
        }
        return *this;
    }
    // CSV_FNAME, as bytes: a code page 932 name stays as it is.
    ProgramBuilder& logFile(std::string_view name) {
        log_ = section(keys::kLogCsv) + entry(keys::kCsvFileName, name);
        return *this;
    }

    std::string text() const {
        std::string text = section(keys::kContents) + counts_;
        if (!variables_.empty()) text += section(keys::kVarDef) + variables_;
        return text + blocks_ + log_;
    }
    void write(const std::filesystem::path& file) const { writeFile(file, text()); }

private:
    static std::string section(std::string_view name) { return '[' + std::string(name) + "]\r\n"; }
    static std::string entry(std::string_view key, std::string_view value) {
        return std::string(key) + '=' + std::string(value) + "\r\n";
    }

    std::string counts_;
    std::string variables_;
    std::string blocks_;
    std::string log_;
};

} // namespace zelk::test

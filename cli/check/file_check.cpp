#include "cli/check/file_check.h"

#include "cli/check/field_text.h"
#include "cli/check/text_check.h"
#include "program/keys.h"
#include "program/tables.h"

#include <algorithm>
#include <array>
#include <optional>

namespace zelk::check {

namespace {

std::string indexKey(std::string_view section, std::string_view key) {
    return upperAscii(section) + '\n' + upperAscii(key);
}

// The index behind prefix in name when the rest is exactly width decimal digits.
std::optional<int> indexAfter(std::string_view name, std::string_view prefix, std::size_t width) {
    if (!name.starts_with(prefix) || name.size() != prefix.size() + width) return std::nullopt;
    int index = 0;
    for (const char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9') return std::nullopt;
        index = index * 10 + (c - '0');
    }
    return index;
}

constexpr std::array<std::string_view, 3> kBlocks{keys::kInitBlock, keys::kMainBlock, keys::kEndBlock};
constexpr std::array<std::string_view, 4> kCountKeys{keys::kVariableCount, keys::kInitCount, keys::kMainCount,
                                                     keys::kEndCount};

const Block& block(const Program& program, std::string_view section) {
    if (section == keys::kInitBlock) return program.init;
    if (section == keys::kEndBlock) return program.end;
    return program.main;
}

std::string_view countKey(std::string_view blockSection) {
    if (blockSection == keys::kInitBlock) return keys::kInitCount;
    if (blockSection == keys::kEndBlock) return keys::kEndCount;
    return keys::kMainCount;
}

// What a key of a known section is to the engine.
struct KeyRole {
    enum { kUnknown, kCount, kVariable, kLine, kLogName } kind = kUnknown;
    int index = -1;
    int lineIndex() const { return kind == kLine ? index : -1; }
};

KeyRole roleOf(std::string_view section, std::string_view key) {
    if (section == keys::kContents) {
        if (std::find(kCountKeys.begin(), kCountKeys.end(), key) != kCountKeys.end())
            return {KeyRole::kCount};
    } else if (section == keys::kVarDef) {
        for (const std::string_view prefix :
             {keys::kVarType, keys::kVarName, keys::kVarValue, keys::kVarComment})
            if (const auto i = indexAfter(key, prefix, 2)) return {KeyRole::kVariable, *i};
    } else if (section == keys::kLogCsv) {
        if (key == keys::kCsvFileName) return {KeyRole::kLogName};
    } else {
        for (const std::string_view prefix : {keys::kLineComp, keys::kLineProc})
            if (const auto i = indexAfter(key, prefix, 4)) return {KeyRole::kLine, *i};
    }
    return {};
}

bool isProgramSection(std::string_view section) {
    return section == keys::kContents || section == keys::kVarDef || section == keys::kLogCsv ||
           std::find(kBlocks.begin(), kBlocks.end(), section) != kBlocks.end();
}

class FileCheck {
public:
    FileCheck(const Program& program, const FileIndex& index, Findings& out)
        : program_(program), index_(index), out_(out) {}

    void run() {
        counts();
        std::map<std::string, std::size_t> firstSection; // upper-case name -> line of its first header
        std::map<std::string, std::size_t> firstKey;     // "SECTION\nKEY" -> line of the first such key
        bool inSection = false;
        bool checked = false; // the current section is a program section whose keys the reader finds
        for (const profile::Entry& entry : index_.entries()) {
            const std::string section = upperAscii(entry.section);
            if (entry.isStray) {
                // A first line behind a byte order mark is the finding about the mark.
                if (entry.line == 1 && entry.key.starts_with(profile::kUtf8ByteOrderMark)) continue;
                out_.push_back(
                    {{},
                     -1,
                     {},
                     entry.line,
                     quoted(entry.key) + " has no \"=\": it is no key, and the engine passes over it"});
                continue;
            }
            if (entry.isHeader && entry.unclosed)
                add(entry, "the header of [" + shown(entry.section) +
                               "] has no closing \"]\": it is read as a section all the same, named by the "
                               "rest of its line");
            if (entry.isHeader) {
                inSection = true;
                checked = entry.counts && isProgramSection(section);
                const auto [first, isFirst] = firstSection.emplace(section, entry.line);
                if (!isProgramSection(section))
                    add(entry, "section [" + shown(entry.section) + "] is not part of a logic program");
                else if (!isFirst)
                    add(entry, "section [" + shown(entry.section) + "] repeats the one on line " +
                                   std::to_string(first->second) + ": the keys under it are not read");
            } else if (!inSection) {
                add(entry, keyWords(entry) + " stands before any section: it is not read");
            } else if (checked && entry.counts) {
                firstKey.emplace(indexKey(section, entry.key), entry.line);
                key(entry, section);
            } else if (checked) {
                add(entry,
                    shown(entry.key) + " repeats the one on line " +
                        std::to_string(firstKey[indexKey(section, entry.key)]) + ": only the first counts",
                    roleOf(section, upperAscii(entry.key)).lineIndex());
            }
        }
        leftOutKeys();
        neverRunBlocks();
        repeatedNames();
    }

private:
    // A finding about the entry's own line, located by its section and key, or its logic line.
    void add(const profile::Entry& entry, std::string message, int line = -1) {
        out_.push_back({entry.section, line, entry.key, entry.line, std::move(message)});
    }
    void addAt(std::string_view section, std::string_view key, std::string message) {
        const profile::Entry* entry = index_.find(section, key);
        out_.push_back(
            {std::string(section), -1, std::string(key), entry ? entry->line : 0, std::move(message)});
    }

    // "key LG_MAN_CNT", or "a key with no name" for a line such as "=8".
    static std::string keyWords(const profile::Entry& entry) {
        return entry.key.empty() ? "a key with no name" : "key " + shown(entry.key);
    }

    void counts() {
        const std::array<std::int32_t, 4> values{program_.variableCount, program_.init.count,
                                                 program_.main.count, program_.end.count};
        for (std::size_t i = 0; i < kCountKeys.size(); ++i) {
            const profile::Entry* entry = index_.find(keys::kContents, kCountKeys[i]);
            if (entry == nullptr) continue;
            const std::string name = std::string(kCountKeys[i]) + "=" + std::to_string(values[i]);
            const int table = i == 0 ? kVariableCount : kBlockLines;
            const std::string what = i == 0 ? " variables" : " lines";
            if (!isWholeNumber(entry->value))
                addAt(keys::kContents, kCountKeys[i],
                      quoted(entry->value) + " is not a whole number: it reads as " +
                          std::to_string(values[i]));
            if (values[i] < 0)
                addAt(keys::kContents, kCountKeys[i], name + " is negative: no" + what + " are loaded");
            else if (values[i] > table)
                addAt(keys::kContents, kCountKeys[i],
                      name + " is beyond the engine's " + std::to_string(table) + what + ": only " +
                          std::to_string(table) + " are loaded");
        }
    }

    void key(const profile::Entry& entry, const std::string& section) {
        const KeyRole role = roleOf(section, upperAscii(entry.key));
        if (role.kind == KeyRole::kUnknown) {
            add(entry, keyWords(entry) + " is not read by the engine");
        } else if (role.kind == KeyRole::kVariable) {
            variableKey(entry, role.index);
        } else if (role.kind == KeyRole::kLine) {
            lineKey(entry, section, role.index);
        }
    }

    void variableKey(const profile::Entry& entry, int n) {
        if (n >= std::clamp<std::int32_t>(program_.variableCount, 0, kVariableCount)) {
            leftOut_[std::string(keys::kVarDef)].emplace(n, &entry);
            return;
        }
        const std::string name = variableName(n);
        const VarEntry& variable = program_.variables[n];
        if (upperAscii(entry.key).starts_with(keys::kVarValue) && variable.isLong() && !entry.value.empty() &&
            !isWholeNumber(variable.valueText))
            add(entry, quoted(variable.valueText) + " is not a whole number: " + name + " starts at " +
                           std::to_string(variable.value));
    }

    void lineKey(const profile::Entry& entry, const std::string& section, int n) {
        if (n >= block(program_, section).loadedLines())
            leftOut_[section].emplace(n, &entry);
        else
            layout(entry, section, n);
    }

    // Variables and lines whose keys stand beyond their count or the engine's table: one finding for each
    // run of them.
    void leftOutKeys() {
        for (const auto& [section, keysLeftOut] : leftOut_) {
            const bool variables = section == keys::kVarDef;
            const int table = variables ? kVariableCount : kBlockLines;
            const auto number = [&](int n) { return variables ? variableNumber(n) : lineNumber(n); };
            for (auto first = keysLeftOut.begin(); first != keysLeftOut.end();) {
                auto last = first;
                while (std::next(last) != keysLeftOut.end() && std::next(last)->first == last->first + 1 &&
                       (std::next(last)->first >= table) == (first->first >= table))
                    ++last;
                const std::string where =
                    first->first >= table
                        ? (variables ? "outside the engine's variables 00 to 63"
                                     : "beyond the engine's 128 lines")
                        : "beyond " + countText(variables ? keys::kVariableCount : countKey(section));
                const std::string message =
                    first == last ? (variables ? "variable " : "line ") + number(first->first) + " is " +
                                        where + ": it is not loaded"
                                  : (variables ? "variables " : "lines ") + number(first->first) + " to " +
                                        number(last->first) + " are " + where + ": they are not loaded";
                out_.push_back({section, variables ? -1 : first->first, first->second->key,
                                first->second->line, message});
                first = std::next(last);
            }
        }
    }

    std::string countText(std::string_view countKey) const {
        const profile::Entry* entry = index_.find(keys::kContents, countKey);
        if (entry == nullptr) return std::string(countKey) + ", which is missing";
        return std::string(countKey) + "=" + shown(entry->value);
    }

    // A line value is a row of 18-byte groups: a 4-byte kind, ",", a 12-byte data field and ",".
    void layout(const profile::Entry& entry, const std::string& section, int n) {
        const bool comp = upperAscii(entry.key).starts_with(keys::kLineComp);
        const std::size_t expected = comp ? kCompBytes : kProcBytes;
        const std::string& value = entry.value;
        if (value.empty()) return;
        for (std::size_t group = 0; group * kGroupBytes < std::min(value.size(), expected); ++group) {
            for (const std::size_t at :
                 {group * kGroupBytes + kKindBytes, group * kGroupBytes + kGroupBytes - 1}) {
                if (at < value.size() && at < expected && value[at] != ',') {
                    out_.push_back({section, n, entry.key, entry.line,
                                    shown(entry.key) + ": \",\" expected at byte " + std::to_string(at) +
                                        ": the fields after it are shifted"});
                    return;
                }
            }
        }
        if (value.size() != expected)
            out_.push_back(
                {section, n, entry.key, entry.line,
                 shown(entry.key) + " is " + std::to_string(value.size()) + " bytes, not " +
                     std::to_string(expected) +
                     (value.size() < expected ? ": the groups it lacks are empty"
                                              : ": the bytes after them are not part of the line")});
    }

    // Variables are named in test scripts and in the editor's lists by their names, as the engine holds them
    // without trailing spaces; a test script's name stands for the first variable of that name.
    void repeatedNames() {
        const int defined = std::clamp<std::int32_t>(program_.variableCount, 0, kVariableCount);
        std::map<std::string_view, int> first;
        for (int n = 0; n < defined; ++n) {
            std::string_view name(program_.variables[n].name);
            while (name.ends_with(' '))
                name.remove_suffix(1);
            if (name.empty()) continue;
            const auto [earlier, isFirst] = first.emplace(name, n);
            if (!isFirst)
                addAt(keys::kVarDef, keys::variableKey(keys::kVarName, n),
                      variableName(n) + " has the name " + quoted(name) + " of " +
                          variableName(earlier->second) + ": in a test script, var " + quoted(name) +
                          " names " + variableName(earlier->second));
        }
    }

    void neverRunBlocks() {
        for (const std::string_view section : {keys::kInitBlock, keys::kEndBlock}) {
            const int lines = block(program_, section).loadedLines();
            if (lines > 0)
                out_.push_back(
                    {std::string(section),
                     -1,
                     {},
                     0,
                     "the engine loads its " + std::to_string(lines) + " lines but runs only LG_MAIN"});
        }
    }

    const Program& program_;
    const FileIndex& index_;
    Findings& out_;
    std::map<std::string, std::map<int, const profile::Entry*>> leftOut_; // section -> index -> first key
};

} // namespace

FileIndex::FileIndex(std::vector<profile::Entry> entries) : entries_(std::move(entries)) {
    for (const profile::Entry& entry : entries_)
        if (entry.counts && !entry.isHeader) counting_.emplace(indexKey(entry.section, entry.key), &entry);
}

const profile::Entry* FileIndex::find(std::string_view section, std::string_view key) const {
    const auto found = counting_.find(indexKey(section, key));
    return found == counting_.end() ? nullptr : found->second;
}

void checkFile(const Program& program, const FileIndex& index, Findings& out) {
    FileCheck(program, index, out).run();
}

} // namespace zelk::check

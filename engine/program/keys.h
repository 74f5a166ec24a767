#pragma once
// Sections and keys of LogicCtl.ini, the logic program file.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <string_view>

namespace zelk::keys {

inline constexpr std::string_view kFileName = "LogicCtl.ini";

inline constexpr std::string_view kContents = "LG_CONTENTS";
inline constexpr std::string_view kVariableCount = "VARIABLE_CNT";
inline constexpr std::string_view kInitCount = "LG_INIT_CNT";
inline constexpr std::string_view kMainCount = "LG_MAIN_CNT";
inline constexpr std::string_view kEndCount = "LG_END_CNT";

inline constexpr std::string_view kVarDef = "LG_VAR_DEF";
inline constexpr std::string_view kVarType = "VAR_TYPE_";
inline constexpr std::string_view kVarName = "VAR_NAME_";
inline constexpr std::string_view kVarValue = "VAR_VALUE_";
inline constexpr std::string_view kVarComment = "VAR_COMMENT_";

inline constexpr std::string_view kInitBlock = "LG_INIT";
inline constexpr std::string_view kMainBlock = "LG_MAIN";
inline constexpr std::string_view kEndBlock = "LG_END";
inline constexpr std::string_view kLineComp = "LG_COMP_";
inline constexpr std::string_view kLineProc = "LG_PROC_";

inline constexpr std::string_view kLogCsv = "LOG_CSV";
inline constexpr std::string_view kCsvFileName = "CSV_FNAME";

// A key name built from a prefix and an index, without allocation.
class IndexedKey {
public:
    std::string_view view() const { return {text_.data(), length_}; }
    operator std::string_view() const { return view(); }

private:
    friend IndexedKey variableKey(std::string_view, int);
    friend IndexedKey lineKey(std::string_view, int);
    IndexedKey(std::string_view prefix, int index, const char* format) {
        const int n = std::snprintf(text_.data(), text_.size(), format, static_cast<int>(prefix.size()),
                                    prefix.data(), index);
        length_ = n < 0 ? 0 : std::min(static_cast<std::size_t>(n), text_.size() - 1);
    }
    std::array<char, 40> text_{};
    std::size_t length_ = 0;
};

// Variable keys: prefix and the index as two digits ("VAR_NAME_07").
inline IndexedKey variableKey(std::string_view prefix, int index) {
    return {prefix, index, "%.*s%02d"};
}
// Line keys: prefix and the index as four digits ("LG_COMP_0012").
inline IndexedKey lineKey(std::string_view prefix, int index) {
    return {prefix, index, "%.*s%04d"};
}

} // namespace zelk::keys

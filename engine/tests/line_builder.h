#pragma once
// Logic lines for tests and benchmarks, written as the editors write them: every group a 4-byte kind and a
// 12-byte data field, space-padded, absent groups "NONE".
#include "program/line_record.h"

#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zelk::test {

struct G {
    std::string_view kind;
    std::string_view data = "";
};

// The text of one line (both values, 216 bytes) from its groups in order C0, C1, ... P6.
inline std::string lineText(std::initializer_list<G> groups) {
    std::string text;
    auto it = groups.begin();
    for (std::size_t g = 0; g < kCompGroups + kDetailGroups; ++g) {
        const G group = it != groups.end() ? *it++ : G{"NONE"};
        std::string kind(group.kind), data(group.data);
        kind.resize(kKindBytes, ' ');
        data.resize(kDataBytes, ' ');
        text += kind + ',' + data + ',';
    }
    return text;
}

// A loaded line: separators turned into NULs as the loader does.
inline LineRecord makeLine(std::initializer_list<G> groups) {
    const std::string text = lineText(groups);
    LineRecord line;
    std::memcpy(line.bytes.data(), text.data(), kLineBytes);
    line.terminateFields(Group::C0, Group::P6);
    return line;
}

} // namespace zelk::test

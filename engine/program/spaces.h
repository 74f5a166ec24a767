#pragma once
// Fields are padded with spaces; their text is what stands between the spaces.
#include <string_view>

namespace zelk {

constexpr std::string_view trimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

static_assert(trimSpaces("  03 ") == "03" && trimSpaces("   ").empty());

} // namespace zelk

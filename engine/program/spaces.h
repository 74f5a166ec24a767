#pragma once
// Fields are padded with spaces; their text is what stands between the spaces.
#include <string_view>

namespace zelk {

// A stored field's data: the text without its trailing padding.
constexpr std::string_view withoutPadding(std::string_view text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

constexpr std::string_view trimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return withoutPadding(text);
}

static_assert(trimSpaces("  03 ") == "03" && trimSpaces("   ").empty() && withoutPadding(" 5  ") == " 5");

} // namespace zelk

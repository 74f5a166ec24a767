#include "cli/check/field_text.h"

#include <algorithm>
#include <cstdio>

namespace zelk::check {

std::string upperAscii(std::string_view name) {
    std::string text(name);
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string variableNumber(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

std::string variableName(int n) {
    return "variable " + variableNumber(n);
}

bool isWholeNumber(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '+' || negative)) text.remove_prefix(1);
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const std::string_view significant = text.substr(std::min(text.find_first_not_of('0'), text.size()));
    return significant.size() < 10 ||
           (significant.size() == 10 && significant <= (negative ? "2147483648" : "2147483647"));
}

} // namespace zelk::check

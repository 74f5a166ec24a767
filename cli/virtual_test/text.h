#pragma once
// Texts as a test script writes them: in double quotes, TAB as \t, quotes and backslashes escaped.
#include <string>
#include <string_view>

namespace zelk::vtest {

std::string quotedUtf8(std::string_view utf8);
// An engine text (code page 932), shown in UTF-8.
std::string quoted(std::string_view cp932);

} // namespace zelk::vtest

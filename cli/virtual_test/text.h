#pragma once
// Engine texts (code page 932) as the tester prints them (UTF-8).
#include <string>
#include <string_view>

namespace zelk::vtest {

std::string toUtf8(std::string_view cp932);
// The text in double quotes, TAB shown as \t, quotes and backslashes escaped: as a script writes it.
std::string quotedUtf8(std::string_view utf8);
std::string quoted(std::string_view cp932);

} // namespace zelk::vtest

#pragma once
// Texts as a test script writes them: in double quotes, TAB as \t, quotes and backslashes escaped; counts
// as the report words them.
#include <cstdint>
#include <string>
#include <string_view>

namespace zelk::vtest {

std::string quotedUtf8(std::string_view utf8);
// An engine text (code page 932), shown in UTF-8.
std::string quoted(std::string_view cp932);

// "1 cycle", "300 cycles".
std::string counted(std::int64_t n, std::string_view noun);

} // namespace zelk::vtest

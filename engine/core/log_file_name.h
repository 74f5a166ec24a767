#pragma once
// The log file's path from the name in the program file.
#include <string>
#include <string_view>

namespace zelk {

// The program file holds the name in code page 932, perhaps with "\" separators as written on Windows. The
// path is the name in UTF-8, on Linux with every "\" a "/". On Windows the file is opened by its Unicode
// name, so the name means the same whatever the system's code page. False when the name does not convert
// (a byte sequence that is no code page 932 character). Allocates: for the close, never for the cycle.
bool logFilePath(std::string_view name, std::string& path);

} // namespace zelk

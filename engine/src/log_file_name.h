#pragma once
// The log file's path from the name in the program file.
#include <string>
#include <string_view>

namespace zelk {

// The program file holds the name in code page 932, perhaps with "\" separators as written on Windows. On
// Linux the path is the name in UTF-8, the file system's encoding, with every "\" a "/"; elsewhere it is the
// name as it is. False when the name does not convert (a byte sequence that is no code page 932 character).
// Allocates: for the close, never for the cycle.
bool logFilePath(std::string_view name, std::string& path);

} // namespace zelk

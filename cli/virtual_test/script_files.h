#pragma once
// The files of the tools that read a script-style text and write results beside it (`zelkctl test` and
// `zelkctl prove`): bounded reading, and outputs that replace their files only when complete.
#include <cstdint>
#include <string>
#include <string_view>

namespace zelk::vtest {

// The largest script (or properties file) read, in bytes.
inline constexpr std::uintmax_t kMaxScriptBytes = 1 << 20;

// Why the file cannot be read as a program or a script ("does not exist", "is not a regular file", "is
// unreadable"), or empty when it can.
std::string whyUnreadable(const std::string& path);

// Reads a script: only a regular file of at most kMaxScriptBytes, so that a device or a FIFO named as the
// script neither blocks the tool nor fills the memory. Returns why it cannot be read ("is not a regular
// file"), or empty.
std::string readScript(const std::string& path, std::string& text);

// Whether a and b name one file: the same existing file (a link to it counts) or, for a file still to be
// made, the same place.
bool sameFile(const std::string& a, const std::string& b);

// Writes content to name in one step: a temporary file beside it is renamed into place only when complete,
// so a failed write leaves what was there before.
bool writeOutput(const std::string& name, std::string_view content);

} // namespace zelk::vtest

#pragma once
// The report of `zelkctl check`: the logic program in words, and what the engine would pass over.
#include <ostream>
#include <string>

namespace zelk::check {

// Exit statuses.
inline constexpr int kNoFindings = 0;
inline constexpr int kWarnings = 1;
inline constexpr int kUnreadable = 2; // the file cannot be read

// Checks the program file and prints its lines in words and the findings to out: text in the compiler
// style that editors and CI pick up, or one JSON document. An unreadable file is reported to err (text) or
// in the document (JSON).
int runCheckCommand(const std::string& file, bool json, std::ostream& out, std::ostream& err);

} // namespace zelk::check

#pragma once
// Findings about the program file as text, before any of its keys is judged: a file that is empty or holds
// no section and no key, UTF-16 text, a UTF-8 byte order mark, no LG_MAIN section. The tester warns of
// the same before it runs a program.
#include "cli/check/finding.h"
#include "profile/profile.h"

#include <string>
#include <string_view>
#include <vector>

namespace zelk::check {

// Adds the findings about the file's bytes and entries to out. False when the engine can read nothing of
// the text (UTF-16): then nothing else in it is worth a finding.
bool checkText(std::string_view bytes, const std::vector<profile::Entry>& entries, Findings& out);

// The same findings for the file at path; none when it cannot be read.
Findings textFindings(const std::string& path);

} // namespace zelk::check

#pragma once
// Findings about the program file as a whole: counts, keys the engine never reads (unknown, repeated,
// beyond a count), the layout of line values, initial values, and the log file's name.
#include "cli/check/finding.h"
#include "core/loaded_program.h"
#include "profile/profile.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::check {

// The headers and keys of the program file, and the ones the reader finds.
class FileIndex {
public:
    explicit FileIndex(std::vector<profile::Entry> entries);
    // The entry of key in section that the reader finds, nullptr when there is none.
    const profile::Entry* find(std::string_view section, std::string_view key) const;
    const std::vector<profile::Entry>& entries() const { return entries_; }

private:
    std::vector<profile::Entry> entries_;
    std::map<std::string, const profile::Entry*, std::less<>> counting_; // "SECTION\nKEY" in upper case
};

// Counts, keys and line layouts.
void checkFile(const Program& program, const FileIndex& index, Findings& out);

// The name of the log file that the engine writes at the end of a run, relative to the program's folder.
void checkLogName(const Program& program, const FileIndex& index, const std::string& programFolder,
                  Findings& out);

} // namespace zelk::check

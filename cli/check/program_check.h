#pragma once
// The checker: reads a logic program with the engine's own loader, puts every line in words as the logic
// editor explains it, and finds what the engine would silently pass over or read as 0.
#include "cli/check/finding.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zelk::check {

struct BlockWords {
    std::string section;            // "LG_MAIN"
    std::int32_t count = 0;         // as read from the file
    std::vector<std::string> lines; // the loaded lines in words, UTF-8
};

struct CheckReport {
    std::string file;  // the program file as named
    std::string error; // why the file cannot be read; empty when it was read
    std::vector<BlockWords> blocks;
    Findings findings; // in the order of the file's sections and lines
};

CheckReport checkProgram(const std::string& path);

} // namespace zelk::check

#pragma once
// What the engine makes of one loaded logic line: codes it does not know, operands that read as 0, tests
// that are never true and groups it never looks at.
#include "cli/check/finding.h"
#include "core/loaded_program.h"

#include <string>

namespace zelk::check {

struct LinePlace {
    std::string section;      // "LG_MAIN"
    int index = 0;            // line number in the block
    std::size_t fileLine = 0; // the line of its LG_COMP_ key in the file, 0 when unknown
    bool hasDetails = true;   // its LG_PROC_ key is in the file
};

// Adds the findings of a loaded line to out.
void checkLine(const Program& program, const LineRecord& line, const LinePlace& place, Findings& out);

} // namespace zelk::check

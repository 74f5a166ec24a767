#pragma once
// Findings across the lines of one block: the output that more than one line sets, and variables that lines
// read but nothing ever sets.
#include "cli/check/finding.h"
#include "cli/check/line_check.h"
#include "core/loaded_program.h"

#include <vector>

namespace zelk::check {

// places: the block's loaded lines that stand in the file, in order.
void checkBlock(const Program& program, const Block& block, const std::vector<LinePlace>& places,
                Findings& out);

} // namespace zelk::check

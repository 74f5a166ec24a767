#pragma once
// `zelkctl check`: the logic program in words, and what the engine would pass over or read as 0.
#include "cli/command_table.h"

namespace zelk::cli {

extern const Command kCheckCommand;

} // namespace zelk::cli

#pragma once
// `zelkctl prove`: safety properties of a logic program, proven over every input sequence.
#include "cli/command_table.h"

namespace zelk::cli {

extern const Command kProveCommand;

} // namespace zelk::cli

#pragma once
// `zelkctl test`: a logic program against a test script, in virtual time.
#include "cli/command_table.h"

namespace zelk::cli {

extern const Command kTestCommand;

} // namespace zelk::cli

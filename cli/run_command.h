#pragma once
// `zelkctl run`: a control run through the engine's five exports, reported line by line, until a stop
// signal, the end of --for, or the run's own end.
#include "cli/command_table.h"

namespace zelk::cli {

extern const Command kRunCommand;

} // namespace zelk::cli

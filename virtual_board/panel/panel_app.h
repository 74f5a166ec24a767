#pragma once
// kaldex-sim with its panel: serves the board while the panel window is open.
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"
#include "virtual_board/sim_cli.h"

#include <vector>

namespace zelk::vboard {

// Starts serving the model, shows the panel and runs the GUI until the window is closed or a signal arrives
// on stopSignalFd (a signalfd). Each port-1 change is also printed as 'port1 0xNN', as without the panel;
// the schedule's inputs are applied at their times. Returns the program's exit status.
int runPanelApp(int argc, char** argv, BoardModel& model, const ServerOptions& serverOptions,
                const std::vector<ScheduledInput>& schedule, int stopSignalFd);

} // namespace zelk::vboard

#pragma once
// kaldex-sim with its panel: serves the board while the panel window is open.
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"
#include "virtual_board/port1_relay.h"
#include "virtual_board/sim_cli.h"

#include <vector>

namespace zelk::vboard {

// Starts serving the model, shows the panel and runs the GUI until the window is closed or a signal arrives
// on stopSignalFd (a signalfd). The port-1 changes that the model's listener pushes into port1 are shown on
// the lamps and printed as 'port1 0xNN', as without the panel; the schedule's inputs are applied at their
// times. Returns the program's exit status.
int runPanelApp(int argc, char** argv, BoardModel& model, Port1Relay& port1,
                const ServerOptions& serverOptions, const std::vector<ScheduledInput>& schedule,
                int stopSignalFd);

} // namespace zelk::vboard

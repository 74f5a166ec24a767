#pragma once
// kaldex-sim's command line, its input commands (standard input and schedule file) and their effect on the
// board model.
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"

#include <chrono>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::vboard {

struct SimOptions {
    ServerOptions server;
    BoardConfig board;
    std::string schedulePath; // empty: no schedule
    bool stay = false;        // keep running at the end of standard input
    bool panel = false;       // show the panel window instead of reading standard input
    bool help = false;
};

std::string simUsage();

// A number in decimal or, with a 0x prefix, in hexadecimal, at most max; nullopt for anything else.
std::optional<unsigned long> parseNumber(std::string_view text, unsigned long max);

// Applies one of the board options --vendor, --product (0 to 0xFFFF), --in-len, --out-len (4 to 255) with
// its value; false with a message in error for a bad value.
bool parseBoardOption(const std::string& option, const std::string& value, BoardConfig& board,
                      std::string& error);

// The line a board program prints when its answering thread was refused real-time priority (why).
std::string priorityWarning(std::string_view program, const std::string& realtimeRefusal);

// What kaldex-sim prints when its board is served: the board's line, and a line saying that answers may come
// late when the answering thread was refused real-time priority (realtimeRefusal says why).
std::string boardBanner(const std::string& socketPath, const BoardConfig& board,
                        const std::string& realtimeRefusal = {});

// Prints a change of the port-1 output value as "port1 0xNN" on standard output.
void printPort1(std::uint8_t value);

// Parses the arguments after the program name. Returns nullopt with a message in error on a bad argument.
std::optional<SimOptions> parseSimOptions(const std::vector<std::string>& args, std::string& error);

// A command of the board programs: a change of the port-0 input value, or the board unplugged from the host
// or plugged in again.
struct InputCommand {
    enum class Kind { Port0, Press, Release, Unplug, Plug };
    Kind kind = Kind::Port0;
    std::uint8_t value = 0; // the port value for Port0, the pin 0..7 for Press and Release
};

// Parses "port0 0xFE", "press N", "release N", "unplug" or "plug". A blank line or one starting with '#'
// parses to no command. Returns false with a message in error when the line is none of these.
bool parseInputLine(std::string_view line, std::optional<InputCommand>& command, std::string& error);

// press energizes the pin (its bit becomes 0), release de-energizes it; unplug and plug leave the model
// alone (they concern the board's link to the host).
void applyInput(BoardModel& model, const InputCommand& command);

// kaldex-sim's command on its board: port-0 changes go to the model; unplug stops serving it (the connection
// ends and the socket goes, as a board pulled out leaves no device) and plug serves it again. Each unplug or
// plug is reported on standard error, as is a plug that cannot serve.
void applyCommand(BoardModel& model, BoardServer& server, const InputCommand& command);

// Applies one line of standard input; a bad line is reported on standard error and changes nothing.
void applyInputLine(BoardModel& model, BoardServer& server, std::string_view line);

struct ScheduledInput {
    std::chrono::milliseconds at{0}; // from the program's start
    InputCommand command;
};

// Lines "<milliseconds> <input command>", blank and '#' lines skipped; the result is ordered by time, lines
// of equal time in file order. Returns false with the line number in error on a bad line.
bool parseSchedule(std::istream& in, std::vector<ScheduledInput>& schedule, std::string& error);

// kaldex-sim's start on every platform: parses the arguments after the program name into options and reads
// the schedule file they name. Returns the exit status when the program is to end at once: 0 after the help,
// 2 for a bad argument, a panel that this build lacks (hasPanel false) or a bad schedule (message printed).
std::optional<int> prepareSim(const std::vector<std::string>& args, bool hasPanel, SimOptions& options,
                              std::vector<ScheduledInput>& schedule);

} // namespace zelk::vboard

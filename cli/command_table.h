#pragma once
// zelkctl's commands. Each command is one entry of the table in command_table.cpp: its name, options, help
// and exit statuses, and the function that runs it. The table turns the entry into the command's --help,
// parses its options and reports command-line errors with status 64. An entry is written with every field
// named, in the order of the declaration: const Command kRunCommand{.name = "run", ..., .run = &run};
#include "cli/options.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::cli {

// Exit status for a bad command line, for every command.
inline constexpr int kUsageStatus = 64;

struct ExitStatus {
    int code;
    std::string_view meaning;
};

struct Command {
    std::string_view name;
    std::string_view operands; // as shown in the usage line, e.g. "[FILE]"; empty for none
    std::size_t minOperands = 0;
    std::size_t maxOperands = 0;
    std::string_view summary;     // one line, for the list of commands
    std::string_view description; // the help text between the usage line and the options
    std::span<const Option> options;
    std::span<const ExitStatus> exitStatuses;
    int (*run)(const Arguments& arguments) = nullptr;
};

// The command's help text, as --help prints it.
std::string commandHelp(const Command& command);

// Prints "zelkctl COMMAND: message" and a hint to the command's help to standard error; returns kUsageStatus.
int usageError(const Command& command, std::string_view message);

// Runs zelkctl with the arguments after the program's name; returns the exit status.
int dispatch(const std::vector<std::string>& args);

} // namespace zelk::cli

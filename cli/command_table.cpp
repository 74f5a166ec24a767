#include "cli/command_table.h"

#include "cli/check_command.h"
#ifdef ZELK_WITH_PROVER
#include "cli/prove_command.h"
#endif
#include "cli/run_command.h"
#include "cli/test_command.h"

#include <algorithm>
#include <cstdio>

namespace zelk::cli {

namespace {

// The commands, in the order the help lists them.
const Command* const kCommands[] = {
    &kRunCommand,
    &kCheckCommand,
    &kTestCommand,
#ifdef ZELK_WITH_PROVER
    &kProveCommand,
#endif
};

constexpr std::string_view kProgram = "zelkctl";

void print(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string usageLine(const Command& command) {
    std::string line = "Usage: " + std::string(kProgram) + ' ' + std::string(command.name);
    for (const Option& option : command.options) {
        line += " [" + std::string(option.name);
        if (!option.valueName.empty()) line += ' ' + std::string(option.valueName);
        line += ']';
    }
    if (!command.operands.empty()) line += ' ' + std::string(command.operands);
    return line + '\n';
}

std::string topHelp() {
    std::string text =
        "Usage: " + std::string(kProgram) +
        " COMMAND [OPTIONS]\n\nDrives the ZELK control engine from the command line.\n\nCommands:\n";
    for (const Command* command : kCommands)
        text += "  " + padded(std::string(command->name), 10) + std::string(command->summary) + '\n';
    text += "\nRun '" + std::string(kProgram) +
            " COMMAND --help' for a command's options and exit statuses,\n'" + std::string(kProgram) +
            " --version' for the version.\n";
    return text;
}

int topUsageError(std::string_view message) {
    print(stderr, std::string(kProgram) + ": " + std::string(message) + "\nTry '" + std::string(kProgram) +
                      " --help'.\n");
    return kUsageStatus;
}

const Command* findCommand(std::string_view name) {
    const auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const Command* command) { return command->name == name; });
    return found != std::end(kCommands) ? *found : nullptr;
}

int runCommand(const Command& command, std::span<const std::string> args) {
    std::string error;
    const std::optional<Arguments> arguments = parseArguments(args, command.options, error);
    if (!arguments) return usageError(command, error);
    if (arguments->has(kHelpOption)) {
        print(stdout, commandHelp(command));
        return 0;
    }
    if (arguments->operands.size() < command.minOperands) return usageError(command, "missing operand");
    if (arguments->operands.size() > command.maxOperands)
        return usageError(command, "unexpected operand '" + arguments->operands[command.maxOperands] + "'");
    return command.run(*arguments);
}

} // namespace

std::string commandHelp(const Command& command) {
    std::string text = usageLine(command) + '\n' + std::string(command.description) + "\nOptions:\n";
    for (const Option& option : command.options) {
        std::string name = std::string(option.name);
        if (!option.valueName.empty()) name += ' ' + std::string(option.valueName);
        // A long option name puts its description on a line of its own, under the others'.
        if (name.size() >= 16) name += '\n' + std::string(18, ' ');
        text += "  " + padded(name, 16) + std::string(option.description) + '\n';
    }
    text += "  " + padded("-h, --help", 16) + "show this help\n";
    if (!command.exitStatuses.empty()) {
        text += "\nExit status:\n";
        for (const ExitStatus& status : command.exitStatuses)
            text += "  " + padded(std::to_string(status.code), 5) + std::string(status.meaning) + '\n';
    }
    return text;
}

int usageError(const Command& command, std::string_view message) {
    const std::string name = std::string(kProgram) + ' ' + std::string(command.name);
    print(stderr, name + ": " + std::string(message) + "\nTry '" + name + " --help'.\n");
    return kUsageStatus;
}

int dispatch(const std::vector<std::string>& args) {
    if (args.empty()) {
        print(stderr, topHelp());
        return kUsageStatus;
    }
    const std::string& first = args.front();
    if (first == "-h" || first == kHelpOption) {
        print(stdout, topHelp());
        return 0;
    }
    if (first == "--version") {
        print(stdout, std::string(kProgram) + ' ' + ZELK_VERSION + '\n');
        return 0;
    }
    if (first == "help") {
        if (args.size() == 1) {
            print(stdout, topHelp());
            return 0;
        }
        const Command* command = findCommand(args[1]);
        if (command == nullptr) return topUsageError("unknown command '" + args[1] + "'");
        print(stdout, commandHelp(*command));
        return 0;
    }
    const Command* command = findCommand(first);
    if (command == nullptr) {
        return topUsageError(first.starts_with('-') ? "unknown option '" + first + "'"
                                                    : "unknown command '" + first + "'");
    }
    return runCommand(*command, std::span<const std::string>(args).subspan(1));
}

} // namespace zelk::cli

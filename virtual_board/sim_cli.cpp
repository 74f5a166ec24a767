#include "virtual_board/sim_cli.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>

namespace zelk::vboard {
namespace {

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const auto start = line.find_first_not_of(" \t\r", pos);
        if (start == std::string_view::npos) break;
        const auto end = std::min(line.find_first_of(" \t\r", start), line.size());
        out.push_back(line.substr(start, end - start));
        pos = end;
    }
    return out;
}

bool parseCommandWords(const std::vector<std::string_view>& w, std::size_t first, InputCommand& command,
                       std::string& error) {
    const bool link = w.size() > first && (w[first] == "unplug" || w[first] == "plug");
    if (link && w.size() - first == 1) {
        command = {w[first] == "plug" ? InputCommand::Kind::Plug : InputCommand::Kind::Unplug, 0};
        return true;
    }
    if (link) {
        error = std::string(w[first]) + " takes no operand";
        return false;
    }
    if (w.size() - first != 2) {
        error = "expected 'port0 VALUE', 'press PIN', 'release PIN', 'unplug' or 'plug'";
        return false;
    }
    const std::string_view verb = w[first];
    const std::string_view operand = w[first + 1];
    if (verb == "port0") {
        const auto value = parseNumber(operand, 0xFF);
        if (!value) {
            error = "port0 value must be 0 to 0xFF: " + std::string(operand);
            return false;
        }
        command = {InputCommand::Kind::Port0, static_cast<std::uint8_t>(*value)};
        return true;
    }
    if (verb == "press" || verb == "release") {
        const auto pin = parseNumber(operand, 7);
        if (!pin) {
            error = "pin must be 0 to 7: " + std::string(operand);
            return false;
        }
        command = {verb == "press" ? InputCommand::Kind::Press : InputCommand::Kind::Release,
                   static_cast<std::uint8_t>(*pin)};
        return true;
    }
    error = "unknown command: " + std::string(verb);
    return false;
}

bool isBlankOrComment(const std::vector<std::string_view>& w) {
    return w.empty() || w[0].front() == '#';
}

} // namespace

std::optional<unsigned long> parseNumber(std::string_view text, unsigned long max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    unsigned long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > max)
        return std::nullopt;
    return value;
}

std::string priorityWarning(std::string_view program, const std::string& realtimeRefusal) {
    return std::string(program) + ": answering at normal priority, real-time priority refused (" +
           realtimeRefusal +
           "): on a busy machine answers may come late. Allow it with an rtprio limit "
           "(/etc/security/limits.conf) or CAP_SYS_NICE.\n";
}

std::string simUsage() {
    return "Usage: kaldex-sim [OPTION]...\n"
           "A virtual KALDEX board: serves one board on <DIR>/<NAME>.sock until interrupted.\n"
           "\n"
           "  --name NAME      socket name (default kaldex0)\n"
           "  --dir DIR        board directory (default $KALDEX_BOARD_DIR, else\n"
           "                   $XDG_RUNTIME_DIR/kaldex-boards, else /tmp/kaldex-boards-<uid>); made with\n"
           "                   mode 0700 when missing; an existing one must be yours with mode 0700\n"
           "  --vendor ID      vendor ID, 0xNNNN or decimal (default the KALDEX maker's)\n"
           "  --product ID     product ID (default 0x0100)\n"
           "  --in-len N       input report length with the report ID byte, 4 to 255 (default 9)\n"
           "  --out-len N      output report length with the report ID byte, 4 to 255 (default 9)\n"
           "  --schedule FILE  apply the commands of FILE at their times, one per line:\n"
           "                   '<milliseconds from start> <command>'\n"
           "  --stay           keep running at the end of standard input\n"
           "  --panel          show the board's panel window: port-0 input switches, port-1 output\n"
           "                   lamps, connection state; needs a display and a build with the GUI.\n"
           "                   With the panel, standard input is not read; --schedule still applies.\n"
           "  --help           show this help\n"
           "\n"
           "Standard input takes one command per line: 'port0 0xFE' sets the port-0 input value,\n"
           "'press N' energizes pin N (0-7; its bit becomes 0), 'release N' de-energizes it,\n"
           "'unplug' takes the board away (its connection ends, its socket goes) and 'plug'\n"
           "brings it back.\n"
           "Each change of the port-1 output is printed as 'port1 0xNN'.\n"
           "The program ends on SIGINT or SIGTERM, and at the end of standard input unless --stay or\n"
           "--schedule is given; with --panel, when its window is closed.\n";
}

std::string boardBanner(const std::string& socketPath, const BoardConfig& board,
                        const std::string& realtimeRefusal) {
    char ids[96];
    std::snprintf(ids, sizeof(ids), "(vendor 0x%04X, product 0x%04X, input %zu, output %zu)", board.vendorId,
                  board.productId, board.inputLength, board.outputLength);
    std::string banner = "kaldex-sim: board on " + socketPath + " " + ids + "\n";
    if (!realtimeRefusal.empty()) banner += priorityWarning("kaldex-sim", realtimeRefusal);
    return banner;
}

void printPort1(std::uint8_t value) {
    std::printf("port1 0x%02X\n", value);
    std::fflush(stdout);
}

std::optional<SimOptions> parseSimOptions(const std::vector<std::string>& args, std::string& error) {
    SimOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--stay") {
            options.stay = true;
            continue;
        }
        if (arg == "--panel") {
            options.panel = true;
            continue;
        }
        const bool takesValue = arg == "--name" || arg == "--dir" || arg == "--vendor" ||
                                arg == "--product" || arg == "--in-len" || arg == "--out-len" ||
                                arg == "--schedule";
        if (!takesValue) {
            error = "unknown option: " + arg;
            return std::nullopt;
        }
        if (i + 1 == args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (arg == "--name") {
            options.server.name = value;
        } else if (arg == "--dir") {
            options.server.directory = value;
        } else if (arg == "--schedule") {
            options.schedulePath = value;
        } else if (!parseBoardOption(arg, value, options.board, error)) {
            return std::nullopt;
        }
    }
    return options;
}

bool parseBoardOption(const std::string& option, const std::string& value, BoardConfig& board,
                      std::string& error) {
    if (option == "--vendor" || option == "--product") {
        const auto id = parseNumber(value, 0xFFFF);
        if (!id) {
            error = option + " must be 0 to 0xFFFF: " + value;
            return false;
        }
        (option == "--vendor" ? board.vendorId : board.productId) = static_cast<std::uint16_t>(*id);
        return true;
    }
    const auto length = parseNumber(value, hid::board::kMaxBoardReportLength);
    if (!length || *length < hid::board::kMinReportLength) {
        error = option + " must be 4 to 255: " + value;
        return false;
    }
    (option == "--in-len" ? board.inputLength : board.outputLength) = *length;
    return true;
}

bool parseInputLine(std::string_view line, std::optional<InputCommand>& command, std::string& error) {
    command.reset();
    const auto w = words(line);
    if (isBlankOrComment(w)) return true;
    InputCommand parsed;
    if (!parseCommandWords(w, 0, parsed, error)) return false;
    command = parsed;
    return true;
}

void applyInput(BoardModel& model, const InputCommand& command) {
    switch (command.kind) {
    case InputCommand::Kind::Port0:
        model.setPort0Input(command.value);
        break;
    case InputCommand::Kind::Press:
        model.setPin(command.value, true);
        break;
    case InputCommand::Kind::Release:
        model.setPin(command.value, false);
        break;
    case InputCommand::Kind::Unplug:
    case InputCommand::Kind::Plug:
        break;
    }
}

void applyCommand(BoardModel& model, BoardServer& server, const InputCommand& command) {
    if (command.kind == InputCommand::Kind::Unplug) {
        if (!server.running()) {
            std::fputs("kaldex-sim: the board is unplugged already\n", stderr);
            return;
        }
        server.stop();
        std::fputs("kaldex-sim: board unplugged\n", stderr);
    } else if (command.kind == InputCommand::Kind::Plug) {
        std::string error;
        if (server.running())
            std::fputs("kaldex-sim: the board is plugged in already\n", stderr);
        else if (!server.start(&error))
            std::fprintf(stderr, "kaldex-sim: the board cannot be plugged in again: %s\n", error.c_str());
        else
            std::fprintf(stderr, "kaldex-sim: board plugged in again on %s\n", server.socketPath().c_str());
    } else {
        applyInput(model, command);
    }
}

bool parseSchedule(std::istream& in, std::vector<ScheduledInput>& schedule, std::string& error) {
    schedule.clear();
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const auto w = words(line);
        if (isBlankOrComment(w)) continue;
        const auto at = parseNumber(w[0], 0x7FFFFFFF);
        ScheduledInput entry;
        std::string why;
        if (!at) {
            why = "expected milliseconds first";
        } else if (parseCommandWords(w, 1, entry.command, why)) {
            entry.at = std::chrono::milliseconds(*at);
            schedule.push_back(entry);
            continue;
        }
        error = "line " + std::to_string(number) + ": " + why;
        return false;
    }
    std::stable_sort(schedule.begin(), schedule.end(),
                     [](const ScheduledInput& a, const ScheduledInput& b) { return a.at < b.at; });
    return true;
}

void applyInputLine(BoardModel& model, BoardServer& server, std::string_view line) {
    std::optional<InputCommand> command;
    std::string error;
    if (!parseInputLine(line, command, error)) {
        std::fprintf(stderr, "kaldex-sim: %s\n", error.c_str());
    } else if (command) {
        applyCommand(model, server, *command);
    }
}

std::optional<int> prepareSim(const std::vector<std::string>& args, bool hasPanel, SimOptions& options,
                              std::vector<ScheduledInput>& schedule) {
    std::string error;
    const auto parsed = parseSimOptions(args, error);
    if (!parsed) {
        std::fprintf(stderr, "kaldex-sim: %s\nTry 'kaldex-sim --help'.\n", error.c_str());
        return 2;
    }
    options = *parsed;
    if (options.help) {
        std::fputs(simUsage().c_str(), stdout);
        return 0;
    }
    if (options.panel && !hasPanel) {
        std::fputs("kaldex-sim: this build has no panel (built without the GUI)\n", stderr);
        return 2;
    }
    schedule.clear();
    if (options.schedulePath.empty()) return std::nullopt;
    std::ifstream file(options.schedulePath);
    if (!file) {
        std::fprintf(stderr, "kaldex-sim: cannot read %s\n", options.schedulePath.c_str());
        return 2;
    }
    if (!parseSchedule(file, schedule, error)) {
        std::fprintf(stderr, "kaldex-sim: %s: %s\n", options.schedulePath.c_str(), error.c_str());
        return 2;
    }
    return std::nullopt;
}

} // namespace zelk::vboard

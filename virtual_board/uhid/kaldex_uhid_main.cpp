// kaldex-uhid: a virtual KALDEX board in the kernel, made through /dev/uhid and driven from standard input.
#include "virtual_board/board_model.h"
#include "virtual_board/port1_relay.h"
#include "virtual_board/sim_cli.h"
#include "virtual_board/uhid/uhid_cli.h"
#include "virtual_board/uhid/uhid_server.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

using namespace zelk::vboard;
using Clock = std::chrono::steady_clock;

namespace {

// The kernel makes the hidraw node shortly after the device: it is looked for this often, this long.
constexpr int kNodeLookMs = 20;
constexpr auto kNodeLookLimit = std::chrono::seconds(2);

void say(const std::string& text) {
    std::fputs(("kaldex-uhid: " + text + "\n").c_str(), stderr);
}

void applyLine(BoardModel& model, UhidServer& server, std::string_view line) {
    std::optional<InputCommand> command;
    std::string error;
    if (!parseInputLine(line, command, error)) {
        say(error);
        return;
    }
    if (!command) return;
    if (command->kind == InputCommand::Kind::Unplug)
        server.unplug();
    else if (command->kind == InputCommand::Kind::Plug)
        server.plug();
    else
        applyInput(model, *command);
}

// Hands each complete line of standard input on; returns false at the end of input.
bool readInput(BoardModel& model, UhidServer& server, std::string& partial) {
    char chunk[4096];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof(chunk));
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    if (n == 0) {
        if (!partial.empty()) applyLine(model, server, partial);
        partial.clear();
        return false;
    }
    partial.append(chunk, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t end; (end = partial.find('\n', start)) != std::string::npos; start = end + 1)
        applyLine(model, server, std::string_view(partial).substr(start, end - start));
    partial.erase(0, start);
    return true;
}

std::string identity(const BoardConfig& board) {
    char text[96];
    std::snprintf(text, sizeof text, "(vendor 0x%04X, product 0x%04X, input %zu, output %zu)", board.vendorId,
                  board.productId, board.inputLength, board.outputLength);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = parseUhidOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "kaldex-uhid: %s\nTry 'kaldex-uhid --help'.\n", error.c_str());
        return kUhidUsage;
    }
    if (options->help) {
        std::fputs(uhidUsage().c_str(), stdout);
        return kUhidEnded;
    }

    // SIGINT and SIGTERM arrive through a descriptor; the answering thread started later keeps them blocked.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signals = ::signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (signals < 0) {
        say(std::string("signalfd: ") + std::strerror(errno));
        return kUhidFailed;
    }

    BoardModel model(options->board);
    Port1Relay port1;
    model.setPort1Listener([&port1](std::uint8_t value) { port1.push(value); });
    UhidNotices notices;
    UhidServer server(model, notices);
    int errorNumber = 0;
    if (!server.open(errorNumber)) {
        say(uhidOpenFailure(errorNumber));
        return kUhidUnavailable;
    }
    if (!server.start(errorNumber)) {
        say(std::string("the kernel refused the board: ") + std::strerror(errorNumber));
        return kUhidFailed;
    }
    if (!server.realtimeRefusal().empty())
        std::fputs(priorityWarning("kaldex-uhid", server.realtimeRefusal()).c_str(), stderr);

    // Until the hidraw node of the device just plugged in is found (and printed), it is looked for.
    // (A flag and a time rather than an optional time: the optimiser warns about the optional's value.)
    bool looking = true;
    Clock::time_point lookingSince = Clock::now();
    int status = kUhidEnded;
    bool inputOpen = true;
    bool running = true;
    std::string partial;
    while (running) {
        if (looking) {
            const std::string node = findHidrawNode(server.phys());
            if (!node.empty()) {
                say("board on " + node + " " + identity(options->board));
                looking = false;
            } else if (Clock::now() - lookingSince > kNodeLookLimit) {
                say("board plugged in " + identity(options->board) +
                    ", but no hidraw node appeared (a kernel without hidraw?)");
                looking = false;
            }
        }
        pollfd fds[4] = {{signals, POLLIN, 0},
                         {port1.fd(), POLLIN, 0},
                         {notices.fd(), POLLIN, 0},
                         {STDIN_FILENO, POLLIN, 0}};
        const int ready = ::poll(fds, inputOpen ? 4 : 3, looking ? kNodeLookMs : -1);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (fds[0].revents & POLLIN) break;
        if (fds[1].revents & POLLIN) port1.drain(printPort1);
        if (fds[2].revents & POLLIN) {
            notices.drain([&](const UhidServerNotice& notice) {
                switch (notice.kind) {
                case UhidServerNotice::Kind::Board:
                    if (notice.board.kind == UhidNotice::Kind::Opened) say("board opened");
                    if (notice.board.kind == UhidNotice::Kind::Closed)
                        std::fputs(closedText(notice.board).c_str(), stderr);
                    break;
                case UhidServerNotice::Kind::Plugged:
                    looking = true;
                    lookingSince = Clock::now();
                    break;
                case UhidServerNotice::Kind::Unplugged:
                    say("board unplugged");
                    break;
                case UhidServerNotice::Kind::PlugFailed:
                    say(std::string("the kernel refused the board: ") + std::strerror(notice.errorNumber));
                    break;
                case UhidServerNotice::Kind::Failed:
                    say(std::string("/dev/uhid failed: ") + std::strerror(notice.errorNumber));
                    status = kUhidFailed;
                    running = false;
                    break;
                }
            });
        }
        if (inputOpen && (fds[3].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) {
            inputOpen = readInput(model, server, partial);
            if (!inputOpen && !options->stay) break;
        }
    }
    server.stop();
    port1.drain(printPort1);
    notices.drain([](const UhidServerNotice& notice) {
        if (notice.kind == UhidServerNotice::Kind::Board && notice.board.kind == UhidNotice::Kind::Closed)
            std::fputs(closedText(notice.board).c_str(), stderr);
    });
    ::close(signals);
    return status;
}

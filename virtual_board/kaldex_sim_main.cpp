// kaldex-sim: a virtual KALDEX board on a Unix socket, driven from standard input and a schedule file, or
// from its panel window.
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"
#include "virtual_board/port1_relay.h"
#include "virtual_board/sim_cli.h"
#ifdef ZELK_SIM_PANEL
#include "virtual_board/panel/panel_app.h"
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

using namespace zelk::vboard;
using Clock = std::chrono::steady_clock;

namespace {

// Hands each complete line of standard input to the board; returns false at the end of input.
bool readInput(BoardModel& model, BoardServer& server, std::string& partial) {
    char chunk[4096];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof(chunk));
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    if (n == 0) {
        if (!partial.empty()) applyInputLine(model, server, partial);
        partial.clear();
        return false;
    }
    partial.append(chunk, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t end; (end = partial.find('\n', start)) != std::string::npos; start = end + 1)
        applyInputLine(model, server, std::string_view(partial).substr(start, end - start));
    partial.erase(0, start);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
#ifdef ZELK_SIM_PANEL
    constexpr bool hasPanel = true;
#else
    constexpr bool hasPanel = false;
#endif
    SimOptions options;
    std::vector<ScheduledInput> schedule;
    if (const auto status =
            prepareSim(std::vector<std::string>(argv + 1, argv + argc), hasPanel, options, schedule))
        return *status;

    // SIGINT and SIGTERM arrive through a descriptor; every thread started later keeps them blocked.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signals = ::signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (signals < 0) {
        std::perror("kaldex-sim: signalfd");
        return 1;
    }

    // The board answers like hardware: from a thread of its own at real-time priority where allowed, which
    // hands port-1 changes to this thread for printing and never waits on it.
    BoardModel model(options.board);
    Port1Relay port1;
    model.setPort1Listener([&port1](std::uint8_t value) { port1.push(value); });
    ServerOptions serverOptions = options.server;
    serverOptions.realtime = true;
#ifdef ZELK_SIM_PANEL
    if (options.panel) {
        const int status = runPanelApp(argc, argv, model, port1, serverOptions, schedule, signals);
        ::close(signals);
        return status;
    }
#endif
    BoardServer server(model, serverOptions);
    if (!server.start(&error)) {
        std::fprintf(stderr, "kaldex-sim: %s\n", error.c_str());
        return 1;
    }
    std::fputs(boardBanner(server.socketPath(), options.board, server.realtimeRefusal()).c_str(), stderr);

    const bool keepRunning = options.stay || !options.schedulePath.empty();
    const auto started = Clock::now();
    std::size_t nextScheduled = 0;
    bool inputOpen = true;
    std::string partial;
    for (;;) {
        while (nextScheduled < schedule.size() && Clock::now() - started >= schedule[nextScheduled].at)
            applyCommand(model, server, schedule[nextScheduled++].command);
        int timeoutMs = -1;
        if (nextScheduled < schedule.size()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                started + schedule[nextScheduled].at - Clock::now());
            timeoutMs = static_cast<int>(std::max<long long>(left.count(), 0));
        }
        pollfd fds[3] = {{signals, POLLIN, 0}, {port1.fd(), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int ready = ::poll(fds, inputOpen ? 3 : 2, timeoutMs);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (fds[0].revents & POLLIN) break;
        if (fds[1].revents & POLLIN) port1.drain(printPort1);
        if (inputOpen && (fds[2].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) {
            inputOpen = readInput(model, server, partial);
            if (!inputOpen && !keepRunning) break;
        }
    }
    server.stop();
    port1.drain(printPort1);
    ::close(signals);
    return 0;
}

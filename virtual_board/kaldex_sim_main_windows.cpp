// kaldex-sim on Windows: a virtual KALDEX board on a named pipe, driven from standard input and a schedule
// file. Headless: the panel is not built for Windows.
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"
#include "virtual_board/sim_cli.h"

#include <cstdio>
#include <deque>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <windows.h>

using namespace zelk::vboard;
using Clock = std::chrono::steady_clock;

namespace {

HANDLE stopEvent = nullptr;

BOOL WINAPI onConsoleEvent(DWORD) {
    SetEvent(stopEvent);
    return TRUE;
}

// Lines of standard input, read on a thread of their own; the end of input is an empty optional.
struct InputLines {
    std::mutex mutex;
    std::deque<std::string> lines;
    bool ended = false;
    HANDLE ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
};

void applyLine(BoardModel& model, std::string_view line) {
    std::optional<InputCommand> command;
    std::string error;
    if (!parseInputLine(line, command, error)) {
        std::fprintf(stderr, "kaldex-sim: %s\n", error.c_str());
    } else if (command) {
        applyInput(model, *command);
    }
}

} // namespace

int main(int argc, char** argv) {
    // The C library here buffers standard error when it is no console: the banner must show at once.
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    std::string error;
    const auto options = parseSimOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "kaldex-sim: %s\nTry 'kaldex-sim --help'.\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(simUsage().c_str(), stdout);
        return 0;
    }
    if (options->panel) {
        std::fputs("kaldex-sim: this build has no panel (built without the GUI)\n", stderr);
        return 2;
    }
    std::vector<ScheduledInput> schedule;
    if (!options->schedulePath.empty()) {
        std::ifstream file(options->schedulePath);
        if (!file) {
            std::fprintf(stderr, "kaldex-sim: cannot read %s\n", options->schedulePath.c_str());
            return 2;
        }
        if (!parseSchedule(file, schedule, error)) {
            std::fprintf(stderr, "kaldex-sim: %s: %s\n", options->schedulePath.c_str(), error.c_str());
            return 2;
        }
    }

    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);

    BoardModel model(options->board);
    model.setPort1Listener([](std::uint8_t value) {
        std::printf("port1 0x%02X\n", value);
        std::fflush(stdout);
    });
    BoardServer server(model, options->server);
    if (!server.start(&error)) {
        std::fprintf(stderr, "kaldex-sim: %s\n", error.c_str());
        return 1;
    }
    std::fputs(boardBanner(server.socketPath(), options->board).c_str(), stderr);

    // The reader may stay blocked in standard input when the program ends: it owns what it touches.
    auto input = std::make_shared<InputLines>();
    std::thread([input] {
        std::string line;
        while (std::getline(std::cin, line)) {
            std::lock_guard lock(input->mutex);
            input->lines.push_back(line);
            SetEvent(input->ready);
        }
        std::lock_guard lock(input->mutex);
        input->ended = true;
        SetEvent(input->ready);
    }).detach();

    const bool keepRunning = options->stay || !options->schedulePath.empty();
    const auto started = Clock::now();
    std::size_t nextScheduled = 0;
    for (;;) {
        while (nextScheduled < schedule.size() && Clock::now() - started >= schedule[nextScheduled].at)
            applyInput(model, schedule[nextScheduled++].command);
        DWORD timeoutMs = INFINITE;
        if (nextScheduled < schedule.size()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                started + schedule[nextScheduled].at - Clock::now());
            timeoutMs = static_cast<DWORD>(std::max<long long>(left.count(), 0));
        }
        const HANDLE handles[2] = {stopEvent, input->ready};
        const DWORD woken = WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
        if (woken == WAIT_OBJECT_0) break;
        if (woken != WAIT_OBJECT_0 + 1) continue;
        std::deque<std::string> lines;
        bool ended;
        {
            std::lock_guard lock(input->mutex);
            lines.swap(input->lines);
            ended = input->ended;
        }
        for (const auto& line : lines)
            applyLine(model, line);
        if (ended && !keepRunning) break;
    }
    server.stop();
    return 0;
}

// kaldex-sim on Windows: a virtual KALDEX board on a named pipe, driven from standard input and a schedule
// file. Headless: the panel is not built for Windows.
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"
#include "virtual_board/sim_cli.h"

#include <cstdio>
#include <deque>
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

} // namespace

int main(int argc, char** argv) {
    // The C library here buffers standard error when it is no console: the banner must show at once.
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    std::string error;
    SimOptions options;
    std::vector<ScheduledInput> schedule;
    if (const auto status =
            prepareSim(std::vector<std::string>(argv + 1, argv + argc), false, options, schedule))
        return *status;

    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);

    BoardModel model(options.board);
    model.setPort1Listener([](std::uint8_t value) {
        std::printf("port1 0x%02X\n", value);
        std::fflush(stdout);
    });
    BoardServer server(model, options.server);
    if (!server.start(&error)) {
        std::fprintf(stderr, "kaldex-sim: %s\n", error.c_str());
        return 1;
    }
    std::fputs(boardBanner(server.socketPath(), options.board).c_str(), stderr);

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

    const bool keepRunning = options.stay || !options.schedulePath.empty();
    const auto started = Clock::now();
    std::size_t nextScheduled = 0;
    for (;;) {
        while (nextScheduled < schedule.size() && Clock::now() - started >= schedule[nextScheduled].at)
            applyCommand(model, server, schedule[nextScheduled++].command);
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
            applyInputLine(model, server, line);
        if (ended && !keepRunning) break;
    }
    server.stop();
    return 0;
}

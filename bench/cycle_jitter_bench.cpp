// The control cycle's period where the board sees it: the engine runs against a virtual board through a real
// socket, and the board stamps the arrival of every read request (command 3). A plain sleep_for(10 ms) loop
// runs in the same process at the same time for comparison.
// Usage: cycle_jitter_bench [seconds] [--busy] [--mute]
//   default 60 s; --busy keeps one more core spinning; --mute: the board takes every report and never
//   answers, so every read of every cycle fails (the cycle rate must stay at 100 per second).
#include "core/engine.h"
#include "socket_platform.h"
#include "virtual_board/board_server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double percentile(const std::vector<double>& sorted, double p) {
    const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(sorted.size()))) - 1;
    return sorted[std::min(index, sorted.size() - 1)];
}

void report(const char* name, const std::vector<Clock::time_point>& times) {
    if (times.size() < 3) {
        std::printf("%-16s too few samples\n", name);
        return;
    }
    std::vector<double> deviationsUs;
    double sumUs = 0;
    for (std::size_t i = 1; i < times.size(); ++i) {
        const double periodUs = std::chrono::duration<double, std::micro>(times[i] - times[i - 1]).count();
        sumUs += periodUs;
        deviationsUs.push_back(std::fabs(periodUs - 10'000.0));
    }
    std::sort(deviationsUs.begin(), deviationsUs.end());
    const double meanUs = sumUs / static_cast<double>(deviationsUs.size());
    std::printf("%-16s periods %6zu  mean %10.3f us (%7.3f per s)  |period-10ms| p50 %7.1f us  p99 %7.1f us  "
                "max %8.1f us\n",
                name, deviationsUs.size(), meanUs, 1e6 / meanUs, percentile(deviationsUs, 0.50),
                percentile(deviationsUs, 0.99), deviationsUs.back());
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    bool busy = false;
    bool mute = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--busy") == 0)
            busy = true;
        else if (std::strcmp(argv[i], "--mute") == 0)
            mute = true;
        else
            seconds = std::max(1, std::atoi(argv[i]));
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zelk-jitter-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "LogicCtl.ini") << "[LG_CONTENTS]\r\nLG_MAIN_CNT=0\r\n";

    zelk::vboard::BoardModel board({.readRequestLogCapacity = static_cast<std::size_t>(seconds) * 100 + 200});
    // The board stands for hardware that answers at once: its thread runs real-time where the process may,
    // so the measurement sees the engine's timing, not the board thread's wake-up. The comparison loop below
    // runs with normal scheduling.
    zelk::vboard::BoardServer server(board, {(dir / "boards").string(), "bench", true});
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "board: %s\n", error.c_str());
        return 1;
    }
    const bool boardRealtime = server.realtime();
    zelk::test::SocketPlatform platform((dir / "boards").string(), dir.string());
    auto engine = std::make_unique<zelk::Engine>(platform);

    std::atomic<bool> stop{false};
    std::thread spinner;
    if (busy)
        spinner = std::thread([&] {
            volatile unsigned long x = 0;
            while (!stop.load(std::memory_order_relaxed))
                x = x + 1;
        });
    std::vector<Clock::time_point> plain;
    std::thread sleeper([&] {
        while (!stop.load(std::memory_order_relaxed)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            plain.push_back(Clock::now());
        }
    });

    timespec cpuStart{}, cpuEnd{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuStart);
    if (engine->open() != 1) {
        std::fprintf(stderr, "the engine could not open the virtual board\n");
        return 1;
    }
    board.setSilent(mute);
    board.clearRecord();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const auto times = board.readRequestTimes();
    CtlData status{};
    engine->getCtlData(status);
    engine->close();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuEnd);
    stop = true;
    sleeper.join();
    if (spinner.joinable()) spinner.join();
    server.stop();
    std::filesystem::remove_all(dir);

    std::printf("%d s%s%s%s; PASSAGE SEC at the end: %d\n", seconds, busy ? ", second core busy" : "",
                mute ? ", mute board" : "", boardRealtime ? ", board thread real-time" : "",
                status.passageSec);
    report("engine cycle", times);
    report("sleep_for loop", plain);
    if (!busy) {
        const double cpuUs = (static_cast<double>(cpuEnd.tv_sec - cpuStart.tv_sec) * 1e6 +
                              static_cast<double>(cpuEnd.tv_nsec - cpuStart.tv_nsec) / 1e3);
        std::printf("process CPU per cycle (engine, board and sleep loop together): %.1f us\n",
                    cpuUs / static_cast<double>(std::max<std::size_t>(times.size(), 1)));
    }
    return 0;
}

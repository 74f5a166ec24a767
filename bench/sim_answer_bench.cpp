// Does kaldex-sim answer like hardware on a busy machine? The engine library runs the shipped sample program
// against a kaldex-sim process for a while, with both cores kept busy by spinning threads and input pin 0
// pressed and released four times a second through the simulator's standard input (so its outputs change
// too). Counts the "readKaldex NG" entries of the event log: the goal is none.
// Usage: sim_answer_bench [seconds]   (default 60)
#include "ZELK_Eng.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

bool sameEntry(const EventEntry& a, const EventEntry& b) {
    return a.passageSec == b.passageSec && a.tick10ms == b.tick10ms && std::strcmp(a.text, b.text) == 0;
}

// How many entries of now (newest first) came after before: the smallest shift under which the older
// entries line up. 10 means 10 or more.
int newEntries(const CtlData& before, const CtlData& now) {
    for (int shift = 0; shift < ZELK_EVENT_COUNT; ++shift) {
        bool aligned = true;
        for (int i = 0; i + shift < ZELK_EVENT_COUNT && aligned; ++i)
            aligned = sameEntry(now.events[i + shift], before.events[i]);
        if (aligned) return shift;
    }
    return ZELK_EVENT_COUNT;
}

// Starts kaldex-sim with standard input from a pipe (returned in input) and its output in log.
pid_t startSim(const fs::path& log, int& input) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(pipeFds[0], STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        ::close(pipeFds[1]);
        ::execl(KALDEX_SIM_PROGRAM, "kaldex-sim", static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(pipeFds[0]);
    input = pipeFds[1];
    return pid;
}

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    std::string pattern = (fs::temp_directory_path() / "zelk-sim-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    const fs::path dir = pattern;
    fs::copy_file(ZELK_SAMPLE_PROGRAM, dir / "LogicCtl.ini");
    const fs::path boards = dir / "boards";
    ::setenv("KALDEX_BOARD_DIR", boards.c_str(), 1);
    ::signal(SIGPIPE, SIG_IGN);

    int simInput = -1;
    const pid_t sim = startSim(dir / "sim.log", simInput);
    const auto started = Clock::now();
    while (!fs::exists(boards / "kaldex0.sock") && Clock::now() - started < std::chrono::seconds(10))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    void* library = ::dlopen(ZELK_ENG_LIBRARY, RTLD_NOW);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", ZELK_ENG_LIBRARY);
        return 1;
    }
    const auto open = reinterpret_cast<openKaldex_fn>(::dlsym(library, "openKaldex"));
    const auto close = reinterpret_cast<closeKaldex_fn>(::dlsym(library, "closeKaldex"));
    const auto get = reinterpret_cast<getCtlData_fn>(::dlsym(library, "getCtlData"));
    fs::current_path(dir); // the engine's directory is the current one at its first open

    std::atomic<bool> stop{false};
    std::vector<std::thread> spinners;
    for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
        spinners.emplace_back([&] {
            volatile unsigned long x = 0;
            while (!stop.load(std::memory_order_relaxed))
                x = x + 1;
        });

    long failedReads = 0, burstsWithFailures = 0, overflows = 0;
    std::string when; // PASSAGE SEC and 10 ms tick of the first polls that saw failures
    int passageSec = 0;
    if (open() != 1) {
        std::fprintf(stderr, "the engine did not open the virtual board (see %s)\n",
                     (dir / "sim.log").c_str());
    } else {
        CtlData before{};
        get(&before);
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        auto nextInput = Clock::now();
        bool pressed = false;
        while (Clock::now() < end) {
            if (Clock::now() >= nextInput) {
                pressed = !pressed;
                const char* line = pressed ? "press 0\n" : "release 0\n";
                [[maybe_unused]] const auto n = ::write(simInput, line, std::strlen(line));
                nextInput += std::chrono::milliseconds(250);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            CtlData now{};
            get(&now);
            const int added = newEntries(before, now);
            int failed = 0;
            for (int i = 0; i < added; ++i)
                failed += std::strcmp(now.events[i].text, "readKaldex NG") == 0 ? 1 : 0;
            failedReads += failed;
            if (failed > 0 && burstsWithFailures++ < 10)
                when += " " + std::to_string(now.events[0].passageSec) + "." +
                        std::to_string(now.events[0].tick10ms);
            overflows += added == ZELK_EVENT_COUNT ? 1 : 0;
            before = now;
        }
        passageSec = before.passageSec;
        close();
    }
    stop = true;
    for (auto& t : spinners)
        t.join();
    ::close(simInput);
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);

    std::printf("%d s against kaldex-sim, %zu spinning threads; PASSAGE SEC at the end: %d\n", seconds,
                spinners.size(), passageSec);
    std::printf("simulator: %s\n", firstLine(dir / "sim.log").c_str());
    std::printf("readKaldex NG entries: %ld (in %ld polls%s%s)%s\n", failedReads, burstsWithFailures,
                when.empty() ? "" : ", at", when.c_str(),
                overflows > 0 ? "; some polls saw 10 new entries: the count is a lower bound" : "");
    fs::current_path("/");
    fs::remove_all(dir);
    return 0;
}

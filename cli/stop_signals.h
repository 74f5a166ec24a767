#pragma once
// The requests to stop a run from outside: SIGINT, SIGTERM and SIGHUP (the terminal went away) on Linux;
// Ctrl+C, Ctrl+Break and the console window closing on Windows. They are only recorded where they arrive and
// are handled by the thread that waits for them, so the engine is never called from a signal handler.
#include <chrono>
#include <string>

namespace zelk::cli {

class StopSignals {
public:
    // On Linux: blocks the stop signals in the calling thread, and so in every thread it starts later (the
    // engine's threads too), and receives them through a signalfd. Create it before the engine runs.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // False when the signals could not be set up; error says why.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // Waits at most timeout for a stop request; true when one came.
    bool wait(std::chrono::milliseconds timeout);

private:
    std::string error_;
#ifdef _WIN32
    void* event_ = nullptr;
#else
    int fd_ = -1;
#endif
};

} // namespace zelk::cli

#include "cli/stop_signals.h"

#include <atomic>
#include <windows.h>

namespace zelk::cli {

namespace {

// The handler runs on a thread of its own that the system starts: it only records the request.
HANDLE stopEvent = nullptr;
HANDLE closedEvent = nullptr; // set when the run is closed, so a closing console window waits for it
std::atomic<DWORD> lastRequest{0};

BOOL WINAPI onConsoleEvent(DWORD type) {
    lastRequest.store(type);
    SetEvent(stopEvent);
    // The process ends when the handler returns from these: give the run a few seconds to close first.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(closedEvent, 4000);
    return TRUE;
}

} // namespace

StopSignals::StopSignals() {
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    closedEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stopEvent == nullptr || closedEvent == nullptr || !SetConsoleCtrlHandler(&onConsoleEvent, TRUE)) {
        error_ = "cannot handle console control events";
        return;
    }
    event_ = stopEvent;
}

StopSignals::~StopSignals() {
    if (closedEvent != nullptr) SetEvent(closedEvent);
    if (event_ != nullptr) SetConsoleCtrlHandler(&onConsoleEvent, FALSE);
}

std::string StopSignals::wait(std::chrono::milliseconds timeout) {
    if (event_ == nullptr) return {};
    if (WaitForSingleObject(event_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return {};
    switch (lastRequest.load()) {
    case CTRL_C_EVENT:
        return "Ctrl+C";
    case CTRL_BREAK_EVENT:
        return "Ctrl+Break";
    default:
        return "console closed";
    }
}

} // namespace zelk::cli

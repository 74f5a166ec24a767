#include "cli/stop_signals.h"

#include <windows.h>

namespace zelk::cli {

namespace {

// The handler runs on a thread of its own that the system starts: it only records the request.
HANDLE stopEvent = nullptr;
HANDLE closedEvent = nullptr; // set when the run is closed, so a closing console window waits for it

BOOL WINAPI onConsoleEvent(DWORD type) {
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

bool StopSignals::wait(std::chrono::milliseconds timeout) {
    return event_ != nullptr &&
           WaitForSingleObject(event_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

} // namespace zelk::cli

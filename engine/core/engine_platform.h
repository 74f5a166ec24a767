#pragma once
// What the engine needs of its surroundings. The library uses the real platform; tests inject fakes, so
// every rule, the cycle and the device handshake run without threads or real time where possible.
#include "hid/hid.h"
#include "timer/periodic_timer.h"

#include <chrono>
#include <memory>
#include <string>

namespace zelk {

struct LocalTime {
    int year = 0; // e.g. 2026
    int month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Platform {
public:
    virtual ~Platform() = default;
    // The devices that find-and-open searches.
    virtual hid::Backend& devices() = 0;
    // A new periodic timer for a control run.
    virtual std::unique_ptr<timer::PeriodicTimer> makeTimer() = 0;
    virtual LocalTime now() = 0;
    virtual void sleepMs(int milliseconds) = 0;
    // The monotonic clock that bounds the reads of a cycle.
    virtual std::chrono::steady_clock::time_point steadyNow() { return std::chrono::steady_clock::now(); }
    // The process's current directory; false when it cannot be determined.
    virtual bool currentDirectory(std::string& directory) = 0;
    // Places a NUL-terminated code page 932 text on the desktop clipboard without blocking.
    virtual void putClipboard(const char* text) = 0;
};

} // namespace zelk

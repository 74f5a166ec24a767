// The control run: its start, the control thread that arms the 10 ms timer, and the cycle.
#include "core/engine.h"

#include "core/engine_platform.h"
#include "core/messages.h"
#include "core/trace.h"

#include <cstdio>

namespace zelk {

namespace {
// The last two decimal digits of a date or time field.
unsigned twoDigits(int value) {
    return static_cast<unsigned>((value % 100 + 100) % 100);
}

StartStamp stamp(const LocalTime& t) {
    StartStamp s{};
    std::snprintf(s.date, sizeof s.date, "20%02u/%02u/%02u", twoDigits(t.year), twoDigits(t.month),
                  twoDigits(t.day));
    std::snprintf(s.time, sizeof s.time, "%02u:%02u:%02u", twoDigits(t.hour), twoDigits(t.minute),
                  twoDigits(t.second));
    return s;
}
} // namespace

bool Engine::sendOrClose(DeviceLink::Command command, std::uint8_t value) {
    if (link_.send(command, value, status_.tick.load(std::memory_order_relaxed))) return true;
    recordEvent(messages::kSendFailed);
    close();
    return false;
}

void Engine::publishVariables() {
    // Most cycles change no variable, or few: the copy for readers is written only when one changed.
    bool changed = false;
    for (std::size_t n = 0; n < publishedVariables_.size(); ++n) {
        changed |= publishedVariables_[n] != program_.variables[n].value;
        publishedVariables_[n] = program_.variables[n].value;
    }
    if (changed) variableValues_.publish(publishedVariables_);
}

bool Engine::startRun() {
    port0History_.fill(0xFF);
    port1History_.fill(0x0F);
    status_.port0.store(0xFF, std::memory_order_relaxed);
    status_.port1.store(0x0F, std::memory_order_relaxed);
    stop_.lower();
    status_.tick.store(0, std::memory_order_relaxed);
    status_.passageSec.store(0, std::memory_order_relaxed);
    status_.echo.store(0, std::memory_order_relaxed);
    toggleMask_.store(0x0F, std::memory_order_relaxed);
    togglePending_.store(false, std::memory_order_relaxed);

    // Every port-0 pin released so that all of port 0 reads as input, every port-1 pin released, and the
    // first read request. A failed send ends the start here: the run never began, so the previous run's
    // log file is left alone.
    for (const auto& [command, value] : {std::pair{hid::board::kSetPort0, std::uint8_t{0xFF}},
                                         std::pair{hid::board::kSetPort1, std::uint8_t{0x0F}},
                                         std::pair{hid::board::kReadRequest, std::uint8_t{0}}}) {
        if (!link_.send(command, value, 0)) {
            recordEvent(messages::kSendFailed);
            closeRun(false);
            return false;
        }
    }
    publishVariables();
    platform_.sleepMs(kPeriodMs);
    events_.setStart(stamp(platform_.now()));
    events_.clear();
    return true;
}

void Engine::controlThread() {
    threadPublished_.wait();
    // A close that came before this point has set the stop flag: then no timer is armed at all.
    if (!stop_.isRaised()) timer_->start(kPeriodMs, &Engine::onTimer, this);
    stop_.wait();
    trace(messages::kControlThreadEnd);
}

void Engine::onTimer(void* engine) {
    static_cast<Engine*>(engine)->cycle();
}

void Engine::cycle() {
    inCycle_ = true;
    // 1. The input report that answers the last read request, or the last accepted one again.
    int failedReads = 0;
    link_.readInput(failedReads);
    for (int i = 0; i < failedReads; ++i)
        recordEvent(messages::kReadFailed);
    const hid::board::InputReport report = hid::board::decodeInputReport(link_.lastReport());

    // 2.-4. Port histories and the echoed count.
    port0History_.shift();
    port0History_.setNewest(report.port0);
    status_.port0.store(report.port0, std::memory_order_relaxed);
    status_.echo.store(report.sequence, std::memory_order_relaxed);
    const std::uint8_t previous = port1History_.newest();
    port1History_.shift();

    // 5.-7. The main block, then a pending manual toggle.
    std::uint8_t output = rules_.runBlock(program_.main, previous);
    // The pending mark is tested before the mask is read and cleared only after it: a request that comes in
    // meanwhile replaces the mask or is dropped, but one request is never applied twice.
    if (togglePending_.load(std::memory_order_acquire)) {
        output ^= toggleMask_.load(std::memory_order_relaxed);
        togglePending_.store(false, std::memory_order_release);
    }
    port1History_.setNewest(output);
    status_.port1.store(output, std::memory_order_relaxed);
    publishVariables();

    // 8.-9. The changed output, then the next read request. A failed send closes the board; the rest of the
    // cycle still runs.
    if (output != previous) sendOrClose(hid::board::kSetPort1, output);
    sendOrClose(hid::board::kReadRequest, 0);

    // 10. Count time.
    const std::uint8_t tick =
        static_cast<std::uint8_t>((status_.tick.load(std::memory_order_relaxed) + 1) % 100);
    status_.tick.store(tick, std::memory_order_relaxed);
    if (tick == 0) status_.passageSec.fetch_add(1, std::memory_order_relaxed);
    inCycle_ = false;
}

} // namespace zelk

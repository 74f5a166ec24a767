#pragma once
// All state of the control engine: the loaded program, the run state, the device link, the control cycle,
// the event log and the log buffer. The library holds one instance behind its exports; tests create their
// own with a fake platform.
#include "ZELK_Eng.h"
#include "core/device_link.h"
#include "core/event_log.h"
#include "core/loaded_program.h"
#include "core/log_buffer.h"
#include "core/rules.h"
#include "core/seqlock.h"
#include "core/status.h"
#include "sync/wake_flag.h"
#include "timer/periodic_timer.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace zelk {

class Platform;

// The values of the 64 variables, by number.
using VariableValues = std::array<std::int32_t, kVariableCount>;

class Engine {
public:
    static constexpr int kPeriodMs = 10;

    // programPath names the logic program file; empty: LogicCtl.ini in the current directory at the first
    // open.
    explicit Engine(Platform& platform, std::string programPath = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The exports.
    std::int32_t open();
    std::int32_t close();
    // Ends the run as close() does but leaves the log file alone: for runs whose rows are read in place.
    std::int32_t closeWithoutLogFile();
    void getCtlData(CtlData& data) const;
    void putCtlData(const CtlRequest& request);

    // One control cycle; the periodic timer calls it every 10 ms during a run.
    void cycle();

    const Program& program() const { return program_; }
    Program& program() { return program_; }
    const LogBuffer& logBuffer() const { return log_; }
    const Status& status() const { return status_; }

    // For servers beside the run, on their own threads, without a lock: the variables' values as the last
    // cycle (or the run start) left them, never torn.
    void readVariables(VariableValues& out) const { variableValues_.read(out); }
    // True while a manual output request waits for the next cycle.
    bool outputRequestPending() const { return togglePending_.load(std::memory_order_acquire); }

private:
    // Who holds the board: nobody, a control run, or a close in progress.
    enum class Board : std::uint8_t { kNone, kHeld, kClosing };

    bool startRun();
    void controlThread();
    static void onTimer(void* engine);
    // Sends a report; a failed send records "sendKaldex NG" and closes the board.
    bool sendOrClose(DeviceLink::Command command, std::uint8_t value);
    std::int32_t closeRun(bool writeLog);
    void recordEvent(std::string_view message);
    void publishVariables();
    void writeLogFile();
    std::string programPath() const;

    // Set while a control cycle runs on this thread: a close from inside the cycle must never wait for
    // another close, which may itself be waiting for this cycle to end.
    static thread_local bool inCycle_;

    Platform& platform_;
    Status status_;
    Program program_;
    EventLog events_;
    LogBuffer log_;
    DeviceLink link_;
    PortHistory port0History_;
    PortHistory port1History_;
    Rules rules_;
    Seqlocked<VariableValues> variableValues_;
    VariableValues publishedVariables_{}; // what variableValues_ holds, for the thread that publishes it

    std::string programPath_;   // empty: LogicCtl.ini in baseDirectory_
    std::string baseDirectory_; // captured at the first open, with a trailing "/"
    std::atomic<Board> board_{Board::kNone};
    WakeFlag stop_;
    WakeFlag threadPublished_;
    std::atomic<std::uint8_t> toggleMask_{0x0F};
    std::atomic<bool> togglePending_{false};
    std::unique_ptr<timer::PeriodicTimer> timer_;
    std::thread controlThread_;
};

} // namespace zelk

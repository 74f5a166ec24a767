// The lifecycle of a control run: open, close, and the status picture that the console copies out.
#include "core/engine.h"

#include "core/engine_platform.h"
#include "core/log_file_name.h"
#include "core/messages.h"
#include "core/trace.h"
#include "core/trace_sink.h"
#include "program/keys.h"

#include <cstring>
#include <system_error>

namespace zelk {

thread_local bool Engine::inCycle_ = false;

Engine::Engine(Platform& platform, std::string programPath)
    : platform_(platform), link_(platform),
      rules_(program_, port0History_, port1History_, status_, events_, log_, platform),
      programPath_(std::move(programPath)) {}

Engine::~Engine() {
    close();
    // A run closed from inside its own cycle leaves its timer's thread to end on its own; release it here.
    timer_.reset();
}

std::string Engine::programPath() const {
    return programPath_.empty() ? baseDirectory_ + std::string(keys::kFileName) : programPath_;
}

void Engine::recordEvent(std::string_view message) {
    events_.record(message, status_.passageSec.load(std::memory_order_relaxed),
                   status_.tick.load(std::memory_order_relaxed));
}

std::int32_t Engine::open() {
    // A run is active (or closing): never reload the tables under a running cycle or open a second board.
    if (board_.load(std::memory_order_acquire) != Board::kNone) {
        recordEvent(messages::kOpenFailed);
        return 0;
    }
    // A run that closed itself from inside its cycle lets that cycle run to its end after the board is
    // released: wait for it, so that nothing of the new run (state, board handle, event log) meets it.
    if (timer_) timer_->cancel();
    tracing::startFromEnvironment();
    status_.state.store(ZELK_STATE_OPENING, std::memory_order_relaxed);

    if (baseDirectory_.empty()) {
        std::string directory;
        if (!platform_.currentDirectory(directory) || directory.empty()) {
            trace(messages::kGetcwdFailed);
            recordEvent(messages::kCurrentDirectoryFailed);
            return 0;
        }
#ifdef _WIN32
        if (directory.back() != '\\' && directory.back() != '/') directory += '\\';
#else
        if (directory.back() != '/') directory += '/';
#endif
        baseDirectory_ = std::move(directory);
    }

    loadProgram(program_, ProgramFile(programPath()));
    log_.clear();

    if (!link_.findAndOpen()) {
        recordEvent(messages::kOpenFailed);
        status_.state.store(ZELK_STATE_CLOSED, std::memory_order_relaxed);
        return 0;
    }
    board_.store(Board::kHeld, std::memory_order_release);
    status_.state.store(ZELK_STATE_OPEN, std::memory_order_relaxed);

    timer_ = platform_.makeTimer();
    if (!startRun()) return 0; // a failed send closed the board; its "sendKaldex NG" stays in the log

    status_.state.store(ZELK_STATE_RUNNING, std::memory_order_relaxed);
    threadPublished_.lower();
    try {
        controlThread_ = std::thread(&Engine::controlThread, this);
    } catch (const std::system_error&) {
        // Not reported: the run stays open without cycles until it is closed.
        return 1;
    }
    threadPublished_.raise();
    return 1;
}

std::int32_t Engine::close() {
    return closeRun(true);
}

std::int32_t Engine::closeWithoutLogFile() {
    return closeRun(false);
}

std::int32_t Engine::closeRun(bool writeLog) {
    status_.state.store(ZELK_STATE_CLOSING, std::memory_order_relaxed);
    Board held = Board::kHeld;
    if (!board_.compare_exchange_strong(held, Board::kClosing, std::memory_order_acq_rel)) {
        // No board, or another close is at work: wait for it to finish, unless this is the cycle that the
        // other close is waiting for.
        while (!inCycle_ && board_.load(std::memory_order_acquire) == Board::kClosing)
            platform_.sleepMs(1);
        // After a close from inside the cycle, that cycle may still be finishing: once the console's close
        // returns, no cycle runs any more.
        if (!inCycle_ && timer_) timer_->cancel();
        status_.state.store(ZELK_STATE_CLOSED, std::memory_order_relaxed);
        return 0;
    }

    // End the control thread first, so a timer armed at the last moment is still cancelled below; then
    // cancel the timer (from inside the cycle this returns at once and no further cycle follows).
    stop_.raise();
    if (controlThread_.joinable()) controlThread_.join();
    if (timer_) timer_->cancel();

    link_.close();
    status_.state.store(ZELK_STATE_CLOSED, std::memory_order_relaxed);
    if (writeLog) writeLogFile();
    trace(messages::kCloseDone);
    board_.store(Board::kNone, std::memory_order_release);
    return 1;
}

void Engine::writeLogFile() {
    std::array<char, 256> name{};
    // No name, or an empty one: no log file is wanted.
    if (!ProgramFile(programPath()).readText(keys::kLogCsv, keys::kCsvFileName, name) || name[0] == '\0')
        return;
    std::string path;
    if (logFilePath(name.data(), path) && log_.writeFile(path.c_str())) return;
    trace(messages::kCsvOpenFailed);
    // The event log is what the console and zelkctl show: the run's rows lost must not go unseen.
    recordEvent(messages::kCsvOpenFailed);
}

void Engine::getCtlData(CtlData& data) const {
    data.state = status_.state.load(std::memory_order_relaxed);
    data.port0 = status_.port0.load(std::memory_order_relaxed);
    data.port1 = status_.port1.load(std::memory_order_relaxed);
    StartStamp start;
    events_.readStart(start);
    // The texts up to and including their NUL; the caller's bytes behind it stay as they were.
    std::memcpy(data.startDate, start.date, strnlen(start.date, sizeof start.date - 1) + 1);
    std::memcpy(data.startTime, start.time, strnlen(start.time, sizeof start.time - 1) + 1);
    data.passageSec = status_.passageSec.load(std::memory_order_relaxed);
    data.tick10ms = status_.echo.load(std::memory_order_relaxed);
    EventEntries entries;
    events_.read(entries);
    std::memcpy(data.events, entries.data(), sizeof data.events);
}

void Engine::putCtlData(const CtlRequest& request) {
    // The mask is stored before the request is marked pending; the cycle tests the mark first.
    toggleMask_.store(request.toggleMask, std::memory_order_relaxed);
    togglePending_.store(true, std::memory_order_release);
}

} // namespace zelk

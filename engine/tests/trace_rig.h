#pragma once
// For tests of the engine's trace: a board model whose failed reads are time-outs and that counts how often
// their reason is put into words, and a sink that collects the trace's lines.
#include "core/trace_sink.h"
#include "hid/failure_text.h"
#include "virtual_board/model_device.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace zelk::test {

class ReasonCountingDevice final : public vboard::ModelDevice {
public:
    ReasonCountingDevice(vboard::BoardModel& model, std::atomic<int>& described)
        : ModelDevice(model), described_(described) {}
    int read(std::uint8_t* buffer, std::size_t length, int timeoutMs) override {
        const int n = ModelDevice::read(buffer, length, timeoutMs);
        error_ = n < 0 ? hid::IoError{hid::IoFailure::TimedOut, 0} : hid::IoError{};
        return n;
    }
    hid::IoError lastError() const override { return error_; }
    void describeLastError(char* text, std::size_t size) const override {
        ++described_;
        hid::describeIoError(error_, text, size);
    }

private:
    std::atomic<int>& described_;
    hid::IoError error_;
};

// Starts the trace's sink into this collector; stops it again when the collector goes. The sink that
// ZELK_TRACE of the test's environment may name is started (and replaced) first: an open does that once.
class TraceLines {
public:
    TraceLines() {
        tracing::startFromEnvironment();
        tracing::start(&TraceLines::add, this);
    }
    ~TraceLines() { tracing::stop(); }
    TraceLines(const TraceLines&) = delete;
    TraceLines& operator=(const TraceLines&) = delete;

    // The lines written so far that hold part.
    std::vector<std::string> with(const std::string& part) const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> found;
        for (const std::string& line : lines_)
            if (line.find(part) != std::string::npos) found.push_back(line);
        return found;
    }

private:
    static void add(std::string_view line, void* self) {
        auto& lines = *static_cast<TraceLines*>(self);
        std::lock_guard lock(lines.mutex_);
        lines.lines_.emplace_back(line);
    }
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace zelk::test

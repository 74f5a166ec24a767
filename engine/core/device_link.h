#pragma once
// The link to the KALDEX board: find and open it, send commands, and read the input report that answers the
// last read request (the sequence-byte handshake).
#include "hid/board_protocol.h"
#include "hid/hid.h"
#include "hid/kaldex_board.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace zelk {

class Platform;

using hid::isKaldexBoard;

class DeviceLink {
public:
    // A board whose report lengths are outside hid::board's limits is skipped. Of the last accepted input
    // report the first kKeptReportBytes bytes are kept.
    static constexpr std::size_t kKeptReportBytes = 16;
    static constexpr int kReadAttempts = 8;
    // The read attempts of one cycle share this deadline, counted from the first attempt: the cycle keeps
    // its 10 ms period whatever the board does. An answer is normally queued long before the cycle reads it
    // (the read request went out at the end of the previous cycle).
    static constexpr int kReadDeadlineMs = 4;

    using Command = hid::board::Command;

    explicit DeviceLink(Platform& platform) : platform_(platform) {}

    bool isOpen() const { return board_ != nullptr; }
    // Opens the first board in enumeration order. False when none is found or a board is already open.
    bool findAndOpen();
    void close() { board_.reset(); }

    // Sends one output report; for a read request the tick becomes the expected sequence. False when the
    // write failed or no board is open.
    bool send(Command command, std::uint8_t value, std::uint8_t tick);
    // Up to eight attempts to read the report whose sequence byte is the expected one, all within the read
    // deadline: once it has passed, the attempts left fail at once. failedReads counts the attempts whose
    // read failed, those left at the deadline included. True when a report was accepted; otherwise the last
    // one stays in use.
    bool readInput(int& failedReads);

    const std::array<std::uint8_t, kKeptReportBytes>& lastReport() const { return lastReport_; }

private:
    using Deadline = std::chrono::steady_clock::time_point;
    using Report = std::array<std::uint8_t, hid::board::kMaxLinkReportLength>;
    // Reads one report, waiting no longer than the deadline.
    bool readReport(Report& buffer, Deadline deadline);
    // Sleeps 1 ms between attempts, unless that would pass the deadline.
    void pause(Deadline deadline);

    // The failure last traced of a kind of exchange (reads, writes): a reason is traced when it differs
    // from that one or kTraceRepeat has passed since, so a board that keeps failing the same way is traced
    // about once a second, not a hundred times.
    struct TracedFailure {
        bool traced = false;
        hid::IoError error;
        Deadline at;
    };
    static constexpr auto kTraceRepeat = std::chrono::seconds(1);
    // Traces message with the board's reason for the failure that just happened, while tracing is on.
    void traceFailure(std::string_view message, TracedFailure& last);

    Platform& platform_;
    std::unique_ptr<hid::Device> board_;
    hid::ReportLengths lengths_;
    std::uint8_t expectedSequence_ = 0;
    Report output_{};
    Report input_{};
    Report extra_{};
    std::array<std::uint8_t, kKeptReportBytes> lastReport_{};
    TracedFailure tracedRead_, tracedWrite_;
};

} // namespace zelk

#pragma once
// The KALDEX board's behaviour, without any I/O: two 8-bit ports, the answer to every output report, a record
// of the commands received, and fault injection for tests. Thread-safe: a server thread can answer reports
// while a test or the panel changes inputs and faults; its lock passes the answering thread's priority on to
// whoever holds it.
#include "hid/board_protocol.h"
#include "kaldex_config.h"
#include "virtual_board/pi_mutex.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace zelk::vboard {

inline constexpr std::uint16_t kDefaultProductId = 0x0100;

struct BoardConfig {
    std::uint16_t vendorId = kKaldexVendorId;
    std::uint16_t productId = kDefaultProductId;
    // Report lengths, the report ID byte included: hid::board::kMinReportLength..kMaxBoardReportLength.
    std::size_t inputLength = 9;
    std::size_t outputLength = 9;
    // How many arrival times of read requests (command 3) are kept, newest last.
    std::size_t readRequestLogCapacity = 4096;
};

// The input reports that answer one output report: one, or two when a stale answer goes first.
struct Answers {
    std::size_t count = 0;
    std::size_t length = 0; // bytes in each report: the input report length
    std::array<std::array<std::uint8_t, hid::board::kMaxBoardReportLength>, 2> reports{};
};

enum class ReportResult {
    Taken,   // the report was taken; answers holds 0 to 2 input reports to send back
    Ignored, // not of the output report length: dropped unseen
    Refused, // writes are refused (fault): the sender's write fails
};

class BoardModel {
public:
    using Clock = std::chrono::steady_clock;

    // Throws std::invalid_argument when a report length is out of range.
    explicit BoardModel(BoardConfig config = {});
    BoardModel(const BoardModel&) = delete;
    BoardModel& operator=(const BoardModel&) = delete;

    const BoardConfig& config() const { return config_; }

    // Takes one output report (report ID byte first) received at receivedAt. Every taken report is answered
    // by one input report (hid/board_protocol.h): the command, the port-0 input value and the output
    // report's sequence byte -- unless a fault changes that. Command 1 sets the port-0 output value, command
    // 2 the port-1 output value; every command is counted.
    ReportResult takeOutputReport(const std::uint8_t* report, std::size_t length, Answers& answers,
                                  Clock::time_point receivedAt = Clock::now());

    // Ports. A bit value of 0 means energized. At power-on every value is 0xFF.
    void setPort0Input(std::uint8_t value);
    void setPin(int pin, bool energized); // port-0 input pin 0..7
    std::uint8_t port0Input() const;
    std::uint8_t port0Output() const; // the value of the last command 1
    std::uint8_t port1Output() const; // the value of the last command 2

    // Record of the output reports taken (refused and ignored ones are not counted).
    std::uint64_t commandCount(std::uint8_t command) const;
    std::uint64_t reportCount() const;
    // Arrival times of the latest read requests (command 3), oldest first.
    std::vector<Clock::time_point> readRequestTimes() const;
    void clearRecord();

    // Fault injection. Counted faults apply to the next answers, in this order per output report: refused
    // writes, silence, dropping, then an inserted stale answer, then a stale sequence byte. A stale sequence
    // byte is byte 3 of the output report with its top bit flipped, so it never equals the byte asked for.
    void dropAnswers(unsigned count);        // the next count answers are not sent
    void staleAnswers(unsigned count);       // the next count answers carry a stale sequence byte
    void insertStaleAnswers(unsigned count); // the next count answers are preceded by an extra stale answer
    void setSilent(bool silent);             // no answers at all while set: every read times out
    void setRefuseWrites(bool refuse);       // output reports are refused while set: writes fail
    void setAnswerDelay(std::chrono::milliseconds delay); // answers go out this late (socket server only)
    void disconnect();                                    // the current connection ends, as when unplugged
    void clearFaults();                                   // counted faults, silence, refusal and delay

    bool refusesWrites() const;
    std::chrono::milliseconds answerDelay() const;
    // Grows by one with each disconnect(); a connection made at generation g ends once it differs from g.
    std::uint64_t disconnectGeneration() const;

    // Listeners, set before the board is served; called without the model's lock, on the thread that
    // caused the change. The port-1 listener hears each change of the port-1 output value, on the answering
    // thread: it must not block (see Port1Relay); the fault listener hears every fault change (the socket
    // server wakes up on it).
    void setPort1Listener(std::function<void(std::uint8_t)> listener);
    void setFaultListener(std::function<void()> listener);

private:
    void faultsChanged();
    // Changes fault settings under the lock, then tells the fault listener.
    template <typename Change>
    void changeFaults(Change&& change) {
        {
            std::lock_guard lock(mutex_);
            change();
        }
        faultsChanged();
    }

    const BoardConfig config_;
    mutable PiMutex mutex_; // the answering thread may be real-time; the panel's is not
    std::uint8_t port0Input_ = 0xFF;
    std::uint8_t port0Output_ = 0xFF;
    std::uint8_t port1Output_ = 0xFF;
    std::array<std::uint64_t, 256> commandCounts_{};
    std::uint64_t reportCount_ = 0;
    std::vector<Clock::time_point> readRequestRing_; // capacity fixed at construction
    std::size_t ringNext_ = 0;
    std::size_t ringSize_ = 0;
    unsigned dropCount_ = 0;
    unsigned staleCount_ = 0;
    unsigned insertStaleCount_ = 0;
    bool silent_ = false;
    bool refuseWrites_ = false;
    std::chrono::milliseconds answerDelay_{0};
    std::uint64_t disconnectGeneration_ = 0;
    std::function<void(std::uint8_t)> port1Listener_;
    std::function<void()> faultListener_;
};

} // namespace zelk::vboard

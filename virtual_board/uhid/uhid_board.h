#pragma once
// The board as the kernel's UHID driver sees it: the device it asks the kernel to create (report
// descriptor, identity) and the answer to each event the kernel sends, without the /dev/uhid descriptor,
// so that all of it runs in tests without a kernel device.
#include "virtual_board/board_model.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <linux/uhid.h>
#include <vector>

namespace zelk::vboard {

// A vendor-defined usage page with one input and one output report of the board's lengths (less the report
// ID byte), no report IDs: the device link then reads the same lengths from the kernel's copy.
std::vector<std::uint8_t> uhidReportDescriptor(const BoardConfig& config);

// The request that makes the kernel create the board: a USB device of the board's vendor and product ID
// with the descriptor above. phys tells this board's HID device apart from others in sysfs (HID_PHYS).
uhid_event uhidCreateEvent(const BoardConfig& config, const char* phys);
uhid_event uhidDestroyEvent();

// Events to write back to the kernel for one event read from it: an output report's answers, or the reply
// to a report request.
struct UhidReplies {
    std::size_t count = 0;
    std::array<uhid_event, 2> events{};
};

// What the person is told about, from the answering thread: a program opened the board's node (the first
// open), or the last one closed it, with the read requests of the time it was open.
struct UhidNotice {
    enum class Kind : std::uint8_t { None, Opened, Closed };
    Kind kind = Kind::None;
    std::uint64_t readRequests = 0;
    std::chrono::nanoseconds firstToLast{0}; // from the first read request to the last
    std::chrono::nanoseconds longestGap{0};  // the longest time between two read requests
};

class UhidBoard {
public:
    using Clock = BoardModel::Clock;

    explicit UhidBoard(BoardModel& model) : model_(model) {}

    // Handles one event from the kernel, received at receivedAt. An output report goes to the model with its
    // report ID byte, which the kernel hands on first; each answer becomes an input report without it. A
    // feature or input report request is refused (the board has none). Allocates nothing.
    UhidNotice handle(const uhid_event& event, UhidReplies& replies, Clock::time_point receivedAt);

private:
    void takeOutput(const uhid_output_req& output, UhidReplies& replies, Clock::time_point receivedAt);

    BoardModel& model_;
    Answers answers_;
    std::uint64_t readRequests_ = 0;
    Clock::time_point firstRequest_{};
    Clock::time_point lastRequest_{};
    Clock::duration longestGap_{0};
};

} // namespace zelk::vboard

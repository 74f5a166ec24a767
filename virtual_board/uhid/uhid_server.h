#pragma once
// Serves one board model through the kernel's UHID driver (/dev/uhid): the kernel makes it a HID device with
// a hidraw node, as if a board were plugged in, and the board answers each output report on a thread of its
// own. That thread does all I/O on /dev/uhid; plugging in and out is asked of it, so nothing another thread
// does can delay an answer beyond the model's lock.
#include "virtual_board/board_model.h"
#include "virtual_board/event_relay.h"
#include "virtual_board/uhid/uhid_board.h"

#include "hid/unique_fd.h"

#include <atomic>
#include <string>
#include <thread>

namespace zelk::vboard {

// What the answering thread reports: UhidBoard's notices, and the board plugged in or out.
struct UhidServerNotice {
    enum class Kind : std::uint8_t {
        Board,
        Plugged,
        Unplugged,
        PlugFailed, // the kernel refused to create the device again (errorNumber)
        Failed,     // /dev/uhid failed (errorNumber): the board is gone and answers no more
    };
    Kind kind = Kind::Board;
    UhidNotice board; // for Board
    int errorNumber = 0;
};

using UhidNotices = EventRelay<UhidServerNotice, 256>;

class UhidServer {
public:
    static constexpr const char* kDevicePath = "/dev/uhid";

    UhidServer(BoardModel& model, UhidNotices& notices);
    ~UhidServer();
    UhidServer(const UhidServer&) = delete;
    UhidServer& operator=(const UhidServer&) = delete;

    // Opens /dev/uhid. False with the errno in errorNumber when it cannot be opened.
    bool open(int& errorNumber);
    // Plugs the board in (the kernel creates the device) and starts answering. False with the errno in
    // errorNumber when the kernel refuses the device.
    bool start(int& errorNumber);
    // Unplugs the board (the kernel removes the device), stops answering and closes /dev/uhid.
    void stop();

    // Ask the answering thread to plug the board out or in again; its notices tell when it is done.
    void unplug();
    void plug();

    // The board's HID device in sysfs is told apart from others by this text (its HID_PHYS).
    const std::string& phys() const { return phys_; }
    // Why the answering thread runs at normal priority, or an empty text.
    const std::string& realtimeRefusal() const { return realtimeRefusal_; }

private:
    void serve();
    bool write(const uhid_event& event);
    void wake();

    BoardModel& model_;
    UhidNotices& notices_;
    UhidBoard board_;
    std::string phys_;
    hid::UniqueFd uhid_;
    hid::UniqueFd wake_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> wantPlugged_{true};
    bool plugged_ = false; // the answering thread's own
    std::string realtimeRefusal_;
    uhid_event event_{};
    UhidReplies replies_;
};

} // namespace zelk::vboard

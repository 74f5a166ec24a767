#pragma once
// kaldex-uhid's command line, its input commands, its exit statuses and what it prints.
#include "virtual_board/board_model.h"
#include "virtual_board/sim_cli.h"
#include "virtual_board/uhid/uhid_board.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::vboard {

enum UhidStatus {
    kUhidEnded = 0,       // ended as asked: a stop signal, or the end of standard input
    kUhidFailed = 1,      // the kernel refused the board, or /dev/uhid failed while it was served
    kUhidUsage = 2,       // bad command line (as kaldex-sim)
    kUhidUnavailable = 3, // /dev/uhid cannot be opened: no uhid module, or no permission
};

struct UhidOptions {
    BoardConfig board;
    bool stay = false; // keep running at the end of standard input
    bool help = false;
};

std::string uhidUsage();

// Parses the arguments after the program name. Returns nullopt with a message in error on a bad argument.
// Any vendor and product ID is taken: a device that the device link must leave alone is a test case too.
std::optional<UhidOptions> parseUhidOptions(const std::vector<std::string>& args, std::string& error);

// Why /dev/uhid cannot be opened, and what to do about it.
std::string uhidOpenFailure(int errorNumber);

// The line printed when a program closed the board, with the read requests it sent meanwhile.
std::string closedText(const UhidNotice& closed);

// The hidraw node of the HID device whose HID_PHYS is phys, as /dev/NAME; empty while there is none. sysRoot
// is the sysfs mount point.
std::string findHidrawNode(const std::string& phys, const std::string& sysRoot = "/sys");

} // namespace zelk::vboard

#pragma once
// Why no board could be opened, for the person at the console or the command line. The engine reports only
// that its open failed; its front ends then ask the devices themselves, as the engine searched them, and
// word the reason each in its own language.
#include "hid/hid.h"

#include <string>

namespace zelk::hid {

enum class BoardProblem : std::uint8_t {
    NoBoard,      // no KALDEX board among the HID devices, and no virtual board in the board folder
    InUse,        // the board is held by another program
    NoPermission, // the user may not open the board's device node (see kBoardGroup)
    NoAnswer,     // the board was reached but did not identify itself in time
    OpenFailed,   // the board cannot be opened for another reason (systemText, when there is one)
    Opens,        // the board opened when checked again: it was busy for a moment, or came since
};

struct BoardCheck {
    BoardProblem problem = BoardProblem::NoBoard;
    std::string path;           // the board's device path; empty for NoBoard
    std::string systemText;     // the system's text for the error number, where there is one
    std::string boardDirectory; // the virtual boards' folder that was looked in
};

// The group that the installed udev rule (70-kaldex.rules) gives the boards' hidraw nodes: its members may
// open them.
inline constexpr const char* kBoardGroup = "zelk";
inline constexpr const char* kUdevRuleFile = "70-kaldex.rules";

// Enumerates the devices of backend and tries to open each that is or may be a board (a device whose
// listed IDs are another maker's is left alone), closing again what opens. The first board in enumeration
// order that cannot be opened names the problem; a device whose IDs are unknown before it is opened counts
// only when its backend says it is in use, forbidden or silent. boardDirectory is the virtual boards'
// folder that backend looks in, for the text.
BoardCheck checkBoards(Backend& backend, std::string boardDirectory);

// checkBoards over the devices the engine library searches: real boards and the virtual boards of the
// calling user's board folder.
BoardCheck checkSystemBoards();

} // namespace zelk::hid

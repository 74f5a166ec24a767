#pragma once
// The KALDEX board's reports: what an output report (a command) and the input report that answers it hold,
// byte by byte. The device link writes commands and reads answers with it; a board model (the virtual board,
// a kernel-level board) reads commands and writes answers with it. Report buffers hold the report ID byte
// first, and every length here counts it.
#include <cstddef>
#include <cstdint>
#include <span>

namespace zelk::hid::board {

// The commands an output report carries in its command byte.
enum Command : std::uint8_t {
    kSetPort0 = 1, // the value is port 0's output value (0xFF: no pin driven, all of port 0 reads as input)
    kSetPort1 = 2, // the value is port 1's output value
    kReadRequest = 3, // asks for an input report; the sequence byte comes back in the answer
};

// Byte offsets, in an output report and in the input report answering it alike. Byte 0 is the report ID.
inline constexpr std::size_t kReportIdByte = 0;
inline constexpr std::size_t kCommandByte = 1;  // the command, echoed in the answer
inline constexpr std::size_t kValueByte = 2;    // output: the command's value; input: the port-0 input value
inline constexpr std::size_t kSequenceByte = 3; // output: the sequence of a read request; input: its echo

// Length limits. A report shorter than kMinReportLength cannot hold the command, value and sequence bytes.
// The device link provides for reports of at most kMaxLinkReportLength: 64 data bytes, the largest
// interrupt report of a full-speed device, and the report ID. A virtual board announces its lengths in one
// byte each (the hello), so it serves at most kMaxBoardReportLength.
inline constexpr std::size_t kMinReportLength = 4;
inline constexpr std::size_t kMaxLinkReportLength = 65;
inline constexpr std::size_t kMaxBoardReportLength = 255;

// The filler of an output report. The board reads only the command, value and sequence bytes; bytes 4 to 7
// carry their own offset (0x04 to 0x07) and every byte from 8 on is 0. The filler is fixed, so one command
// always goes out as the same bytes whatever the buffer held before, and a look at the wire shows where the
// bytes in use end. Boards are built against exactly these reports: the filler stays as it is.
inline constexpr std::size_t kFillerFirstByte = 4;
inline constexpr std::size_t kFillerEndByte = 8; // one past the last byte that carries its offset

struct OutputReport {
    std::uint8_t command = 0; // a Command, or whatever a sender put there
    std::uint8_t value = 0;
    std::uint8_t sequence = 0;
};

// An input report as the engine reads it: the command answered, the port-0 input value (a bit at 0 is an
// energized pin) and the sequence byte of the read request answered.
struct InputReport {
    std::uint8_t command = 0;
    std::uint8_t port0 = 0;
    std::uint8_t sequence = 0;
};

// Writes one output report over the whole of report (at least kMinReportLength bytes): report ID 0, the
// command and value, the sequence for a read request and 0 for any other command, then the filler.
constexpr void encodeOutputReport(std::span<std::uint8_t> report, const OutputReport& fields) {
    for (std::size_t i = 0; i < report.size(); ++i)
        report[i] = i >= kFillerFirstByte && i < kFillerEndByte ? static_cast<std::uint8_t>(i) : 0;
    report[kCommandByte] = fields.command;
    report[kValueByte] = fields.value;
    report[kSequenceByte] = fields.command == kReadRequest ? fields.sequence : 0;
}

// Reads the fields of an output report of at least kMinReportLength bytes; the filler is not looked at.
constexpr OutputReport decodeOutputReport(std::span<const std::uint8_t> report) {
    return {report[kCommandByte], report[kValueByte], report[kSequenceByte]};
}

// Writes the input report answering a command over the whole of report (at least kMinReportLength bytes):
// report ID 0, the fields, and 0 in every further byte.
constexpr void encodeInputReport(std::span<std::uint8_t> report, const InputReport& fields) {
    for (std::uint8_t& byte : report)
        byte = 0;
    report[kCommandByte] = fields.command;
    report[kValueByte] = fields.port0;
    report[kSequenceByte] = fields.sequence;
}

// Reads the fields of an input report of at least kMinReportLength bytes.
constexpr InputReport decodeInputReport(std::span<const std::uint8_t> report) {
    return {report[kCommandByte], report[kValueByte], report[kSequenceByte]};
}

// Whether the input report that answered the expected read request is to be followed by one more read, whose
// report is then used instead, unchecked. A port-0 value of 0 says every input is energized at once, and it
// is also what a blank report reads as (a report buffer the board never filled, as the engine's own before
// the first answer), so it is not taken on its own: the next report the board queued is. When that read
// fails, the report that matched stays in use.
constexpr bool readsOneMore(const InputReport& matched) {
    return matched.port0 == 0;
}

} // namespace zelk::hid::board

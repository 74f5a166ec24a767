#pragma once
// The rules of a logic program: the block runner with its condition chain, the evaluation of one line's
// condition, the system variables, and the five actions.
#include "core/loaded_program.h"
#include "core/status.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace zelk {

class EventLog;
class LogBuffer;
class Platform;

// Room for the text of one "LOG " or "CLIP" row: seven items of at most 12 bytes and six TABs stay within
// 90 bytes; the clipboard block is 128 bytes with its NUL.
using RowBuffer = std::array<char, 128>;

class Rules {
public:
    Rules(Program& program, const PortHistory& port0, const PortHistory& port1, const Status& status,
          EventLog& events, LogBuffer& log, Platform& platform)
        : program_(program), port0_(port0), port1_(port1), status_(status), events_(events), log_(log),
          platform_(platform) {}

    // Runs the decoded lines of a block in order, starting from the given port-1 output; returns the new
    // output.
    std::uint8_t runBlock(const Block& block, std::uint8_t output);

    // One line outside a block, decoded on the spot.
    // True when the line's condition (object, comparison, value) holds.
    bool evaluateCondition(const LineRecord& line) const;
    // Performs the line's action on the output byte.
    void performAction(const LineRecord& line, std::uint8_t& output);
    // The row text of a "LOG " or "CLIP" line, NUL-terminated in row.
    std::string_view buildRow(const LineRecord& line, RowBuffer& row) const;

    // The value of a system variable named by its 12-byte code; false (value unchanged) for an unknown name.
    bool systemVariable(std::string_view name, std::int32_t& value) const;

private:
    bool holds(const DecodedLine& line) const;
    void act(const DecodedLine& line, const LineRecord& record, std::uint8_t& output);
    // The row of a decoded line; a constant item's text is taken from its record.
    std::string_view buildRow(const DecodedLine& line, const LineRecord& record, RowBuffer& row) const;
    std::int32_t conditionOperand(const DecodedOperand& operand, Group group) const;
    const PortHistory* history(int port) const;
    std::int32_t calculate(const DecodedLine& line) const;
    std::int32_t detailOperand(const DecodedOperand& operand) const;
    std::int32_t variableValue(std::int32_t number) const;
    std::int32_t systemValue(SystemVariable variable) const;

    Program& program_;
    const PortHistory& port0_;
    const PortHistory& port1_;
    const Status& status_;
    EventLog& events_;
    LogBuffer& log_;
    Platform& platform_;
};

} // namespace zelk

#pragma once
// The rules of a logic program: the block runner with its condition chain, the evaluation of one line's
// condition, the system variables, and the five actions.
#include "program.h"
#include "status.h"

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

    // Runs the lines of a block in order, starting from the given port-1 output; returns the new output.
    std::uint8_t runBlock(const Block& block, std::uint8_t output);
    // True when the line's condition (object, comparison, value) holds.
    bool evaluateCondition(const LineRecord& line) const;
    // Performs the line's action on the output byte.
    void performAction(const LineRecord& line, std::uint8_t& output);
    // The value of a system variable; false (value unchanged) for an unknown name.
    bool systemVariable(std::string_view name, std::int32_t& value) const;
    // The row text of a "LOG " or "CLIP" line, NUL-terminated in row.
    std::string_view buildRow(const LineRecord& line, RowBuffer& row) const;

private:
    std::int32_t conditionOperand(const LineRecord& line, Group group) const;
    const PortHistory* history(int port) const;
    std::int32_t calculate(const LineRecord& line) const;
    std::int32_t detailOperand(const LineRecord& line, Group group) const;
    std::int32_t variableValue(std::string_view numberField) const;

    Program& program_;
    const PortHistory& port0_;
    const PortHistory& port1_;
    const Status& status_;
    EventLog& events_;
    LogBuffer& log_;
    Platform& platform_;
};

} // namespace zelk

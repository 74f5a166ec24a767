#pragma once
// A test script for a logic program: input changes and expectations at times from the start of a run, and
// the run's length. One statement per line, the time first:
//
//   start press 2                     input pin 2 energized as the run starts: the first cycle reads it
//   100 press 0                       input pin 0 energized (also: release N, port0 VALUE)
//   150 expect out 0 on               output pin 0 energized after the cycle at 150 ms
//   100..500 expect var 1 = 1         holds after at least one cycle of the window
//   0..900 expect always port1 = 0x0F holds after every cycle of the window
//   1000..1100 expect log "row\t1"    a LOG row with this text in the window
//   run 2000                          the run lasts 2000 ms (200 cycles)
//
// '#' starts a comment outside quotes. Times are milliseconds (or with a unit: ms, s, min, h) and fall on
// the 10 ms cycle grid; the cycle at time T is cycle T / 10.
#include "virtual_board/sim_cli.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::vtest {

inline constexpr std::int64_t kCycleMs = 10;
// The cycle of an input change written "start PRESS...": made before the run starts, so the first cycle
// reads it.
inline constexpr std::int64_t kStartCycle = -1;

struct InputStep {
    std::int64_t cycle = 0;
    vboard::InputCommand command;
};

enum class Subject { Port1, OutputPin, Variable, LogRow, Clipboard };
enum class Relation { Eq, Ne, Lt, Gt, Le, Ge };
enum class Mode { At, Within, Always };

struct Expectation {
    int line = 0; // in the script, from 1
    Mode mode = Mode::At;
    std::int64_t first = 0, last = 0; // the window, in cycles
    Subject subject = Subject::Port1;
    Relation relation = Relation::Eq;
    int index = -1;         // output pin 0..3, or variable number; -1: variable given by name
    std::string name;       // variable name as written (UTF-8)
    std::int32_t value = 0; // port-1 value, pin energized (1) or not (0), variable value
    std::string text;       // LOG row or clipboard text, code page 932
    std::string wording;    // the expectation as written, for messages
};

struct Script {
    std::vector<InputStep> inputs;         // by cycle; equal cycles in script order
    std::vector<Expectation> expectations; // by first cycle; equal cycles in script order
    std::int64_t cycles = 0;               // the run's length
};

struct ScriptError {
    int line = 0; // 0: not tied to a line
    std::string message;
};

// Parses a script (UTF-8). Returns nullopt with the first error on a bad script.
std::optional<Script> parseScript(std::string_view text, ScriptError& error);

bool compare(Relation relation, std::int32_t seen, std::int32_t expected);

// The words of a script line, shared with the other languages in its style.
struct Token {
    std::string text;
    bool quoted = false;
};
// Splits a line into words and quoted texts ("..." with \" \\ \t escapes); '#' outside quotes ends it.
bool tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error);
// A decimal number, or hexadecimal with 0x; a sign is allowed where signed is set.
std::optional<std::int64_t> parseInteger(std::string_view text, bool isSigned);
// "=", "<>" (or "!="), "<", ">", "<=", ">=".
std::optional<Relation> parseRelation(std::string_view text);
// How a script writes the relation: "=", "<>", "<", ">", "<=", ">=".
std::string_view relationText(Relation relation);

} // namespace zelk::vtest

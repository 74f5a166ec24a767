#pragma once
// A control run in virtual time: the engine's own open, cycle and close, with the board replaced by the
// in-process board model, the 10 ms timer by a loop that calls the cycle, and the clipboard by a capture.
// The script's input changes go to the board's pins before the cycle at their time; expectations are checked
// after each cycle. Nothing sleeps, and the program's log file is left alone.
#include "cli/virtual_test/script.h"
#include "core/engine.h"
#include "virtual_board/board_model.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::vtest {

// What one cycle left behind.
struct CycleView {
    std::int64_t cycle = 0;
    std::uint8_t port0 = 0xFF;          // as the cycle read it
    std::uint8_t port1 = 0x0F;          // as the cycle set it
    std::uint64_t changedVariables = 0; // bit n: variable n changed in this cycle
    std::string_view rows;              // the LOG rows of this cycle, each followed by LF (code page 932)
    bool clipboardChanged = false;
    std::string_view clipboard; // the text last put on the clipboard (code page 932)
};

class CycleListener {
public:
    virtual ~CycleListener() = default;
    virtual void cycleDone(const CycleView& view, const Program& program) = 0;
};

struct Outcome {
    bool held = false;
    std::int64_t cycle = 0; // where it was decided: the cycle it held or failed at
    std::string seen;       // for a failure: what was seen there (UTF-8)
};

// The number of the first of the program's variables with this name (UTF-8, compared without the padding
// of the stored name), or -1.
int variableNumber(const Program& program, std::string_view name);

class VirtualRun {
public:
    explicit VirtualRun(std::string programPath);
    ~VirtualRun();
    VirtualRun(const VirtualRun&) = delete;
    VirtualRun& operator=(const VirtualRun&) = delete;

    // Makes the input changes of the start (those of kStartCycle among inputs), loads the program and starts
    // the run. False with a message when the program file cannot be read or the engine does not start.
    bool open(std::string& error, std::span<const InputStep> inputs = {});
    // The loaded program; it may be changed before run().
    Program& program() { return engine_->program(); }

    // Turns the variable names of the expectations into numbers and checks them against the program's
    // variables. False with the line of a variable the program does not have.
    bool bindVariables(Script& script, ScriptError& error) const;
    // Runs every cycle of the script (its variables bound), then ends the run. One outcome per expectation,
    // in the script's order of expectations.
    std::vector<Outcome> run(const Script& script, std::span<CycleListener* const> listeners = {});

    const vboard::BoardModel& board() const { return board_; }

private:
    class Platform;

    std::string programPath_;
    vboard::BoardModel board_;
    std::unique_ptr<Platform> platform_;
    std::unique_ptr<Engine> engine_;
};

} // namespace zelk::vtest

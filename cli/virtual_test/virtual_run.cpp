#include "cli/virtual_test/virtual_run.h"

#include "cli/virtual_test/script_files.h"
#include "cli/virtual_test/text.h"
#include "codepage/codepage.h"
#include "core/engine_platform.h"
#include "virtual_board/model_device.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace zelk::vtest {

namespace {

// The run's clock is the cycle loop: the timer only has to accept its start.
class IdleTimer final : public timer::PeriodicTimer {
public:
    bool start(int, Callback, void*) override { return true; }
    void cancel() override {}
};

std::string_view trimmedName(const VarEntry& variable) {
    std::string_view name(variable.name);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    return name;
}

} // namespace

class VirtualRun::Platform final : public zelk::Platform {
public:
    explicit Platform(vboard::BoardModel& board) { devices_.addBoard("virtual", board); }
    hid::Backend& devices() override { return devices_; }
    std::unique_ptr<timer::PeriodicTimer> makeTimer() override { return std::make_unique<IdleTimer>(); }
    LocalTime now() override { return {2000, 1, 1, 0, 0, 0}; }
    // Virtual time: a sleep passes at once, and the cycle loop moves the clock to each cycle's start (the
    // sleeps inside a cycle stay well within its 10 ms, so the clock never goes back).
    void sleepMs(int milliseconds) override { elapsed_ += std::chrono::milliseconds(milliseconds); }
    std::chrono::steady_clock::time_point steadyNow() override {
        return std::chrono::steady_clock::time_point{} + elapsed_;
    }
    void startCycle(std::int64_t cycle) {
        if (cycle == 0) runStart_ = elapsed_;
        elapsed_ = runStart_ + std::chrono::milliseconds(cycle * kCycleMs);
    }
    bool currentDirectory(std::string& directory) override {
        std::error_code error;
        directory = std::filesystem::current_path(error).string();
        return !error;
    }
    void putClipboard(const char* text) override {
        const std::size_t n = strnlen(text, clipboard_.size() - 1);
        std::memcpy(clipboard_.data(), text, n);
        clipboardLength_ = n;
        clipboardChanged_ = true;
    }

    // The clipboard text, and whether it was put since the last call.
    std::string_view takeClipboard(bool& changed) {
        changed = clipboardChanged_;
        clipboardChanged_ = false;
        return {clipboard_.data(), clipboardLength_};
    }

private:
    vboard::ModelBackend devices_;
    std::chrono::milliseconds elapsed_{0}, runStart_{0};
    std::array<char, 128> clipboard_{};
    std::size_t clipboardLength_ = 0;
    bool clipboardChanged_ = false;
};

VirtualRun::VirtualRun(std::string programPath)
    : programPath_(std::move(programPath)), platform_(std::make_unique<Platform>(board_)),
      engine_(std::make_unique<Engine>(*platform_, programPath_)) {}

VirtualRun::~VirtualRun() {
    engine_->closeWithoutLogFile();
}

bool VirtualRun::open(std::string& error, std::span<const InputStep> inputs) {
    for (const InputStep& step : inputs)
        if (step.cycle == kStartCycle) vboard::applyInput(board_, step.command);
    if (const std::string why = whyUnreadable(programPath_); !why.empty()) {
        error = "cannot read the program " + programPath_ + ": it " + why;
        return false;
    }
    if (engine_->open() != 1) {
        error = "the engine did not start the run";
        return false;
    }
    return true;
}

int variableNumber(const Program& program, std::string_view name) {
    const std::string wanted = codepage::toCp932(name);
    const int count = std::clamp<std::int32_t>(program.variableCount, 0, kVariableCount);
    for (int i = 0; i < count; ++i)
        if (trimmedName(program.variables[i]) == wanted) return i;
    return -1;
}

bool VirtualRun::bindVariables(Script& script, ScriptError& error) const {
    const Program& program = engine_->program();
    const int count = std::clamp<std::int32_t>(program.variableCount, 0, kVariableCount);
    for (Expectation& e : script.expectations) {
        if (e.subject != Subject::Variable) continue;
        if (e.index < 0) {
            e.index = variableNumber(program, e.name);
            if (e.index < 0) {
                error = {e.line, "the program has no variable named " + shownUtf8(e.name)};
                return false;
            }
        } else if (e.index >= count) {
            error = {e.line, "the program has " + std::to_string(count) + " variables: no variable " +
                                 std::to_string(e.index)};
            return false;
        }
    }
    return true;
}

namespace {

// A variable's value; 0 for a number outside the table (a name left unbound).
std::int32_t variableValue(const Program& program, int index) {
    const VarEntry* variable = program.variable(index);
    return variable != nullptr ? variable->value : 0;
}

bool hasRow(std::string_view rows, std::string_view text, std::string_view* last) {
    bool found = false;
    while (!rows.empty()) {
        const std::size_t end = rows.find('\n');
        const std::string_view row = rows.substr(0, end);
        rows.remove_prefix(end + 1);
        if (last != nullptr) *last = row;
        found = found || row == text;
    }
    return found;
}

bool holds(const Expectation& e, const CycleView& view, const Program& program, std::string_view* lastRow) {
    switch (e.subject) {
    case Subject::Port1:
        return compare(e.relation, view.port1, e.value);
    case Subject::OutputPin:
        return ((view.port1 >> e.index & 1) == 0) == (e.value != 0);
    case Subject::Variable:
        return compare(e.relation, variableValue(program, e.index), e.value);
    case Subject::LogRow:
        return hasRow(view.rows, e.text, lastRow);
    case Subject::Clipboard:
        return view.clipboard == e.text;
    }
    return false;
}

std::string seen(const Expectation& e, const CycleView& view, const Program& program,
                 std::string_view lastRow) {
    char hex[8];
    switch (e.subject) {
    case Subject::Port1:
        std::snprintf(hex, sizeof hex, "0x%02X", view.port1);
        return hex;
    case Subject::OutputPin:
        return (view.port1 >> e.index & 1) == 0 ? "on" : "off";
    case Subject::Variable:
        return std::to_string(variableValue(program, e.index));
    case Subject::LogRow:
        if (lastRow.data() == nullptr) return "no LOG row";
        return "no such row; the last one: " + quoted(lastRow);
    case Subject::Clipboard:
        return view.clipboard.empty() ? "no clipboard text" : quoted(view.clipboard);
    }
    return {};
}

} // namespace

std::vector<Outcome> VirtualRun::run(const Script& script, std::span<CycleListener* const> listeners) {
    const Program& program = engine_->program();
    const Status& status = engine_->status();
    const int variables = std::clamp<std::int32_t>(program.variableCount, 0, kVariableCount);
    std::array<std::int32_t, kVariableCount> values{};
    for (int i = 0; i < variables; ++i)
        values[i] = program.variables[i].value;

    struct Active {
        std::size_t index;
        std::string_view lastRow; // the last LOG row of the window so far (inside the log buffer)
    };
    std::vector<Outcome> outcomes(script.expectations.size());
    std::vector<Active> active;
    active.reserve(script.expectations.size());
    std::size_t nextExpectation = 0;
    std::size_t nextInput = 0;
    while (nextInput < script.inputs.size() && script.inputs[nextInput].cycle == kStartCycle)
        ++nextInput; // made by open()
    std::size_t logFill = engine_->logBuffer().contents().size();

    for (std::int64_t cycle = 0; cycle < script.cycles; ++cycle) {
        for (; nextInput < script.inputs.size() && script.inputs[nextInput].cycle == cycle; ++nextInput)
            vboard::applyInput(board_, script.inputs[nextInput].command);

        platform_->startCycle(cycle);
        engine_->cycle();

        CycleView view;
        view.cycle = cycle;
        view.port0 = status.port0.load(std::memory_order_relaxed);
        view.port1 = status.port1.load(std::memory_order_relaxed);
        for (int i = 0; i < variables; ++i) {
            if (program.variables[i].value == values[i]) continue;
            values[i] = program.variables[i].value;
            view.changedVariables |= std::uint64_t{1} << i;
        }
        const std::string_view log = engine_->logBuffer().contents();
        view.rows = log.substr(logFill);
        logFill = log.size();
        view.clipboard = platform_->takeClipboard(view.clipboardChanged);
        for (CycleListener* listener : listeners)
            listener->cycleDone(view, program);

        for (; nextExpectation < script.expectations.size() &&
               script.expectations[nextExpectation].first == cycle;
             ++nextExpectation)
            active.push_back({nextExpectation, {}});
        for (std::size_t a = 0; a < active.size();) {
            const Expectation& e = script.expectations[active[a].index];
            const bool held = holds(e, view, program, &active[a].lastRow);
            const bool decided = e.mode == Mode::At || cycle == e.last || (e.mode == Mode::Within && held) ||
                                 (e.mode == Mode::Always && !held);
            if (!decided) {
                ++a;
                continue;
            }
            Outcome& outcome = outcomes[active[a].index];
            outcome.held = held;
            outcome.cycle = cycle;
            if (!held) outcome.seen = seen(e, view, program, active[a].lastRow);
            active[a] = active.back();
            active.pop_back();
        }
    }
    engine_->closeWithoutLogFile();
    return outcomes;
}

} // namespace zelk::vtest

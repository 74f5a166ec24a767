#include "cli/prove/counterexample.h"

#include "cli/virtual_test/script.h"
#include "cli/virtual_test/virtual_run.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace zelk::prove {

namespace {

using vtest::Relation;

// What a cycle left behind, as a property speaks of it.
struct Observed {
    std::uint8_t port0 = 0xFF;
    std::uint8_t port1 = 0x0F;
    std::array<std::int32_t, kVariableCount> variables{};
};

class Recorder final : public vtest::CycleListener {
public:
    void cycleDone(const vtest::CycleView& view, const Program& program) override {
        Observed seen{view.port0, view.port1, {}};
        for (int n = 0; n < kVariableCount; ++n)
            seen.variables[static_cast<std::size_t>(n)] =
                program.variables[static_cast<std::size_t>(n)].value;
        cycles.push_back(seen);
    }
    std::vector<Observed> cycles;
};

bool energized(std::uint8_t port, int pin) {
    return (port >> pin & 1) == 0;
}

bool pinHolds(PinTest test, std::uint8_t now, std::uint8_t before, int pin) {
    switch (test) {
    case PinTest::On:
        return energized(now, pin);
    case PinTest::Off:
        return !energized(now, pin);
    case PinTest::Rises:
        return energized(now, pin) && !energized(before, pin);
    case PinTest::Falls:
        return !energized(now, pin) && energized(before, pin);
    }
    return false;
}

bool holds(const Atom& a, const Observed& now, const Observed& before) {
    bool result = false;
    switch (a.subject) {
    case Subject::InputPin:
        result = pinHolds(a.pin, now.port0, before.port0, a.index);
        break;
    case Subject::OutputPin:
        result = pinHolds(a.pin, now.port1, before.port1, a.index);
        break;
    case Subject::Port0:
        result = vtest::compare(a.relation, now.port0, a.value);
        break;
    case Subject::Port1:
        result = vtest::compare(a.relation, now.port1, a.value);
        break;
    case Subject::Variable:
        result = vtest::compare(a.relation, now.variables[static_cast<std::size_t>(a.index)], a.value);
        break;
    }
    return result != a.negated;
}

bool termHolds(const std::vector<Atom>& term, const Observed& now, const Observed& before) {
    for (const Atom& a : term)
        if (!holds(a, now, before)) return false;
    return true;
}

bool holds(const Condition& c, const Observed& now, const Observed& before) {
    for (const auto& term : c.terms)
        if (termHolds(term, now, before)) return true;
    return false;
}

// The first cycle in which the run breaks the property (or, for "reachable", reaches it); -1 for none.
std::int64_t firstViolation(const Property& p, const std::vector<Observed>& cycles) {
    const Observed start; // the ports as the run's start sets them
    std::int64_t waiting = -1;
    for (std::size_t i = 0; i < cycles.size(); ++i) {
        const Observed& before = i == 0 ? start : cycles[i - 1];
        const bool condition = holds(p.condition, cycles[i], before);
        switch (p.kind) {
        case Kind::Never:
        case Kind::Reachable:
            if (condition) return static_cast<std::int64_t>(i);
            break;
        case Kind::Always:
            if (!condition) return static_cast<std::int64_t>(i);
            break;
        case Kind::Response:
            if (condition)
                waiting = -1;
            else if (waiting >= 0)
                ++waiting;
            else if (holds(p.trigger, cycles[i], before))
                waiting = 0;
            if (waiting >= p.within) return static_cast<std::int64_t>(i);
            break;
        }
    }
    return -1;
}

Relation opposite(Relation r) {
    switch (r) {
    case Relation::Eq:
        return Relation::Ne;
    case Relation::Ne:
        return Relation::Eq;
    case Relation::Lt:
        return Relation::Ge;
    case Relation::Ge:
        return Relation::Lt;
    case Relation::Gt:
        return Relation::Le;
    case Relation::Le:
        return Relation::Gt;
    }
    return r;
}

// The atom as a tester expectation, where the tester can say it: output pins on or off, port 1 and
// variables.
std::optional<std::string> expectation(const Atom& a) {
    switch (a.subject) {
    case Subject::OutputPin:
        if (a.pin != PinTest::On && a.pin != PinTest::Off) return std::nullopt;
        return "out " + std::to_string(a.index) + ((a.pin == PinTest::On) != a.negated ? " on" : " off");
    case Subject::Port1: {
        char value[8];
        std::snprintf(value, sizeof value, "0x%02X", static_cast<unsigned>(a.value));
        return "port1 " + std::string(vtest::relationText(a.negated ? opposite(a.relation) : a.relation)) +
               ' ' + value;
    }
    case Subject::Variable:
        return "var " + std::to_string(a.index) + ' ' +
               std::string(vtest::relationText(a.negated ? opposite(a.relation) : a.relation)) + ' ' +
               std::to_string(a.value);
    default:
        return std::nullopt;
    }
}

Atom negated(Atom a) {
    a.negated = !a.negated;
    return a;
}

// An expectation that fails where the run breaks the property, and its window's first cycle.
std::optional<std::string> failingExpectation(const Property& p, const Observed& now,
                                              const Observed& before) {
    if (p.kind == Kind::Never) {
        for (const auto& term : p.condition.terms) {
            if (!termHolds(term, now, before)) continue;
            for (const Atom& a : term)
                if (auto text = expectation(negated(a))) return text;
        }
        return std::nullopt;
    }
    if (p.condition.terms.size() != 1) return std::nullopt; // no one expectation says "none of these"
    for (const Atom& a : p.condition.terms.front())
        if (!holds(a, now, before))
            if (auto text = expectation(a)) return text;
    return std::nullopt;
}

std::string ms(std::int64_t cycle) {
    return std::to_string(cycle * vtest::kCycleMs);
}

// One press or release per changed pin: the input a cycle reads was set at the cycle before; the first
// cycle's at the start.
std::string inputLines(const std::vector<std::uint8_t>& inputs) {
    std::string lines;
    std::uint8_t board = 0xFF; // every input released at power-on
    for (std::size_t c = 0; c < inputs.size(); ++c) {
        const std::string when = c == 0 ? "start" : ms(static_cast<std::int64_t>(c) - 1);
        for (int pin = 0; pin < 8; ++pin)
            if (energized(inputs[c], pin) != energized(board, pin))
                lines +=
                    when + (energized(inputs[c], pin) ? " press " : " release ") + std::to_string(pin) + '\n';
        board = inputs[c];
    }
    return lines;
}

bool runScript(const std::string& programPath, const std::string& text, std::vector<Observed>& cycles,
               std::vector<vtest::Outcome>& outcomes, std::string& error) {
    vtest::ScriptError scriptError;
    auto script = vtest::parseScript(text, scriptError);
    if (!script) {
        error = "the counterexample script is not valid (line " + std::to_string(scriptError.line) +
                "): " + scriptError.message;
        return false;
    }
    vtest::VirtualRun run(programPath);
    if (!run.open(error, script->inputs)) return false;
    if (!run.bindVariables(*script, scriptError)) {
        error = scriptError.message;
        return false;
    }
    Recorder recorder;
    vtest::CycleListener* listeners[] = {&recorder};
    outcomes = run.run(*script, listeners);
    cycles = std::move(recorder.cycles);
    return true;
}

} // namespace

Replay replayCounterexample(const std::string& programPath, const Property& property, const Result& result,
                            const std::string& title) {
    Replay replay;
    const std::string inputs = inputLines(result.inputs);
    const std::string runLine = "run " + ms(result.cycle + 1) + "\n";
    std::vector<Observed> cycles;
    std::vector<vtest::Outcome> outcomes;
    if (!runScript(programPath, inputs + runLine, cycles, outcomes, replay.error)) return replay;
    const std::int64_t seen = firstViolation(property, cycles);
    if (seen != result.cycle) {
        replay.error = seen < 0 ? "the engine's run of the inputs found does not break the property"
                                : "the engine's run breaks the property in cycle " + std::to_string(seen) +
                                      ", not in cycle " + std::to_string(result.cycle);
        return replay;
    }

    const auto at = static_cast<std::size_t>(result.cycle);
    const Observed start;
    const std::optional<std::string> expect =
        failingExpectation(property, cycles[at], at == 0 ? start : cycles[at - 1]);
    std::string script = "# " + title + "\n# The shortest run zelkctl prove found that breaks it, in cycle " +
                         std::to_string(result.cycle) + " (" + ms(result.cycle) + " ms).\n" + inputs;
    if (expect) {
        const std::string when =
            property.kind == Kind::Response ? ms(result.trigger) + ".." + ms(result.cycle) : ms(result.cycle);
        script += when + " expect " + *expect + "\n";
    } else {
        script += "# The tester cannot state this property as one expectation: the run above breaks it.\n";
    }
    script += runLine;
    if (!runScript(programPath, script, cycles, outcomes, replay.error)) return replay;
    replay.reproduced =
        firstViolation(property, cycles) == result.cycle && (outcomes.empty() || !outcomes.front().held);
    if (!replay.reproduced) replay.error = "the counterexample's expectation holds when the engine runs it";
    replay.script = std::move(script);
    return replay;
}

} // namespace zelk::prove

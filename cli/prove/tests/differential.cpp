#include "cli/prove/tests/differential.h"

#include "cli/prove/value_bounds.h"
#include "cli/virtual_test/virtual_run.h"

#include <array>
#include <memory>

namespace zelk::prove::test {

namespace {

struct Seen {
    std::uint8_t port0 = 0, port1 = 0; // the input the cycle read, the output it set
    std::array<std::int32_t, kVariableCount> variables{};
};

class Recorder final : public vtest::CycleListener {
public:
    void cycleDone(const vtest::CycleView& view, const Program& program) override {
        Seen seen{view.port0, view.port1, {}};
        for (std::size_t n = 0; n < seen.variables.size(); ++n)
            seen.variables[n] = program.variables[n].value;
        cycles.push_back(seen);
    }
    std::vector<Seen> cycles;
};

// The engine's run of the program on the inputs: the board holds inputs[c] when cycle c - 1 asks for the
// input that cycle c reads (the first one's as the run starts).
bool engineRun(const std::string& path, const std::vector<std::uint8_t>& inputs, std::vector<Seen>& cycles,
               std::string& error) {
    vtest::Script script;
    script.cycles = static_cast<std::int64_t>(inputs.size());
    for (std::size_t c = 0; c < inputs.size(); ++c)
        script.inputs.push_back({c == 0 ? vtest::kStartCycle : static_cast<std::int64_t>(c) - 1,
                                 {vboard::InputCommand::Kind::Port0, inputs[c]}});
    vtest::VirtualRun run(path);
    if (!run.open(error, script.inputs)) return false;
    Recorder recorder;
    vtest::CycleListener* listeners[] = {&recorder};
    run.run(script, listeners);
    cycles = std::move(recorder.cycles);
    return true;
}

// A component that inputs fixed to constants have made a constant.
std::int64_t numeral(const z3::expr& e) {
    return static_cast<std::int64_t>(e.get_numeral_uint64());
}

std::string at(std::size_t cycle, const std::string& what) {
    return "cycle " + std::to_string(cycle) + ": " + what;
}

} // namespace

std::string difference(const std::string& programPath, const std::vector<std::uint8_t>& inputs,
                       CycleEncoding::Variables watched) {
    std::vector<Seen> engine;
    if (std::string error; !engineRun(programPath, inputs, engine, error))
        return "the engine's run: " + error;
    const auto program = std::make_unique<Program>();
    loadProgram(*program, ProgramFile(programPath));
    z3::context context;
    const CycleEncoding encoding(context, *program, watched);
    State s = encoding.initial();
    ValueBounds bounds(*program);
    for (std::size_t c = 0; c < engine.size(); ++c) {
        const auto& range = bounds.next();
        for (std::size_t n = 0; n < range.size(); ++n)
            if (engine[c].variables[n] < range[n].low || engine[c].variables[n] > range[n].high)
                return at(c, "variable " + std::to_string(n) + " " + std::to_string(engine[c].variables[n]) +
                                 " is outside its bounds " + std::to_string(range[n].low) + ".." +
                                 std::to_string(range[n].high));
        const std::uint8_t read =
            static_cast<int>(c) == kSecondCycle ? secondCycleInput(inputs[0], inputs[c]) : inputs[c];
        if (engine[c].port0 != read)
            return at(c, "the engine read port 0 " + std::to_string(engine[c].port0) + ", the formula " +
                             std::to_string(read));
        State next = encoding.next(s, context.bv_val(read, 8));
        // Each component as a constant again, so that the formula does not grow from cycle to cycle.
        for (z3::expr* e : {&next.port0, &next.port1, &next.lastPort0, &next.lastPort1, &next.tick,
                            &next.sequence, &next.seconds})
            *e = e->simplify();
        for (z3::expr& v : next.variables)
            if (!v.is_numeral()) v = v.simplify();
        if (numeral(next.port1) != engine[c].port1)
            return at(c, "port 1 " + std::to_string(numeral(next.port1)) + ", the engine's " +
                             std::to_string(engine[c].port1));
        for (std::size_t n = 0; n < next.variables.size(); ++n) {
            const auto value = static_cast<std::int32_t>(numeral(next.variables[n]));
            if (watched.test(n) && value != engine[c].variables[n])
                return at(c, "variable " + std::to_string(n) + " " + std::to_string(value) +
                                 ", the engine's " + std::to_string(engine[c].variables[n]));
        }
        s = std::move(next);
    }
    return {};
}

} // namespace zelk::prove::test

// The prover's formula of a cycle against the engine's own run: random programs on random inputs, every
// cycle's output and variables compared. The two describe one behaviour and must never drift apart.
#include "cli/prove/cycle_encoding.h"
#include "cli/prove/tests/random_program.h"
#include "cli/prove/value_bounds.h"
#include "cli/virtual_test/virtual_run.h"
#include "testing/temp_dir.h"
#include "testing/test_files.h"

#include <gtest/gtest.h>

namespace zelk::prove {
namespace {

struct Seen {
    std::uint8_t port0 = 0, port1 = 0;
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
std::vector<Seen> engineRun(const std::string& path, const std::vector<std::uint8_t>& inputs) {
    vtest::Script script;
    script.cycles = static_cast<std::int64_t>(inputs.size());
    for (std::size_t c = 0; c < inputs.size(); ++c)
        script.inputs.push_back({c == 0 ? vtest::kStartCycle : static_cast<std::int64_t>(c) - 1,
                                 {vboard::InputCommand::Kind::Port0, inputs[c]}});
    vtest::VirtualRun run(path);
    std::string error;
    EXPECT_TRUE(run.open(error, script.inputs)) << error;
    Recorder recorder;
    vtest::CycleListener* listeners[] = {&recorder};
    run.run(script, listeners);
    return recorder.cycles;
}

std::int64_t numeral(const z3::expr& e) {
    return static_cast<std::int64_t>(e.simplify().get_numeral_uint64());
}

// The first difference between the formula's cycles and the engine's, or empty.
std::string difference(const std::string& path, const std::vector<Seen>& engine) {
    const auto program = std::make_unique<Program>();
    loadProgram(*program, ProgramFile(path));
    z3::context context;
    const CycleEncoding encoding(context, *program);
    State s = encoding.initial();
    ValueBounds bounds(*program);
    for (std::size_t c = 0; c < engine.size(); ++c) {
        const auto& range = bounds.next();
        for (std::size_t n = 0; n < range.size(); ++n)
            if (engine[c].variables[n] < range[n].low || engine[c].variables[n] > range[n].high)
                return "cycle " + std::to_string(c) + ": variable " + std::to_string(n) + " " +
                       std::to_string(engine[c].variables[n]) + " is outside its bounds " +
                       std::to_string(range[n].low) + ".." + std::to_string(range[n].high);
        State next = encoding.next(s, context.bv_val(engine[c].port0, 8));
        // Each component as a constant again, so that the formula does not grow from cycle to cycle.
        for (z3::expr* e : {&next.port0, &next.port1, &next.lastPort0, &next.lastPort1, &next.tick,
                            &next.sequence, &next.seconds})
            *e = e->simplify();
        for (z3::expr& v : next.variables)
            v = v.simplify();
        if (numeral(next.port1) != engine[c].port1)
            return "cycle " + std::to_string(c) + ": port 1 " + std::to_string(numeral(next.port1)) +
                   ", the engine's " + std::to_string(engine[c].port1);
        for (std::size_t n = 0; n < next.variables.size(); ++n)
            if (static_cast<std::int32_t>(numeral(next.variables[n])) != engine[c].variables[n])
                return "cycle " + std::to_string(c) + ": variable " + std::to_string(n) + " " +
                       std::to_string(static_cast<std::int32_t>(numeral(next.variables[n]))) +
                       ", the engine's " + std::to_string(engine[c].variables[n]);
        s = std::move(next);
    }
    return {};
}

// Fewer cases under the sanitizers, whose runs are many times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::uint32_t kCases = 100;
#else
constexpr std::uint32_t kCases = 500;
#endif

TEST(Differential, TheFormulaOfACycleIsTheEnginesCycleOnRandomPrograms) {
    const zelk::test::TempDir dir;
    const std::string path = (dir.path() / "LogicCtl.ini").string();
    for (std::uint32_t seed = 1; seed <= kCases; ++seed) {
        test::RandomProgram random(seed);
        const std::string text = random.programText();
        zelk::test::writeFile(path, text);
        const std::string why = difference(path, engineRun(path, random.inputs(30)));
        ASSERT_EQ(why, "") << "seed " << seed << "\n" << text;
    }
}

} // namespace
} // namespace zelk::prove

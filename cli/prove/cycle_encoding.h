#pragma once
// The engine's control cycle as a formula: one cycle of the main block over symbolic state and a symbolic
// port-0 input, with the semantics of the block runner (connectives, comparisons, pin states over the port
// histories, "CALC" with 32-bit wrap-around and the division rule, "OUT " and "OUTR"), read from the lines as
// the engine decodes them. "LOG " and "CLIP" change nothing a property speaks of and are left out.
#include "core/loaded_program.h"

#include <z3++.h>

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

namespace zelk::prove {

// What a run's second cycle reads. The board answers every command, and the three that start a run (both
// ports set, the first read request) and the first cycle's read request all carry sequence 0: the first
// cycle takes the answer to the port-0 command, the second the one to the port-1 command, both made as the
// run started, so the second cycle reads the start's input again. But a port-0 value of 0 makes the engine
// take the next answer in its place: then the first cycle also takes the port-1 command's answer, and the
// second the first cycle's own request's, which holds the input the board had by then. From the third
// cycle on, each reads the answer to the request of the cycle before. start: the input as the run started;
// then: the board's input when the first cycle asked.
inline constexpr int kSecondCycle = 1;
inline std::uint8_t secondCycleInput(std::uint8_t start, std::uint8_t then) {
    return start == 0 ? then : start;
}
inline z3::expr secondCycleInput(const z3::expr& start, const z3::expr& then) {
    return z3::ite(start == start.ctx().bv_val(0, 8), then, start);
}

// The state after a cycle: what the next cycle starts from and what a property speaks of.
struct State {
    z3::expr port0;     // 8 bits: the input the cycle read (newest port-0 sample)
    z3::expr port1;     // 8 bits: the output the cycle set
    z3::expr lastPort0; // 8 bits: the cycle before's input (the previous port-0 sample)
    z3::expr lastPort1; // 8 bits: the cycle before's output
    z3::expr tick;      // 8 bits: the engine's 10 ms count, 0..99, after the cycle counted it
    z3::expr sequence;  // 8 bits: the sequence of the last read request, echoed by the next answer
    z3::expr seconds;   // 32 bits: the seconds counter
    std::vector<z3::expr> variables; // 32 bits each, all 64; one that is not settable is its constant
};

class CycleEncoding {
public:
    // A set of variables, bit n for variable n.
    using Variables = std::bitset<kVariableCount>;

    // The cycle of the program, computing only the variables in the cone of those watched: the watched ones,
    // those any line's condition reads (so that every output is exact), and what a "CALC" that sets one of
    // them reads, again and again. A variable outside the cone keeps its initial value in the formula; the
    // engine's value may differ, but nothing watched, no condition and no output depends on it.
    CycleEncoding(z3::context& context, const Program& program, Variables watched = Variables().set());

    // The state a run starts from: ports as the run's start sets them, counters at 0, the initial values.
    State initial() const;
    // A state of fresh unknowns named with the prefix (variables no "CALC" sets keep their constants).
    State unknown(const std::string& prefix) const;
    // The state after one cycle that reads input (8 bits) in state s.
    State next(const State& s, const z3::expr& input) const;
    // What every state at the end of a cycle satisfies, whatever the run's length (the counters' relation).
    z3::expr cycleEndShape(const State& s) const;

    z3::context& context() const { return context_; }

private:
    struct Cycle;

    z3::context& context_;
    const Program& program_;
    std::vector<bool> settable_; // variable n is "LONG", in the cone and the target of some "CALC"
};

} // namespace zelk::prove

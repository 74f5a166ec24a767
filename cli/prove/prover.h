#pragma once
// Proves a property of a loaded program over every input sequence: bounded model checking from the run's
// start, and k-induction, so that a property that holds is proved for runs of every length wherever
// induction succeeds.
#include "cli/prove/property.h"
#include "core/loaded_program.h"

#include <cstdint>
#include <vector>

namespace zelk::prove {

enum class Verdict {
    Proved,      // holds in every cycle of every run (depth: the induction's)
    HoldsUpTo,   // holds in the first `depth` cycles of every run; induction did not close
    Violated,    // a run breaks it in cycle `cycle`
    Reachable,   // a run reaches it in cycle `cycle`
    Unreachable, // no run ever reaches it (depth: the induction's)
    NotReached,  // no run reaches it in its first `depth` cycles
};

struct Result {
    Verdict verdict = Verdict::HoldsUpTo;
    int depth = 0;
    std::int64_t cycle = -1;          // violated, reachable: the cycle (from 0)
    std::int64_t trigger = -1;        // a violated response: the cycle of the trigger left unanswered
    std::vector<std::uint8_t> inputs; // violated, reachable: the port-0 value each cycle reads, to `cycle`
};

// The property's variables bound (Atom::index set). depth: the cycles checked from the start.
Result prove(const Program& program, const Property& property, int depth);

} // namespace zelk::prove

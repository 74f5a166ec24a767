#pragma once
// The prover's formula of a cycle against the engine's own run of the same program on the same inputs,
// cycle by cycle: the two describe one behaviour and must never drift apart.
#include "cli/prove/cycle_encoding.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zelk::prove::test {

// The first difference between the engine's run of the program in the file and the formula's cycles, in
// words, or empty when there is none. inputs[c] is the port-0 value the board holds when cycle c - 1 asks for
// it (inputs[0] as the run starts); the second cycle reads what secondCycleInput says. Compared after every
// cycle: port 1, the watched variables, and that every variable keeps within its bounds.
std::string difference(const std::string& programPath, const std::vector<std::uint8_t>& inputs,
                       CycleEncoding::Variables watched = CycleEncoding::Variables().set());

} // namespace zelk::prove::test

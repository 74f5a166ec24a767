#pragma once
// A violated property's counterexample as a `zelkctl test` script, and its replay on the engine: the
// script's run through the virtual-time tester, with the property checked after every cycle.
#include "cli/prove/prover.h"

#include <cstdint>
#include <string>

namespace zelk::prove {

struct Replay {
    bool reproduced = false; // the engine broke the property in the cycle the prover found
    std::string script;      // the counterexample, with the expectation that fails where one can say it
    std::string error;       // why the replay could not run, or what the engine did instead
};

// Replays the inputs of a violated result on the program through the tester and writes the script. The
// property's variables are bound; title names the property in the script's heading comment.
Replay replayCounterexample(const std::string& programPath, const Property& property, const Result& result,
                            const std::string& title);

} // namespace zelk::prove

#pragma once
// A property a fuzz target checks: when it does not hold, the target says which and aborts, so libFuzzer
// saves the input as a crash.
#include <cstdio>
#include <cstdlib>

namespace zelk::fuzz {

inline void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

} // namespace zelk::fuzz

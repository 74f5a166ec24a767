#pragma once
// The trace hook: diagnostic messages of the engine go here. It records nothing; the calls mark the places
// where the engine has something to say.
#include <string_view>

namespace zelk {

inline void trace(std::string_view /*message*/, long /*a*/ = 0, long /*b*/ = 0) {}

} // namespace zelk

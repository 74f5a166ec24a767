#pragma once
// The engine's table sizes: what it loads of a logic program. The editors keep programs within them.
namespace zelk {

inline constexpr int kVariableCount = 64; // variables 00..63
inline constexpr int kBlockLines = 128;   // lines per block, 0000..0127

} // namespace zelk

#pragma once
// Lengths of the input sequences that a conversion replaces as a whole when it cannot convert them.
#include <cstddef>

namespace zelk::codepage::detail {

// Each function takes the unconvertible input at `p` (left > 0 bytes) and returns how many bytes one
// replacement character stands for, at least 1 and at most `left`.

// UTF-16 in the host's byte order: a surrogate pair is 4 bytes, any other unit (an unpaired surrogate too) 2.
std::size_t utf16BadLength(const char* p, std::size_t left);
// UTF-8: a whole well-formed sequence, or the longest prefix of one that the input holds, or 1 byte.
std::size_t utf8BadLength(const char* p, std::size_t left);
// Code page 932: a lead byte followed by a trail byte is 2 bytes, anything else 1.
std::size_t cp932BadLength(const char* p, std::size_t left);

} // namespace zelk::codepage::detail

#pragma once
// What the conversions share: the single bytes mapped beyond the JIS table, and the lengths of the input
// sequences that a conversion replaces as a whole when it cannot convert them.
#include <cstddef>

namespace zelk::codepage::detail {

// Single bytes outside the JIS table that Windows maps to characters of their own, and back, so that a text
// holding one survives being decoded and encoded again.
struct ExtraSingleByte {
    unsigned char byte;
    char16_t character;
};
inline constexpr ExtraSingleByte kExtraSingleBytes[] = {
    {0x80, u'\u0080'}, {0xA0, u'\uF8F0'}, {0xFD, u'\uF8F1'}, {0xFE, u'\uF8F2'}, {0xFF, u'\uF8F3'}};

// Each function takes the unconvertible input at `p` (left > 0 bytes) and returns how many bytes one
// replacement character stands for, at least 1 and at most `left`.

// UTF-16 in the host's byte order: a surrogate pair is 4 bytes, any other unit (an unpaired surrogate too) 2.
std::size_t utf16BadLength(const char* p, std::size_t left);
// UTF-8: a whole well-formed sequence, or the longest prefix of one that the input holds, or 1 byte.
std::size_t utf8BadLength(const char* p, std::size_t left);
// Code page 932: a lead byte followed by a trail byte is 2 bytes, anything else 1.
std::size_t cp932BadLength(const char* p, std::size_t left);

} // namespace zelk::codepage::detail

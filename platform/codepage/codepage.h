#pragma once
// Conversion between Unicode text and code page 932 (Shift-JIS with the NEC and IBM extension rows, the ANSI
// code page of Japanese Windows), used wherever text crosses to a file or to the engine.
//
// The single bytes 0x80, 0xA0, 0xFD, 0xFE and 0xFF stand for U+0080, U+F8F0, U+F8F1, U+F8F2 and U+F8F3 and
// those characters for them, as on Windows, so a text holding such a byte survives decoding and encoding.
// Encoding: a character without a code page 932 form becomes one '?' (a surrogate pair is one character).
// Unpaired surrogates and malformed UTF-8 sequences become one '?' each as well.
// Decoding: each malformed or unassigned sequence becomes one U+FFFD and decoding goes on after it. A
// sequence is a lead byte with a byte from the trail-byte range after it (two bytes), or else a single byte.
// So a lead byte followed by a byte that cannot be a trail byte yields U+FFFD and that byte is decoded on its
// own, and a lead byte at the end of the input (a two-byte character cut in half) yields one U+FFFD.
//
// The functions are safe to call from several threads at once. They allocate; not for the control cycle.
#include <string>
#include <string_view>

namespace zelk::codepage {

// UTF-16 text, for example a QString's utf16() with its length.
std::string toCp932(std::u16string_view text);
// UTF-8 text.
std::string toCp932(std::string_view utf8);

std::u16string fromCp932(std::string_view bytes);
// Code page 932 bytes as UTF-8 text, for terminals and logs; decoded as fromCp932 does.
std::string fromCp932ToUtf8(std::string_view bytes);

// UTF-16 text as UTF-8. An unpaired surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view text);

} // namespace zelk::codepage

#pragma once
// Text from a file (a program, a script) as a message on the terminal shows it: nothing in it may act as a
// control sequence, and one long text may not drown the message.
#include <cstddef>
#include <string>
#include <string_view>

namespace zelk::cli {

// How many characters of one text a message shows; a longer text is cut there and marked.
inline constexpr std::size_t kShownCharacters = 64;

// The length of the well-formed UTF-8 sequence at text[at] (no overlong forms, no surrogates, nothing past
// U+10FFFF), or 0 when none starts there.
std::size_t utf8Length(std::string_view text, std::size_t at);
// Whether the text is well-formed UTF-8 throughout.
bool isUtf8(std::string_view text);

// UTF-8 text with every control character and every byte that is no UTF-8 escaped, whole: bytes as \xNN
// (TAB as \t), the controls U+0080 to U+009F as \u0080.
std::string escapedUtf8(std::string_view utf8);

// As escapedUtf8, with a text longer than kShownCharacters characters cut and marked: "abc… (300 bytes)".
std::string shownUtf8(std::string_view utf8);

// In double quotes, with '"' and '\' escaped as well, as a test script writes a text: "a\tb\"c". A longer
// text is cut and marked after its closing quote: "abc"… (300 bytes).
std::string quotedUtf8(std::string_view utf8);

// Code page 932 text (names, values and codes of a program file) shown in UTF-8, as above.
std::string shown(std::string_view cp932);
std::string quoted(std::string_view cp932);

} // namespace zelk::cli

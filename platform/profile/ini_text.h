#pragma once
// The INI text of one file, held in memory: finding a section and a key the way the profile-string
// functions do, and building the text that results from setting a key. Works on bytes; where a byte of
// a code page 932 double-byte character could be mistaken for syntax (']' as a trail byte) or for a
// letter (case folding), the two bytes are kept together.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::profile::detail {

// One line of the text: [begin, end) is its content without the line end; next is where the following
// line starts. next == end when the text stops without a line end.
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    bool hasLineEnd() const { return next > end; }
};

// What a search for a section and a key found. Views point into the searched text.
struct Location {
    bool sectionFound = false;
    Line header; // the first header naming the section
    bool keyFound = false;
    Line keyLine;              // the section's first line holding the key
    std::string_view keyName;  // the key's name as spelled in the file, blanks trimmed
    std::string_view rawValue; // the value with blanks trimmed, quotes still on
    bool sectionHasKeys = false;
    Line lastKeyLine; // the last key line seen in the section (the last one when the key is missing)
};

// Searches the first section named section (the later ones of the same name are never looked at) for the
// first line holding key. Names match without regard to ASCII case. In the file, blanks (space, tab,
// vertical tab) around names are ignored; section and key as given lose their surrounding spaces only.
Location locate(std::string_view text, std::string_view section, std::string_view key);

// A header or key line of the text, or a stray line. Views point into the text.
struct EntryLine {
    std::size_t lineNumber = 0; // from 1
    bool isHeader = false;
    std::string_view section; // the header's name, or the name of the section holding the key
    std::string_view key;     // empty for a header; a stray line's text
    std::string_view rawValue;
    bool counts = false;   // what locate finds: the first section of its name and there the first such key
    bool unclosed = false; // a header without its closing ']'
    bool isStray = false;  // text that is no header, key or comment: a line without '='
};

// Every header, key and stray line of the text, in order.
std::vector<EntryLine> entryLines(std::string_view text);

// The text after setting key in section to value: the key's line rewritten, or a new key line after the
// section's last key line, or a new section at the end. Everything else is kept byte for byte.
std::string withKeySet(std::string_view text, std::string_view section, std::string_view key,
                       std::string_view value);

// A value as the reader hands it out: blanks trimmed, then one matching pair of outer quotes removed.
std::string_view unquote(std::string_view rawValue);

// Without the blanks of the file (space, tab, vertical tab) at either end.
std::string_view trimBlanks(std::string_view s);
// Without spaces at either end: how a caller's section and key names are trimmed.
std::string_view trimSpaces(std::string_view s);

// Offset of the first ']' in s that is not the trail byte of a double-byte character, npos when none.
std::size_t findClosingBracket(std::string_view s);

} // namespace zelk::profile::detail

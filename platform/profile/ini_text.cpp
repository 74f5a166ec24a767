#include "profile/ini_text.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace zelk::profile::detail {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Blanks around names and values in the file: space, tab and vertical tab.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v';
}

// Code page 932 lead bytes; the byte after one belongs to the same character.
bool isLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
bool isTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

unsigned char foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// Name comparison: ASCII letters match regardless of case, except the second byte of a double-byte
// character, which must match exactly (0x83 0x41 and 0x83 0x61 are two different characters).
bool namesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (isLeadByte(x) && i + 1 < a.size()) {
            if (x != y || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (foldAscii(x) != foldAscii(y)) {
            return false;
        }
    }
    return true;
}

// The name as namesEqual sees it: ASCII letters in lower case, double-byte characters kept whole.
std::string foldedName(std::string_view name) {
    std::string folded(name);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const auto c = static_cast<unsigned char>(folded[i]);
        if (isLeadByte(c) && i + 1 < folded.size())
            ++i;
        else
            folded[i] = static_cast<char>(foldAscii(c));
    }
    return folded;
}

// Splits the text into lines. CR LF, LF and CR each end a line. The next CR and the next LF are looked
// up with memchr and remembered, so that a long text is walked at memchr speed and only once.
class LineScanner {
public:
    explicit LineScanner(std::string_view text) : text_(text), cr_(find('\r')), lf_(find('\n')) {}

    bool next(Line& line) {
        if (pos_ >= text_.size()) return false;
        if (cr_ < pos_) cr_ = find('\r');
        if (lf_ < pos_) lf_ = find('\n');
        line.begin = pos_;
        line.end = std::min(cr_, lf_);
        line.next = line.end;
        if (line.end < text_.size()) line.next += (line.end == cr_ && isLf(line.end + 1)) ? 2 : 1;
        pos_ = line.next;
        return true;
    }

private:
    bool isLf(std::size_t i) const { return i < text_.size() && text_[i] == '\n'; }
    std::size_t find(char c) const {
        if (pos_ >= text_.size()) return text_.size();
        const void* hit = std::memchr(text_.data() + pos_, c, text_.size() - pos_);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) : text_.size();
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t cr_;
    std::size_t lf_;
};

template <class Predicate>
std::string_view trimWhile(std::string_view s, Predicate drop) {
    while (!s.empty() && drop(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && drop(s.back()))
        s.remove_suffix(1);
    return s;
}

// Other: blank or a comment. Stray: text without '=' that is no header.
enum class LineKind { Other, Stray, Header, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name; // a stray line's text
    std::string_view value;
    bool unclosed = false; // a header without its ']'
};

// Blank lines, comments (';' as the first non-blank) and lines without '=' are neither headers nor keys.
// A header without its closing ']' still starts a section, named by the rest of its line.
ParsedLine parseLine(std::string_view content) {
    std::size_t i = 0;
    while (i < content.size() && isBlank(content[i]))
        ++i;
    if (i == content.size() || content[i] == ';') return {};
    if (content[i] == '[') {
        const std::string_view rest = content.substr(i + 1);
        const std::size_t end = findClosingBracket(rest);
        return {LineKind::Header, trimBlanks(rest.substr(0, end)), {}, end == std::string_view::npos};
    }
    const std::size_t eq = content.find('=', i);
    if (eq == std::string_view::npos) return {LineKind::Stray, trimBlanks(content.substr(i)), {}};
    return {LineKind::Key, trimBlanks(content.substr(i, eq - i)), trimBlanks(content.substr(eq + 1))};
}

} // namespace

std::string_view trimBlanks(std::string_view s) {
    return trimWhile(s, isBlank);
}

std::string_view trimSpaces(std::string_view s) {
    return trimWhile(s, [](char c) { return c == ' '; });
}

std::size_t findClosingBracket(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == ']') return i;
        if (isLeadByte(c) && i + 1 < s.size() && isTrailByte(static_cast<unsigned char>(s[i + 1]))) ++i;
    }
    return std::string_view::npos;
}

std::string_view unquote(std::string_view rawValue) {
    const std::string_view v = trimBlanks(rawValue);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

Location locate(std::string_view text, std::string_view section, std::string_view key) {
    section = trimSpaces(section);
    key = trimSpaces(key);
    Location loc;
    LineScanner lines(text);
    for (Line line; lines.next(line);) {
        const ParsedLine parsed = parseLine(text.substr(line.begin, line.end - line.begin));
        if (!loc.sectionFound) {
            if (parsed.kind == LineKind::Header && namesEqual(parsed.name, section)) {
                loc.sectionFound = true;
                loc.header = line;
            }
            continue;
        }
        if (parsed.kind == LineKind::Header) break; // the first section of that name ends here
        if (parsed.kind != LineKind::Key) continue;
        loc.sectionHasKeys = true;
        loc.lastKeyLine = line;
        if (namesEqual(parsed.name, key)) {
            loc.keyFound = true;
            loc.keyLine = line;
            loc.keyName = parsed.name;
            loc.rawValue = parsed.value;
            break;
        }
    }
    return loc;
}

std::vector<EntryLine> entryLines(std::string_view text) {
    std::vector<EntryLine> entries;
    std::unordered_set<std::string> sectionsSeen;
    std::unordered_set<std::string> keysSeen; // of the current section, when it counts
    bool inSection = false;
    bool sectionCounts = false;
    std::string_view section;
    LineScanner lines(text);
    std::size_t number = 0;
    for (Line line; lines.next(line);) {
        ++number;
        const ParsedLine parsed = parseLine(text.substr(line.begin, line.end - line.begin));
        if (parsed.kind == LineKind::Header) {
            inSection = true;
            section = parsed.name;
            sectionCounts = sectionsSeen.insert(foldedName(section)).second;
            keysSeen.clear();
            entries.push_back({number, true, section, {}, {}, sectionCounts, parsed.unclosed});
        } else if (parsed.kind == LineKind::Key) {
            const bool counts = inSection && sectionCounts && keysSeen.insert(foldedName(parsed.name)).second;
            entries.push_back(
                {number, false, inSection ? section : std::string_view{}, parsed.name, parsed.value, counts});
        } else if (parsed.kind == LineKind::Stray) {
            entries.push_back({number,
                               false,
                               inSection ? section : std::string_view{},
                               parsed.name,
                               {},
                               false,
                               false,
                               true});
        }
    }
    return entries;
}

std::string withKeySet(std::string_view text, std::string_view section, std::string_view key,
                       std::string_view value) {
    section = trimSpaces(section);
    key = trimSpaces(key);
    const Location loc = locate(text, section, key);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
    const auto appendEntry = [&](std::string_view name) {
        out.append(name).append("=").append(value).append(kLineEnd);
    };
    if (loc.keyFound) {
        // The file's own spelling of the key is kept; the line's indentation and old line end are not.
        out.append(text.substr(0, loc.keyLine.begin));
        appendEntry(loc.keyName);
        out.append(text.substr(loc.keyLine.next));
    } else if (loc.sectionFound) {
        const Line& after = loc.sectionHasKeys ? loc.lastKeyLine : loc.header;
        out.append(text.substr(0, after.next));
        if (!after.hasLineEnd()) out.append(kLineEnd);
        appendEntry(key);
        out.append(text.substr(after.next));
    } else {
        out.append(text);
        if (!text.empty() && text.back() != '\n' && text.back() != '\r') out.append(kLineEnd);
        out.append("[").append(section).append("]").append(kLineEnd);
        appendEntry(key);
    }
    return out;
}

} // namespace zelk::profile::detail

#include "cli/shown_text.h"

#include "codepage/codepage.h"

#include <cstdio>

namespace zelk::cli {

namespace {

void appendHex(std::string& out, unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    out += text;
}

// Appends the characters of utf8, escaped, up to limit characters; returns whether all of it went in.
bool appendEscaped(std::string& out, std::string_view utf8, bool quoting, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < utf8.size(); ++characters) {
        if (characters == limit) return false;
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = utf8Length(utf8, i);
        if (length == 0 || byte < 0x20 || byte == 0x7F) {
            if (byte == '\t')
                out += "\\t";
            else
                appendHex(out, byte);
            ++i;
            continue;
        }
        if (byte == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) { // U+0080 to U+009F
            char text[8];
            std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned char>(utf8[i + 1]));
            out += text;
        } else {
            if (quoting && (byte == '"' || byte == '\\')) out += '\\';
            out.append(utf8.substr(i, length));
        }
        i += length;
    }
    return true;
}

// The text of a file, cut and marked with the length it has in the file.
std::string show(std::string_view utf8, bool quoting, std::size_t fileBytes) {
    std::string out = quoting ? "\"" : "";
    const bool whole = appendEscaped(out, utf8, quoting, kShownCharacters);
    if (quoting) out += '"';
    if (!whole) out += "\u2026 (" + std::to_string(fileBytes) + " bytes)";
    return out;
}

} // namespace

std::size_t utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((byte(at + k) & 0xC0) != 0x80) return 0;
    const unsigned char second = length > 1 ? byte(at + 1) : 0;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
        return 0;
    return length;
}

std::string escapedUtf8(std::string_view utf8) {
    std::string out;
    appendEscaped(out, utf8, false, std::string_view::npos);
    return out;
}

std::string shownUtf8(std::string_view utf8) {
    return show(utf8, false, utf8.size());
}

std::string quotedUtf8(std::string_view utf8) {
    return show(utf8, true, utf8.size());
}

std::string shown(std::string_view cp932) {
    return show(codepage::fromCp932ToUtf8(cp932), false, cp932.size());
}

std::string quoted(std::string_view cp932) {
    return show(codepage::fromCp932ToUtf8(cp932), true, cp932.size());
}

bool isUtf8(std::string_view text) {
    for (std::size_t i = 0, length = 0; i < text.size(); i += length)
        if ((length = utf8Length(text, i)) == 0) return false;
    return true;
}

} // namespace zelk::cli

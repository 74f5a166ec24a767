#include "log_file_name.h"

#include "codepage/codepage.h"

namespace zelk {

namespace {

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

bool logFilePath(std::string_view name, std::string& path) {
#ifdef _WIN32
    // The ANSI file functions take the code page 932 name and its separators as they are.
    path.assign(name);
    return true;
#else
    // Decoded first, so that a "\" trail byte of a two-byte character is never taken for a separator.
    const std::u16string text = codepage::fromCp932(name);
    path.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == u'\uFFFD') return false;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        appendUtf8(c == U'\\' ? U'/' : c, path);
    }
    return true;
#endif
}

} // namespace zelk

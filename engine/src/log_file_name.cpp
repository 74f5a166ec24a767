#include "log_file_name.h"

#include "codepage/codepage.h"

namespace zelk {

namespace {

// Code page 932 has characters of the Basic Multilingual Plane only: one to three UTF-8 bytes each.
void appendUtf8(char16_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
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
    path.clear();
    for (const char16_t c : codepage::fromCp932(name)) {
        if (c == u'\uFFFD') return false;
        appendUtf8(c == u'\\' ? u'/' : c, path);
    }
    return true;
#endif
}

} // namespace zelk

#include "text.h"

#include "codepage/codepage.h"

namespace zelk::vtest {

std::string toUtf8(std::string_view cp932) {
    const std::u16string wide = codepage::fromCp932(cp932);
    std::string out;
    out.reserve(wide.size() * 3);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string quoted(std::string_view cp932) {
    return quotedUtf8(toUtf8(cp932));
}

std::string quotedUtf8(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        if (c == '\t') {
            out += "\\t";
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

} // namespace zelk::vtest

#include "codepage/utf_sequences.h"

#include <algorithm>
#include <cstring>

namespace zelk::codepage::detail {

namespace {

unsigned byteAt(const char* p, std::size_t i) {
    return static_cast<unsigned char>(p[i]);
}

bool isSurrogate(char16_t u, char16_t first) {
    return u >= first && u <= first + 0x3FF;
}

} // namespace

std::size_t utf16BadLength(const char* p, std::size_t left) {
    if (left < 2) return left;
    char16_t unit = 0;
    std::memcpy(&unit, p, sizeof unit);
    if (left >= 4 && isSurrogate(unit, 0xD800)) {
        char16_t next = 0;
        std::memcpy(&next, p + 2, sizeof next);
        if (isSurrogate(next, 0xDC00)) return 4;
    }
    return 2;
}

std::size_t utf8BadLength(const char* p, std::size_t left) {
    const unsigned lead = byteAt(p, 0);
    std::size_t length = 0;
    unsigned secondLow = 0x80;
    unsigned secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) secondLow = 0xA0;  // no overlong forms
        if (lead == 0xED) secondHigh = 0x9F; // no encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) secondLow = 0x90;
        if (lead == 0xF4) secondHigh = 0x8F; // nothing above U+10FFFF
    } else {
        return 1;
    }
    const std::size_t available = std::min(length, left);
    std::size_t i = 1;
    for (; i < available; ++i) {
        const unsigned b = byteAt(p, i);
        const unsigned low = i == 1 ? secondLow : 0x80;
        const unsigned high = i == 1 ? secondHigh : 0xBF;
        if (b < low || b > high) break;
    }
    return i;
}

std::size_t cp932BadLength(const char* p, std::size_t left) {
    const unsigned lead = byteAt(p, 0);
    const bool isLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    if (!isLead || left < 2) return 1;
    const unsigned trail = byteAt(p, 1);
    const bool isTrail = trail >= 0x40 && trail <= 0xFC && trail != 0x7F;
    return isTrail ? 2 : 1;
}

} // namespace zelk::codepage::detail

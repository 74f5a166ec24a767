#pragma once
// The pin code: the port digit "0" or "1", then two upper-case hexadecimal digits giving an 8-bit pattern.
#include <cstdint>
#include <string_view>

namespace zelk {

struct PinCode {
    int port = 0;             // the first character's code minus '0'; anything but 0 and 1 is no port
    std::uint8_t pattern = 0; // selects the pins tested, or the output value / bits to invert
};

constexpr int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Decodes a pin code field. The pattern is read from the two characters after the port digit and stops at
// the first character that is not a hexadecimal digit; no digit gives 0. An empty field gives port -'0'.
constexpr PinCode decodePinCode(std::string_view field) {
    PinCode code;
    code.port = field.empty() ? -'0' : field[0] - '0';
    int value = 0;
    for (std::size_t i = 1; i < 3 && i < field.size(); ++i) {
        const int digit = hexDigitValue(field[i]);
        if (digit < 0) break;
        value = value * 16 + digit;
    }
    code.pattern = static_cast<std::uint8_t>(value);
    return code;
}

static_assert(decodePinCode("10E         ").port == 1 && decodePinCode("10E").pattern == 0x0E);
static_assert(decodePinCode("0G1").pattern == 0 && decodePinCode("1").pattern == 0);

} // namespace zelk

#pragma once
// Text crosses to files and to the engine in code page 932 (the ANSI code page of the system's texts).
#include <QString>

#include <string>
#include <string_view>

namespace zelk::console {

std::string toAnsi(const QString& text);
QString fromAnsi(std::string_view bytes);

// Lead bytes of code page 932's double-byte characters.
constexpr bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

} // namespace zelk::console

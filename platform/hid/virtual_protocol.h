#pragma once
// The wire protocol between a virtual board and the device link (version 1).
//
// A board listens on a SOCK_SEQPACKET Unix socket "<name>.sock" in the per-user board directory. On accept it
// sends one 12-byte hello; after that every packet from the client is one output report of exactly the output
// report length, and every packet from the board one input report of exactly the input report length. Both
// lengths count the report ID byte.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace zelk::hid::vproto {

inline constexpr std::size_t kHelloLength = 12;
inline constexpr std::uint8_t kVersion = 1;
inline constexpr const char* kSocketSuffix = ".sock";

struct Hello {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint8_t inputLength = 0;
    std::uint8_t outputLength = 0;
};

inline std::array<std::uint8_t, kHelloLength> encodeHello(const Hello& hello) {
    return {'K',
            'X',
            'V',
            'B',
            kVersion,
            0,
            static_cast<std::uint8_t>(hello.vendorId & 0xFF),
            static_cast<std::uint8_t>(hello.vendorId >> 8),
            static_cast<std::uint8_t>(hello.productId & 0xFF),
            static_cast<std::uint8_t>(hello.productId >> 8),
            hello.inputLength,
            hello.outputLength};
}

// Accepts exactly kHelloLength bytes with the magic and version 1. Report lengths must hold at least the
// report ID byte.
inline std::optional<Hello> decodeHello(const std::uint8_t* bytes, std::size_t length) {
    if (length != kHelloLength) return std::nullopt;
    if (bytes[0] != 'K' || bytes[1] != 'X' || bytes[2] != 'V' || bytes[3] != 'B') return std::nullopt;
    if (bytes[4] != kVersion) return std::nullopt;
    Hello hello;
    hello.vendorId = static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8));
    hello.productId = static_cast<std::uint16_t>(bytes[8] | (bytes[9] << 8));
    hello.inputLength = bytes[10];
    hello.outputLength = bytes[11];
    if (hello.inputLength == 0 || hello.outputLength == 0) return std::nullopt;
    return hello;
}

// The board directory of the given user: /tmp/kaldex-boards-<uid>.
inline std::string boardDirectoryFor(uid_t uid) {
    return "/tmp/kaldex-boards-" + std::to_string(static_cast<unsigned long>(uid));
}

} // namespace zelk::hid::vproto

#pragma once
// The wire protocol between a virtual board and the device link (version 1).
//
// A board listens on a SOCK_SEQPACKET Unix socket "<name>.sock" in the user's board directory. On accept it
// sends one 12-byte hello; after that every packet from the client is one output report of exactly the output
// report length, and every packet from the board one input report of exactly the input report length. Both
// lengths count the report ID byte.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#ifndef _WIN32
#include <unistd.h>
#endif

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

#ifdef _WIN32
// The calling user's board folder on Windows: %KALDEX_BOARD_DIR% when set, else kaldex-boards in the user's
// local application data folder (or, without one, in the temporary folder). Each board there is a marker
// file naming its named pipe (hid/board_pipes.h).
inline std::string boardDirectory() {
    const char* own = std::getenv("KALDEX_BOARD_DIR");
    if (own != nullptr && *own != '\0') return own;
    for (const char* base : {"LOCALAPPDATA", "TEMP", "TMP"})
        if (const char* value = std::getenv(base); value != nullptr && *value != '\0')
            return std::string(value) + "\\kaldex-boards";
    return "kaldex-boards";
}
#else
// The calling user's board directory, for the engine, the console and kaldex-sim alike: $KALDEX_BOARD_DIR
// when set (two set-ups on one machine never meet), else $XDG_RUNTIME_DIR/kaldex-boards when that is an
// absolute path (the usual place for a user's sockets), else /tmp/kaldex-boards-<uid>.
inline std::string boardDirectory() {
    const char* own = std::getenv("KALDEX_BOARD_DIR");
    if (own != nullptr && *own != '\0') return own;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/kaldex-boards";
    return "/tmp/kaldex-boards-" + std::to_string(static_cast<unsigned long>(::getuid()));
}
#endif

} // namespace zelk::hid::vproto

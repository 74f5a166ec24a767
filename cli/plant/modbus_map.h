#pragma once
// The Modbus TCP map of a control run, and the answer to one request as bytes on the wire. Addresses are the
// protocol's own, counted from 0:
//   discrete inputs 0-7     port-0 pins 0-7, 1 = energized
//   coils 0-3               port-1 pins 0-3, 1 = energized (written only when writes are allowed)
//   input registers 0-5     run state, port-0 raw byte, port-1 raw byte, seconds counter (high word, low
//                           word), 10 ms tick
//   input registers 100-227 variable n as a signed 32-bit value at 100 + 2n (high word) and 101 + 2n
// Nothing else is in the map: a read that reaches outside it answers exception 02, as a gap between the
// status and the variable registers does. Functions other than reading coils, discrete inputs and input
// registers and writing coils answer exception 01, and so do coil writes unless writes are allowed.
#include "cli/plant/run_access.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zelk::plant::modbus {

inline constexpr int kDiscreteInputs = 8;
inline constexpr int kCoils = 4;
inline constexpr int kStatusRegisters = 6;
inline constexpr int kVariableRegisterBase = 100;
inline constexpr int kVariableRegisters = 2 * kVariableCount;
// The longest Modbus TCP frame: the 7-byte header and a PDU of at most 253 bytes.
inline constexpr std::size_t kMaxFrame = 260;
inline constexpr std::size_t kHeaderBytes = 7;

// The map's values at one moment.
struct Image {
    std::uint8_t discreteInputs = 0; // bit n: input n
    std::uint8_t coils = 0;          // bit n: coil n
    std::array<std::uint16_t, kStatusRegisters> status{};
    std::array<std::uint16_t, kVariableRegisters> variables{};
};

Image imageOf(const RunPicture& picture);

struct Answer {
    bool close = false; // the request is malformed: close the connection, answer nothing
    std::array<std::uint8_t, kMaxFrame> frame{};
    std::size_t size = 0;
    OutputChange outputs; // the coils written, to be set before the answer goes out
};

// The answer to one request frame (header and PDU). writable: coil writes are allowed.
Answer answer(std::span<const std::uint8_t> request, const Image& image, bool writable);

// The answer to a coil write (request) that the run could not carry out: exception 04, server device
// failure, so that the client does not take the coils for set.
Answer writeFailed(std::span<const std::uint8_t> request);

// How many bytes the frame that starts with this header holds in all; 0 when the header is not one of a
// Modbus TCP frame (protocol other than 0, a length that leaves no function code or exceeds the longest
// frame).
std::size_t frameSize(std::span<const std::uint8_t, kHeaderBytes> header);

} // namespace zelk::plant::modbus

// The Modbus TCP server's answers to any frame, the way the server hands it over (header, PDU):
//  - the answer is a close, or one frame of at most 260 bytes whose header echoes the request's
//    transaction, protocol and unit and whose length counts exactly the bytes behind it;
//  - its function code is the request's, or the request's with 0x80 and an exception code 01 to 03;
//  - a read answers as many bytes as it asks for, and they hold the image's bits and registers;
//  - outputs change only on an allowed coil write, and only pins 0 to 3.
// The first input byte picks whether writes are allowed and seeds the image; the rest is the frame.
#include "cli/plant/modbus_map.h"
#include "fuzz/require.h"

#include <cstdint>
#include <span>

namespace {

using namespace zelk::plant::modbus;
using zelk::fuzz::require;

Image imageFrom(std::uint8_t seed) {
    Image image;
    image.discreteInputs = static_cast<std::uint8_t>(seed * 37);
    image.coils = static_cast<std::uint8_t>(seed & 0x0F);
    for (std::size_t i = 0; i < image.status.size(); ++i)
        image.status[i] = static_cast<std::uint16_t>(seed * 257 + i);
    for (std::size_t i = 0; i < image.variables.size(); ++i)
        image.variables[i] = static_cast<std::uint16_t>(seed * 1031 + i * 7);
    return image;
}

std::uint16_t word(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool writable = (data[0] & 0x80) != 0;
    const Image image = imageFrom(data[0]);
    const std::span<const std::uint8_t> request(data + 1, size - 1);
    const Answer answer = zelk::plant::modbus::answer(request, image, writable);

    require(answer.outputs.pins <= 0x0F && (answer.outputs.energized & ~answer.outputs.pins) == 0,
            "outputs beyond pins 0 to 3");
    if (answer.close) {
        require(answer.outputs.pins == 0, "a closed connection changes outputs");
        return 0;
    }
    const std::span<const std::uint8_t> frame(answer.frame.data(), answer.size);
    require(answer.size >= 9 && answer.size <= kMaxFrame, "answer size");
    require(request.size() >= 8 && frameSize(request.first<kHeaderBytes>()) == request.size(),
            "answered a frame whose header does not match it");
    for (std::size_t i : {0u, 1u, 2u, 3u, 6u})
        require(frame[i] == request[i], "header not echoed");
    require(word(frame, 4) == answer.size - 6, "length field");
    const std::uint8_t function = request[7];
    if (answer.size == 9) { // only an exception is this short
        require(frame[7] == (function | 0x80) && frame[8] >= 1 && frame[8] <= 3, "exception code");
        require(answer.outputs.pins == 0, "an exception changes outputs");
        return 0;
    }
    require(frame[7] == function, "function code");
    require(writable || answer.outputs.pins == 0, "outputs changed while read-only");
    const std::uint16_t first = word(request, 8);
    const std::uint16_t count = word(request, 10);
    if (function == 0x01 || function == 0x02) {
        require(frame[8] == (count + 7) / 8 && answer.size == 9u + frame[8], "bit read size");
        const std::uint8_t bits = function == 0x01 ? image.coils : image.discreteInputs;
        require(frame[9] == ((bits >> first) & ((1u << count) - 1)), "bits read");
    } else if (function == 0x04) {
        require(frame[8] == 2 * count && answer.size == 9u + frame[8], "register read size");
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t address = first + i;
            const std::uint16_t expected = address < image.status.size()
                                               ? image.status[address]
                                               : image.variables[address - kVariableRegisterBase];
            require(word(frame, 9 + 2 * i) == expected, "registers read");
        }
    } else {
        require((function == 0x05 || function == 0x0F) && writable, "only coil writes answer otherwise");
        require(answer.size == 12 && answer.outputs.pins != 0, "coil write answer");
    }
    return 0;
}

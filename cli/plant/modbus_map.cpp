#include "cli/plant/modbus_map.h"

#include <algorithm>

namespace zelk::plant::modbus {

namespace {

enum Function : std::uint8_t {
    kReadCoils = 0x01,
    kReadDiscreteInputs = 0x02,
    kReadInputRegisters = 0x04,
    kWriteSingleCoil = 0x05,
    kWriteMultipleCoils = 0x0F,
};

enum Exception : std::uint8_t {
    kIllegalFunction = 0x01,
    kIllegalAddress = 0x02,
    kIllegalValue = 0x03,
    kServerDeviceFailure = 0x04,
};

// The protocol's own limits on the count of one request.
constexpr int kMostBitsRead = 2000;
constexpr int kMostRegistersRead = 125;
constexpr int kMostCoilsWritten = 1968;

std::uint16_t word(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

// Adds the PDU bytes of an answer behind its header; answer() fills the header in.
class Reply {
public:
    explicit Reply(Answer& answer) : answer_(answer) { answer_.size = kHeaderBytes; }

    void byte(std::uint8_t value) { answer_.frame[answer_.size++] = value; }
    void word(std::uint16_t value) {
        byte(static_cast<std::uint8_t>(value >> 8));
        byte(static_cast<std::uint8_t>(value));
    }

private:
    Answer& answer_;
};

Answer exception(std::uint8_t function, std::uint8_t code) {
    Answer answer;
    Reply reply(answer);
    reply.byte(static_cast<std::uint8_t>(function | 0x80));
    reply.byte(code);
    return answer;
}

Answer closing() {
    Answer answer;
    answer.close = true;
    return answer;
}

// Bits first..first+count-1 of a bit image of `size` bits, or exception 02.
Answer readBits(std::span<const std::uint8_t> request, std::uint8_t function, std::uint8_t bits, int size) {
    const int first = word(request, 8);
    const int count = word(request, 10);
    if (count < 1 || count > kMostBitsRead) return exception(function, kIllegalValue);
    if (first + count > size) return exception(function, kIllegalAddress);
    Answer answer;
    Reply reply(answer);
    reply.byte(function);
    reply.byte(static_cast<std::uint8_t>((count + 7) / 8));
    reply.byte(static_cast<std::uint8_t>((bits >> first) & ((1u << count) - 1)));
    return answer;
}

Answer readRegisters(std::span<const std::uint8_t> request, const Image& image) {
    const int first = word(request, 8);
    const int count = word(request, 10);
    if (count < 1 || count > kMostRegistersRead) return exception(kReadInputRegisters, kIllegalValue);
    const int last = first + count - 1;
    const std::uint16_t* registers = nullptr;
    if (last < kStatusRegisters) {
        registers = image.status.data() + first;
    } else if (first >= kVariableRegisterBase && last < kVariableRegisterBase + kVariableRegisters) {
        registers = image.variables.data() + (first - kVariableRegisterBase);
    } else {
        return exception(kReadInputRegisters, kIllegalAddress);
    }
    Answer answer;
    Reply reply(answer);
    reply.byte(kReadInputRegisters);
    reply.byte(static_cast<std::uint8_t>(2 * count));
    for (int i = 0; i < count; ++i)
        reply.word(registers[i]);
    return answer;
}

Answer writeCoils(std::span<const std::uint8_t> request, std::uint8_t function, int first, int count,
                  std::uint8_t values) {
    if (first + count > kCoils) return exception(function, kIllegalAddress);
    Answer answer;
    Reply reply(answer);
    reply.byte(function);
    reply.word(static_cast<std::uint16_t>(first));
    reply.word(function == kWriteSingleCoil ? word(request, 10) : static_cast<std::uint16_t>(count));
    const auto pins = static_cast<std::uint8_t>(((1u << count) - 1) << first);
    answer.outputs = {pins, static_cast<std::uint8_t>((values << first) & pins)};
    return answer;
}

// The answer's PDU for a request frame of the right size.
Answer respond(std::span<const std::uint8_t> request, const Image& image, bool writable) {
    const std::uint8_t function = request[7];
    const std::size_t pdu = request.size() - kHeaderBytes; // function code and data
    switch (function) {
    case kReadCoils:
    case kReadDiscreteInputs:
    case kReadInputRegisters:
        if (pdu != 5) return closing();
        if (function == kReadInputRegisters) return readRegisters(request, image);
        return function == kReadCoils ? readBits(request, function, image.coils, kCoils)
                                      : readBits(request, function, image.discreteInputs, kDiscreteInputs);
    case kWriteSingleCoil: {
        if (pdu != 5) return closing();
        if (!writable) return exception(function, kIllegalFunction);
        const std::uint16_t value = word(request, 10);
        if (value != 0xFF00 && value != 0x0000) return exception(function, kIllegalValue);
        return writeCoils(request, function, word(request, 8), 1, value == 0xFF00 ? 1 : 0);
    }
    case kWriteMultipleCoils: {
        if (pdu < 6 || pdu != 6u + request[12]) return closing();
        if (!writable) return exception(function, kIllegalFunction);
        const int count = word(request, 10);
        if (count < 1 || count > kMostCoilsWritten || request[12] != (count + 7) / 8)
            return exception(function, kIllegalValue);
        return writeCoils(request, function, word(request, 8), count, request[13]);
    }
    default:
        return exception(function, kIllegalFunction);
    }
}

// The answer behind the request's transaction, protocol and unit; the length counts the unit and the PDU.
Answer framed(std::span<const std::uint8_t> request, Answer result) {
    std::copy_n(request.begin(), 4, result.frame.begin());
    result.frame[4] = static_cast<std::uint8_t>((result.size - 6) >> 8);
    result.frame[5] = static_cast<std::uint8_t>(result.size - 6);
    result.frame[6] = request[6];
    return result;
}

} // namespace

Image imageOf(const RunPicture& picture) {
    const CtlData& data = picture.data;
    Image image;
    // The board's raw bytes are 0 for an energized pin.
    image.discreteInputs = static_cast<std::uint8_t>(~data.port0);
    image.coils = static_cast<std::uint8_t>(~data.port1 & 0x0F);
    const auto seconds = static_cast<std::uint32_t>(data.passageSec);
    image.status = {data.state,
                    data.port0,
                    data.port1,
                    static_cast<std::uint16_t>(seconds >> 16),
                    static_cast<std::uint16_t>(seconds),
                    data.tick10ms};
    for (std::size_t n = 0; n < picture.variables.size(); ++n) {
        const auto value = static_cast<std::uint32_t>(picture.variables[n]);
        image.variables[2 * n] = static_cast<std::uint16_t>(value >> 16);
        image.variables[2 * n + 1] = static_cast<std::uint16_t>(value);
    }
    return image;
}

std::size_t frameSize(std::span<const std::uint8_t, kHeaderBytes> header) {
    const std::size_t length = static_cast<std::size_t>(header[4] << 8 | header[5]); // unit and PDU
    if (header[2] != 0 || header[3] != 0 || length < 2 || 6 + length > kMaxFrame) return 0;
    return 6 + length;
}

Answer answer(std::span<const std::uint8_t> request, const Image& image, bool writable) {
    if (request.size() < kHeaderBytes + 1 || frameSize(request.first<kHeaderBytes>()) != request.size())
        return closing();
    Answer result = respond(request, image, writable);
    return result.close ? result : framed(request, result);
}

Answer writeFailed(std::span<const std::uint8_t> request) {
    return framed(request, exception(request[7], kServerDeviceFailure));
}

} // namespace zelk::plant::modbus

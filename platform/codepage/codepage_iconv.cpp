// Code page 932 through glibc iconv. glibc's "CP932" is the Windows table (0x5C is the backslash, the NEC and
// IBM rows are present); its "SHIFT_JIS" is a different table and is not used. The five single bytes that
// glibc leaves out of the table but Windows maps are mapped here (see kExtraSingleBytes).
#include "codepage/codepage.h"
#include "codepage/utf_sequences.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include <iconv.h>

namespace zelk::codepage {

namespace {

constexpr const char* kCp932 = "CP932";
// UTF-16 in the host's byte order, without a byte order mark.
constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
constexpr const char* kUtf8 = "UTF-8";

// What one unconvertible piece of input becomes: `length` input bytes give the output unit `unit`.
template <class Unit>
struct Replacement {
    std::size_t length;
    Unit unit;
};

Replacement<char16_t> decodeUnconvertible(const char* p, std::size_t left) {
    for (const auto& extra : detail::kExtraSingleBytes)
        if (static_cast<unsigned char>(*p) == extra.byte) return {1, extra.character};
    return {detail::cp932BadLength(p, left), u'\uFFFD'};
}

char encodedExtra(char32_t c) {
    for (const auto& extra : detail::kExtraSingleBytes)
        if (c == extra.character) return static_cast<char>(extra.byte);
    return '?';
}

Replacement<char> encodeUnconvertibleUtf16(const char* p, std::size_t left) {
    const std::size_t length = detail::utf16BadLength(p, left);
    char16_t unit = 0;
    if (length == 2) std::memcpy(&unit, p, sizeof unit);
    return {length, encodedExtra(unit)};
}

Replacement<char> encodeUnconvertibleUtf8(const char* p, std::size_t left) {
    const std::size_t length = detail::utf8BadLength(p, left);
    const auto byte = [p](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(p[i])); };
    char32_t c = 0;
    if (length == 2 && byte(0) == 0xC2) c = byte(1);
    if (length == 3 && (byte(0) & 0xF0) == 0xE0)
        c = (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    return {length, encodedExtra(c)};
}

// One iconv descriptor. Descriptors keep conversion state and must not be shared between threads, so each
// thread keeps its own (see the thread_local instances below).
class Descriptor {
public:
    Descriptor(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
        }
    }
    ~Descriptor() { iconv_close(cd_); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    // The descriptor in its initial state.
    iconv_t reset() {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return cd_;
    }

private:
    iconv_t cd_;
};

// Converts `inLeft` bytes at `in` with `cd` into a string of `Unit`s. Where iconv stops at input it cannot
// convert, unconvertible(p, left) tells how many bytes one unit stands for and which unit, and conversion
// goes on behind them. `capacity` is the expected number of output units; the result grows when it is too
// small.
template <class Unit>
std::basic_string<Unit> convert(iconv_t cd, const char* in, std::size_t inLeft, std::size_t capacity,
                                Replacement<Unit> (*unconvertible)(const char*, std::size_t)) {
    std::basic_string<Unit> out(capacity + 1, Unit{});
    std::size_t used = 0;
    // iconv takes a non-const input pointer but does not write through it.
    char* inPtr = const_cast<char*>(in);
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(out.data() + used);
        std::size_t outLeft = (out.size() - used) * sizeof(Unit);
        const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        used = out.size() - outLeft / sizeof(Unit);
        if (result != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ (cannot convert) or EINVAL (incomplete sequence at the end of the input).
        const Replacement<Unit> replacement = unconvertible(inPtr, inLeft);
        if (used == out.size()) out.resize(out.size() * 2);
        out[used++] = replacement.unit;
        inPtr += replacement.length;
        inLeft -= replacement.length;
    }
    // Code page 932 and UTF-16LE/BE are stateless: there is no shift state to flush.
    out.resize(used);
    return out;
}

} // namespace

std::string toCp932(std::u16string_view text) {
    thread_local Descriptor descriptor(kCp932, kUtf16);
    // A UTF-16 unit never takes more than two bytes in code page 932.
    return convert<char>(descriptor.reset(), reinterpret_cast<const char*>(text.data()),
                         text.size() * sizeof(char16_t), text.size() * 2, encodeUnconvertibleUtf16);
}

std::string toCp932(std::string_view utf8) {
    thread_local Descriptor descriptor(kCp932, kUtf8);
    // A character never takes more bytes in code page 932 than in UTF-8.
    return convert<char>(descriptor.reset(), utf8.data(), utf8.size(), utf8.size(), encodeUnconvertibleUtf8);
}

std::u16string fromCp932(std::string_view bytes) {
    thread_local Descriptor descriptor(kUtf16, kCp932);
    // Every code page 932 character is in the Basic Multilingual Plane: at most one UTF-16 unit per byte.
    return convert<char16_t>(descriptor.reset(), bytes.data(), bytes.size(), bytes.size(),
                             decodeUnconvertible);
}

} // namespace zelk::codepage

// Code page 932 conversion on any bytes:
//  - decoding, encoding and decoding again gives the first text back, except that each U+FFFD (a sequence
//    that could not be decoded, which has no code page 932 form) comes back as '?';
//  - the same bytes taken as UTF-16 and as UTF-8 text encode to bytes that decode without a U+FFFD.
#include "codepage/codepage.h"
#include "fuzz/require.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

using zelk::codepage::fromCp932;
using zelk::codepage::toCp932;
using zelk::fuzz::require;

bool decodesCleanly(const std::string& bytes) {
    return fromCp932(bytes).find(u'\uFFFD') == std::u16string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    const std::u16string text = fromCp932(bytes);
    std::u16string expected = text;
    for (char16_t& c : expected)
        if (c == u'\uFFFD') c = u'?';
    require(fromCp932(toCp932(text)) == expected, "decode, encode, decode is not stable");

    std::u16string utf16(size / 2, u'\0');
    std::memcpy(utf16.data(), data, utf16.size() * 2);
    require(decodesCleanly(toCp932(utf16)), "encoded UTF-16 does not decode");
    require(decodesCleanly(toCp932(bytes)), "encoded UTF-8 does not decode");
    return 0;
}

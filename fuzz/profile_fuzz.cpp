// The INI reader and writer on any file text. The input gives a section, a key, a second key, a value and the
// file's text. Whatever the file holds:
//  - a write the layer does not refuse succeeds, and the value reads back as the reader hands values out;
//  - a refused write leaves the file byte for byte as it was;
//  - the write leaves the second key of the section reading as before.
#include "fuzz/require.h"
#include "profile/profile.h"
#include "testing/temp_dir.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

using zelk::fuzz::require;
using zelk::profile::getString;
using zelk::profile::writeString;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string_view trimmed(std::string_view s, std::string_view blanks) {
    const std::size_t begin = s.find_first_not_of(blanks);
    if (begin == std::string_view::npos) return {};
    return s.substr(begin, s.find_last_not_of(blanks) - begin + 1);
}

constexpr std::string_view kAllBlanks = " \t\v";

bool isLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
bool isTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// True when the name's last byte is a code page 932 lead byte without its trail byte: in a header it would
// take the closing ']' as its second byte.
bool endsInLoneLeadByte(std::string_view name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (!isLeadByte(c)) continue;
        if (i + 1 == name.size()) return true;
        if (isTrailByte(static_cast<unsigned char>(name[i + 1]))) ++i;
    }
    return false;
}

// The writes that the layer refuses because they would not read back as written: a line break anywhere,
// ']' in the section or a section ending in a lone lead byte, '=' in the key, a key starting with ';' or
// '['. Names are taken without any blanks around them: a tab or vertical tab at a name's edge is trimmed
// in the file, so a key "\t;k" is as much a comment line as ";k".
bool refusable(std::string_view section, std::string_view key, std::string_view value) {
    section = trimmed(section, kAllBlanks);
    key = trimmed(key, kAllBlanks);
    for (std::string_view s : {section, key, value})
        if (s.find_first_of("\r\n") != std::string_view::npos) return true;
    if (section.find(']') != std::string_view::npos || endsInLoneLeadByte(section)) return true;
    if (key.find('=') != std::string_view::npos) return true;
    return !key.empty() && (key.front() == ';' || key.front() == '[');
}

// A name with a tab or vertical tab at its edges (inside its surrounding spaces) is trimmed of it in the
// file but kept as the caller gives it, so it is not found again; that is how the profile functions behave.
bool hasFileBlankEdge(std::string_view name) {
    name = trimmed(name, " ");
    return trimmed(name, kAllBlanks).size() != name.size();
}

// A value as the reader hands it out: blanks trimmed, then one matching pair of outer quotes removed.
std::string_view asRead(std::string_view value) {
    value = trimmed(value, kAllBlanks);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// A name as it could match another: without any blanks around it, ASCII letters in lower case (also the
// second bytes of double-byte characters, which the layer compares exactly: names that differ only there
// count as the same here, which only skips a check).
std::string foldedName(std::string_view name) {
    std::string s(trimmed(name, kAllBlanks));
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const zelk::test::TempDir dir;
    static const std::string path = dir.file("fuzz.ini");

    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(64);
    const std::string key = input.ConsumeRandomLengthString(64);
    const std::string otherKey = input.ConsumeRandomLengthString(64);
    const std::string value = input.ConsumeRandomLengthString(256);
    const std::string text = input.ConsumeRemainingBytesAsString();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    std::string buffer(text.size() + value.size() + 2, '\0');
    const auto read = [&](std::string_view k) {
        return std::string(buffer.data(), getString(section, k, "\x01", buffer.data(), buffer.size(), path));
    };
    const std::string otherBefore = read(otherKey);

    const bool written = writeString(section, key, value, path);
    if (!written) {
        require(readAll(path) == text, "a refused write changed the file");
        require(refusable(section, key, value), "a storable write was refused");
        return 0;
    }
    if (refusable(section, key, value) || hasFileBlankEdge(section) || hasFileBlankEdge(key)) return 0;

    require(read(key) == asRead(value), "the written value reads back changed");
    if (foldedName(key) != foldedName(otherKey))
        require(read(otherKey) == otherBefore, "the write changed another key");
    return 0;
}

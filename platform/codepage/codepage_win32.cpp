// Code page 932 through the Win32 code page functions, to the same contract as the iconv build: the system
// converts, without best-fit mappings, and each sequence it cannot convert is replaced as a whole, found the
// same way as there (platform/codepage/utf_sequences.h).
#include "codepage/codepage.h"
#include "codepage/utf_sequences.h"

#include <optional>

#include <windows.h>

namespace zelk::codepage {

namespace {

constexpr UINT kCp932 = 932;

// Converts UTF-16 units to code page 932; false when some unit has no code page 932 form.
bool encodeExactly(const wchar_t* text, int length, std::string& out) {
    BOOL usedDefault = FALSE;
    const int size =
        WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return false;
    out.resize(static_cast<std::size_t>(size));
    WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, text, length, out.data(), size, nullptr, &usedDefault);
    return !usedDefault;
}

// Decodes code page 932 bytes; false when some sequence is malformed or unassigned.
bool decodeExactly(const char* bytes, int length, std::u16string& out) {
    const int size = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes, length, nullptr, 0);
    if (size <= 0) return false;
    out.resize(static_cast<std::size_t>(size));
    MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes, length, reinterpret_cast<wchar_t*>(out.data()),
                        size);
    return true;
}

// The system's table may lack the single bytes that Windows maps beyond the JIS table: they are mapped here.
std::optional<char16_t> extraCharacterFor(const char* sequence, std::size_t length) {
    if (length == 1)
        for (const auto& extra : detail::kExtraSingleBytes)
            if (static_cast<unsigned char>(*sequence) == extra.byte) return extra.character;
    return std::nullopt;
}

std::optional<char> extraByteFor(char16_t character) {
    for (const auto& extra : detail::kExtraSingleBytes)
        if (character == extra.character) return static_cast<char>(extra.byte);
    return std::nullopt;
}

// Decodes UTF-8; false when some sequence is malformed.
bool decodeUtf8(const char* bytes, int length, std::wstring& out) {
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, length, nullptr, 0);
    if (size <= 0) return false;
    out.resize(static_cast<std::size_t>(size));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, length, out.data(), size);
    return true;
}

std::string fromWide(const wchar_t* text, std::size_t length) {
    std::string out;
    if (length == 0 || encodeExactly(text, static_cast<int>(length), out)) return out;
    // Character by character: a surrogate pair is one character, an unpaired surrogate one '?' of its own.
    std::string result;
    result.reserve(length * 2);
    const char* bytes = reinterpret_cast<const char*>(text);
    const std::size_t total = length * sizeof(wchar_t);
    for (std::size_t at = 0; at < total;) {
        const std::size_t units = detail::utf16BadLength(bytes + at, total - at) / sizeof(wchar_t);
        const wchar_t* unit = text + at / sizeof(wchar_t);
        const bool paired = units == 2 || (*unit < 0xD800 || *unit > 0xDFFF);
        if (paired && encodeExactly(unit, static_cast<int>(units), out)) {
            result += out;
        } else {
            result += extraByteFor(units == 1 ? static_cast<char16_t>(*unit) : u'\0').value_or('?');
        }
        at += units * sizeof(wchar_t);
    }
    return result;
}

} // namespace

std::string toCp932(std::u16string_view text) {
    return fromWide(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

std::string toCp932(std::string_view utf8) {
    std::wstring wide;
    if (utf8.empty() || decodeUtf8(utf8.data(), static_cast<int>(utf8.size()), wide))
        return fromWide(wide.data(), wide.size());
    // Sequence by sequence: each malformed one becomes one '?'.
    std::string result;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t n = detail::utf8BadLength(utf8.data() + at, utf8.size() - at);
        result += decodeUtf8(utf8.data() + at, static_cast<int>(n), wide) ? fromWide(wide.data(), wide.size())
                                                                          : std::string("?");
        at += n;
    }
    return result;
}

std::u16string fromCp932(std::string_view bytes) {
    std::u16string out;
    if (bytes.empty() || decodeExactly(bytes.data(), static_cast<int>(bytes.size()), out)) return out;
    // Sequence by sequence: a lead byte with a trail byte, or else one byte; each failing one is U+FFFD.
    std::u16string result;
    result.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t n = detail::cp932BadLength(bytes.data() + at, bytes.size() - at);
        if (decodeExactly(bytes.data() + at, static_cast<int>(n), out)) {
            result += out;
        } else {
            result += extraCharacterFor(bytes.data() + at, n).value_or(u'\uFFFD');
        }
        at += n;
    }
    return result;
}

} // namespace zelk::codepage

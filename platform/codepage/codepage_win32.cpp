// Code page 932 through the Win32 code page functions.
// Differences from the iconv build: characters without a code page 932 form may take the system's best-fit
// mapping before falling back to '?', and malformed input decodes to the system's default character.
#include "codepage/codepage.h"

#include <windows.h>

namespace zelk::codepage {

namespace {

constexpr UINT kCp932 = 932;

std::string fromWide(const wchar_t* text, int length) {
    if (length <= 0) return {};
    const int size = WideCharToMultiByte(kCp932, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(kCp932, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

std::string toCp932(std::u16string_view text) {
    return fromWide(reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()));
}

std::string toCp932(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return fromWide(wide.data(), length);
}

std::u16string fromCp932(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int size = MultiByteToWideChar(kCp932, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(kCp932, 0, bytes.data(), static_cast<int>(bytes.size()),
                        reinterpret_cast<wchar_t*>(out.data()), size);
    return out;
}

} // namespace zelk::codepage

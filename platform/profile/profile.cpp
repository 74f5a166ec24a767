#include "profile/profile.h"

#include "profile/file_access.h"
#include "profile/ini_text.h"
#include "profile/writer_lock.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace zelk::profile {

namespace {

using namespace detail;

std::size_t copyOut(std::string_view text, char* buffer, std::size_t bufferSize) {
    const std::size_t n = std::min(text.size(), bufferSize - 1);
    if (n > 0) std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n;
}

std::string_view withoutTrailingSpaces(std::string_view s) {
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// Names and values that would not read back as written are refused rather than written: a line break
// would end the line early and could plant other keys or sections, a ']' would end the section's name,
// and so would a section ending in the lead byte of a double-byte character, which takes the closing ']'
// as its second byte; an '=' in a key would split it, and a key starting with ';' or '[' would read as a
// comment or header.
bool storable(std::string_view section, std::string_view key, std::string_view value) {
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) return false;
    if (findClosingBracket(std::string(section) + ']') != section.size()) return false;
    if (key.find('=') != std::string_view::npos) return false;
    const std::string_view keyText = trimBlanks(key);
    return keyText.empty() || (keyText.front() != ';' && keyText.front() != '[');
}

bool writeStringUnguarded(std::string_view section, std::string_view key, std::string_view value,
                          const std::string& path) {
    section = trimSpaces(section);
    key = trimSpaces(key);
    if (!storable(section, key, value)) return false;
    const std::optional<std::string> target = resolveSymlinks(path);
    if (!target) return false;

    const WriterLock lock(*target);
    if (lock.timedOut()) return false;
    std::string text;
    FileMeta meta;
    const ReadStatus status = readWholeFile(*target, text, &meta);
    if (status == ReadStatus::Failed) return false;
    const std::string updated = withKeySet(text, section, key, value);
    // Setting a key to the value it already has leaves the file alone (no rewrite, same answer).
    if (status == ReadStatus::Ok && updated == text) return isWritable(*target);
    return replaceFile(*target, updated, status == ReadStatus::Ok ? &meta : nullptr);
}

} // namespace

std::size_t getString(std::string_view section, std::string_view key, std::string_view defaultValue,
                      char* buffer, std::size_t bufferSize, const std::string& path) {
    if (buffer == nullptr || bufferSize == 0) return 0;
    try {
        std::string text;
        if (readWholeFile(path, text) == ReadStatus::Ok) {
            const Location loc = locate(text, section, key);
            if (loc.keyFound) return copyOut(unquote(loc.rawValue), buffer, bufferSize);
        }
    } catch (const std::exception&) {
        // Out of memory for a huge file: the file counts as unreadable.
    }
    return copyOut(withoutTrailingSpaces(defaultValue), buffer, bufferSize);
}

bool writeString(std::string_view section, std::string_view key, std::string_view value,
                 const std::string& path) {
    try {
        return writeStringUnguarded(section, key, value, path);
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<std::vector<Entry>> readEntries(const std::string& path) {
    std::string text;
    if (readWholeFile(path, text) != ReadStatus::Ok) return std::nullopt;
    return entriesOf(text);
}

std::vector<Entry> entriesOf(std::string_view text) {
    std::vector<Entry> entries;
    for (const EntryLine& line : entryLines(text)) {
        entries.push_back({line.lineNumber, std::string(line.section), std::string(line.key),
                           line.isHeader ? std::string() : std::string(unquote(line.rawValue)), line.counts,
                           line.isHeader, line.unclosed, line.isStray});
    }
    return entries;
}

TextForm textForm(std::string_view text) {
    // UTF-16: its byte order mark, or else a NUL beside nearly every character, as ASCII text has in
    // UTF-16. Code page 932 text never holds a NUL.
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) return TextForm::Utf16;
    const std::size_t pairs = std::min<std::size_t>(text.size(), 512) / 2;
    std::size_t nulFirst = 0, nulSecond = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        nulFirst += text[2 * i] == '\0';
        nulSecond += text[2 * i + 1] == '\0';
    }
    if (pairs > 0 && std::max(nulFirst, nulSecond) * 2 >= pairs && std::min(nulFirst, nulSecond) * 8 < pairs)
        return TextForm::Utf16;
    return text.starts_with(kUtf8ByteOrderMark) ? TextForm::Utf8ByteOrderMark : TextForm::CodePage932;
}

} // namespace zelk::profile

#pragma once
// Reading and writing INI ("profile") files with the semantics of the Windows profile-string functions,
// on bytes: no transcoding happens here. Nothing is cached: every call reads the file anew.
// In the file, CR LF, LF and a lone CR each end a line, for reading and writing alike. A line whose first
// non-blank is '[' is a section header: the name ends at the first ']' that is not the second byte of a
// double-byte character, or else at the end of the line. Blanks around names and values in the file are
// spaces, tabs and vertical tabs; the section and key a caller gives lose their surrounding spaces only.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::profile {

// Looks up key in section of the file at path and copies the value, NUL-terminated, into buffer.
// Names match without regard to ASCII case; the first of duplicate sections and of duplicate keys counts.
// A value loses its surrounding blanks, then one pair of matching outer quotes; its bytes are copied as
// they stand (code page 932 text, even NUL bytes).
// A missing file, section or key gives defaultValue (its trailing spaces removed). A value longer than
// bufferSize - 1 bytes is cut to bufferSize - 1 bytes. Returns the number of bytes copied, NUL excluded.
// bufferSize 0 copies nothing and returns 0.
std::size_t getString(std::string_view section, std::string_view key, std::string_view defaultValue,
                      char* buffer, std::size_t bufferSize, const std::string& path);

// Sets key in section of the file at path to value, editing the file in place: an existing key's line is
// replaced, a new key goes after the last key line of its section, a new section is appended at the end.
// The file is created when missing; a symbolic link is followed and stays a link. The value is written as
// given. Returns false when the file could not be read or written, and for a name or value that would not
// read back as written (a line break anywhere, ']' in the section or a section ending in the first byte of
// a double-byte character, '=' in the key, a key starting with ';' or '[' after its blanks). The new text is
// written to a temporary file in the same directory and renamed over the old one, so a failed write leaves
// the previous file as it was; a directory that may not be written therefore makes every write to a file in
// it fail. Writers in all processes take turns from reading the file to the rename, through a lock file
// beside it (path + ".lock", removed again on Linux), so concurrent writes of different keys all land; a
// writer gives up and returns false after waiting 10 s for another. getString never waits for writers.
bool writeString(std::string_view section, std::string_view key, std::string_view value,
                 const std::string& path);

// One section header or key line of a file, as the reader sees it.
struct Entry {
    std::size_t line = 0; // line number in the file, from 1
    std::string section;  // the section's name as spelled in the header; empty for a key before any header
    std::string key;      // the key's name as spelled; empty for a header
    std::string value;    // as getString hands it out (all of it); empty for a header
    // Whether getString finds this entry: the first section of its name, and there the first key of its
    // name. A key before any header never counts.
    bool counts = false;
    bool isHeader = false; // a section header; a key line may have an empty name ("=8")
    bool unclosed = false; // a header without its closing ']': the rest of its line names the section
    // A line the reader passes over that is no blank line and no comment: text without '=' (and no header).
    // key holds that text, its blanks trimmed.
    bool isStray = false;
};

// Every header, key and stray line of the file at path, in file order, for tools that show what a reader of
// the file sees and what it passes over. No value when the file cannot be read (missing, not a regular file,
// no permission).
std::optional<std::vector<Entry>> readEntries(const std::string& path);
// The same for a file's text already read.
std::vector<Entry> entriesOf(std::string_view text);

// How a file's text reads to a reader of code page 932 text, as the engine and the console read it: as
// such text, as UTF-16 (none of its sections and keys is ever found), or behind a UTF-8 byte order mark
// (which is read as part of line 1, so that line is no section header). Looks at the first 512 bytes.
enum class TextForm { CodePage932, Utf16, Utf8ByteOrderMark };
TextForm textForm(std::string_view text);
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

} // namespace zelk::profile

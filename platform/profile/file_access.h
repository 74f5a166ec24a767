#pragma once
// Whole-file access for the profile functions: reading a file in one go, and replacing one so that a
// failure at any point leaves the previous file as it was.
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace zelk::profile::detail {

enum class ReadStatus { Ok, Missing, Failed };

// Owner and permission bits of an existing file, carried over to the file that replaces it. On Windows the
// system carries them over itself when it replaces the file; only the file's attributes are kept here.
struct FileMeta {
#ifdef _WIN32
    unsigned long attributes = 0;
#else
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
#endif
};

// Reads the whole regular file at path into out. Missing: the path does not exist. Failed: anything else
// that is not a readable regular file (a directory, a FIFO, no permission, a read error).
ReadStatus readWholeFile(const std::string& path, std::string& out, FileMeta* meta = nullptr);

// The path a write has to replace: path itself, or the end of the chain of symbolic links it names
// (which need not exist yet). No value when the chain cannot be followed (a loop, an unreadable link).
std::optional<std::string> resolveSymlinks(const std::string& path);

// Whether the existing file at path may be written by this process.
bool isWritable(const std::string& path);

// Replaces the file at path (no symbolic link) with content: writes a temporary file in the same
// directory, syncs it and renames it over path. existing describes the file being replaced (nullptr:
// there is none); the new file gets its owner where permitted and its permission bits, and an existing
// file that may not be written is refused. On failure the temporary file is removed and path is untouched.
bool replaceFile(const std::string& path, std::string_view content, const FileMeta* existing);

} // namespace zelk::profile::detail

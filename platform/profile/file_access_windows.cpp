// Whole-file access on Windows: the same contract as on Linux, through the Win32 file functions. A file is
// replaced with ReplaceFileA, which keeps the replaced file's attributes, security and names.
#include "profile/file_access.h"

#include <atomic>
#include <cstdint>

#include <windows.h>

namespace zelk::profile::detail {

namespace {

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    // Closes now and reports whether the close succeeded.
    bool close() {
        const HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != 0;
    }

private:
    HANDLE h_;
};

bool writeAll(HANDLE h, std::string_view data) {
    while (!data.empty()) {
        const DWORD chunk = data.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(data.size());
        DWORD written = 0;
        if (!WriteFile(h, data.data(), chunk, &written, nullptr) || written == 0) return false;
        data.remove_prefix(written);
    }
    return true;
}

// Creates a new, empty file next to the target under a name no one else uses.
HANDLE createTemporary(const std::string& dir, const std::string& base, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const std::string stem =
        dir + "." + base.substr(0, 200) + ".tmp" + std::to_string(GetCurrentProcessId()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem + std::to_string(counter.fetch_add(1));
        const HANDLE h =
            CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    return INVALID_HANDLE_VALUE;
}

std::size_t lastSeparator(const std::string& path) {
    return path.find_last_of("\\/");
}

} // namespace

ReadStatus readWholeFile(const std::string& path, std::string& out, FileMeta* meta) {
    // Others may go on reading, writing and replacing the file meanwhile, as with a Linux descriptor.
    Handle file(CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadStatus::Missing
                                                                              : ReadStatus::Failed;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return ReadStatus::Failed;
    if (meta) meta->attributes = info.dwFileAttributes;
    const auto size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    // One spare byte lets the end of the file show without growing the buffer; a file that grows while
    // being read is still read to its end.
    out.resize(static_cast<std::size_t>(size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == out.size()) out.resize(out.size() * 2);
        const std::size_t room = out.size() - used;
        DWORD n = 0;
        if (!ReadFile(file.get(), out.data() + used,
                      room > 0x40000000u ? 0x40000000u : static_cast<DWORD>(room), &n, nullptr))
            return ReadStatus::Failed;
        if (n == 0) break;
        used += n;
    }
    out.resize(used);
    return ReadStatus::Ok;
}

std::optional<std::string> resolveSymlinks(const std::string& path) {
    // ReplaceFileA replaces the file a link names and keeps the link: nothing to follow here.
    return path;
}

bool isWritable(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0 &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool replaceFile(const std::string& path, std::string_view content, const FileMeta* existing) {
    // A file that may not be written is not replaced, even where its directory would allow it.
    if (existing && !isWritable(path)) return false;
    const std::size_t separator = lastSeparator(path);
    const std::string dir = separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
    const std::string base = separator == std::string::npos ? path : path.substr(separator + 1);

    std::string tempName;
    Handle file(createTemporary(dir, base, tempName));
    if (!file.valid()) return false;
    bool ok = writeAll(file.get(), content) && FlushFileBuffers(file.get());
    ok = file.close() && ok;
    if (ok) {
        if (existing)
            ok = ReplaceFileA(path.c_str(), tempName.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                              nullptr, nullptr) != 0;
        else
            ok = MoveFileExA(tempName.c_str(), path.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!ok) {
        DeleteFileA(tempName.c_str());
        return false;
    }
    return true;
}

} // namespace zelk::profile::detail

#include "core/log_buffer.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <string>

#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zelk {

bool LogBuffer::append(std::string_view row) {
    if (row.size() + fill_ > kCapacity) return false;
    std::memcpy(bytes_.data() + fill_, row.data(), row.size());
    bytes_[fill_ + row.size()] = '\n';
    fill_ += row.size() + 1;
    return true;
}

void LogBuffer::clear() {
    std::memset(bytes_.data(), 0, fill_);
    fill_ = 0;
}

namespace {

// Opens the log file for writing from its start. On Linux only a regular file (or a new one) is taken: a
// FIFO without a reader would block the close for ever, and a device file is no log file. Such a path is
// not even opened; the check is repeated on the opened file in case the path changed meanwhile. On Windows
// the UTF-8 path is opened by its Unicode name.
std::FILE* openLogFile(const char* path) {
#ifdef _WIN32
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 0) return nullptr;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.data(), length) != length)
        return nullptr;
    return _wfopen(wide.c_str(), L"wb");
#else
    struct stat st {};
    if (::stat(path, &st) == 0 && !S_ISREG(st.st_mode)) return nullptr;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* file = nullptr;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) == 0) file = ::fdopen(fd, "wb");
    if (file == nullptr) ::close(fd);
    return file;
#endif
}

} // namespace

bool LogBuffer::writeFile(const char* path) const {
    std::FILE* file = openLogFile(path);
    if (file == nullptr) return false;
    // Translate LF to CR LF through a small buffer, the same on every platform.
    char chunk[8192];
    std::size_t used = 0;
    bool ok = true;
    for (std::size_t i = 0; i < fill_ && ok; ++i) {
        if (bytes_[i] == '\n') chunk[used++] = '\r';
        chunk[used++] = bytes_[i];
        if (used >= sizeof chunk - 1) {
            ok = std::fwrite(chunk, 1, used, file) == used;
            used = 0;
        }
    }
    if (ok && used > 0) ok = std::fwrite(chunk, 1, used, file) == used;
    return (std::fclose(file) == 0) && ok;
}

} // namespace zelk

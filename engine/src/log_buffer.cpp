#include "log_buffer.h"

#include <cstdio>
#include <cstring>

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

bool LogBuffer::writeFile(const char* path) const {
    std::FILE* file = std::fopen(path, "wb");
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

#include "profile/file_access.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelk::profile::detail {

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded (a late write error can surface here).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Gives the new file the replaced file's owner (only where permitted: as root, or a group of one's own)
// and its permission bits. Changing the owner first, since that may clear set-id bits.
bool applyMeta(int fd, const FileMeta& meta) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && (st.st_uid != meta.uid || st.st_gid != meta.gid))
        (void)!::fchown(fd, meta.uid, meta.gid);
    return ::fchmod(fd, meta.mode & 07777) == 0;
}

// Creates a new, empty file next to the target under a name no one else uses. The mode 0666 lets the
// process's umask decide the permissions of a newly created profile file, as for any other new file.
int createTemporary(const std::string& dir, const std::string& base, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const std::string stem = dir + "." + base.substr(0, 200) + ".tmp" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem + std::to_string(counter.fetch_add(1));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

void syncDirectory(const std::string& dir) {
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

} // namespace

ReadStatus readWholeFile(const std::string& path, std::string& out, FileMeta* meta) {
    // O_NONBLOCK keeps a FIFO from blocking the open; only regular files are read.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadStatus::Failed;
    if (meta) *meta = {st.st_mode, st.st_uid, st.st_gid};
    // One spare byte lets the end of the file show without growing the buffer; a file that grows while
    // being read is still read to its end.
    out.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == out.size()) out.resize(out.size() * 2);
        const ssize_t n = ::read(fd.get(), out.data() + used, out.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ReadStatus::Failed;
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    out.resize(used);
    return ReadStatus::Ok;
}

std::optional<std::string> resolveSymlinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string target(static_cast<std::size_t>(st.st_size) + 256, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return std::nullopt;
        target.resize(static_cast<std::size_t>(n));
        const std::size_t slash = current.rfind('/');
        if (target.front() == '/' || slash == std::string::npos)
            current = target;
        else
            current = current.substr(0, slash + 1) + target;
    }
    return std::nullopt;
}

bool isWritable(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool replaceFile(const std::string& path, std::string_view content, const FileMeta* existing) {
    // A file that may not be written is not replaced, even where its directory would allow the rename.
    if (existing && !isWritable(path)) return false;
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);

    std::string tempName;
    Fd fd(createTemporary(dir, base, tempName));
    if (fd.get() < 0) return false;
    bool ok = writeAll(fd.get(), content) && (!existing || applyMeta(fd.get(), *existing)) &&
              ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    ok = ok && ::rename(tempName.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(tempName.c_str());
        return false;
    }
    syncDirectory(dir);
    return true;
}

} // namespace zelk::profile::detail

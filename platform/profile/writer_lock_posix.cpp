// The writers' lock with flock on a lock file that its holder removes before letting go, so that no
// lock file stays behind. A waiter may therefore end up holding a file that is no longer in the folder;
// it checks, after locking, that the file it holds is still the one at the path, and starts again if not.
// flock locks are released by the system when their holder dies; a lock file left by a killed writer is
// taken and removed by the next one.
#include "profile/writer_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelk::profile::detail {

namespace {

bool namesTheSameFile(int fd, const std::string& path) {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

} // namespace

WriterLock::WriterLock(const std::string& path) : lockPath_(path + ".lock") {
    int fd = -1;
    const Attempt attempt = retryWhileBusy([&] {
        if (fd < 0) fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) return Attempt::Unavailable;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
            return errno == EWOULDBLOCK || errno == EINTR ? Attempt::Busy : Attempt::Unavailable;
        if (namesTheSameFile(fd, lockPath_)) return Attempt::Locked;
        ::close(fd); // its holder removed it after it was opened: try the one at the path now
        fd = -1;
        return Attempt::Busy;
    });
    if (attempt == Attempt::Locked) {
        fd_ = fd;
        return;
    }
    if (fd >= 0) ::close(fd);
    timedOut_ = attempt == Attempt::Busy;
}

WriterLock::~WriterLock() {
    if (fd_ < 0) return;
    ::unlink(lockPath_.c_str());
    ::close(fd_);
}

} // namespace zelk::profile::detail

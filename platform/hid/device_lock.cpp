#include "hid/device_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace zelk::hid {

UniqueFd lockDevice(const std::string& path, int* error) {
    // Read-only and non-blocking: the node is opened for the lock alone and never read through this
    // descriptor.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        if (error != nullptr) *error = errno;
        return fd;
    }
    int r;
    do {
        r = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
        if (error != nullptr) *error = errno;
        fd.reset();
    }
    return fd;
}

} // namespace zelk::hid

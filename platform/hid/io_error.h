#pragma once
// The reason of a failed read or write from the system's error number.
#include "hid/hid.h"

#include <cerrno>

namespace zelk::hid {

inline IoError ioErrorFromErrno(int error) {
    if (error == EAGAIN || error == EWOULDBLOCK || error == ETIMEDOUT) return {IoFailure::TimedOut, error};
    if (error == ENODEV || error == ENXIO || error == ENOENT || error == EPIPE || error == ECONNRESET ||
        error == ENOTCONN || error == ESHUTDOWN)
        return {IoFailure::Gone, error}; // unplugged, or the other end closed
    return {IoFailure::System, error};
}

} // namespace zelk::hid

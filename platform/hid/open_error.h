#pragma once
// The reason of a failed open from the system's error number.
#include "hid/hid.h"

#include <cerrno>

namespace zelk::hid {

inline OpenError openErrorFromErrno(int error) {
    OpenFailure kind = OpenFailure::Unknown;
    if (error == EACCES || error == EPERM)
        kind = OpenFailure::NoPermission;
    else if (error == EWOULDBLOCK || error == EAGAIN || error == EBUSY)
        kind = OpenFailure::InUse; // a lock held elsewhere, or a board busy with others
    else if (error == ENOENT || error == ENODEV || error == ENXIO || error == ECONNREFUSED)
        kind = OpenFailure::Missing; // unplugged, or a socket that nobody serves any more
    return {kind, error};
}

} // namespace zelk::hid

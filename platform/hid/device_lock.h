#pragma once
// One controller per board across processes: an exclusive advisory lock on the device node that a backend
// opens, held while the returned descriptor is open and released with it (or when the process ends).
#include "hid/unique_fd.h"

#include <string>

namespace zelk::hid {

// Takes an exclusive lock (flock) on path without waiting. The descriptor is invalid when path cannot be
// opened or another open of it, in this process or another, holds the lock; error (when given) then holds
// the reason: the open's errno, or EWOULDBLOCK for a lock held elsewhere.
UniqueFd lockDevice(const std::string& path, int* error = nullptr);

} // namespace zelk::hid

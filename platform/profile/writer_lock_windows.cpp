// The writers' lock with LockFileEx on a lock file beside the profile file. The lock file stays in the
// folder: a file that other processes may be opening cannot be removed reliably on Windows. The system
// releases the lock when its holder dies.
#include "profile/writer_lock.h"

#include <windows.h>

namespace zelk::profile::detail {

WriterLock::WriterLock(const std::string& path) : lockPath_(path + ".lock") {
    const HANDLE file =
        CreateFileA(lockPath_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const Attempt attempt = retryWhileBusy([&] {
        OVERLAPPED first{};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &first))
            return Attempt::Locked;
        return GetLastError() == ERROR_LOCK_VIOLATION ? Attempt::Busy : Attempt::Unavailable;
    });
    if (attempt == Attempt::Locked) {
        handle_ = file;
        return;
    }
    CloseHandle(file);
    timedOut_ = attempt == Attempt::Busy;
}

WriterLock::~WriterLock() {
    if (handle_ == nullptr) return;
    OVERLAPPED first{};
    UnlockFileEx(handle_, 0, 1, 0, &first);
    CloseHandle(handle_);
}

} // namespace zelk::profile::detail

#pragma once
// The reason of a failed read or write from a Windows error code (GetLastError()). Windows only.
#include "hid/hid.h"

#include <windows.h>

namespace zelk::hid {

inline IoError ioErrorFromWindows(DWORD error) {
    const int number = static_cast<int>(error);
    switch (error) {
    case ERROR_SEM_TIMEOUT:
        return {IoFailure::TimedOut, number};
    case ERROR_DEVICE_NOT_CONNECTED: // a HID device unplugged
    case ERROR_GEN_FAILURE:          // what a HID device that is being removed answers
    case ERROR_FILE_NOT_FOUND:
    case ERROR_BROKEN_PIPE: // a virtual board's program ended
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED:
        return {IoFailure::Gone, number};
    default:
        return {IoFailure::System, number};
    }
}

} // namespace zelk::hid

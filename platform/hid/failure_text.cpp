#include "hid/failure_text.h"

#include <cstdio>
#include <cstring>
#ifdef _WIN32
#include <windows.h>
#endif

namespace zelk::hid {
namespace {

// strerror_r comes in two kinds: the POSIX one returns 0 and fills the buffer, the GNU one returns the text.
[[maybe_unused]] const char* errorText(int result, const char* buffer) {
    return result == 0 ? buffer : "";
}
[[maybe_unused]] const char* errorText(const char* result, const char* /*buffer*/) {
    return result != nullptr ? result : "";
}

// "reason" alone, or "reason (system text)" when the system gave a number.
void withSystemText(const char* reason, int errorNumber, char* text, std::size_t size) {
    if (size == 0) return;
    if (errorNumber == 0) {
        std::snprintf(text, size, "%s", reason);
        return;
    }
    char system[kReasonTextBytes];
    systemErrorText(errorNumber, system, sizeof system);
    std::snprintf(text, size, "%s (%s)", reason, system);
}

} // namespace

void systemErrorText(int errorNumber, char* text, std::size_t size) {
    if (size == 0) return;
#ifdef _WIN32
    // In English, as the rest of the trace: the system's own language may not be the reader's.
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(errorNumber),
        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, static_cast<DWORD>(size), nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.'))
        text[--length] = '\0';
    if (length == 0)
        std::snprintf(text, size, "Windows error %d", errorNumber);
    else
        std::snprintf(text + length, size - length, ", Windows error %d", errorNumber);
#else
    char buffer[kReasonTextBytes] = "";
    std::snprintf(text, size, "%s", errorText(strerror_r(errorNumber, buffer, sizeof buffer), buffer));
#endif
}

void describeIoError(const IoError& error, char* text, std::size_t size) {
    switch (error.kind) {
    case IoFailure::None:
        withSystemText("no reason kept", 0, text, size); // or a backend that keeps none
        return;
    case IoFailure::TimedOut:
        withSystemText("time-out: the board did not respond in time", error.errorNumber, text, size);
        return;
    case IoFailure::Gone:
        withSystemText("the board is gone: unplugged, or its program ended", error.errorNumber, text, size);
        return;
    case IoFailure::System:
        if (error.errorNumber != 0)
            systemErrorText(error.errorNumber, text, size);
        else
            withSystemText("the system gave no reason", 0, text, size);
        return;
    case IoFailure::Rejected:
        withSystemText("not a report of the board's report length", 0, text, size);
        return;
    }
    withSystemText("unknown failure", error.errorNumber, text, size);
}

void describeOpenError(const OpenError& error, char* text, std::size_t size) {
    const char* reason = "it cannot be opened";
    switch (error.kind) {
    case OpenFailure::Unknown:
        break;
    case OpenFailure::Missing:
        reason = "nothing to open: it is gone, or nobody serves it";
        break;
    case OpenFailure::InUse:
        reason = "in use by another program";
        break;
    case OpenFailure::NoPermission:
        reason = "no permission to open it";
        break;
    case OpenFailure::NoAnswer:
        reason = "it did not identify itself in time";
        break;
    }
    withSystemText(reason, error.errorNumber, text, size);
}

void Device::describeLastError(char* text, std::size_t size) const {
    describeIoError(lastError(), text, size);
}

} // namespace zelk::hid

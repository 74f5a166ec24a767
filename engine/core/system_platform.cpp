#include "core/system_platform.h"

#include "hid/backends.h"

#include <cerrno>
#include <climits>
#include <ctime>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace zelk {

SystemPlatform::SystemPlatform() : devices_(hid::makeSystemBackend()) {}
SystemPlatform::~SystemPlatform() = default;

std::unique_ptr<timer::PeriodicTimer> SystemPlatform::makeTimer() {
    return timer::makeSystemTimer();
}

LocalTime SystemPlatform::now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

#ifdef _WIN32
void SystemPlatform::sleepMs(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

bool SystemPlatform::currentDirectory(std::string& directory) {
    // Asked for its size first: a current directory may be longer than MAX_PATH.
    const DWORD size = GetCurrentDirectoryA(0, nullptr);
    if (size == 0) return false;
    std::string buffer(size, '\0');
    const DWORD length = GetCurrentDirectoryA(size, buffer.data());
    if (length == 0 || length >= size) return false;
    buffer.resize(length);
    directory = std::move(buffer);
    return true;
}
#else
void SystemPlatform::sleepMs(int milliseconds) {
    timespec delay{milliseconds / 1000, (milliseconds % 1000) * 1'000'000L};
    while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

bool SystemPlatform::currentDirectory(std::string& directory) {
    // The platform's own path limit, not a fixed 256 bytes: deep working directories are normal here.
    char buffer[PATH_MAX];
    if (getcwd(buffer, sizeof buffer) == nullptr) return false;
    directory = buffer;
    return true;
}
#endif

} // namespace zelk

#include "system_platform.h"

#include "hid/backends.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <unistd.h>

namespace zelk {

SystemPlatform::SystemPlatform() : devices_(hid::makeSystemBackend()) {}
SystemPlatform::~SystemPlatform() = default;

std::unique_ptr<timer::PeriodicTimer> SystemPlatform::makeTimer() {
    return timer::makeSystemTimer();
}

LocalTime SystemPlatform::now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

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

} // namespace zelk

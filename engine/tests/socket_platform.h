#pragma once
// The system platform with the virtual boards of one directory as the only devices: real sockets, the real
// timer and real sleeps. For end-to-end tests and benchmarks that must not meet other boards.
#include "core/engine_platform.h"
#include "hid/backends.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace zelk::test {

class SocketPlatform final : public Platform {
public:
    SocketPlatform(std::string boardDirectory, std::string cwd)
        : devices_(hid::makeVirtualBackend(std::move(boardDirectory))), cwd_(std::move(cwd)) {}
    hid::Backend& devices() override { return *devices_; }
    std::unique_ptr<timer::PeriodicTimer> makeTimer() override { return timer::makeSystemTimer(); }
    LocalTime now() override { return clock; }
    void sleepMs(int milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    bool currentDirectory(std::string& directory) override {
        directory = cwd_;
        return true;
    }
    void putClipboard(const char*) override {}

    LocalTime clock{2026, 1, 2, 3, 4, 5};

private:
    std::unique_ptr<hid::Backend> devices_;
    std::string cwd_;
};

} // namespace zelk::test

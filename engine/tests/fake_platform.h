#pragma once
// A platform for engine tests: boards are in-process board models, the timer fires only when the test says
// so, time passes only by sleeps (and where a test moves it), and clipboard texts are collected.
#include "core/engine_platform.h"
#include "virtual_board/board_model.h"
#include "virtual_board/model_device.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zelk::test {

class FakeTimer final : public timer::PeriodicTimer {
public:
    bool start(int periodMs, Callback callback, void* context) override {
        if (armed_.load()) return false;
        period_ = periodMs;
        callback_ = callback;
        context_ = context;
        armed_.store(true, std::memory_order_release);
        return true;
    }
    void cancel() override { armed_.store(false, std::memory_order_release); }
    bool armed() const { return armed_.load(std::memory_order_acquire); }
    // Runs one period's callback if the timer is armed.
    bool fire() {
        if (!armed()) return false;
        callback_(context_);
        return true;
    }

private:
    std::atomic<bool> armed_{false};
    int period_ = 0;
    Callback callback_ = nullptr;
    void* context_ = nullptr;
};

// Devices by path: a board model, a device of the test's own making, or nullptr for a path that cannot be
// opened.
class FakeBackend final : public hid::Backend {
public:
    using Factory = std::function<std::unique_ptr<hid::Device>()>;

    void add(std::string path, vboard::BoardModel* model) {
        Factory factory;
        if (model != nullptr) factory = [model] { return std::make_unique<vboard::ModelDevice>(*model); };
        add(std::move(path), std::move(factory));
    }
    void add(std::string path, Factory factory) {
        devices_.emplace_back(std::move(path), std::move(factory));
    }
    std::vector<std::string> enumerate() override {
        std::vector<std::string> paths;
        for (const auto& d : devices_)
            paths.push_back(d.first);
        return paths;
    }
    std::unique_ptr<hid::Device> open(const std::string& path) override {
        for (const auto& d : devices_)
            if (d.first == path && d.second) {
                ++opened;
                return d.second();
            }
        return nullptr;
    }
    // The IDs that the enumeration lists for a path, as hidapi's does; a path without them is known only
    // once opened.
    void list(const std::string& path, std::uint16_t vendorId, std::uint16_t productId) {
        listed_[path] = {vendorId, productId};
    }
    bool listedAttributes(const std::string& path, std::uint16_t& vendorId,
                          std::uint16_t& productId) override {
        const auto ids = listed_.find(path);
        if (ids == listed_.end()) return false;
        vendorId = ids->second.first;
        productId = ids->second.second;
        return true;
    }
    int opened = 0;

private:
    std::vector<std::pair<std::string, Factory>> devices_;
    std::map<std::string, std::pair<std::uint16_t, std::uint16_t>> listed_;
};

class FakePlatform final : public Platform {
public:
    hid::Backend& devices() override { return backend; }
    std::unique_ptr<timer::PeriodicTimer> makeTimer() override {
        auto t = std::make_unique<FakeTimer>();
        timer.store(t.get());
        return t;
    }
    LocalTime now() override { return clock; }
    void sleepMs(int milliseconds) override {
        sleptMs += milliseconds;
        elapsedMs += milliseconds;
    }
    std::chrono::steady_clock::time_point steadyNow() override {
        return std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(elapsedMs.load());
    }
    bool currentDirectory(std::string& directory) override {
        if (cwd.empty()) return false;
        directory = cwd;
        return true;
    }
    void putClipboard(const char* text) override { clipboardTexts.emplace_back(text); }

    // Waits until the control thread has armed the timer of the current run.
    FakeTimer& armedTimer() {
        while (timer.load() == nullptr || !timer.load()->armed())
            std::this_thread::yield();
        return *timer.load();
    }

    FakeBackend backend;
    std::atomic<FakeTimer*> timer{nullptr};
    LocalTime clock{2026, 12, 7, 9, 5, 3};
    std::atomic<long> sleptMs{0};
    std::atomic<long> elapsedMs{0}; // the monotonic clock: it moves by sleeps and by what a test adds
    std::string cwd;
    std::vector<std::string> clipboardTexts;
};

} // namespace zelk::test

#pragma once
// A fake of the Windows HID system calls: devices with scripted attributes, capabilities and reads.
#include "hid/windows_hid.h"

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zelk::hid::winhid::test {

struct FakeHidDevice {
    FakeHidDevice(std::uint16_t vendor, std::uint16_t product, std::size_t input = 9, std::size_t output = 9)
        : vendorId(vendor), productId(product), inputLength(input), outputLength(output) {}
    std::uint16_t vendorId;
    std::uint16_t productId;
    std::size_t inputLength;
    std::size_t outputLength;
    bool opens = true;
    bool hasCapabilities = true;
    // What each read finds: a report ready at once, or none (the read stays pending until one is queued).
    std::deque<std::vector<std::uint8_t>> reports;
    std::vector<std::vector<std::uint8_t>> written;
    IoError writeFailure; // while set, writes fail with this reason
    bool open = false;    // a handle of this device is open
};

class FakeHidSystem : public System {
public:
    // The devices, by path, listed in insertion order; the system does not own them.
    void add(std::string path, FakeHidDevice& device) { devices_.emplace_back(std::move(path), &device); }

    std::vector<std::string> interfacePaths() override {
        std::vector<std::string> paths;
        for (const auto& d : devices_)
            paths.push_back(d.first);
        return paths;
    }

    std::unique_ptr<DeviceHandle> open(const std::string& path) override {
        opened.push_back(path);
        for (auto& [p, device] : devices_)
            if (p == path && device->opens && !device->open) return std::make_unique<Handle>(*device);
        return nullptr;
    }

    std::vector<std::string> opened; // every path open() was asked for

private:
    class Handle : public DeviceHandle {
    public:
        explicit Handle(FakeHidDevice& device) : device_(device) { device_.open = true; }
        ~Handle() override { device_.open = false; }
        bool attributes(std::uint16_t& vendorId, std::uint16_t& productId) override {
            vendorId = device_.vendorId;
            productId = device_.productId;
            return true;
        }
        bool capabilities(std::size_t& inputLength, std::size_t& outputLength) override {
            inputLength = device_.inputLength;
            outputLength = device_.outputLength;
            return device_.hasCapabilities;
        }
        IoResult startRead(std::uint8_t* buffer, std::size_t length, std::size_t& bytes) override {
            buffer_ = buffer;
            length_ = length;
            return take(bytes);
        }
        IoResult waitRead(int, std::size_t& bytes) override { return take(bytes); }
        bool write(const std::uint8_t* report, std::size_t length, int) override {
            if (device_.writeFailure.kind != IoFailure::None) return false;
            device_.written.emplace_back(report, report + length);
            return true;
        }
        IoError lastError() const override { return device_.writeFailure; }

    private:
        IoResult take(std::size_t& bytes) {
            if (device_.reports.empty()) return IoResult::Pending;
            const auto report = device_.reports.front();
            device_.reports.pop_front();
            bytes = std::min(report.size(), length_);
            std::copy_n(report.begin(), bytes, buffer_);
            return IoResult::Done;
        }
        FakeHidDevice& device_;
        std::uint8_t* buffer_ = nullptr;
        std::size_t length_ = 0;
    };

    std::vector<std::pair<std::string, FakeHidDevice*>> devices_;
};

} // namespace zelk::hid::winhid::test

// The Windows HID backend's logic: report lengths from the capabilities, and reads that wait at most the
// caller's time-out. A read that times out stays pending, so the report it is waiting for is not lost: the
// next read collects it.
#include "hid/windows_hid.h"

#include <algorithm>
#include <cstring>

namespace zelk::hid::winhid {
namespace {

// A write that does not complete within this time fails, as the virtual boards' writes do.
constexpr int kWriteTimeoutMs = 100;

class WindowsHidDevice : public Device {
public:
    explicit WindowsHidDevice(std::unique_ptr<DeviceHandle> handle) : handle_(std::move(handle)) {
        std::size_t input = 0, output = 0;
        if (handle_->capabilities(input, output) && input > 0 && output > 0) {
            lengths_ = {input, output};
            report_.resize(input);
        }
    }
    ~WindowsHidDevice() override { handle_.reset(); } // before the buffer a pending read fills

    bool attributes(std::uint16_t& vendorId, std::uint16_t& productId) override {
        return handle_->attributes(vendorId, productId);
    }

    bool reportLengths(ReportLengths& lengths) override {
        if (report_.empty()) return false;
        lengths = lengths_;
        return true;
    }

    int read(std::uint8_t* buffer, std::size_t length, int timeoutMs) override {
        // The system reads whole reports only: into a buffer of the declared input length.
        if (buffer == nullptr || length == 0 || report_.empty()) {
            lastError_ = {IoFailure::Rejected, 0};
            return -1;
        }
        std::size_t bytes = 0;
        IoResult result;
        if (pending_) {
            result = handle_->waitRead(std::max(timeoutMs, 0), bytes);
        } else {
            result = handle_->startRead(report_.data(), report_.size(), bytes);
            if (result == IoResult::Pending) result = handle_->waitRead(std::max(timeoutMs, 0), bytes);
        }
        pending_ = result == IoResult::Pending;
        if (result != IoResult::Done || bytes == 0) {
            lastError_ = pending_                     ? IoError{IoFailure::TimedOut, 0}
                         : result == IoResult::Failed ? handle_->lastError()
                                                      : IoError{IoFailure::System, 0};
            return -1;
        }
        lastError_ = {};
        const std::size_t n = std::min({bytes, length, report_.size()});
        std::memcpy(buffer, report_.data(), n);
        return static_cast<int>(n);
    }

    bool write(const std::uint8_t* report, std::size_t length) override {
        if (report == nullptr || length == 0) {
            lastError_ = {IoFailure::Rejected, 0};
            return false;
        }
        const bool written = handle_->write(report, length, kWriteTimeoutMs);
        lastError_ = written ? IoError{} : handle_->lastError();
        return written;
    }

    IoError lastError() const override { return lastError_; }

private:
    std::vector<std::uint8_t> report_;
    std::unique_ptr<DeviceHandle> handle_;
    ReportLengths lengths_;
    bool pending_ = false;
    IoError lastError_;
};

class WindowsHidBackend : public Backend {
public:
    explicit WindowsHidBackend(std::unique_ptr<System> system) : system_(std::move(system)) {}

    std::vector<std::string> enumerate() override { return system_->interfacePaths(); }

    std::unique_ptr<Device> open(const std::string& path) override {
        auto handle = system_->open(path);
        if (!handle) return nullptr;
        return makeDevice(std::move(handle));
    }

private:
    std::unique_ptr<System> system_;
};

} // namespace

std::unique_ptr<Device> makeDevice(std::unique_ptr<DeviceHandle> handle) {
    return std::make_unique<WindowsHidDevice>(std::move(handle));
}

std::unique_ptr<Backend> makeBackend(std::unique_ptr<System> system) {
    return std::make_unique<WindowsHidBackend>(std::move(system));
}

} // namespace zelk::hid::winhid

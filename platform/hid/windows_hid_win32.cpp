// The Windows HID backend's system calls: SetupAPI for the HID class interfaces, the HID library for
// attributes and capabilities, overlapped ReadFile and WriteFile for the reports.
#include "hid/windows_error.h"
#include "hid/windows_hid.h"

#include <windows.h>

// The HID headers of MinGW-w64 declare C functions without saying so.
extern "C" {
#include <hidsdi.h>
}
#include <setupapi.h>

namespace zelk::hid::winhid {
namespace {

class Event {
public:
    Event() : h_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() {
        if (h_ != nullptr) CloseHandle(h_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// Waits for an overlapped operation; one still running after timeoutMs is cancelled and waited for, so its
// OVERLAPPED and buffer may go. Returns the bytes transferred, or false on failure or time-out, with the
// reason in error.
bool finish(HANDLE device, OVERLAPPED& overlapped, int timeoutMs, DWORD& bytes, IoError& error) {
    const DWORD waited = WaitForSingleObject(overlapped.hEvent, static_cast<DWORD>(timeoutMs));
    if (waited != WAIT_OBJECT_0) {
        error = waited == WAIT_TIMEOUT ? IoError{IoFailure::TimedOut, 0} : ioErrorFromWindows(GetLastError());
        CancelIoEx(device, &overlapped);
        GetOverlappedResult(device, &overlapped, &bytes, TRUE);
        return false;
    }
    if (GetOverlappedResult(device, &overlapped, &bytes, FALSE) != 0) return true;
    error = ioErrorFromWindows(GetLastError());
    return false;
}

class Win32DeviceHandle : public DeviceHandle {
public:
    explicit Win32DeviceHandle(HANDLE device) : device_(device) { read_.hEvent = readEvent_.get(); }
    ~Win32DeviceHandle() override {
        if (reading_) {
            CancelIoEx(device_, &read_);
            DWORD ignored = 0;
            GetOverlappedResult(device_, &read_, &ignored, TRUE);
        }
        CloseHandle(device_);
    }
    Win32DeviceHandle(const Win32DeviceHandle&) = delete;
    Win32DeviceHandle& operator=(const Win32DeviceHandle&) = delete;

    bool valid() const { return readEvent_.get() != nullptr && writeEvent_.get() != nullptr; }

    bool attributes(std::uint16_t& vendorId, std::uint16_t& productId) override {
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        if (!HidD_GetAttributes(device_, &attributes)) return false;
        vendorId = attributes.VendorID;
        productId = attributes.ProductID;
        return true;
    }

    bool capabilities(std::size_t& inputLength, std::size_t& outputLength) override {
        PHIDP_PREPARSED_DATA preparsed = nullptr;
        if (!HidD_GetPreparsedData(device_, &preparsed)) return false;
        HIDP_CAPS caps{};
        const bool ok = HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS;
        HidD_FreePreparsedData(preparsed);
        if (!ok) return false;
        inputLength = caps.InputReportByteLength;
        outputLength = caps.OutputReportByteLength;
        return true;
    }

    IoResult startRead(std::uint8_t* buffer, std::size_t length, std::size_t& bytes) override {
        ResetEvent(read_.hEvent);
        DWORD n = 0;
        if (ReadFile(device_, buffer, static_cast<DWORD>(length), nullptr, &read_)) {
            if (!GetOverlappedResult(device_, &read_, &n, FALSE)) return failed();
            bytes = n;
            return IoResult::Done;
        }
        if (GetLastError() != ERROR_IO_PENDING) return failed();
        reading_ = true;
        return IoResult::Pending;
    }

    IoResult waitRead(int timeoutMs, std::size_t& bytes) override {
        if (!reading_) return IoResult::Failed;
        const DWORD waited = WaitForSingleObject(read_.hEvent, static_cast<DWORD>(timeoutMs));
        if (waited == WAIT_TIMEOUT) return IoResult::Pending;
        reading_ = false;
        DWORD n = 0;
        if (waited != WAIT_OBJECT_0 || !GetOverlappedResult(device_, &read_, &n, FALSE)) {
            failed();
            if (waited != WAIT_OBJECT_0) {
                CancelIoEx(device_, &read_);
                GetOverlappedResult(device_, &read_, &n, TRUE);
            }
            return IoResult::Failed;
        }
        bytes = n;
        return IoResult::Done;
    }

    bool write(const std::uint8_t* report, std::size_t length, int timeoutMs) override {
        OVERLAPPED overlapped{};
        overlapped.hEvent = writeEvent_.get();
        ResetEvent(overlapped.hEvent);
        DWORD n = 0;
        if (!WriteFile(device_, report, static_cast<DWORD>(length), nullptr, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING) {
            failed();
            return false;
        }
        if (!finish(device_, overlapped, timeoutMs, n, error_)) return false;
        if (n != length) error_ = {IoFailure::System, 0};
        return n == length;
    }

    IoError lastError() const override { return error_; }

private:
    // Keeps the reason of the call that just failed.
    IoResult failed() {
        error_ = ioErrorFromWindows(GetLastError());
        return IoResult::Failed;
    }

    HANDLE device_;
    Event readEvent_;
    Event writeEvent_;
    OVERLAPPED read_{};
    bool reading_ = false;
    IoError error_;
};

class Win32System : public System {
public:
    std::vector<std::string> interfacePaths() override {
        std::vector<std::string> paths;
        GUID hidClass;
        HidD_GetHidGuid(&hidClass);
        const HDEVINFO set =
            SetupDiGetClassDevsA(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE) return paths;
        for (DWORD index = 0;; ++index) {
            SP_DEVICE_INTERFACE_DATA entry{};
            entry.cbSize = sizeof entry;
            if (!SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, index, &entry)) break;
            DWORD size = 0;
            SetupDiGetDeviceInterfaceDetailA(set, &entry, nullptr, 0, &size, nullptr);
            if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
            // The detail is a header followed by the path; a DWORD-aligned buffer of the size asked for.
            std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (SetupDiGetDeviceInterfaceDetailA(set, &entry, detail, size, nullptr, nullptr))
                paths.emplace_back(detail->DevicePath);
        }
        SetupDiDestroyDeviceInfoList(set);
        return paths;
    }

    std::unique_ptr<DeviceHandle> open(const std::string& path) override {
        const HANDLE device = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (device == INVALID_HANDLE_VALUE) return nullptr;
        auto handle = std::make_unique<Win32DeviceHandle>(device);
        if (!handle->valid()) return nullptr;
        return handle;
    }
};

} // namespace

std::unique_ptr<System> makeWin32System() {
    return std::make_unique<Win32System>();
}

} // namespace zelk::hid::winhid

#pragma once
// Real boards on Windows: HID class interfaces found through SetupAPI, opened for this process alone, with
// report lengths from the HID capabilities and every read bounded in time by overlapped I/O.
//
// The backend's logic runs over System and DeviceHandle, one call per Win32 step, so that it is tested with
// a fake on any platform; makeWin32System() is the real one (Windows only).
#include "hid/hid.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zelk::hid::winhid {

enum class IoResult { Done, Pending, Failed };

// One open device handle (CreateFileA with FILE_FLAG_OVERLAPPED). Closing it cancels a pending read and
// waits for the cancellation before the handle is closed.
class DeviceHandle {
public:
    virtual ~DeviceHandle() = default;
    // HidD_GetAttributes.
    virtual bool attributes(std::uint16_t& vendorId, std::uint16_t& productId) = 0;
    // HidD_GetPreparsedData and HidP_GetCaps: the input and output report lengths, report ID byte included.
    virtual bool capabilities(std::size_t& inputLength, std::size_t& outputLength) = 0;
    // Starts reading one input report into buffer (ReadFile). Done: bytes holds its length. Pending: the
    // read goes on, buffer must stay valid until waitRead reports Done or Failed, or the handle is closed.
    virtual IoResult startRead(std::uint8_t* buffer, std::size_t length, std::size_t& bytes) = 0;
    // Waits at most timeoutMs for the read that is pending. Pending: it still is.
    virtual IoResult waitRead(int timeoutMs, std::size_t& bytes) = 0;
    // Writes one output report (WriteFile), waiting at most timeoutMs; a write still running then is
    // cancelled.
    virtual bool write(const std::uint8_t* report, std::size_t length, int timeoutMs) = 0;
    // Why the latest startRead, waitRead or write that failed did (a write that timed out: TimedOut).
    virtual IoError lastError() const { return {IoFailure::System, 0}; }
};

class System {
public:
    virtual ~System() = default;
    // Device paths of the present HID class interfaces, in the order SetupAPI lists them.
    virtual std::vector<std::string> interfacePaths() = 0;
    // Opens path for reading and writing, sharing it with nobody, so a board that another process has open
    // is not available. nullptr when it cannot be opened.
    virtual std::unique_ptr<DeviceHandle> open(const std::string& path) = 0;
};

std::unique_ptr<Backend> makeBackend(std::unique_ptr<System> system);

// A device over one handle: what the backend opens, and what the virtual boards' pipes reuse.
std::unique_ptr<Device> makeDevice(std::unique_ptr<DeviceHandle> handle);

#ifdef _WIN32
std::unique_ptr<System> makeWin32System();
#endif

} // namespace zelk::hid::winhid

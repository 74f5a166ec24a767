#pragma once
// HID access for the device link: enumerate the present devices, open one by path, read its identity and
// report lengths, read input reports (bounded in time) and write output reports.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zelk::hid {

// Report lengths count the report ID byte.
struct ReportLengths {
    std::size_t input = 0;
    std::size_t output = 0;
};

// Why a read or a write failed. The device keeps a code and a number only; the text for a person is
// made when someone asks for it (failure_text.h), so a failure on the control cycle's path costs a store.
enum class IoFailure : std::uint8_t {
    None,     // it did not fail
    TimedOut, // nothing came (read), or the device took nothing (write), within the time allowed
    Gone,     // the device is gone: unplugged, or the virtual board's program closed its end
    System,   // the system (or the HID library) refused; errorNumber says why where it gave a number
    Rejected, // no report the device takes: no buffer, or a length other than its report length
};

struct IoError {
    IoFailure kind = IoFailure::None;
    int errorNumber = 0; // the system's error number where it gave one (errno; on Windows GetLastError())
    friend bool operator==(const IoError&, const IoError&) = default;
};

class Device {
public:
    virtual ~Device() = default;
    // Vendor and product ID. Returns false when they cannot be read.
    virtual bool attributes(std::uint16_t& vendorId, std::uint16_t& productId) = 0;
    // Input and output report lengths as the device declares them. Returns false when unknown.
    virtual bool reportLengths(ReportLengths& lengths) = 0;
    // Reads one input report into buffer (report ID byte first), waiting at most timeoutMs milliseconds.
    // Returns the number of bytes stored, or -1 on failure or time-out. Never writes past length bytes.
    virtual int read(std::uint8_t* buffer, std::size_t length, int timeoutMs) = 0;
    // Writes one output report (report ID byte first). Returns false on failure.
    virtual bool write(const std::uint8_t* report, std::size_t length) = 0;
    // Why the latest read or write failed; None after one that succeeded.
    virtual IoError lastError() const { return {}; }
    // lastError() in words for a person, NUL-terminated in text and cut to size, without allocating. Ask on
    // the thread that reads and writes, before its next read or write: a backend's own text lasts until
    // then.
    virtual void describeLastError(char* text, std::size_t size) const;
};

// Why an open failed, as far as the backend can tell: what a person can do about it differs.
enum class OpenFailure : std::uint8_t {
    Unknown,      // the backend keeps no reason, or the system gave none that fits below
    Missing,      // nothing to open at the path: it is gone, or nobody serves it
    InUse,        // another program (or another open in this one) holds the device
    NoPermission, // the calling user may not open the device node
    NoAnswer,     // the device was reached but did not identify itself in time
};

struct OpenError {
    OpenFailure kind = OpenFailure::Unknown;
    int errorNumber = 0; // the system's error number (errno) where it gave one, else 0
};

// A source of devices: one backend (hidapi, virtual boards) or a test's fake.
class Backend {
public:
    virtual ~Backend() = default;
    // Paths of the present devices, in enumeration order.
    virtual std::vector<std::string> enumerate() = 0;
    // Opens a path for reading and writing; nullptr when it cannot be opened.
    virtual std::unique_ptr<Device> open(const std::string& path) = 0;
    // Why the latest open() that returned nullptr failed; Unknown from a backend that keeps no reason.
    virtual OpenError lastOpenError() const { return {}; }
    // The vendor and product ID that the last enumeration listed for path, without opening it. False when
    // the backend learns them only by opening the device.
    virtual bool listedAttributes(const std::string& /*path*/, std::uint16_t& /*vendorId*/,
                                  std::uint16_t& /*productId*/) {
        return false;
    }
};

} // namespace zelk::hid

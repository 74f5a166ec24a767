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

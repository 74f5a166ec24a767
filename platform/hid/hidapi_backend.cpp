// Real boards through hidapi's hidraw backend. hidapi of this generation reports neither report lengths nor
// whether a device numbers its reports, so both come from the report descriptor, read from the hidraw node.
#include "hid/backends.h"
#include "hid/device_lock.h"
#include "hid/failure_text.h"
#include "hid/io_error.h"
#include "hid/open_error.h"
#include "hid/report_descriptor.h"
#include "hid/unique_fd.h"

#include <hidapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <linux/hidraw.h>
#include <map>
#include <mutex>
#include <optional>
#include <sys/ioctl.h>
#include <utility>

namespace zelk::hid {
namespace {

// hid_init and hid_exit act on process-wide state: the backends share one initialisation by count.
class HidapiLibrary {
public:
    HidapiLibrary() {
        std::lock_guard lock(mutex());
        if (users()++ == 0) initialised() = hid_init() == 0;
        ok_ = initialised();
    }
    ~HidapiLibrary() {
        std::lock_guard lock(mutex());
        if (--users() == 0 && initialised()) {
            hid_exit();
            initialised() = false;
        }
    }
    HidapiLibrary(const HidapiLibrary&) = delete;
    HidapiLibrary& operator=(const HidapiLibrary&) = delete;
    bool ok() const { return ok_; }

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static int& users() {
        static int n = 0;
        return n;
    }
    static bool& initialised() {
        static bool b = false;
        return b;
    }
    bool ok_ = false;
};

struct Identity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

std::optional<std::vector<std::uint8_t>> descriptorFromSysfs(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string node = slash == std::string::npos ? path : path.substr(slash + 1);
    if (node.rfind("hidraw", 0) != 0) return std::nullopt;
    std::ifstream in("/sys/class/hidraw/" + node + "/device/report_descriptor", std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) return std::nullopt;
    return bytes;
}

// What the hidraw node tells about the device: its identity and its report descriptor.
struct NodeInfo {
    std::optional<Identity> identity;
    std::optional<std::vector<std::uint8_t>> descriptor;
};

NodeInfo queryNode(const std::string& path) {
    NodeInfo info;
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (fd.valid()) {
        hidraw_devinfo raw{};
        if (::ioctl(fd.get(), HIDIOCGRAWINFO, &raw) == 0)
            info.identity =
                Identity{static_cast<std::uint16_t>(raw.vendor), static_cast<std::uint16_t>(raw.product)};
        int size = 0;
        if (::ioctl(fd.get(), HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
            hidraw_report_descriptor desc{};
            desc.size = static_cast<__u32>(size);
            if (::ioctl(fd.get(), HIDIOCGRDESC, &desc) == 0)
                info.descriptor = std::vector<std::uint8_t>(desc.value, desc.value + size);
        }
    }
    if (!info.descriptor) info.descriptor = descriptorFromSysfs(path);
    return info;
}

class HidapiDevice : public Device {
public:
    HidapiDevice(UniqueFd lock, hid_device* device, std::optional<Identity> identity,
                 std::optional<DescriptorLengths> lengths)
        : lock_(std::move(lock)), device_(device), identity_(identity), lengths_(lengths) {}
    ~HidapiDevice() override { hid_close(device_); }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    bool attributes(std::uint16_t& vendorId, std::uint16_t& productId) override {
        if (!identity_) return false;
        vendorId = identity_->vendorId;
        productId = identity_->productId;
        return true;
    }

    bool reportLengths(ReportLengths& lengths) override {
        if (!lengths_) return false;
        lengths.input = lengths_->input;
        lengths.output = lengths_->output;
        return true;
    }

    int read(std::uint8_t* buffer, std::size_t length, int timeoutMs) override {
        const int timeout = std::max(timeoutMs, 0);
        const bool numbered = lengths_ && lengths_->usesReportIds;
        // A device without report IDs delivers the data alone; the buffer starts with report ID 0.
        if (buffer == nullptr || length < (numbered ? 1u : 2u)) return failRead({IoFailure::Rejected, 0});
        errno = 0;
        const int n = numbered ? hid_read_timeout(device_, buffer, length, timeout)
                               : hid_read_timeout(device_, buffer + 1, length - 1, timeout);
        if (n == 0) return failRead({IoFailure::TimedOut, 0});
        if (n < 0) return failRead(failureFromErrno());
        lastError_ = {};
        if (numbered) return n;
        buffer[0] = 0;
        return n + 1;
    }

    bool write(const std::uint8_t* report, std::size_t length) override {
        // hidraw takes the report ID byte first, 0 for a device without report IDs.
        if (report == nullptr || length == 0) return failWrite({IoFailure::Rejected, 0});
        errno = 0;
        if (hid_write(device_, report, length) > 0) {
            lastError_ = {};
            return true;
        }
        return failWrite(failureFromErrno());
    }

    IoError lastError() const override { return lastError_; }

    // hidapi's own text where it kept one (it names the step that failed), else the reason from errno.
    void describeLastError(char* text, std::size_t size) const override {
        const wchar_t* own = lastError_.kind == IoFailure::System ? hid_error(device_) : nullptr;
        if (size == 0 || own == nullptr || std::wcscmp(own, L"Success") == 0) {
            describeIoError(lastError_, text, size);
            return;
        }
        // Its text is ASCII in practice; anything else is shown as '?', so nothing is converted or allocated.
        std::size_t n = 0;
        for (; own[n] != L'\0' && n + 1 < size; ++n)
            text[n] = own[n] > 0 && own[n] < 0x80 ? static_cast<char>(own[n]) : '?';
        text[n] = '\0';
    }

private:
    // hidapi leaves the errno of the failed system call behind, or none (0) where it found the failure
    // itself, such as a hidraw node that reports an error condition because its device was unplugged.
    static IoError failureFromErrno() {
        const int error = errno;
        return error == 0 ? IoError{IoFailure::System, 0} : ioErrorFromErrno(error);
    }
    int failRead(IoError error) {
        lastError_ = error;
        return -1;
    }
    bool failWrite(IoError error) {
        lastError_ = error;
        return false;
    }

    UniqueFd lock_; // released after the device is closed
    hid_device* device_;
    std::optional<Identity> identity_;
    std::optional<DescriptorLengths> lengths_;
    IoError lastError_;
};

class HidapiBackend : public Backend {
public:
    std::vector<std::string> enumerate() override {
        std::vector<std::string> paths;
        identities_.clear();
        if (!library_.ok()) return paths;
        hid_device_info* list = hid_enumerate(0, 0);
        // One device can be listed once per top-level collection, each time with the same path.
        for (const hid_device_info* info = list; info != nullptr; info = info->next) {
            if (info->path == nullptr) continue;
            std::string path = info->path;
            if (identities_.count(path) != 0) continue;
            identities_.emplace(path, Identity{info->vendor_id, info->product_id});
            paths.push_back(std::move(path));
        }
        hid_free_enumeration(list);
        return paths;
    }

    std::unique_ptr<Device> open(const std::string& path) override {
        lastOpenError_ = {};
        if (!library_.ok()) return nullptr;
        // A board that another process (or another open here) controls is not available.
        int error = 0;
        UniqueFd lock = lockDevice(path, &error);
        if (!lock.valid()) {
            lastOpenError_ = openErrorFromErrno(error);
            return nullptr;
        }
        errno = 0;
        hid_device* device = hid_open_path(path.c_str());
        if (device == nullptr) {
            // hidapi leaves the errno of its open(O_RDWR) behind: a node readable but not writable fails
            // here.
            lastOpenError_ = openErrorFromErrno(errno);
            return nullptr;
        }
        NodeInfo node = queryNode(path);
        if (!node.identity) {
            const auto known = identities_.find(path);
            if (known != identities_.end()) node.identity = known->second;
        }
        std::optional<DescriptorLengths> lengths;
        if (node.descriptor) lengths = parseReportDescriptor(*node.descriptor);
        return std::make_unique<HidapiDevice>(std::move(lock), device, node.identity, lengths);
    }

    OpenError lastOpenError() const override { return lastOpenError_; }

    bool listedAttributes(const std::string& path, std::uint16_t& vendorId,
                          std::uint16_t& productId) override {
        const auto known = identities_.find(path);
        if (known == identities_.end()) return false;
        vendorId = known->second.vendorId;
        productId = known->second.productId;
        return true;
    }

private:
    HidapiLibrary library_;
    std::map<std::string, Identity> identities_;
    OpenError lastOpenError_;
};

} // namespace

std::unique_ptr<Backend> makeHidapiBackend() {
    return std::make_unique<HidapiBackend>();
}

} // namespace zelk::hid

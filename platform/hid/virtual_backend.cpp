// Virtual boards: the client side of the board wire protocol over SOCK_SEQPACKET Unix sockets.
#include "hid/backends.h"
#include "hid/unique_fd.h"
#include "hid/virtual_protocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace zelk::hid {
namespace {

constexpr int kHelloTimeoutMs = 1000;
// A board that stops taking reports until its socket buffer is full makes writes fail after this long.
constexpr int kWriteTimeoutMs = 100;

// The board directory is trusted only when it is a real directory of the calling user that nobody else can
// enter or write to.
bool directoryIsTrusted(const std::string& directory) {
    struct stat st {};
    if (::lstat(directory.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

bool endsWithSuffix(const std::string& name) {
    const std::string suffix = vproto::kSocketSuffix;
    return name.size() > suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Waits for events on fd for at most timeoutMs, restarting after signals with the time that is left.
bool waitFor(int fd, short events, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd p{fd, events, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int r = ::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (r > 0) return true;
        if (r == 0 || errno != EINTR) return false;
    }
}

class VirtualDevice : public Device {
public:
    VirtualDevice(UniqueFd fd, const vproto::Hello& hello) : fd_(std::move(fd)), hello_(hello) {}

    bool attributes(std::uint16_t& vendorId, std::uint16_t& productId) override {
        vendorId = hello_.vendorId;
        productId = hello_.productId;
        return true;
    }

    bool reportLengths(ReportLengths& lengths) override {
        lengths.input = hello_.inputLength;
        lengths.output = hello_.outputLength;
        return true;
    }

    int read(std::uint8_t* buffer, std::size_t length, int timeoutMs) override {
        if (!fd_.valid() || buffer == nullptr || length == 0) return -1;
        // Poll reports readiness for a closed peer too; recv then tells the two apart.
        if (!waitFor(fd_.get(), POLLIN, std::max(timeoutMs, 0))) return -1;
        ssize_t n;
        do {
            n = ::recv(fd_.get(), buffer, length, MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        if (n > 0) return static_cast<int>(n);
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) fd_.reset(); // the board is gone
        return -1;
    }

    bool write(const std::uint8_t* report, std::size_t length) override {
        // A board takes output reports of exactly its output length, as a HID device does.
        if (!fd_.valid() || report == nullptr || length != hello_.outputLength) return false;
        for (int attempt = 0; attempt < 2; ++attempt) {
            ssize_t n;
            do {
                n = ::send(fd_.get(), report, length, MSG_NOSIGNAL | MSG_DONTWAIT);
            } while (n < 0 && errno == EINTR);
            if (n == static_cast<ssize_t>(length)) return true;
            if (n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) break;
            if (!waitFor(fd_.get(), POLLOUT, kWriteTimeoutMs)) return false;
        }
        fd_.reset();
        return false;
    }

private:
    UniqueFd fd_;
    vproto::Hello hello_;
};

class VirtualBackend : public Backend {
public:
    explicit VirtualBackend(std::string directory) : directory_(std::move(directory)) {
        while (directory_.size() > 1 && directory_.back() == '/')
            directory_.pop_back();
    }

    std::vector<std::string> enumerate() override {
        std::vector<std::string> names;
        if (!directoryIsTrusted(directory_)) return {};
        DIR* dir = ::opendir(directory_.c_str());
        if (dir == nullptr) return {};
        while (const dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (!endsWithSuffix(name)) continue;
            struct stat st {};
            if (::lstat((directory_ + "/" + name).c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
            names.push_back(std::move(name));
        }
        ::closedir(dir);
        // std::string compares as unsigned bytes: byte order of the names.
        std::sort(names.begin(), names.end());
        std::vector<std::string> paths;
        paths.reserve(names.size());
        for (const auto& name : names)
            paths.push_back(directory_ + "/" + name);
        return paths;
    }

    std::unique_ptr<Device> open(const std::string& path) override {
        // Only sockets directly inside the trusted directory are boards.
        const auto slash = path.rfind('/');
        if (slash == std::string::npos || path.compare(0, slash, directory_) != 0 ||
            slash != directory_.size())
            return nullptr;
        if (!endsWithSuffix(path.substr(slash + 1)) || !directoryIsTrusted(directory_)) return nullptr;

        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof(address.sun_path)) return nullptr;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

        // Non-blocking, so a board whose backlog is full fails the open instead of stalling it.
        UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!fd.valid()) return nullptr;
        if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
            return nullptr;

        if (!waitFor(fd.get(), POLLIN, kHelloTimeoutMs)) return nullptr;
        std::uint8_t bytes[vproto::kHelloLength + 1];
        const ssize_t n = ::recv(fd.get(), bytes, sizeof(bytes), MSG_DONTWAIT);
        if (n <= 0) return nullptr;
        const auto hello = vproto::decodeHello(bytes, static_cast<std::size_t>(n));
        if (!hello) return nullptr;
        return std::make_unique<VirtualDevice>(std::move(fd), *hello);
    }

private:
    std::string directory_;
};

} // namespace

std::unique_ptr<Backend> makeVirtualBackend(std::string directory) {
    return std::make_unique<VirtualBackend>(std::move(directory));
}

} // namespace zelk::hid

// Virtual boards: the client side of the board wire protocol over SOCK_SEQPACKET Unix sockets.
#include "hid/backends.h"
#include "hid/io_error.h"
#include "hid/open_error.h"
#include "hid/unique_fd.h"
#include "hid/virtual_protocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <map>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace zelk::hid {
namespace {

using Clock = std::chrono::steady_clock;

// How long an open waits for the hello of a board that it was not given by the last enumeration.
constexpr int kHelloTimeoutMs = 1000;
// All hello waits of one search (an enumeration and the opens of its paths) together take no longer than
// this, however many sockets accept and never greet.
constexpr auto kSearchBudget = std::chrono::milliseconds(1000);
// A board that works greets within this; one that is slower makes the search wait for the hellos of the
// boards after it at the same time.
constexpr auto kPromptHello = std::chrono::milliseconds(50);
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

// Waits for events on fd until the deadline, restarting after signals with the time that is left.
bool waitUntil(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int r = ::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (r > 0) return true;
        if (r == 0 || errno != EINTR) return false;
    }
}

bool waitFor(int fd, short events, int timeoutMs) {
    return waitUntil(fd, events, Clock::now() + std::chrono::milliseconds(timeoutMs));
}

// A non-blocking connection to the board socket at path; invalid when nobody listens or the path is too long,
// with the reason in error.
UniqueFd connectTo(const std::string& path, OpenError& error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        error = openErrorFromErrno(ENAMETOOLONG);
        return {};
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // Non-blocking, so a board whose backlog is full fails the open instead of stalling it.
    UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid() ||
        ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        error = openErrorFromErrno(errno);
        fd.reset();
    }
    return fd;
}

// The hello waiting on fd, if a valid one is there; else why there is none. A board that serves another
// client closes a newcomer at once, without a hello.
std::optional<vproto::Hello> takeHello(int fd, OpenError& error) {
    std::uint8_t bytes[vproto::kHelloLength + 1];
    const ssize_t n = ::recv(fd, bytes, sizeof(bytes), MSG_DONTWAIT);
    if (n < 0) {
        error = errno == EAGAIN || errno == EWOULDBLOCK ? OpenError{OpenFailure::NoAnswer, 0}
                                                        : OpenError{OpenFailure::InUse, errno};
        return std::nullopt;
    }
    if (n == 0) {
        error = {OpenFailure::InUse, 0};
        return std::nullopt;
    }
    auto hello = vproto::decodeHello(bytes, static_cast<std::size_t>(n));
    if (!hello) error = {OpenFailure::NoAnswer, 0}; // something that is no board answered
    return hello;
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

    // Once the board is gone, every read and write fails with the reason that found it gone.
    int read(std::uint8_t* buffer, std::size_t length, int timeoutMs) override {
        if (!fd_.valid()) return -1;
        if (buffer == nullptr || length == 0) return failRead({IoFailure::Rejected, 0});
        // Poll reports readiness for a closed peer too; recv then tells the two apart.
        if (!waitFor(fd_.get(), POLLIN, std::max(timeoutMs, 0))) return failRead({IoFailure::TimedOut, 0});
        ssize_t n;
        do {
            n = ::recv(fd_.get(), buffer, length, MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        if (n > 0) {
            lastError_ = {};
            return static_cast<int>(n);
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return failRead({IoFailure::TimedOut, 0});
        fd_.reset(); // the board is gone
        return failRead(n == 0 ? IoError{IoFailure::Gone, 0} : ioErrorFromErrno(errno));
    }

    bool write(const std::uint8_t* report, std::size_t length) override {
        if (!fd_.valid()) return false;
        // A board takes output reports of exactly its output length, as a HID device does.
        if (report == nullptr || length != hello_.outputLength) return failWrite({IoFailure::Rejected, 0});
        IoError error{IoFailure::TimedOut, 0}; // still full after the second wait
        for (int attempt = 0; attempt < 2; ++attempt) {
            ssize_t n;
            do {
                n = ::send(fd_.get(), report, length, MSG_NOSIGNAL | MSG_DONTWAIT);
            } while (n < 0 && errno == EINTR);
            if (n == static_cast<ssize_t>(length)) {
                lastError_ = {};
                return true;
            }
            if (n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                error = n >= 0 ? IoError{IoFailure::System, 0} : ioErrorFromErrno(errno);
                break;
            }
            if (!waitFor(fd_.get(), POLLOUT, kWriteTimeoutMs)) return failWrite({IoFailure::TimedOut, 0});
        }
        fd_.reset();
        return failWrite(error);
    }

    IoError lastError() const override { return lastError_; }

private:
    int failRead(IoError error) {
        lastError_ = error;
        return -1;
    }
    bool failWrite(IoError error) {
        lastError_ = error;
        return false;
    }

    UniqueFd fd_;
    vproto::Hello hello_;
    IoError lastError_;
};

class VirtualBackend : public Backend {
public:
    explicit VirtualBackend(std::string directory) : directory_(std::move(directory)) {
        while (directory_.size() > 1 && directory_.back() == '/')
            directory_.pop_back();
    }

    std::vector<std::string> enumerate() override {
        listed_.clear();
        verdicts_.clear();
        searchDeadline_ = Clock::now() + kSearchBudget;
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
        for (const auto& name : names)
            listed_.push_back(directory_ + "/" + name);
        return listed_;
    }

    std::unique_ptr<Device> open(const std::string& path) override {
        lastOpenError_ = {OpenFailure::Missing, 0};
        // Only sockets directly inside the trusted directory are boards.
        const auto slash = path.rfind('/');
        if (slash == std::string::npos || path.compare(0, slash, directory_) != 0 ||
            slash != directory_.size())
            return nullptr;
        if (!endsWithSuffix(path.substr(slash + 1)) || !directoryIsTrusted(directory_)) return nullptr;

        const auto listed = std::find(listed_.begin(), listed_.end(), path);
        const auto verdict = verdicts_.find(path);
        if (verdict != verdicts_.end() && verdict->second) {
            lastOpenError_ = *verdict->second; // found unable to open earlier in this search
            return nullptr;
        }
        UniqueFd fd = connectTo(path, lastOpenError_);
        if (!fd.valid()) return nullptr;
        lastOpenError_ = {OpenFailure::NoAnswer, 0};
        if (listed == listed_.end()) {
            if (!waitFor(fd.get(), POLLIN, kHelloTimeoutMs)) return nullptr;
        } else {
            // A prompt wait for this board alone, then, while the search's time lasts, a wait for it and the
            // boards after it together. A board that works always gets its prompt wait.
            const auto now = Clock::now();
            const auto limit = std::max(searchDeadline_, now + kPromptHello);
            if (!waitUntil(fd.get(), POLLIN, now + kPromptHello) &&
                (Clock::now() >= limit || !waitTogether(fd.get(), std::next(listed), limit)))
                return nullptr;
        }
        const auto hello = takeHello(fd.get(), lastOpenError_);
        if (!hello) return nullptr;
        lastOpenError_ = {};
        return std::make_unique<VirtualDevice>(std::move(fd), *hello);
    }

    OpenError lastOpenError() const override { return lastOpenError_; }

private:
    // Waits until fd is readable or the limit passes, and meanwhile probes the listed boards from `later` on
    // that have no verdict yet: each is connected, its hello (or its silence until the limit) is its
    // verdict, and the connection is closed again. A board is thus waited for once in a search, not once
    // for each board before it that keeps silent.
    bool waitTogether(int fd, std::vector<std::string>::const_iterator later, Clock::time_point limit) {
        std::vector<pollfd> fds{{fd, POLLIN, 0}};
        std::vector<UniqueFd> probes;
        std::vector<std::string> probed;
        for (; later != listed_.cend(); ++later) {
            if (verdicts_.count(*later) != 0) continue;
            OpenError error;
            UniqueFd probe = connectTo(*later, error);
            if (!probe.valid()) {
                verdicts_[*later] = error;
                continue;
            }
            fds.push_back({probe.get(), POLLIN, 0});
            probes.push_back(std::move(probe));
            probed.push_back(*later);
        }
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - Clock::now()).count();
            const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(left, 0)));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) break;
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0) continue;
                OpenError error;
                verdicts_[probed[i - 1]] =
                    takeHello(fds[i].fd, error) ? std::nullopt : std::optional<OpenError>(error);
                probes[i - 1].reset();
                fds[i].fd = -1; // poll skips it from now on
            }
            if (fds[0].revents != 0) return true;
        }
        // Boards still silent when the search's time is spent are not waited for again in this search.
        for (std::size_t i = 1; i < fds.size(); ++i)
            if (fds[i].fd >= 0) verdicts_[probed[i - 1]] = OpenError{OpenFailure::NoAnswer, 0};
        return false;
    }

    std::string directory_;
    // The current search: the paths of the last enumeration, the verdicts of the boards probed so far
    // (nothing: it greeted; else why it cannot be opened) and the end of the search's time for hellos.
    std::vector<std::string> listed_;
    std::map<std::string, std::optional<OpenError>> verdicts_;
    Clock::time_point searchDeadline_;
    OpenError lastOpenError_;
};

} // namespace

std::unique_ptr<Backend> makeVirtualBackend(std::string directory) {
    return std::make_unique<VirtualBackend>(std::move(directory));
}

} // namespace zelk::hid

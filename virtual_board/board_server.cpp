#include "virtual_board/board_server.h"

#include "hid/unique_fd.h"
#include "hid/virtual_protocol.h"
#include "virtual_board/realtime.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace zelk::vboard {

using hid::UniqueFd;
using Clock = std::chrono::steady_clock;

namespace {

struct Pending {
    Clock::time_point due;
    std::array<std::uint8_t, hid::board::kMaxBoardReportLength> report;
};

// Answers waiting for their time, oldest first, in room fixed in advance: the answering thread allocates
// nothing. Answers beyond it are dropped, as a full hidraw queue drops reports.
class PendingAnswers {
public:
    static constexpr std::size_t kCapacity = 256;
    bool empty() const { return count_ == 0; }
    Pending& front() { return ring_[head_]; }
    void pop() {
        head_ = (head_ + 1) % kCapacity;
        --count_;
    }
    void push(Clock::time_point due,
              const std::array<std::uint8_t, hid::board::kMaxBoardReportLength>& report) {
        if (count_ == kCapacity) return;
        ring_[(head_ + count_++) % kCapacity] = {due, report};
    }
    void clear() { head_ = count_ = 0; }

private:
    std::array<Pending, kCapacity> ring_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

void fail(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
}

std::string errnoText() {
    return std::strerror(errno);
}

bool makeAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// The board directory must be the caller's own real directory, closed to everybody else. A directory made
// here gets mode 0700; an existing one is used as it is or refused, never changed: it may be somebody's
// shared folder.
bool prepareDirectory(const std::string& directory, std::string* error) {
    const bool made = ::mkdir(directory.c_str(), 0700) == 0;
    if (!made && errno != EEXIST) {
        fail(error, "cannot create " + directory + ": " + errnoText());
        return false;
    }
    struct stat st {};
    if (::lstat(directory.c_str(), &st) != 0) {
        fail(error, "cannot inspect " + directory + ": " + errnoText());
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        fail(error, directory + " is not a directory of the calling user");
        return false;
    }
    // The umask may have taken the owner's own permissions from a directory made here.
    if (made && (st.st_mode & 0777) != 0700 && ::chmod(directory.c_str(), 0700) != 0) {
        fail(error, "cannot set the mode of " + directory + ": " + errnoText());
        return false;
    }
    if (!made && (st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        fail(error, directory + " is open to other users (mode " + mode +
                        "): boards need a directory of their own with mode 0700");
        return false;
    }
    return true;
}

// A socket file left by a board that ended without removing it is replaced; a live board's is not.
bool clearStaleSocket(const std::string& path, const sockaddr_un& address, std::string* error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return true;
    if (!S_ISSOCK(st.st_mode)) {
        fail(error, path + " exists and is not a socket");
        return false;
    }
    UniqueFd probe(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (probe.valid() &&
        ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 &&
        errno == ECONNREFUSED) {
        ::unlink(path.c_str());
        return true;
    }
    fail(error, "another board listens on " + path);
    return false;
}

// The client has closed the connection or shut its sending side.
bool peerGone(int fd) {
    pollfd p{fd, POLLRDHUP, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

} // namespace

struct BoardServer::Loop {
    UniqueFd listener;
    std::shared_ptr<UniqueFd> wake; // shared with the model's fault listener
    ino_t socketInode = 0;
    std::atomic<bool> stopping{false};

    UniqueFd client;
    std::uint64_t clientGeneration = 0;
    bool receiveShut = false;
    PendingAnswers pending;
};

BoardServer::BoardServer(BoardModel& model, ServerOptions options)
    : model_(model), options_(std::move(options)) {
    if (options_.directory.empty()) options_.directory = hid::vproto::boardDirectory();
    while (options_.directory.size() > 1 && options_.directory.back() == '/')
        options_.directory.pop_back();
    socketPath_ = options_.directory + "/" + options_.name + hid::vproto::kSocketSuffix;
}

BoardServer::~BoardServer() {
    stop();
}

bool BoardServer::start(std::string* error) {
    if (running()) {
        fail(error, "the board is already served");
        return false;
    }
    const std::string& name = options_.name;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos) {
        fail(error, "unusable board name: " + name);
        return false;
    }
    sockaddr_un address{};
    if (!makeAddress(socketPath_, address)) {
        fail(error, "socket path too long: " + socketPath_);
        return false;
    }
    if (!prepareDirectory(options_.directory, error) || !clearStaleSocket(socketPath_, address, error))
        return false;

    auto loop = std::make_unique<Loop>();
    loop->listener.reset(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    loop->wake = std::make_shared<UniqueFd>(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!loop->listener.valid() || !loop->wake->valid()) {
        fail(error, "cannot create sockets: " + errnoText());
        return false;
    }
    if (::bind(loop->listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        fail(error, "cannot bind " + socketPath_ + ": " + errnoText());
        return false;
    }
    struct stat st {};
    if (::listen(loop->listener.get(), 4) != 0 || ::lstat(socketPath_.c_str(), &st) != 0) {
        fail(error, "cannot listen on " + socketPath_ + ": " + errnoText());
        ::unlink(socketPath_.c_str());
        return false;
    }
    loop->socketInode = st.st_ino;

    model_.setFaultListener([wake = loop->wake] {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(wake->get(), &one, sizeof(one));
    });
    connectionCount_ = 0;
    loop_ = std::move(loop);
    thread_ = std::thread([this, loop = loop_.get()] { serve(*loop); });
    realtime_ = false;
    realtimeRefusal_.clear();
    if (options_.realtime) {
        realtimeRefusal_ = raiseToAnswerPriority(thread_);
        realtime_ = realtimeRefusal_.empty();
    }
    return true;
}

void BoardServer::stop() {
    if (!running()) return;
    loop_->stopping = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(loop_->wake->get(), &one, sizeof(one));
    thread_.join();
    model_.setFaultListener(nullptr);
    // Remove the socket unless another board has replaced it meanwhile.
    struct stat st {};
    if (::lstat(socketPath_.c_str(), &st) == 0 && st.st_ino == loop_->socketInode)
        ::unlink(socketPath_.c_str());
    loop_.reset();
    clientConnected_ = false;
}

void BoardServer::serve(Loop& loop) {
    auto closeClient = [&] {
        loop.client.reset();
        loop.pending.clear();
        clientConnected_ = false;
    };
    std::array<std::uint8_t, hid::board::kMaxBoardReportLength + 1> packet{};
    Answers answers;

    while (!loop.stopping) {
        int timeoutMs = -1;
        if (loop.client.valid() && !loop.pending.empty()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(loop.pending.front().due - Clock::now());
            timeoutMs = static_cast<int>(std::max<long long>(left.count(), 0));
        }
        pollfd fds[3] = {{loop.wake->get(), POLLIN, 0},
                         {loop.listener.get(), POLLIN, 0},
                         {loop.client.get(), static_cast<short>(loop.receiveShut ? 0 : POLLIN), 0}};
        const int ready = ::poll(fds, loop.client.valid() ? 3 : 2, timeoutMs);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) fds[0].revents = fds[1].revents = fds[2].revents = 0;
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] const auto n = ::read(loop.wake->get(), &count, sizeof(count));
        }
        if (loop.stopping) break;

        if (loop.client.valid() && (fds[2].revents & POLLIN)) {
            for (;;) {
                const ssize_t n =
                    ::recv(loop.client.get(), packet.data(), packet.size(), MSG_DONTWAIT | MSG_TRUNC);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
                // A read of 0 bytes is the end of the connection or a zero-length packet, which is of the
                // wrong length and ignored like any other.
                if (n == 0 && !peerGone(loop.client.get())) continue;
                if (n <= 0) {
                    closeClient();
                    break;
                }
                const auto receivedAt = Clock::now();
                if (static_cast<std::size_t>(n) != model_.config().outputLength) continue;
                if (model_.takeOutputReport(packet.data(), static_cast<std::size_t>(n), answers,
                                            receivedAt) != ReportResult::Taken)
                    continue;
                const auto due = receivedAt + model_.answerDelay();
                for (std::size_t i = 0; i < answers.count; ++i)
                    loop.pending.push(due, answers.reports[i]);
            }
        } else if (loop.client.valid() && (fds[2].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            closeClient();
        }

        if (loop.client.valid() && model_.disconnectGeneration() != loop.clientGeneration) closeClient();
        if (loop.client.valid() && !loop.receiveShut && model_.refusesWrites()) {
            ::shutdown(loop.client.get(), SHUT_RD);
            loop.receiveShut = true;
        }

        const auto now = Clock::now();
        while (loop.client.valid() && !loop.pending.empty() && loop.pending.front().due <= now) {
            const ssize_t n = ::send(loop.client.get(), loop.pending.front().report.data(),
                                     model_.config().inputLength, MSG_NOSIGNAL | MSG_DONTWAIT);
            loop.pending.pop();
            // A client that does not read loses answers, as a full hidraw queue does.
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) closeClient();
        }

        if (fds[1].revents & POLLIN) {
            for (;;) {
                UniqueFd accepted(
                    ::accept4(loop.listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
                if (!accepted.valid()) break;
                // A client that has just gone frees the board for the newcomer; otherwise the newcomer is
                // closed at once.
                if (loop.client.valid() && peerGone(loop.client.get())) closeClient();
                if (loop.client.valid()) continue;
                // Read the fault state before the hello: a change after it wakes this loop again.
                const auto generation = model_.disconnectGeneration();
                const bool refuse = model_.refusesWrites();
                if (refuse) ::shutdown(accepted.get(), SHUT_RD);
                clientConnected_ = true;
                ++connectionCount_;
                const auto hello =
                    hid::vproto::encodeHello({model_.config().vendorId, model_.config().productId,
                                              static_cast<std::uint8_t>(model_.config().inputLength),
                                              static_cast<std::uint8_t>(model_.config().outputLength)});
                if (::send(accepted.get(), hello.data(), hello.size(), MSG_NOSIGNAL | MSG_DONTWAIT) !=
                    static_cast<ssize_t>(hello.size())) {
                    clientConnected_ = false;
                    --connectionCount_;
                    continue;
                }
                loop.client = std::move(accepted);
                loop.clientGeneration = generation;
                loop.receiveShut = refuse;
                loop.pending.clear();
            }
        }
    }
    closeClient();
}

} // namespace zelk::vboard

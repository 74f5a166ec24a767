// The board server on Windows: the board wire protocol over a named pipe in message mode. The pipe has one
// instance, made first by the board itself (nobody can take its name over) and open to the current user
// only; a client that comes while another is served finds the pipe busy. The board's marker file in the
// board folder names the pipe, and disappears with the board's process.
#include "virtual_board/board_server.h"

#include "hid/board_pipes.h"
#include "hid/virtual_protocol.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <random>
#include <vector>

#include <windows.h>

#include <sddl.h>

namespace zelk::vboard {

using Clock = std::chrono::steady_clock;

namespace {

struct Pending {
    Clock::time_point due;
    std::array<std::uint8_t, hid::board::kMaxBoardReportLength> report;
};

// Buffers for a few dozen reports each way; a client that does not read loses answers beyond that.
constexpr DWORD kPipeBufferBytes = 64 * hid::board::kMaxBoardReportLength;

void fail(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
}

std::string lastErrorText() {
    return "error " + std::to_string(GetLastError());
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// A security descriptor that gives the current user, and nobody else, access; inheritable for a folder.
class OwnerOnly {
public:
    explicit OwnerOnly(bool folder) {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<std::uint8_t> user(size);
        char* sid = nullptr;
        if (size > 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
            ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
            const std::string sddl = std::string(folder ? "D:P(A;OICI;FA;;;" : "D:P(A;;GA;;;") + sid + ")";
            ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor_,
                                                                 nullptr);
            LocalFree(sid);
        }
        CloseHandle(token);
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor_;
    }
    ~OwnerOnly() {
        if (descriptor_ != nullptr) LocalFree(descriptor_);
    }
    OwnerOnly(const OwnerOnly&) = delete;
    OwnerOnly& operator=(const OwnerOnly&) = delete;

    SECURITY_ATTRIBUTES* get() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

// The board folder: made for the current user alone when missing; an existing one must be a folder.
bool prepareFolder(const std::string& folder, std::string* error) {
    OwnerOnly security(true);
    if (security.get() == nullptr) {
        fail(error, "cannot describe the current user's access: " + lastErrorText());
        return false;
    }
    if (!CreateDirectoryA(folder.c_str(), security.get()) && GetLastError() != ERROR_ALREADY_EXISTS) {
        fail(error, "cannot create " + folder + ": " + lastErrorText());
        return false;
    }
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        fail(error, folder + " is not a folder");
        return false;
    }
    return true;
}

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h == nullptr ? INVALID_HANDLE_VALUE : h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE h = INVALID_HANDLE_VALUE) {
        if (valid()) CloseHandle(h_);
        h_ = h == nullptr ? INVALID_HANDLE_VALUE : h;
    }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

} // namespace

struct BoardServer::Loop {
    enum class Phase { Idle, Listening, Connected };

    Handle pipe;
    Handle marker;              // open for as long as the board is served; deleted on close
    std::shared_ptr<void> wake; // an event, shared with the model's fault listener
    Handle ioEvent;             // completion of the pending connect or read
    Handle writeEvent;
    OVERLAPPED io{};
    Phase phase = Phase::Idle;
    bool discarding = false; // inside a message longer than any report: its rest is dropped
    std::atomic<bool> stopping{false};
    std::uint64_t clientGeneration = 0;
    std::deque<Pending> pending;
    std::array<std::uint8_t, hid::board::kMaxBoardReportLength + 1> packet{};
};

BoardServer::BoardServer(BoardModel& model, ServerOptions options)
    : model_(model), options_(std::move(options)) {
    if (options_.directory.empty()) options_.directory = hid::vproto::boardDirectory();
    while (options_.directory.size() > 1 && isSeparator(options_.directory.back()))
        options_.directory.pop_back();
    socketPath_ = options_.directory + "\\" + options_.name + hid::pipes::kMarkerSuffix;
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
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("\\/:*?\"<>|") != std::string::npos || name.find('\0') != std::string::npos) {
        fail(error, "unusable board name: " + name);
        return false;
    }
    if (!prepareFolder(options_.directory, error)) return false;

    auto loop = std::make_unique<Loop>();
    loop->wake = std::shared_ptr<void>(CreateEventA(nullptr, FALSE, FALSE, nullptr), [](void* event) {
        if (event != nullptr) CloseHandle(event);
    });
    loop->ioEvent.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    loop->writeEvent.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (loop->wake.get() == nullptr || !loop->ioEvent.valid() || !loop->writeEvent.valid()) {
        fail(error, "cannot create events: " + lastErrorText());
        return false;
    }

    // The pipe under a fresh random name; a name somebody else holds is not taken over but replaced.
    OwnerOnly security(false);
    std::random_device random;
    std::string pipeName;
    for (int attempt = 0; attempt < 10 && !loop->pipe.valid(); ++attempt) {
        char suffix[40];
        std::snprintf(suffix, sizeof suffix, "kaldex-board-%08x%08x", random(), random());
        pipeName = std::string(hid::pipes::kPipeNamespace) + suffix;
        loop->pipe.reset(CreateNamedPipeA(
            pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
            kPipeBufferBytes, kPipeBufferBytes, 0, security.get()));
    }
    if (!loop->pipe.valid()) {
        fail(error, "cannot create a pipe: " + lastErrorText());
        return false;
    }

    // The marker: a live board holds its own open without sharing writes, so a second board of the same name
    // fails here; a marker that nobody holds is replaced.
    loop->marker.reset(CreateFileA(socketPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                   nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!loop->marker.valid()) {
        const DWORD why = GetLastError();
        fail(error, why == ERROR_SHARING_VIOLATION || why == ERROR_ACCESS_DENIED
                        ? "another board listens on " + socketPath_
                        : "cannot create " + socketPath_ + ": error " + std::to_string(why));
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(loop->marker.get(), pipeName.data(), static_cast<DWORD>(pipeName.size()), &written,
                   nullptr) ||
        written != pipeName.size()) {
        fail(error, "cannot write " + socketPath_ + ": " + lastErrorText());
        return false;
    }

    model_.setFaultListener([wake = loop->wake] { SetEvent(wake.get()); });
    connectionCount_ = 0;
    loop_ = std::move(loop);
    thread_ = std::thread([this, loop = loop_.get()] { serve(*loop); });
    return true;
}

void BoardServer::stop() {
    if (!running()) return;
    loop_->stopping = true;
    SetEvent(loop_->wake.get());
    thread_.join();
    model_.setFaultListener(nullptr);
    loop_.reset(); // closes the pipe and the marker, which goes with it
    clientConnected_ = false;
}

void BoardServer::serve(Loop& loop) {
    const HANDLE pipe = loop.pipe.get();
    // Ends the operation on loop.io that is running, if any.
    auto cancelIo = [&] {
        if (loop.phase == Loop::Phase::Idle) return;
        DWORD ignored = 0;
        CancelIoEx(pipe, &loop.io);
        GetOverlappedResult(pipe, &loop.io, &ignored, TRUE);
    };
    auto restartIo = [&] {
        loop.io = {};
        loop.io.hEvent = loop.ioEvent.get();
        ResetEvent(loop.ioEvent.get());
    };
    // Sends one message without waiting: a message the pipe cannot take at once is dropped.
    auto send = [&](const std::uint8_t* data, std::size_t length) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = loop.writeEvent.get();
        ResetEvent(overlapped.hEvent);
        DWORD n = 0;
        if (WriteFile(pipe, data, static_cast<DWORD>(length), nullptr, &overlapped))
            return GetOverlappedResult(pipe, &overlapped, &n, FALSE) != 0;
        if (GetLastError() != ERROR_IO_PENDING) return false;
        if (WaitForSingleObject(overlapped.hEvent, 0) != WAIT_OBJECT_0) CancelIoEx(pipe, &overlapped);
        GetOverlappedResult(pipe, &overlapped, &n, TRUE);
        return true;
    };
    auto closeClient = [&] {
        cancelIo();
        DisconnectNamedPipe(pipe);
        loop.phase = Loop::Phase::Idle;
        loop.pending.clear();
        loop.discarding = false;
        clientConnected_ = false;
    };
    auto startRead = [&] {
        restartIo();
        loop.phase = Loop::Phase::Connected;
        if (!ReadFile(pipe, loop.packet.data(), static_cast<DWORD>(loop.packet.size()), nullptr, &loop.io) &&
            GetLastError() != ERROR_IO_PENDING && GetLastError() != ERROR_MORE_DATA) {
            loop.phase = Loop::Phase::Idle;
            closeClient();
        }
    };
    auto connected = [&] {
        // Read the fault state before the hello: a change after it wakes this loop again.
        const auto generation = model_.disconnectGeneration();
        const auto hello =
            hid::vproto::encodeHello({model_.config().vendorId, model_.config().productId,
                                      static_cast<std::uint8_t>(model_.config().inputLength),
                                      static_cast<std::uint8_t>(model_.config().outputLength)});
        loop.phase = Loop::Phase::Idle;
        if (!send(hello.data(), hello.size())) {
            closeClient();
            return;
        }
        clientConnected_ = true;
        ++connectionCount_;
        loop.clientGeneration = generation;
        loop.pending.clear();
        startRead();
    };
    auto listen = [&] {
        restartIo();
        loop.phase = Loop::Phase::Listening;
        if (ConnectNamedPipe(pipe, &loop.io) || GetLastError() == ERROR_IO_PENDING) return;
        loop.phase = Loop::Phase::Idle;
        if (GetLastError() == ERROR_PIPE_CONNECTED) {
            connected();
        } else {
            DisconnectNamedPipe(pipe); // a client that came and went before the connect
        }
    };
    auto handleIo = [&] {
        DWORD n = 0;
        const bool ok = GetOverlappedResult(pipe, &loop.io, &n, FALSE) != 0;
        if (loop.phase == Loop::Phase::Listening) {
            loop.phase = Loop::Phase::Idle;
            if (ok) {
                connected();
            } else {
                DisconnectNamedPipe(pipe);
            }
            return;
        }
        if (!ok && GetLastError() == ERROR_MORE_DATA) {
            loop.discarding = true;
            startRead();
            return;
        }
        loop.phase = Loop::Phase::Idle;
        if (!ok) {
            closeClient(); // the client is gone
            return;
        }
        const auto receivedAt = Clock::now();
        const bool whole = !loop.discarding;
        loop.discarding = false;
        Answers answers;
        if (whole && n == model_.config().outputLength &&
            model_.takeOutputReport(loop.packet.data(), n, answers, receivedAt) == ReportResult::Taken) {
            const auto due = receivedAt + model_.answerDelay();
            for (std::size_t i = 0; i < answers.count; ++i)
                loop.pending.push_back({due, answers.reports[i]});
        }
        startRead();
    };

    while (!loop.stopping) {
        // While writes are refused, nobody is served: the client's writes fail and newcomers find no board.
        const bool refuse = model_.refusesWrites();
        if (loop.phase == Loop::Phase::Connected &&
            (refuse || model_.disconnectGeneration() != loop.clientGeneration))
            closeClient();
        if (loop.phase == Loop::Phase::Idle && !refuse) listen();

        const auto now = Clock::now();
        while (loop.phase == Loop::Phase::Connected && !loop.pending.empty() &&
               loop.pending.front().due <= now) {
            const bool sent = send(loop.pending.front().report.data(), model_.config().inputLength);
            loop.pending.pop_front();
            if (!sent) closeClient();
        }

        DWORD timeoutMs = INFINITE;
        if (loop.phase == Loop::Phase::Connected && !loop.pending.empty()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(loop.pending.front().due - Clock::now());
            timeoutMs = static_cast<DWORD>(std::max<long long>(left.count(), 0));
        } else if (loop.phase == Loop::Phase::Idle && !refuse) {
            timeoutMs = 10; // listening failed: try again soon
        }
        const HANDLE handles[2] = {loop.wake.get(), loop.ioEvent.get()};
        const DWORD count = loop.phase == Loop::Phase::Idle ? 1 : 2;
        const DWORD woken = WaitForMultipleObjects(count, handles, FALSE, timeoutMs);
        if (loop.stopping) break;
        if (woken == WAIT_OBJECT_0 + 1) handleIo();
    }
    if (loop.phase == Loop::Phase::Connected) {
        closeClient();
    } else {
        cancelIo();
    }
}

} // namespace zelk::vboard

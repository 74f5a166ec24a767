// Virtual boards on Windows: the client side of the board wire protocol over named pipes. The board folder
// lists the boards, one marker file each; the marker names the board's pipe.
#include "hid/backends.h"
#include "hid/board_pipes.h"
#include "hid/virtual_protocol.h"
#include "hid/windows_error.h"
#include "hid/windows_hid.h"

#include <algorithm>

#include <windows.h>

namespace zelk::hid {
namespace {

constexpr DWORD kHelloTimeoutMs = 1000;
// A board that is just taking its next client is waited for this long; one that serves another client is
// busy for longer and so not available.
constexpr DWORD kBusyWaitMs = 200;

bool endsWithSuffix(const std::string& name) {
    const std::string suffix = pipes::kMarkerSuffix;
    return name.size() > suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// The pipe name a marker holds; empty when the marker cannot be read or holds no pipe name.
std::string readMarker(const std::string& path) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    char buffer[pipes::kMaxMarkerBytes + 1];
    DWORD n = 0;
    const bool ok = ReadFile(file, buffer, sizeof buffer, &n, nullptr) != 0;
    CloseHandle(file);
    const std::string name(buffer, ok ? n : 0);
    const std::string prefix = pipes::kPipeNamespace;
    if (name.size() > pipes::kMaxMarkerBytes || name.size() <= prefix.size() ||
        name.compare(0, prefix.size(), prefix) != 0 || name.find('\0') != std::string::npos)
        return {};
    return name;
}

// One board's pipe as a device handle: reports are pipe messages; the hello gives identity and lengths.
class PipeHandle : public winhid::DeviceHandle {
public:
    PipeHandle(HANDLE pipe, const vproto::Hello& hello) : pipe_(pipe), hello_(hello) {
        readEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        writeEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        read_.hEvent = readEvent_;
    }
    ~PipeHandle() override {
        closePipe();
        if (readEvent_ != nullptr) CloseHandle(readEvent_);
        if (writeEvent_ != nullptr) CloseHandle(writeEvent_);
    }
    PipeHandle(const PipeHandle&) = delete;
    PipeHandle& operator=(const PipeHandle&) = delete;

    bool valid() const { return readEvent_ != nullptr && writeEvent_ != nullptr; }

    bool attributes(std::uint16_t& vendorId, std::uint16_t& productId) override {
        vendorId = hello_.vendorId;
        productId = hello_.productId;
        return true;
    }

    bool capabilities(std::size_t& inputLength, std::size_t& outputLength) override {
        inputLength = hello_.inputLength;
        outputLength = hello_.outputLength;
        return true;
    }

    winhid::IoResult startRead(std::uint8_t* buffer, std::size_t length, std::size_t& bytes) override {
        if (pipe_ == INVALID_HANDLE_VALUE) return winhid::IoResult::Failed;
        ResetEvent(readEvent_);
        if (ReadFile(pipe_, buffer, static_cast<DWORD>(length), nullptr, &read_)) return collect(bytes);
        if (GetLastError() != ERROR_IO_PENDING) return fail(ioErrorFromWindows(GetLastError()));
        reading_ = true;
        return winhid::IoResult::Pending;
    }

    winhid::IoResult waitRead(int timeoutMs, std::size_t& bytes) override {
        if (!reading_) return winhid::IoResult::Failed;
        const DWORD waited = WaitForSingleObject(readEvent_, static_cast<DWORD>(timeoutMs));
        if (waited == WAIT_TIMEOUT) return winhid::IoResult::Pending;
        reading_ = false;
        if (waited != WAIT_OBJECT_0) return fail(ioErrorFromWindows(GetLastError()));
        return collect(bytes);
    }

    bool write(const std::uint8_t* report, std::size_t length, int timeoutMs) override {
        if (pipe_ == INVALID_HANDLE_VALUE) return false;
        // A board takes output reports of exactly its output length, as a HID device does.
        if (length != hello_.outputLength) {
            error_ = {IoFailure::Rejected, 0};
            return false;
        }
        OVERLAPPED overlapped{};
        overlapped.hEvent = writeEvent_;
        ResetEvent(writeEvent_);
        DWORD n = 0;
        if (!WriteFile(pipe_, report, static_cast<DWORD>(length), nullptr, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING) {
            fail(ioErrorFromWindows(GetLastError()));
            return false;
        }
        if (WaitForSingleObject(writeEvent_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
            // The board takes no reports: it counts as gone, as on a stalled socket.
            CancelIoEx(pipe_, &overlapped);
            GetOverlappedResult(pipe_, &overlapped, &n, TRUE);
            fail({IoFailure::TimedOut, 0});
            return false;
        }
        if (!GetOverlappedResult(pipe_, &overlapped, &n, FALSE)) {
            fail(ioErrorFromWindows(GetLastError()));
            return false;
        }
        if (n != length) {
            fail({IoFailure::System, 0});
            return false;
        }
        return true;
    }

    // Once the pipe is closed, every read and write fails with the reason that closed it.
    IoError lastError() const override { return error_; }

private:
    // The read has completed: a whole message, or a failure. A message longer than a report, or a closed
    // pipe, ends the connection.
    winhid::IoResult collect(std::size_t& bytes) {
        DWORD n = 0;
        if (!GetOverlappedResult(pipe_, &read_, &n, FALSE)) return fail(ioErrorFromWindows(GetLastError()));
        if (n == 0) return fail({IoFailure::Gone, 0});
        bytes = n;
        return winhid::IoResult::Done;
    }

    winhid::IoResult fail(IoError error) {
        error_ = error;
        closePipe();
        return winhid::IoResult::Failed;
    }

    void closePipe() {
        if (pipe_ == INVALID_HANDLE_VALUE) return;
        if (reading_) {
            CancelIoEx(pipe_, &read_);
            DWORD ignored = 0;
            GetOverlappedResult(pipe_, &read_, &ignored, TRUE);
            reading_ = false;
        }
        CloseHandle(pipe_);
        pipe_ = INVALID_HANDLE_VALUE;
    }

    HANDLE pipe_;
    vproto::Hello hello_;
    HANDLE readEvent_ = nullptr;
    HANDLE writeEvent_ = nullptr;
    OVERLAPPED read_{};
    bool reading_ = false;
    IoError error_;
};

// Opens the board's pipe, waiting briefly for a board that is between two clients, and reads its hello.
std::unique_ptr<Device> connect(const std::string& pipeName) {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 2 && pipe == INVALID_HANDLE_VALUE; ++attempt) {
        // Identification only: the board may not act as the caller.
        pipe = CreateFileA(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (pipe == INVALID_HANDLE_VALUE && (GetLastError() != ERROR_PIPE_BUSY || attempt > 0 ||
                                             !WaitNamedPipeA(pipeName.c_str(), kBusyWaitMs)))
            return nullptr;
    }
    if (pipe == INVALID_HANDLE_VALUE) return nullptr;
    DWORD mode = PIPE_READMODE_MESSAGE;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::uint8_t bytes[vproto::kHelloLength];
    DWORD n = 0;
    bool ok = overlapped.hEvent != nullptr && SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
    if (ok && !ReadFile(pipe, bytes, sizeof bytes, nullptr, &overlapped))
        ok = GetLastError() == ERROR_IO_PENDING;
    if (ok && WaitForSingleObject(overlapped.hEvent, kHelloTimeoutMs) != WAIT_OBJECT_0) {
        CancelIoEx(pipe, &overlapped);
        GetOverlappedResult(pipe, &overlapped, &n, TRUE);
        ok = false;
    } else if (ok) {
        ok = GetOverlappedResult(pipe, &overlapped, &n, FALSE) != 0;
    }
    if (overlapped.hEvent != nullptr) CloseHandle(overlapped.hEvent);
    const auto hello = ok ? vproto::decodeHello(bytes, n) : std::nullopt;
    if (!hello) {
        CloseHandle(pipe);
        return nullptr;
    }
    auto handle = std::make_unique<PipeHandle>(pipe, *hello);
    if (!handle->valid()) return nullptr;
    return winhid::makeDevice(std::move(handle));
}

class PipeBackend : public Backend {
public:
    explicit PipeBackend(std::string folder) : folder_(std::move(folder)) {
        while (folder_.size() > 1 && isSeparator(folder_.back()))
            folder_.pop_back();
    }

    std::vector<std::string> enumerate() override {
        std::vector<std::string> names;
        WIN32_FIND_DATAA entry{};
        const HANDLE find = FindFirstFileA((folder_ + "\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) return {};
        do {
            const std::string name = entry.cFileName;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && endsWithSuffix(name))
                names.push_back(name);
        } while (FindNextFileA(find, &entry));
        FindClose(find);
        // std::string compares as unsigned bytes: byte order of the names.
        std::sort(names.begin(), names.end());
        std::vector<std::string> paths;
        paths.reserve(names.size());
        for (const auto& name : names)
            paths.push_back(folder_ + "\\" + name);
        return paths;
    }

    std::unique_ptr<Device> open(const std::string& path) override {
        // Only markers directly inside the board folder are boards.
        if (path.size() <= folder_.size() + 1 || path.compare(0, folder_.size(), folder_) != 0 ||
            !isSeparator(path[folder_.size()]))
            return nullptr;
        const std::string name = path.substr(folder_.size() + 1);
        if (name.find_first_of("\\/") != std::string::npos || !endsWithSuffix(name)) return nullptr;
        const std::string pipeName = readMarker(path);
        if (pipeName.empty()) return nullptr;
        return connect(pipeName);
    }

private:
    std::string folder_;
};

} // namespace

std::unique_ptr<Backend> makeVirtualBackend(std::string directory) {
    return std::make_unique<PipeBackend>(std::move(directory));
}

} // namespace zelk::hid

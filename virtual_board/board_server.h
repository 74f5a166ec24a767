#pragma once
// Serves one board model on a SOCK_SEQPACKET Unix socket, speaking the virtual board wire protocol, on a
// thread of its own.
#include "virtual_board/board_model.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace zelk::vboard {

struct ServerOptions {
    std::string directory;        // empty: the calling user's board directory (hid::vproto::boardDirectory)
    std::string name = "kaldex0"; // the socket is <directory>/<name>.sock
    // Answer at real-time priority (SCHED_FIFO) where the process may, as hardware answers whatever the
    // host's load.
    bool realtime = false;
};

// One client at a time: a client that connects while another is served is closed at once. Every output
// report of the right length gets the model's answers, sent after the model's answer delay; packets of any
// other length are ignored. While the model refuses writes, the board shuts the receiving side of the
// connection, so the client's writes fail; a model disconnect() ends the current connection. A full client
// queue drops answers, as a hidraw queue does. The model must outlive the server; one server per model.
// The answering thread allocates nothing and takes only the model's lock, so it never waits on anything
// else.
class BoardServer {
public:
    explicit BoardServer(BoardModel& model, ServerOptions options = {});
    ~BoardServer();
    BoardServer(const BoardServer&) = delete;
    BoardServer& operator=(const BoardServer&) = delete;

    // Makes the directory when missing (mode 0700), replaces a stale socket, listens and starts serving.
    // Fails, with a message in error, when the directory is not the caller's own real directory or is open
    // to anybody else (an existing directory's mode is never changed), the name is unusable, or another
    // board already listens on the socket.
    bool start(std::string* error = nullptr);
    // Ends the connection, stops serving and removes the socket. Does nothing when not running.
    void stop();

    bool running() const { return thread_.joinable(); }
    // Whether the answering thread runs at real-time priority; when it was asked for and refused, why.
    bool realtime() const { return realtime_; }
    const std::string& realtimeRefusal() const { return realtimeRefusal_; }
    const std::string& socketPath() const { return socketPath_; }
    bool clientConnected() const { return clientConnected_.load(); }
    std::uint64_t connectionCount() const { return connectionCount_.load(); } // clients greeted since start

private:
    struct Loop;
    void serve(Loop& loop);

    BoardModel& model_;
    ServerOptions options_;
    std::string socketPath_;
    std::unique_ptr<Loop> loop_;
    std::thread thread_;
    bool realtime_ = false;
    std::string realtimeRefusal_;
    std::atomic<bool> clientConnected_{false};
    std::atomic<std::uint64_t> connectionCount_{0};
};

} // namespace zelk::vboard

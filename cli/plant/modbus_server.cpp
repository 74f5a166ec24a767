#include "cli/plant/modbus_server.h"

#include "cli/plant/modbus_map.h"

#include <modbus/modbus.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zelk::plant {

namespace {

struct ModbusContextDeleter {
    void operator()(modbus_t* context) const { modbus_free(context); }
};
using ModbusContext = std::unique_ptr<modbus_t, ModbusContextDeleter>;

std::string socketName(int fd) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) return "?";
    char text[INET6_ADDRSTRLEN] = "?";
    int port = 0;
    if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
        return "[" + std::string(text) + "]:" + std::to_string(port);
    }
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    port = ntohs(v4.sin_port);
    return std::string(text) + ":" + std::to_string(port);
}

bool sendAll(int fd, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// A slow or stalled client costs only its own thread: its silence and its unread answers time out.
constexpr int kSendTimeoutSeconds = 5;

void setTimeouts(int fd) {
    timeval receive{ModbusServer::kIdleSeconds, 0};
    timeval send{kSendTimeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof receive);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &send, sizeof send);
}

} // namespace

ModbusServer::~ModbusServer() {
    stop();
    if (listenFd_ >= 0) ::close(listenFd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

bool ModbusServer::listen(const Settings& settings, std::string& error) {
    settings_ = settings;
    // The listener looks the address up too, but on a failed look-up it reports a stale errno
    // ("Connection refused"); looking it up first gives the user the real reason.
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int failure = ::getaddrinfo(settings.address.c_str(), settings.port.c_str(), &hints, &found)) {
        error = "cannot serve Modbus TCP on " + settings.address + ":" + settings.port +
                ": the address cannot be looked up: " + ::gai_strerror(failure);
        return false;
    }
    ::freeaddrinfo(found);
    ModbusContext context(modbus_new_tcp_pi(settings.address.c_str(), settings.port.c_str()));
    if (!context) {
        error = std::string("cannot set up the Modbus TCP server: ") + modbus_strerror(errno);
        return false;
    }
    listenFd_ = modbus_tcp_pi_listen(context.get(), kMostClients);
    if (listenFd_ < 0) {
        error = "cannot serve Modbus TCP on " + settings.address + ":" + settings.port + ": " +
                modbus_strerror(errno);
        return false;
    }
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    where_ = socketName(listenFd_);
    return true;
}

void ModbusServer::start() {
    acceptor_ = std::thread(&ModbusServer::acceptLoop, this);
}

void ModbusServer::stop() {
    if (!acceptor_.joinable()) return;
    stopping_.store(true);
    const std::uint64_t one = 1;
    (void)!::write(wakeFd_, &one, sizeof one);
    acceptor_.join();
    std::lock_guard lock(clientsMutex_);
    // An ended connection wakes its thread from its wait for the next request.
    for (Client& client : clients_)
        ::shutdown(client.fd, SHUT_RDWR);
    for (Client& client : clients_)
        client.thread.join();
    for (Client& client : clients_)
        ::close(client.fd);
    clients_.clear();
}

int ModbusServer::reapClients() {
    int running = 0;
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (it->done.load()) {
            it->thread.join();
            ::close(it->fd);
            it = clients_.erase(it);
        } else {
            ++running;
            ++it;
        }
    }
    return running;
}

void ModbusServer::acceptLoop() {
    while (!stopping_.load()) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors or memory: the waiting connection stays, so pause instead of spinning.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        std::lock_guard lock(clientsMutex_);
        if (reapClients() >= kMostClients) {
            ::close(fd); // refused: the client sees its connection closed at once
            continue;
        }
        setTimeouts(fd);
        Client& client = clients_.emplace_back();
        client.fd = fd;
        client.thread = std::thread(&ModbusServer::serve, this, std::ref(client));
    }
}

void ModbusServer::serve(Client& client) {
    // Requests are framed here by the header's length, which covers every function: libmodbus sizes a
    // request by its function code instead, so a function it does not know would leave the rest of the
    // request in the stream, and its reads cost two waits and two reads per request. A read waits at most
    // kIdleSeconds (the socket's receive timeout): a client silent that long, in or between requests, is
    // dropped.
    std::array<std::uint8_t, 2 * modbus::kMaxFrame> buffer{};
    std::size_t held = 0;
    RunPicture picture;
    while (!stopping_.load()) {
        std::size_t size = 0;
        for (;;) {
            if (held >= modbus::kHeaderBytes) {
                size = modbus::frameSize(std::span(buffer).first<modbus::kHeaderBytes>());
                if (size == 0 || held >= size) break;
            }
            const ssize_t got = ::recv(client.fd, buffer.data() + held, buffer.size() - held, 0);
            if (got <= 0) break;
            held += static_cast<std::size_t>(got);
        }
        if (size == 0 || held < size) break; // malformed, oversized, ended or idle
        run_.read(picture);
        const auto request = std::span(buffer).first(size);
        modbus::Answer answer = modbus::answer(request, modbus::imageOf(picture), settings_.writable);
        if (answer.close) break;
        if (answer.outputs.pins != 0 && !run_.setOutputs(answer.outputs))
            answer = modbus::writeFailed(request);
        if (!sendAll(client.fd, answer.frame.data(), answer.size)) break;
        std::memmove(buffer.data(), buffer.data() + size, held - size);
        held -= size;
    }
    ::shutdown(client.fd, SHUT_RDWR);
    client.done.store(true);
}

} // namespace zelk::plant

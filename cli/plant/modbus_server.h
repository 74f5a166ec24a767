#pragma once
// The Modbus TCP server of a control run: libmodbus opens the listening socket, one thread accepts
// connections, one thread per client frames its requests and answers them (modbus_map.h) from the run's
// picture at that moment. At most kMostClients at once, further ones
// are closed on accept; a client silent for kIdleSeconds is dropped; a malformed or oversized request
// closes its connection. Nothing of it touches the control cycle beyond copying the picture.
#include "cli/plant/run_access.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace zelk::plant {

class ModbusServer {
public:
    static constexpr int kMostClients = 8;
    static constexpr int kIdleSeconds = 60;

    struct Settings {
        std::string address = "127.0.0.1"; // a numeric IPv4 or IPv6 address or a host name
        std::string port = "502";          // "0": a free port of the system's choice
        bool writable = false;             // coil writes set outputs; otherwise they answer exception 01
    };

    explicit ModbusServer(RunAccess& run) : run_(run) {}
    ~ModbusServer();
    ModbusServer(const ModbusServer&) = delete;
    ModbusServer& operator=(const ModbusServer&) = delete;

    // Binds the listening socket. False with the reason in error.
    bool listen(const Settings& settings, std::string& error);
    // "ADDRESS:PORT" as bound, the port being the real one.
    const std::string& where() const { return where_; }
    bool writable() const { return settings_.writable; }
    // Starts serving; stop() (or the destructor) ends every connection and the threads.
    void start();
    void stop();

private:
    struct Client {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void acceptLoop();
    void serve(Client& client);
    // Joins the clients whose threads ended; returns how many still run. Holds clientsMutex_.
    int reapClients();

    RunAccess& run_;
    Settings settings_;
    std::string where_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::mutex clientsMutex_;
    std::list<Client> clients_;
};

} // namespace zelk::plant

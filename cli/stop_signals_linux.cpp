#include "cli/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace zelk::cli {

namespace {

sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

StopSignals::StopSignals() {
    // A reader of the output that goes away must not end the run without its close: writes then fail
    // instead of raising SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    const sigset_t set = stopSet();
    const int blocked = pthread_sigmask(SIG_BLOCK, &set, nullptr);
    if (blocked != 0) {
        error_ = std::string("cannot block the stop signals: ") + std::strerror(blocked);
        return;
    }
    fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd_ < 0) error_ = std::string("signalfd: ") + std::strerror(errno);
}

StopSignals::~StopSignals() {
    if (fd_ >= 0) close(fd_);
}

bool StopSignals::wait(std::chrono::milliseconds timeout) {
    if (fd_ < 0) return false;
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return false;
    signalfd_siginfo info{};
    return read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
}

} // namespace zelk::cli

#include "main/termination_signals.h"

#include <QSocketNotifier>
#include <QWidget>

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zelk::console {

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGHUP, SIGINT};

// The pair the handler writes to (0) and the GUI thread reads from (1); -1 while no object is alive.
std::array<int, 2> wakeUp{-1, -1};
volatile std::sig_atomic_t handlerEnd = -1; // wakeUp[0], as the handler reads it
std::array<struct sigaction, kSignals.size()> previous{};

extern "C" void onTerminationSignal(int signal) {
    const int savedErrno = errno;
    const auto byte = static_cast<char>(signal);
    if (const int end = handlerEnd; end >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(end, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

CloseOnTermination::CloseOnTermination(QWidget& window) : QObject(&window), window_(window) {
    if (wakeUp[0] >= 0) return; // another one already answers the signals
    std::array<int, 2> pair{};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair.data()) != 0) return;
    wakeUp = pair;
    handlerEnd = wakeUp[0];
    notifier_ = new QSocketNotifier(wakeUp[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CloseOnTermination::closeWindow);

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A signal ignored at the start stays ignored (the program was started with nohup, or in the background).
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        if (::sigaction(kSignals[i], nullptr, &previous[i]) == 0 && previous[i].sa_handler != SIG_IGN)
            ::sigaction(kSignals[i], &action, nullptr);
}

CloseOnTermination::~CloseOnTermination() {
    if (notifier_ == nullptr) return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    handlerEnd = -1;
    delete notifier_;
    ::close(wakeUp[0]);
    ::close(wakeUp[1]);
    wakeUp = {-1, -1};
}

void CloseOnTermination::closeWindow() {
    std::array<char, 16> bytes{};
    while (::read(wakeUp[1], bytes.data(), bytes.size()) > 0) {
    }
    // A second signal while the window closes changes nothing.
    if (closing_) return;
    closing_ = true;
    window_.close();
}

} // namespace zelk::console

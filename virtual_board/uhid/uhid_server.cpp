#include "virtual_board/uhid/uhid_server.h"

#include "virtual_board/realtime.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace zelk::vboard {

UhidServer::UhidServer(BoardModel& model, UhidNotices& notices)
    : model_(model), notices_(notices), board_(model), phys_("kaldex-uhid-" + std::to_string(::getpid())) {}

UhidServer::~UhidServer() {
    stop();
}

bool UhidServer::open(int& errorNumber) {
    uhid_.reset(::open(kDevicePath, O_RDWR | O_CLOEXEC));
    wake_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    errorNumber = uhid_.valid() && wake_.valid() ? 0 : errno;
    return errorNumber == 0;
}

bool UhidServer::write(const uhid_event& event) {
    for (;;) {
        const ssize_t n = ::write(uhid_.get(), &event, sizeof event);
        if (n == static_cast<ssize_t>(sizeof event)) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n >= 0) errno = EIO;
        return false;
    }
}

bool UhidServer::start(int& errorNumber) {
    errorNumber = 0;
    if (!write(uhidCreateEvent(model_.config(), phys_.c_str()))) {
        errorNumber = errno;
        return false;
    }
    plugged_ = true;
    wantPlugged_ = true;
    thread_ = std::thread([this] { serve(); });
    realtimeRefusal_ = raiseToAnswerPriority(thread_);
    return true;
}

void UhidServer::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        wake();
        thread_.join();
    }
    uhid_.reset(); // closing /dev/uhid removes a device still plugged in
    wake_.reset();
}

void UhidServer::unplug() {
    wantPlugged_ = false;
    wake();
}

void UhidServer::plug() {
    wantPlugged_ = true;
    wake();
}

void UhidServer::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wake_.get(), &one, sizeof one);
}

void UhidServer::serve() {
    while (!stopping_) {
        pollfd fds[2] = {{uhid_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] const auto n = ::read(wake_.get(), &count, sizeof count);
            if (stopping_) break;
            const bool want = wantPlugged_;
            if (want != plugged_) {
                if (want && !write(uhidCreateEvent(model_.config(), phys_.c_str()))) {
                    notices_.push({UhidServerNotice::Kind::PlugFailed, {}, errno});
                } else {
                    if (!want) write(uhidDestroyEvent());
                    plugged_ = want;
                    notices_.push(
                        {want ? UhidServerNotice::Kind::Plugged : UhidServerNotice::Kind::Unplugged, {}, 0});
                }
            }
        }
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            notices_.push({UhidServerNotice::Kind::Failed, {}, EIO});
            break;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(uhid_.get(), &event_, sizeof event_);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) {
                notices_.push({UhidServerNotice::Kind::Failed, {}, n < 0 ? errno : EIO});
                break;
            }
            const UhidNotice notice = board_.handle(event_, replies_, BoardModel::Clock::now());
            for (std::size_t i = 0; i < replies_.count; ++i)
                write(replies_.events[i]);
            if (notice.kind != UhidNotice::Kind::None)
                notices_.push({UhidServerNotice::Kind::Board, notice, 0});
        }
    }
    if (plugged_) write(uhidDestroyEvent());
    plugged_ = false;
}

} // namespace zelk::vboard

#include "virtual_board/port1_relay.h"

#include <cerrno>
#include <sys/eventfd.h>
#include <system_error>

namespace zelk::vboard {

Port1Relay::Port1Relay() : event_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!event_.valid()) throw std::system_error(errno, std::generic_category(), "eventfd");
}

void Port1Relay::push(std::uint8_t value) {
    const std::size_t written = written_.load(std::memory_order_relaxed);
    if (written - read_.load(std::memory_order_acquire) == kCapacity) return;
    ring_[written % kCapacity] = value;
    written_.store(written + 1, std::memory_order_release);
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(event_.get(), &one, sizeof one);
}

} // namespace zelk::vboard

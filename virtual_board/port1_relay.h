#pragma once
// Port-1 output values from the board's answering thread to the thread that prints them or the panel.
#include "virtual_board/event_relay.h"

#include <cstdint>

namespace zelk::vboard {

using Port1Relay = EventRelay<std::uint8_t, 1024>;

} // namespace zelk::vboard

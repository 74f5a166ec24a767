#pragma once
// Which HID devices are KALDEX boards.
#include "kaldex_config.h"

#include <cstdint>

namespace zelk::hid {

// The identification rule: the maker's vendor ID and a product ID of 0x0100..0x010F or 0x1000.
constexpr bool isKaldexBoard(std::uint16_t vendorId, std::uint16_t productId) {
    return vendorId == kKaldexVendorId && ((productId & 0xFFF0u) == 0x0100u || productId == 0x1000u);
}

} // namespace zelk::hid

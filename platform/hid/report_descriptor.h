#pragma once
// Report lengths from a HID report descriptor, counted the way the device link needs them: the largest report
// of each type in bytes plus one for the report ID byte, which a report buffer holds even when the device
// numbers no reports. A type with no report has length 0.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zelk::hid {

struct DescriptorLengths {
    std::size_t input = 0;
    std::size_t output = 0;
    std::size_t feature = 0;
    // True when the descriptor declares report IDs. Such a device sends its report ID first; one without
    // report IDs sends the data alone.
    bool usesReportIds = false;
};

// Parses the short items of the descriptor; long items are skipped. Fails (nullopt) on a truncated item,
// unbalanced collections or global-state push/pop, a report ID of 0 or above 255, a report longer than
// 65534 bytes, or a descriptor that declares no report at all.
std::optional<DescriptorLengths> parseReportDescriptor(std::span<const std::uint8_t> descriptor);

} // namespace zelk::hid

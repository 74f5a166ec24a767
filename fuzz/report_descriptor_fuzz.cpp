// The HID report-descriptor parser on any bytes: it never reads outside the descriptor, and a descriptor it
// accepts declares at least one report; each length is 0 (no report of that type) or the report ID byte plus
// 1 to 65534 data bytes.
#include "fuzz/require.h"
#include "hid/report_descriptor.h"

#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto lengths = zelk::hid::parseReportDescriptor(std::span(data, size));
    if (!lengths) return 0;
    zelk::fuzz::require(lengths->input > 0 || lengths->output > 0 || lengths->feature > 0, "no report");
    for (const std::size_t length : {lengths->input, lengths->output, lengths->feature})
        zelk::fuzz::require(length != 1 && length <= 65535, "a report length out of range");
    return 0;
}

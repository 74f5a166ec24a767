// The HID report-descriptor parser on any bytes: it never reads outside the descriptor, and the lengths of a
// descriptor it accepts are those of real reports: at least one report, none beyond 65534 data bytes plus
// the report ID byte.
#include "hid/report_descriptor.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto lengths = zelk::hid::parseReportDescriptor(std::span(data, size));
    if (!lengths) return 0;
    const bool some = lengths->input > 0 || lengths->output > 0 || lengths->feature > 0;
    const bool bounded = lengths->input <= 65535 && lengths->output <= 65535 && lengths->feature <= 65535;
    const bool noEmptyReport = lengths->input != 1 && lengths->output != 1 && lengths->feature != 1;
    if (some && bounded && noEmptyReport) return 0;
    std::fprintf(stderr, "report_descriptor_fuzz: lengths %zu/%zu/%zu out of range\n", lengths->input,
                 lengths->output, lengths->feature);
    std::abort();
}

// uhid_round_trip [COUNT]: times COUNT read requests (default 1000) to the first KALDEX board among the HID
// devices, each answered before the next goes out, through the device link's hidapi backend. For the kernel
// test: the time a request takes from the engine's write to the board's answer in its read.
#include "hid/backends.h"
#include "hid/board_protocol.h"
#include "hid/kaldex_board.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace board = zelk::hid::board;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (count <= 0) return 2;
    const auto backend = zelk::hid::makeHidapiBackend();
    std::unique_ptr<zelk::hid::Device> device;
    zelk::hid::ReportLengths lengths;
    for (const std::string& path : backend->enumerate()) {
        std::uint16_t vendorId = 0, productId = 0;
        if (!backend->listedAttributes(path, vendorId, productId) ||
            !zelk::hid::isKaldexBoard(vendorId, productId))
            continue;
        device = backend->open(path);
        if (device && device->reportLengths(lengths)) break;
        device.reset();
    }
    if (!device) {
        std::fputs("uhid_round_trip: no KALDEX board opens\n", stderr);
        return 1;
    }

    std::array<std::uint8_t, board::kMaxLinkReportLength> output{}, input{};
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(count));
    int lost = 0;
    for (int i = 0; i < count; ++i) {
        const auto sequence = static_cast<std::uint8_t>(i);
        board::encodeOutputReport({output.data(), lengths.output}, {board::kReadRequest, 0, sequence});
        const auto sent = Clock::now();
        bool answered = false;
        if (device->write(output.data(), lengths.output)) {
            while (!answered && device->read(input.data(), lengths.input, 1000) > 0)
                answered = board::decodeInputReport({input.data(), lengths.input}).sequence == sequence;
        }
        if (!answered) {
            ++lost;
            continue;
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    }
    if (times.empty()) {
        std::fprintf(stderr, "uhid_round_trip: none of %d requests was answered\n", count);
        return 1;
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (const double t : times)
        sum += t;
    std::printf("round trip: %zu answered, %d lost, mean %.3f ms, median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                times.size(), lost, sum / static_cast<double>(times.size()), times[times.size() / 2],
                times[times.size() * 99 / 100], times.back());
    return lost == 0 ? 0 : 1;
}

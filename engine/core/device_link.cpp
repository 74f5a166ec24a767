#include "core/device_link.h"

#include "core/engine_platform.h"
#include "core/messages.h"
#include "core/trace.h"
#include "hid/failure_text.h"

#include <algorithm>
#include <cstring>

namespace zelk {

bool DeviceLink::findAndOpen() {
    if (board_) {
        trace(messages::kDeviceAlreadyOpen);
        return false;
    }
    for (const std::string& path : platform_.devices().enumerate()) {
        trace(messages::kEnumResult, 1);
        if (!messages::kDetailResult.empty()) trace(messages::kDetailResult, 1);
        tracePath(path);
        // A device whose listed IDs are no board's is left alone, unopened: it belongs to another program,
        // and an open wakes some devices. Where the backend learns the IDs only by opening, they are
        // checked below.
        std::uint16_t vendorId = 0, productId = 0;
        if (platform_.devices().listedAttributes(path, vendorId, productId) &&
            !isKaldexBoard(vendorId, productId))
            continue;
        std::unique_ptr<hid::Device> device = platform_.devices().open(path);
        if (!device) {
            traceWhy(messages::kDeviceOpenFailed, [this](char* text, std::size_t size) {
                hid::describeOpenError(platform_.devices().lastOpenError(), text, size);
            });
            continue;
        }
        if (!device->attributes(vendorId, productId)) continue;
        trace(messages::kVendorProduct, vendorId, productId);
        if (!isKaldexBoard(vendorId, productId)) continue; // released here; the next device is tried
        trace(messages::kBoardFound);
        hid::ReportLengths lengths;
        if (!device->reportLengths(lengths) ||
            std::min(lengths.input, lengths.output) < hid::board::kMinReportLength ||
            std::max(lengths.input, lengths.output) > hid::board::kMaxLinkReportLength)
            continue;
        lengths_ = lengths;
        board_ = std::move(device);
        return true;
    }
    trace(messages::kEnumResult, 0);
    return false;
}

bool DeviceLink::send(Command command, std::uint8_t value, std::uint8_t tick) {
    if (!board_) return false;
    hid::board::encodeOutputReport(output_, {command, value, tick});
    if (command == hid::board::kReadRequest) expectedSequence_ = tick;
    if (board_->write(output_.data(), lengths_.output)) return true;
    traceFailure(messages::kSendFailed, tracedWrite_);
    return false;
}

void DeviceLink::traceFailure(std::string_view message, TracedFailure& last) {
    if (!tracing::on()) return;
    const hid::IoError error = board_->lastError();
    const Deadline now = platform_.steadyNow();
    if (last.traced && error == last.error && now - last.at < kTraceRepeat) return;
    last = {true, error, now};
    traceWhy(message, [this](char* text, std::size_t size) { board_->describeLastError(text, size); });
}

bool DeviceLink::readReport(Report& buffer, Deadline deadline) {
    buffer.fill(0);
    // The time that is left, rounded up to the whole milliseconds of the device's time-out.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - platform_.steadyNow());
    const int timeoutMs = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
    if (!board_) return false;
    if (board_->read(buffer.data(), lengths_.input, timeoutMs) >= 0) return true;
    traceFailure(messages::kReadFailed, tracedRead_);
    return false;
}

void DeviceLink::pause(Deadline deadline) {
    if (deadline - platform_.steadyNow() >= std::chrono::milliseconds(1)) platform_.sleepMs(1);
}

bool DeviceLink::readInput(int& failedReads) {
    failedReads = 0;
    const Deadline deadline = platform_.steadyNow() + std::chrono::milliseconds(kReadDeadlineMs);
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        if (platform_.steadyNow() >= deadline) {
            failedReads += kReadAttempts - attempt;
            return false;
        }
        if (!readReport(input_, deadline)) {
            ++failedReads;
            pause(deadline);
            continue;
        }
        const hid::board::InputReport matched = hid::board::decodeInputReport(input_);
        if (matched.sequence != expectedSequence_) {
            // An answer to an earlier command: discard it. The first three retries follow at once.
            if (attempt >= 3) pause(deadline);
            continue;
        }
        const auto& accepted =
            (hid::board::readsOneMore(matched) && readReport(extra_, deadline)) ? extra_ : input_;
        std::copy_n(accepted.begin(), kKeptReportBytes, lastReport_.begin());
        return true;
    }
    return false;
}

} // namespace zelk

#include "virtual_board/uhid/uhid_board.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/input.h>

namespace zelk::vboard {
namespace {

constexpr std::uint16_t kDeviceVersion = 0x0100;
constexpr char kDeviceName[] = "KALDEX virtual board (kaldex-uhid)";

void copyText(std::uint8_t* field, std::size_t size, const char* text) {
    std::strncpy(reinterpret_cast<char*>(field), text, size - 1);
}

} // namespace

std::vector<std::uint8_t> uhidReportDescriptor(const BoardConfig& config) {
    // Lengths are at most hid::board::kMaxBoardReportLength: each count fits the one-byte item.
    const auto inputBytes = static_cast<std::uint8_t>(config.inputLength - 1);
    const auto outputBytes = static_cast<std::uint8_t>(config.outputLength - 1);
    return {
        0x06, 0x00,        0xFF, // Usage Page (vendor defined 0xFF00)
        0x09, 0x01,              // Usage (1)
        0xA1, 0x01,              // Collection (application)
        0x15, 0x00,              //   Logical Minimum (0)
        0x26, 0xFF,        0x00, //   Logical Maximum (255)
        0x75, 0x08,              //   Report Size (8 bits)
        0x95, inputBytes,        //   Report Count
        0x09, 0x02,              //   Usage (2)
        0x81, 0x02,              //   Input (data, variable, absolute)
        0x95, outputBytes,       //   Report Count
        0x09, 0x03,              //   Usage (3)
        0x91, 0x02,              //   Output (data, variable, absolute)
        0xC0,                    // End Collection
    };
}

uhid_event uhidCreateEvent(const BoardConfig& config, const char* phys) {
    uhid_event event{};
    event.type = UHID_CREATE2;
    uhid_create2_req& create = event.u.create2;
    copyText(create.name, sizeof create.name, kDeviceName);
    copyText(create.phys, sizeof create.phys, phys);
    const std::vector<std::uint8_t> descriptor = uhidReportDescriptor(config);
    create.rd_size = static_cast<std::uint16_t>(descriptor.size());
    std::copy(descriptor.begin(), descriptor.end(), create.rd_data);
    create.bus = BUS_USB;
    create.vendor = config.vendorId;
    create.product = config.productId;
    create.version = kDeviceVersion;
    return event;
}

uhid_event uhidDestroyEvent() {
    uhid_event event{};
    event.type = UHID_DESTROY;
    return event;
}

UhidNotice UhidBoard::handle(const uhid_event& event, UhidReplies& replies, Clock::time_point receivedAt) {
    replies.count = 0;
    switch (event.type) {
    case UHID_OUTPUT:
        takeOutput(event.u.output, replies, receivedAt);
        return {};
    case UHID_GET_REPORT: {
        uhid_event& reply = replies.events[replies.count++];
        reply = {};
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = event.u.get_report.id;
        reply.u.get_report_reply.err = EIO;
        return {};
    }
    case UHID_SET_REPORT: {
        uhid_event& reply = replies.events[replies.count++];
        reply = {};
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = event.u.set_report.id;
        reply.u.set_report_reply.err = EIO;
        return {};
    }
    case UHID_OPEN:
        readRequests_ = 0;
        longestGap_ = {};
        return {UhidNotice::Kind::Opened};
    case UHID_CLOSE:
        return {UhidNotice::Kind::Closed, readRequests_,
                readRequests_ == 0 ? std::chrono::nanoseconds{0} : lastRequest_ - firstRequest_, longestGap_};
    default: // UHID_START, UHID_STOP: the kernel's side of plugging in and out
        return {};
    }
}

void UhidBoard::takeOutput(const uhid_output_req& output, UhidReplies& replies,
                           Clock::time_point receivedAt) {
    if (output.rtype != UHID_OUTPUT_REPORT) return;
    const std::size_t length = std::min<std::size_t>(output.size, sizeof output.data);
    if (model_.takeOutputReport(output.data, length, answers_, receivedAt) != ReportResult::Taken) return;
    if (hid::board::decodeOutputReport({output.data, length}).command == hid::board::kReadRequest) {
        if (readRequests_ == 0)
            firstRequest_ = receivedAt;
        else
            longestGap_ = std::max(longestGap_, receivedAt - lastRequest_);
        lastRequest_ = receivedAt;
        ++readRequests_;
    }
    for (std::size_t i = 0; i < answers_.count; ++i) {
        uhid_event& reply = replies.events[replies.count++];
        reply.type = UHID_INPUT2;
        reply.u.input2.size = static_cast<std::uint16_t>(answers_.length - 1);
        std::copy_n(answers_.reports[i].begin() + 1, answers_.length - 1, reply.u.input2.data);
    }
}

} // namespace zelk::vboard

// The board as the kernel sees it, without a kernel: the device it asks for, and its answers to the events
// the kernel would send.
#include "virtual_board/uhid/uhid_board.h"

#include "hid/report_descriptor.h"
#include "virtual_board/uhid/uhid_cli.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <linux/input.h>

using namespace zelk::vboard;
namespace board = zelk::hid::board;
using namespace std::chrono_literals;

namespace {

// An output report as hidraw hands it to the UHID driver: the report ID byte 0 first.
uhid_event outputEvent(const BoardConfig& config, board::OutputReport fields) {
    uhid_event event{};
    event.type = UHID_OUTPUT;
    event.u.output.rtype = UHID_OUTPUT_REPORT;
    event.u.output.size = static_cast<std::uint16_t>(config.outputLength);
    board::encodeOutputReport({event.u.output.data, config.outputLength}, fields);
    return event;
}

// An input report sent to the kernel, read as the device link reads it: report ID 0, then the data.
board::InputReport asRead(const uhid_event& input) {
    std::uint8_t report[board::kMaxBoardReportLength] = {0};
    std::memcpy(report + 1, input.u.input2.data, input.u.input2.size);
    return board::decodeInputReport({report, input.u.input2.size + 1u});
}

} // namespace

TEST(UhidBoard, AsksForAVendorDeviceOfTheBoardsIdentityAndReportLengths) {
    for (const auto& [in, out] : {std::pair<std::size_t, std::size_t>{9, 9}, {16, 65}, {4, 255}}) {
        BoardConfig config;
        config.productId = 0x1000;
        config.inputLength = in;
        config.outputLength = out;
        const std::vector<std::uint8_t> descriptor = uhidReportDescriptor(config);
        // What the device link reads back from the kernel's copy of the descriptor.
        const auto lengths = zelk::hid::parseReportDescriptor(descriptor);
        ASSERT_TRUE(lengths) << in << "/" << out;
        EXPECT_EQ(lengths->input, in);
        EXPECT_EQ(lengths->output, out);
        EXPECT_EQ(lengths->feature, 0u);
        EXPECT_FALSE(lengths->usesReportIds);
        EXPECT_EQ(std::vector<std::uint8_t>(descriptor.begin(), descriptor.begin() + 3),
                  (std::vector<std::uint8_t>{0x06, 0x00, 0xFF}))
            << "a vendor-defined usage page";

        const uhid_event create = uhidCreateEvent(config, "kaldex-uhid-42");
        EXPECT_EQ(create.type, UHID_CREATE2);
        EXPECT_EQ(create.u.create2.bus, BUS_USB);
        EXPECT_EQ(create.u.create2.vendor, zelk::kKaldexVendorId);
        EXPECT_EQ(create.u.create2.product, 0x1000u);
        EXPECT_STREQ(reinterpret_cast<const char*>(create.u.create2.phys), "kaldex-uhid-42");
        ASSERT_EQ(create.u.create2.rd_size, descriptor.size());
        EXPECT_EQ(0, std::memcmp(create.u.create2.rd_data, descriptor.data(), descriptor.size()));
    }
}

TEST(UhidBoard, AnswersEachOutputReportAsTheBoardModelDoes) {
    BoardConfig config;
    config.inputLength = 16;
    BoardModel model(config);
    UhidBoard uhid(model);
    UhidReplies replies;
    model.setPin(0, true);

    uhid.handle(outputEvent(config, {board::kReadRequest, 0, 0x2A}), replies, {});
    ASSERT_EQ(replies.count, 1u);
    EXPECT_EQ(replies.events[0].type, UHID_INPUT2);
    EXPECT_EQ(replies.events[0].u.input2.size, 15u) << "the input report without its report ID byte";
    const board::InputReport answer = asRead(replies.events[0]);
    EXPECT_EQ(answer.command, board::kReadRequest);
    EXPECT_EQ(answer.port0, 0xFE);
    EXPECT_EQ(answer.sequence, 0x2A);

    uhid.handle(outputEvent(config, {board::kSetPort1, 0x0E, 0}), replies, {});
    ASSERT_EQ(replies.count, 1u);
    EXPECT_EQ(asRead(replies.events[0]).command, board::kSetPort1);
    EXPECT_EQ(model.port1Output(), 0x0E);

    // A faulty model's answers go out as they are: a stale answer first, then the right one.
    model.insertStaleAnswers(1);
    uhid.handle(outputEvent(config, {board::kReadRequest, 0, 0x05}), replies, {});
    ASSERT_EQ(replies.count, 2u);
    EXPECT_NE(asRead(replies.events[0]).sequence, 0x05);
    EXPECT_EQ(asRead(replies.events[1]).sequence, 0x05);

    // Not the board's output report: a write without the report ID byte, a feature report.
    const std::uint64_t taken = model.reportCount();
    uhid_event shortReport = outputEvent(config, {board::kSetPort1, 0x00, 0});
    shortReport.u.output.size = static_cast<std::uint16_t>(config.outputLength - 1);
    uhid.handle(shortReport, replies, {});
    EXPECT_EQ(replies.count, 0u);
    uhid_event feature = outputEvent(config, {board::kSetPort1, 0x00, 0});
    feature.u.output.rtype = UHID_FEATURE_REPORT;
    uhid.handle(feature, replies, {});
    EXPECT_EQ(replies.count, 0u);
    EXPECT_EQ(model.reportCount(), taken);
    EXPECT_EQ(model.port1Output(), 0x0E);
}

TEST(UhidBoard, RefusesReportRequestsAtOnce) {
    BoardModel model;
    UhidBoard uhid(model);
    UhidReplies replies;
    uhid_event get{};
    get.type = UHID_GET_REPORT;
    get.u.get_report.id = 7;
    uhid.handle(get, replies, {});
    ASSERT_EQ(replies.count, 1u);
    EXPECT_EQ(replies.events[0].type, UHID_GET_REPORT_REPLY);
    EXPECT_EQ(replies.events[0].u.get_report_reply.id, 7u);
    EXPECT_EQ(replies.events[0].u.get_report_reply.err, EIO);

    uhid_event set{};
    set.type = UHID_SET_REPORT;
    set.u.set_report.id = 8;
    uhid.handle(set, replies, {});
    ASSERT_EQ(replies.count, 1u);
    EXPECT_EQ(replies.events[0].type, UHID_SET_REPORT_REPLY);
    EXPECT_EQ(replies.events[0].u.set_report_reply.id, 8u);
    EXPECT_NE(replies.events[0].u.set_report_reply.err, 0);
}

TEST(UhidBoard, TellsTheReadRequestsOfEachTimeItWasOpen) {
    BoardConfig config;
    BoardModel model(config);
    UhidBoard uhid(model);
    UhidReplies replies;
    uhid_event open{};
    open.type = UHID_OPEN;
    uhid_event close{};
    close.type = UHID_CLOSE;
    const UhidBoard::Clock::time_point t0{};

    EXPECT_EQ(uhid.handle(open, replies, t0).kind, UhidNotice::Kind::Opened);
    for (const auto at : {10ms, 20ms, 40ms})
        uhid.handle(outputEvent(config, {board::kReadRequest, 0, 1}), replies, t0 + at);
    uhid.handle(outputEvent(config, {board::kSetPort1, 0x0E, 0}), replies, t0 + 45ms);
    const UhidNotice closed = uhid.handle(close, replies, t0 + 50ms);
    EXPECT_EQ(closed.kind, UhidNotice::Kind::Closed);
    EXPECT_EQ(closed.readRequests, 3u);
    EXPECT_EQ(closed.firstToLast, 30ms);
    EXPECT_EQ(closed.longestGap, 20ms);
    EXPECT_EQ(closedText(closed),
              "kaldex-uhid: closed after 3 read requests in 0.03 s (66.7 per second, longest gap 20.0 ms)\n");

    uhid.handle(open, replies, t0 + 1s);
    const UhidNotice again = uhid.handle(close, replies, t0 + 2s);
    EXPECT_EQ(again.readRequests, 0u) << "each open counts afresh";
    EXPECT_EQ(closedText(again), "kaldex-uhid: closed after 0 read requests\n");
}

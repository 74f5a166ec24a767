#include "virtual_board/board_model.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

using namespace zelk::vboard;
using namespace std::chrono_literals;

namespace {

struct Sent {
    ReportResult result;
    Answers answers;
};

Sent take(BoardModel& model, std::uint8_t command, std::uint8_t value, std::uint8_t sequence = 0,
          BoardModel::Clock::time_point at = BoardModel::Clock::now()) {
    std::array<std::uint8_t, zelk::hid::board::kMaxBoardReportLength> report{};
    report[1] = command;
    report[2] = value;
    report[3] = sequence;
    report[4] = 4;
    Sent sent;
    sent.result = model.takeOutputReport(report.data(), model.config().outputLength, sent.answers, at);
    return sent;
}

// Byte 3 of each answer.
std::vector<int> sequences(const Sent& sent) {
    std::vector<int> out;
    for (std::size_t i = 0; i < sent.answers.count; ++i)
        out.push_back(sent.answers.reports[i][3]);
    return out;
}

} // namespace

TEST(BoardModel, DefaultsAreTheBoardsPowerOnState) {
    BoardModel model;
    EXPECT_EQ(model.config().vendorId, zelk::kKaldexVendorId);
    EXPECT_EQ(model.config().productId, 0x0100);
    EXPECT_EQ(model.config().inputLength, 9u);
    EXPECT_EQ(model.config().outputLength, 9u);
    EXPECT_EQ(model.port0Input(), 0xFF);
    EXPECT_EQ(model.port0Output(), 0xFF);
    EXPECT_EQ(model.port1Output(), 0xFF);
    EXPECT_THROW(BoardModel(BoardConfig{.inputLength = 3}), std::invalid_argument);
    EXPECT_THROW(BoardModel(BoardConfig{.outputLength = 256}), std::invalid_argument);
}

TEST(BoardModel, EveryCommandIsAnsweredWithPortZeroAndItsSequenceByte) {
    BoardModel model(BoardConfig{.inputLength = 16, .outputLength = 12});
    model.setPort0Input(0x0F);
    model.setPin(0, true);
    model.setPin(4, false);
    model.setPin(8, true); // no such pin
    EXPECT_EQ(model.port0Input(), 0x1E);

    for (std::uint8_t command : {1, 2, 3, 0, 9}) {
        const Sent sent = take(model, command, 0x5A, 77);
        ASSERT_EQ(sent.result, ReportResult::Taken);
        ASSERT_EQ(sent.answers.count, 1u);
        ASSERT_EQ(sent.answers.length, 16u);
        const auto& answer = sent.answers.reports[0];
        EXPECT_EQ(answer[0], 0);
        EXPECT_EQ(answer[1], command);
        EXPECT_EQ(answer[2], 0x1E);
        EXPECT_EQ(answer[3], 77);
        for (std::size_t i = 4; i < 16; ++i)
            EXPECT_EQ(answer[i], 0) << i;
    }
    EXPECT_EQ(model.port0Output(), 0x5A);
    EXPECT_EQ(model.port1Output(), 0x5A);
    EXPECT_EQ(model.reportCount(), 5u);
    EXPECT_EQ(model.commandCount(2), 1u);
    EXPECT_EQ(model.commandCount(9), 1u);
}

TEST(BoardModel, ReportsOfAnotherLengthAreIgnored) {
    BoardModel model;
    const std::uint8_t report[10] = {0, 2, 0x00, 0};
    Answers answers;
    EXPECT_EQ(model.takeOutputReport(report, 8, answers), ReportResult::Ignored);
    EXPECT_EQ(model.takeOutputReport(report, 10, answers), ReportResult::Ignored);
    EXPECT_EQ(answers.count, 0u);
    EXPECT_EQ(model.port1Output(), 0xFF);
    EXPECT_EQ(model.reportCount(), 0u);
}

TEST(BoardModel, PortOneListenerHearsChangesOnly) {
    BoardModel model;
    std::vector<int> heard;
    model.setPort1Listener([&](std::uint8_t value) { heard.push_back(value); });
    take(model, 2, 0x0F);
    take(model, 2, 0x0F);
    take(model, 1, 0x00);
    take(model, 2, 0x0E);
    EXPECT_EQ(heard, (std::vector<int>{0x0F, 0x0E}));
}

TEST(BoardModel, ReadRequestTimesKeepTheNewestInOrder) {
    BoardModel model(BoardConfig{.readRequestLogCapacity = 3});
    const auto t0 = BoardModel::Clock::now();
    for (int i = 0; i < 5; ++i)
        take(model, 3, 0, static_cast<std::uint8_t>(i), t0 + i * 10ms);
    take(model, 2, 0x0F, 0, t0 + 100ms); // not a read request
    EXPECT_EQ(model.readRequestTimes(), (std::vector{t0 + 20ms, t0 + 30ms, t0 + 40ms}));
    EXPECT_EQ(model.commandCount(3), 5u);

    model.clearRecord();
    EXPECT_TRUE(model.readRequestTimes().empty());
    EXPECT_EQ(model.commandCount(3), 0u);
    take(model, 3, 0, 0, t0);
    EXPECT_EQ(model.readRequestTimes(), (std::vector{t0}));

    BoardModel unlogged(BoardConfig{.readRequestLogCapacity = 0});
    take(unlogged, 3, 0);
    EXPECT_TRUE(unlogged.readRequestTimes().empty());
    EXPECT_EQ(unlogged.commandCount(3), 1u);
}

TEST(BoardModel, CountedFaultsApplyToTheNextAnswers) {
    BoardModel model;
    model.dropAnswers(2);
    EXPECT_TRUE(sequences(take(model, 3, 0, 1)).empty());
    EXPECT_TRUE(sequences(take(model, 3, 0, 2)).empty());
    EXPECT_EQ(sequences(take(model, 3, 0, 3)), (std::vector{3}));

    // A stale sequence byte never equals the one asked for.
    model.staleAnswers(1);
    EXPECT_EQ(sequences(take(model, 3, 0, 4)), (std::vector{4 ^ 0x80}));
    EXPECT_EQ(sequences(take(model, 3, 0, 5)), (std::vector{5}));

    model.insertStaleAnswers(2);
    EXPECT_EQ(sequences(take(model, 3, 0, 6)), (std::vector{6 ^ 0x80, 6}));
    EXPECT_EQ(sequences(take(model, 3, 0, 7)), (std::vector{7 ^ 0x80, 7}));
    EXPECT_EQ(sequences(take(model, 3, 0, 8)), (std::vector{8}));

    // Both at once: the inserted answer and the answer itself are stale.
    model.insertStaleAnswers(1);
    model.staleAnswers(1);
    EXPECT_EQ(sequences(take(model, 3, 0, 9)), (std::vector{9 ^ 0x80, 9 ^ 0x80}));

    // A dropped answer uses up no other fault.
    model.dropAnswers(1);
    model.staleAnswers(1);
    EXPECT_TRUE(sequences(take(model, 3, 0, 10)).empty());
    EXPECT_EQ(sequences(take(model, 3, 0, 11)), (std::vector{11 ^ 0x80}));
    EXPECT_EQ(model.commandCount(3), 11u); // dropped answers still count as received
}

TEST(BoardModel, SilenceAndRefusalLastUntilCleared) {
    BoardModel model;
    model.setSilent(true);
    for (int i = 0; i < 3; ++i) {
        const Sent sent = take(model, 2, static_cast<std::uint8_t>(i));
        EXPECT_EQ(sent.result, ReportResult::Taken);
        EXPECT_EQ(sent.answers.count, 0u);
    }
    EXPECT_EQ(model.port1Output(), 2); // a silent board still acts on commands
    model.setSilent(false);
    EXPECT_EQ(take(model, 3, 0).answers.count, 1u);

    model.setRefuseWrites(true);
    EXPECT_TRUE(model.refusesWrites());
    EXPECT_EQ(take(model, 2, 0x0A).result, ReportResult::Refused);
    EXPECT_EQ(model.port1Output(), 2); // a refused report has no effect
    EXPECT_EQ(model.commandCount(2), 3u);

    model.setAnswerDelay(15ms);
    model.dropAnswers(5);
    model.clearFaults();
    EXPECT_FALSE(model.refusesWrites());
    EXPECT_EQ(model.answerDelay(), 0ms);
    EXPECT_EQ(take(model, 3, 0, 1).answers.count, 1u);
}

TEST(BoardModel, FaultListenerHearsEveryFaultChange) {
    BoardModel model;
    int heard = 0;
    model.setFaultListener([&] { ++heard; });
    model.dropAnswers(1);
    model.staleAnswers(1);
    model.insertStaleAnswers(1);
    model.setSilent(true);
    model.setRefuseWrites(true);
    model.setAnswerDelay(1ms);
    model.disconnect();
    model.clearFaults();
    EXPECT_EQ(heard, 8);
    EXPECT_EQ(model.disconnectGeneration(), 1u);
    take(model, 3, 0);
    model.setPort0Input(0);
    EXPECT_EQ(heard, 8);
}

#include "virtual_board/board_model.h"

#include <algorithm>
#include <stdexcept>

namespace zelk::vboard {
namespace {

constexpr std::uint8_t kStaleBit = 0x80;

bool lengthInRange(std::size_t length) {
    return length >= hid::board::kMinReportLength && length <= hid::board::kMaxBoardReportLength;
}

} // namespace

BoardModel::BoardModel(BoardConfig config) : config_(config) {
    if (!lengthInRange(config_.inputLength) || !lengthInRange(config_.outputLength))
        throw std::invalid_argument("report lengths must be 4 to 255 bytes");
    readRequestRing_.resize(config_.readRequestLogCapacity);
}

ReportResult BoardModel::takeOutputReport(const std::uint8_t* report, std::size_t length, Answers& answers,
                                          Clock::time_point receivedAt) {
    answers.count = 0;
    answers.length = config_.inputLength;
    if (report == nullptr || length != config_.outputLength) return ReportResult::Ignored;

    const hid::board::OutputReport received = hid::board::decodeOutputReport({report, length});
    const std::uint8_t command = received.command;
    const std::uint8_t value = received.value;
    const std::uint8_t sequence = received.sequence;
    std::function<void(std::uint8_t)> port1Listener;
    std::uint8_t port1 = 0;
    {
        std::lock_guard lock(mutex_);
        if (refuseWrites_) return ReportResult::Refused;

        ++reportCount_;
        ++commandCounts_[command];
        if (command == hid::board::kSetPort0) {
            port0Output_ = value;
        } else if (command == hid::board::kSetPort1) {
            if (port1Output_ != value && port1Listener_) port1Listener = port1Listener_;
            port1Output_ = value;
            port1 = value;
        } else if (command == hid::board::kReadRequest && !readRequestRing_.empty()) {
            readRequestRing_[ringNext_] = receivedAt;
            ringNext_ = (ringNext_ + 1) % readRequestRing_.size();
            if (ringSize_ < readRequestRing_.size()) ++ringSize_;
        }

        if (silent_) {
            // No answer.
        } else if (dropCount_ > 0) {
            --dropCount_;
        } else {
            auto fill = [&](std::uint8_t echoed) {
                hid::board::encodeInputReport(answers.reports[answers.count++],
                                              {command, port0Input_, echoed});
            };
            if (insertStaleCount_ > 0) {
                --insertStaleCount_;
                fill(sequence ^ kStaleBit);
            }
            if (staleCount_ > 0) {
                --staleCount_;
                fill(sequence ^ kStaleBit);
            } else {
                fill(sequence);
            }
        }
    }
    if (port1Listener) port1Listener(port1);
    return ReportResult::Taken;
}

void BoardModel::setPort0Input(std::uint8_t value) {
    std::lock_guard lock(mutex_);
    port0Input_ = value;
}

void BoardModel::setPin(int pin, bool energized) {
    if (pin < 0 || pin > 7) return;
    const auto bit = static_cast<std::uint8_t>(1u << pin);
    std::lock_guard lock(mutex_);
    port0Input_ = energized ? static_cast<std::uint8_t>(port0Input_ & ~bit)
                            : static_cast<std::uint8_t>(port0Input_ | bit);
}

std::uint8_t BoardModel::port0Input() const {
    std::lock_guard lock(mutex_);
    return port0Input_;
}

std::uint8_t BoardModel::port0Output() const {
    std::lock_guard lock(mutex_);
    return port0Output_;
}

std::uint8_t BoardModel::port1Output() const {
    std::lock_guard lock(mutex_);
    return port1Output_;
}

std::uint64_t BoardModel::commandCount(std::uint8_t command) const {
    std::lock_guard lock(mutex_);
    return commandCounts_[command];
}

std::uint64_t BoardModel::reportCount() const {
    std::lock_guard lock(mutex_);
    return reportCount_;
}

std::vector<BoardModel::Clock::time_point> BoardModel::readRequestTimes() const {
    std::lock_guard lock(mutex_);
    std::vector<Clock::time_point> times;
    times.reserve(ringSize_);
    const std::size_t capacity = readRequestRing_.size();
    for (std::size_t i = 0; i < ringSize_; ++i)
        times.push_back(readRequestRing_[(ringNext_ + capacity - ringSize_ + i) % capacity]);
    return times;
}

void BoardModel::clearRecord() {
    std::lock_guard lock(mutex_);
    commandCounts_.fill(0);
    reportCount_ = 0;
    ringNext_ = 0;
    ringSize_ = 0;
}

void BoardModel::dropAnswers(unsigned count) {
    changeFaults([&] { dropCount_ = count; });
}

void BoardModel::staleAnswers(unsigned count) {
    changeFaults([&] { staleCount_ = count; });
}

void BoardModel::insertStaleAnswers(unsigned count) {
    changeFaults([&] { insertStaleCount_ = count; });
}

void BoardModel::setSilent(bool silent) {
    changeFaults([&] { silent_ = silent; });
}

void BoardModel::setRefuseWrites(bool refuse) {
    changeFaults([&] { refuseWrites_ = refuse; });
}

void BoardModel::setAnswerDelay(std::chrono::milliseconds delay) {
    changeFaults([&] { answerDelay_ = std::max(delay, std::chrono::milliseconds::zero()); });
}

void BoardModel::disconnect() {
    changeFaults([&] { ++disconnectGeneration_; });
}

void BoardModel::clearFaults() {
    {
        std::lock_guard lock(mutex_);
        dropCount_ = 0;
        staleCount_ = 0;
        insertStaleCount_ = 0;
        silent_ = false;
        refuseWrites_ = false;
        answerDelay_ = std::chrono::milliseconds::zero();
    }
    faultsChanged();
}

bool BoardModel::refusesWrites() const {
    std::lock_guard lock(mutex_);
    return refuseWrites_;
}

std::chrono::milliseconds BoardModel::answerDelay() const {
    std::lock_guard lock(mutex_);
    return answerDelay_;
}

std::uint64_t BoardModel::disconnectGeneration() const {
    std::lock_guard lock(mutex_);
    return disconnectGeneration_;
}

void BoardModel::setPort1Listener(std::function<void(std::uint8_t)> listener) {
    std::lock_guard lock(mutex_);
    port1Listener_ = std::move(listener);
}

void BoardModel::setFaultListener(std::function<void()> listener) {
    std::lock_guard lock(mutex_);
    faultListener_ = std::move(listener);
}

void BoardModel::faultsChanged() {
    std::function<void()> listener;
    {
        std::lock_guard lock(mutex_);
        listener = faultListener_;
    }
    if (listener) listener();
}

} // namespace zelk::vboard

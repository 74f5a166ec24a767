#include "virtual_board/model_device.h"

#include <algorithm>
#include <cstring>

namespace zelk::vboard {

ModelDevice::ModelDevice(BoardModel& model) : model_(model), generation_(model.disconnectGeneration()) {}

bool ModelDevice::connected() const {
    return model_.disconnectGeneration() == generation_;
}

bool ModelDevice::attributes(std::uint16_t& vendorId, std::uint16_t& productId) {
    if (!connected()) return false;
    vendorId = model_.config().vendorId;
    productId = model_.config().productId;
    return true;
}

bool ModelDevice::reportLengths(hid::ReportLengths& lengths) {
    if (!connected()) return false;
    lengths.input = model_.config().inputLength;
    lengths.output = model_.config().outputLength;
    return true;
}

int ModelDevice::read(std::uint8_t* buffer, std::size_t length, int /*timeoutMs*/) {
    if (!connected() || buffer == nullptr || length == 0 || queued_ == 0) return -1;
    const std::size_t n = std::min(length, model_.config().inputLength);
    std::memcpy(buffer, queue_[head_].data(), n);
    head_ = (head_ + 1) % kQueueCapacity;
    --queued_;
    return static_cast<int>(n);
}

bool ModelDevice::write(const std::uint8_t* report, std::size_t length) {
    if (!connected() || report == nullptr || length != model_.config().outputLength) return false;
    Answers answers;
    if (model_.takeOutputReport(report, length, answers) == ReportResult::Refused) return false;
    for (std::size_t i = 0; i < answers.count && queued_ < kQueueCapacity; ++i) {
        queue_[(head_ + queued_) % kQueueCapacity] = answers.reports[i];
        ++queued_;
    }
    return true;
}

std::vector<std::string> ModelBackend::enumerate() {
    std::vector<std::string> paths;
    for (const auto& board : boards_)
        paths.push_back(board.first);
    return paths;
}

std::unique_ptr<hid::Device> ModelBackend::open(const std::string& path) {
    for (const auto& board : boards_) {
        if (board.first == path) return std::make_unique<ModelDevice>(*board.second);
    }
    return nullptr;
}

} // namespace zelk::vboard

#pragma once
// A board model seen as a HID device, in-process and without real time: for tests that drive the device link
// without sockets or threads.
#include "hid/hid.h"
#include "virtual_board/board_model.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zelk::vboard {

// write() hands the report to the model and queues its answers; read() takes the oldest queued answer. Like a
// hidraw node it queues at most kQueueCapacity answers and drops newer ones while full. A read with nothing
// queued fails at once, without waiting (the model's answer delay does not apply here). After the model's
// disconnect() every read and write fails. The model must outlive the device.
class ModelDevice : public hid::Device {
public:
    static constexpr std::size_t kQueueCapacity = 64;

    explicit ModelDevice(BoardModel& model);

    bool attributes(std::uint16_t& vendorId, std::uint16_t& productId) override;
    bool reportLengths(hid::ReportLengths& lengths) override;
    int read(std::uint8_t* buffer, std::size_t length, int timeoutMs) override;
    bool write(const std::uint8_t* report, std::size_t length) override;

    std::size_t queuedAnswers() const { return queued_; }

private:
    bool connected() const;

    BoardModel& model_;
    std::uint64_t generation_;
    std::array<std::array<std::uint8_t, hid::board::kMaxBoardReportLength>, kQueueCapacity> queue_{};
    std::size_t head_ = 0;
    std::size_t queued_ = 0;
};

// In-process boards by path, in the order they were added. The models must outlive the backend and its
// devices.
class ModelBackend : public hid::Backend {
public:
    void addBoard(std::string path, BoardModel& model) { boards_.emplace_back(std::move(path), &model); }
    std::vector<std::string> enumerate() override;
    std::unique_ptr<hid::Device> open(const std::string& path) override;

private:
    std::vector<std::pair<std::string, BoardModel*>> boards_;
};

} // namespace zelk::vboard

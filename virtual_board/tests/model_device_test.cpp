#include "virtual_board/model_device.h"

#include <gtest/gtest.h>

#include <array>

using namespace zelk::vboard;

namespace {

bool send(zelk::hid::Device& device, std::uint8_t command, std::uint8_t value, std::uint8_t sequence = 0) {
    const std::array<std::uint8_t, 9> report = {0, command, value, sequence, 4, 5, 6, 7, 0};
    return device.write(report.data(), report.size());
}

int readSequence(zelk::hid::Device& device) {
    std::uint8_t buffer[16] = {};
    return device.read(buffer, sizeof(buffer), 5) == 9 ? buffer[3] : -1;
}

} // namespace

TEST(ModelDevice, QueuesAnswersLikeAHidNode) {
    BoardModel model(BoardConfig{.vendorId = 0x1209, .productId = 0x010F});
    ModelDevice device(model);
    std::uint16_t vendor = 0, product = 0;
    ASSERT_TRUE(device.attributes(vendor, product));
    EXPECT_EQ(product, 0x010F);

    EXPECT_EQ(readSequence(device), -1); // nothing queued: fails at once
    ASSERT_TRUE(send(device, 1, 0xFF));
    ASSERT_TRUE(send(device, 3, 0, 5));
    EXPECT_EQ(device.queuedAnswers(), 2u);
    EXPECT_EQ(readSequence(device), 0);
    EXPECT_EQ(readSequence(device), 5);
    EXPECT_EQ(readSequence(device), -1);

    // A short buffer takes the start of the report.
    ASSERT_TRUE(send(device, 3, 0, 6));
    std::uint8_t small[4] = {};
    EXPECT_EQ(device.read(small, sizeof(small), 0), 4);
    EXPECT_EQ(small[3], 6);

    // Only reports of the output length are written.
    const std::uint8_t shortReport[4] = {0, 3, 0, 1};
    EXPECT_FALSE(device.write(shortReport, sizeof(shortReport)));

    // A full queue drops the newer answers.
    for (std::size_t i = 0; i < ModelDevice::kQueueCapacity + 3; ++i)
        ASSERT_TRUE(send(device, 3, 0, static_cast<std::uint8_t>(i)));
    EXPECT_EQ(device.queuedAnswers(), ModelDevice::kQueueCapacity);
    EXPECT_EQ(readSequence(device), 0);
}

TEST(ModelDevice, FaultsReachTheDevice) {
    BoardModel model;
    ModelDevice device(model);
    model.insertStaleAnswers(1);
    ASSERT_TRUE(send(device, 3, 0, 8));
    EXPECT_EQ(readSequence(device), 8 ^ 0x80);
    EXPECT_EQ(readSequence(device), 8);

    model.setRefuseWrites(true);
    EXPECT_FALSE(send(device, 2, 0x0E));
    model.setRefuseWrites(false);
    ASSERT_TRUE(send(device, 3, 0, 9));

    model.disconnect();
    EXPECT_EQ(readSequence(device), -1); // the queued answer is gone with the board
    EXPECT_FALSE(send(device, 3, 0, 10));
    std::uint16_t vendor, product;
    EXPECT_FALSE(device.attributes(vendor, product));

    // Opened anew, the board works again.
    ModelBackend backend;
    backend.addBoard("/model/b", model);
    backend.addBoard("/model/a", model);
    EXPECT_EQ(backend.enumerate(), (std::vector<std::string>{"/model/b", "/model/a"}));
    EXPECT_EQ(backend.open("/model/c"), nullptr);
    auto reopened = backend.open("/model/a");
    ASSERT_NE(reopened, nullptr);
    ASSERT_TRUE(send(*reopened, 3, 0, 11));
    EXPECT_EQ(readSequence(*reopened), 11);
}

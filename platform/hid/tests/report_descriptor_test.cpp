#include "hid/report_descriptor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

using zelk::hid::parseReportDescriptor;
using Bytes = std::vector<std::uint8_t>;

namespace {

// A vendor-defined device with one 8-byte input and one 8-byte output report, no report IDs: the shape of the
// board's own descriptor.
const Bytes kVendor8x8 = {
    0x06, 0x00, 0xFF, // Usage Page (Vendor 0xFF00)
    0x09, 0x01,       // Usage (1)
    0xA1, 0x01,       // Collection (Application)
    0x09, 0x02,       //   Usage (2)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x00, //   Logical Maximum (255)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x08,       //   Report Count (8)
    0x81, 0x02,       //   Input (Data, Variable, Absolute)
    0x09, 0x03,       //   Usage (3)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x00, //   Logical Maximum (255)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x08,       //   Report Count (8)
    0x91, 0x02,       //   Output (Data, Variable, Absolute)
    0xC0,             // End Collection
};

// clang-format off
// The boot keyboard: 8 input bytes (modifiers, reserved, six keys), 5 LED bits plus 3 padding bits out.
const Bytes kKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,             // Generic Desktop, Keyboard, Application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,             // Key codes, modifiers E0..E7
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, // 8 x 1 bit
    0x81, 0x02,                                     // Input (modifiers)
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,             // Input (Constant): reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05,
    0x91, 0x02,                                     // Output (5 LEDs)
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,             // Output (Constant): padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65,
    0x81, 0x00,                                     // Input (six key codes)
    0xC0,
};

// Numbered reports of different sizes: input 1 (4 bytes), input 2 (16 bytes), output 1 (2 bytes), output 3
// (32 bytes, given in 16-bit units), feature 4 (6 bytes).
const Bytes kNumbered = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
    0x75, 0x08,
    0x85, 0x01, 0x95, 0x04, 0x09, 0x01, 0x81, 0x02,             // ID 1: input 4 bytes
    0x85, 0x02, 0x95, 0x10, 0x09, 0x02, 0x81, 0x02,             // ID 2: input 16 bytes
    0x85, 0x01, 0x95, 0x02, 0x09, 0x03, 0x91, 0x02,             // ID 1: output 2 bytes
    0x85, 0x03, 0x75, 0x10, 0x95, 0x10, 0x09, 0x04, 0x91, 0x02, // ID 3: output 16 x 16 bits
    0x85, 0x04, 0x75, 0x08, 0x95, 0x06, 0x09, 0x05, 0xB1, 0x02, // ID 4: feature 6 bytes
    0xC0,
};
// clang-format on

Bytes insertAt(Bytes bytes, std::size_t pos, const Bytes& what) {
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(pos), what.begin(), what.end());
    return bytes;
}

} // namespace

TEST(ReportDescriptor, VendorDeviceWithoutReportIdsCountsTheReportIdByte) {
    const auto lengths = parseReportDescriptor(kVendor8x8);
    ASSERT_TRUE(lengths);
    EXPECT_EQ(lengths->input, 9u);
    EXPECT_EQ(lengths->output, 9u);
    EXPECT_EQ(lengths->feature, 0u);
    EXPECT_FALSE(lengths->usesReportIds);
}

TEST(ReportDescriptor, KeyboardSumsFieldsAndRoundsBitsUpToBytes) {
    const auto lengths = parseReportDescriptor(kKeyboard);
    ASSERT_TRUE(lengths);
    EXPECT_EQ(lengths->input, 9u);
    EXPECT_EQ(lengths->output, 2u);
    EXPECT_FALSE(lengths->usesReportIds);

    // Five LED bits without their padding still take a whole byte.
    Bytes unpadded = kKeyboard;
    const Bytes padding = {0x95, 0x01, 0x75, 0x03, 0x91, 0x01};
    const auto at = std::search(unpadded.begin(), unpadded.end(), padding.begin(), padding.end());
    ASSERT_NE(at, unpadded.end());
    unpadded.erase(at, at + static_cast<std::ptrdiff_t>(padding.size()));
    const auto shorter = parseReportDescriptor(unpadded);
    ASSERT_TRUE(shorter);
    EXPECT_EQ(shorter->output, 2u);
}

TEST(ReportDescriptor, NumberedReportsTakeTheLargestOfEachType) {
    const auto lengths = parseReportDescriptor(kNumbered);
    ASSERT_TRUE(lengths);
    EXPECT_EQ(lengths->input, 17u);
    EXPECT_EQ(lengths->output, 33u);
    EXPECT_EQ(lengths->feature, 7u);
    EXPECT_TRUE(lengths->usesReportIds);
}

TEST(ReportDescriptor, PushAndPopRestoreTheGlobalState) {
    const Bytes bytes = {
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x04, // 4 x 8 bits
        0xA4,                                                             // Push
        0x75, 0x10, 0x95, 0x02,                                           // 2 x 16 bits
        0x81, 0x02,                                                       // Input: 4 bytes
        0xB4,                                                             // Pop: back to 4 x 8 bits
        0x81, 0x02,                                                       // Input: 4 bytes
        0x91, 0x02,                                                       // Output: 4 bytes
        0xC0,
    };
    const auto lengths = parseReportDescriptor(bytes);
    ASSERT_TRUE(lengths);
    EXPECT_EQ(lengths->input, 9u);
    EXPECT_EQ(lengths->output, 5u);
}

TEST(ReportDescriptor, LongItemsAndFourByteItemsAreSkippedOver) {
    // A long item whose data would read as a 200-byte input report if it were parsed as short items, and a
    // four-byte Usage item.
    const Bytes longItem = {0xFE, 0x04, 0xF0, 0x95, 0xC8, 0x81, 0x02};
    const Bytes fourByte = {0x0B, 0x01, 0x00, 0x00, 0xFF};
    const auto lengths = parseReportDescriptor(insertAt(insertAt(kVendor8x8, 7, longItem), 7, fourByte));
    ASSERT_TRUE(lengths);
    EXPECT_EQ(lengths->input, 9u);
    EXPECT_EQ(lengths->output, 9u);
}

TEST(ReportDescriptor, MalformedDescriptorsFail) {
    EXPECT_FALSE(parseReportDescriptor(Bytes{}));
    // Cut inside an item's data, inside a long item's header and inside a long item's data.
    EXPECT_FALSE(parseReportDescriptor(Bytes(kVendor8x8.begin(), kVendor8x8.begin() + 13)));
    EXPECT_FALSE(parseReportDescriptor(insertAt(kVendor8x8, kVendor8x8.size(), {0xFE, 0x02})));
    EXPECT_FALSE(parseReportDescriptor(Bytes{0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xFE, 0x05, 0x00, 0x01}));
    // Unbalanced collections.
    EXPECT_FALSE(parseReportDescriptor(Bytes(kVendor8x8.begin(), kVendor8x8.end() - 1)));
    EXPECT_FALSE(parseReportDescriptor(insertAt(kVendor8x8, kVendor8x8.size(), {0xC0})));
    // Pop without Push; report ID 0.
    EXPECT_FALSE(parseReportDescriptor(insertAt(kVendor8x8, 7, {0xB4})));
    EXPECT_FALSE(parseReportDescriptor(insertAt(kVendor8x8, 7, {0x85, 0x00})));
    // No report at all: zeros, and a collection holding only usages.
    EXPECT_FALSE(parseReportDescriptor(Bytes(64, 0x00)));
    EXPECT_FALSE(parseReportDescriptor(Bytes{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0xC0}));
    // A report far beyond any HID report's size: 0xFFFF x 0xFFFFFFFF bits.
    EXPECT_FALSE(parseReportDescriptor(Bytes{0x76, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02}));
}

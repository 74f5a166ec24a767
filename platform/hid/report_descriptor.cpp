#include "hid/report_descriptor.h"

#include <algorithm>
#include <array>
#include <vector>

namespace zelk::hid {
namespace {

// Item types and tags of the short items that decide report sizes.
constexpr unsigned kTypeMain = 0;
constexpr unsigned kTypeGlobal = 1;
constexpr unsigned kMainInput = 8;
constexpr unsigned kMainOutput = 9;
constexpr unsigned kMainCollection = 10;
constexpr unsigned kMainFeature = 11;
constexpr unsigned kMainEndCollection = 12;
constexpr unsigned kGlobalReportSize = 7;
constexpr unsigned kGlobalReportId = 8;
constexpr unsigned kGlobalReportCount = 9;
constexpr unsigned kGlobalPush = 10;
constexpr unsigned kGlobalPop = 11;
constexpr std::uint8_t kLongItemPrefix = 0xFE;

constexpr std::size_t kMaxGlobalStack = 16;
constexpr std::size_t kMaxCollectionDepth = 64;
constexpr std::uint64_t kMaxReportBits = 65534ull * 8;

struct GlobalState {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

// Bits declared per report ID (index) and report type (0 input, 1 output, 2 feature).
using ReportBits = std::array<std::array<std::uint64_t, 3>, 256>;

std::uint32_t itemValue(const std::uint8_t* data, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    return value;
}

std::size_t lengthOf(const ReportBits& bits, int type) {
    std::uint64_t largest = 0;
    for (const auto& report : bits)
        largest = std::max(largest, report[type]);
    return largest == 0 ? 0 : static_cast<std::size_t>((largest + 7) / 8 + 1);
}

} // namespace

std::optional<DescriptorLengths> parseReportDescriptor(std::span<const std::uint8_t> descriptor) {
    ReportBits bits{};
    GlobalState global;
    std::vector<GlobalState> stack;
    std::size_t depth = 0;
    bool usesReportIds = false;

    std::size_t pos = 0;
    while (pos < descriptor.size()) {
        const std::uint8_t prefix = descriptor[pos];
        if (prefix == kLongItemPrefix) {
            // Long item: prefix, data size, tag, data. Nothing in it affects report sizes.
            if (descriptor.size() - pos < 3) return std::nullopt;
            const std::size_t dataSize = descriptor[pos + 1];
            if (descriptor.size() - pos - 3 < dataSize) return std::nullopt;
            pos += 3 + dataSize;
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        const unsigned type = (prefix >> 2) & 3;
        const unsigned tag = prefix >> 4;
        if (descriptor.size() - pos - 1 < size) return std::nullopt;
        const std::uint32_t value = itemValue(descriptor.data() + pos + 1, size);
        pos += 1 + size;

        if (type == kTypeGlobal) {
            switch (tag) {
            case kGlobalReportSize:
                global.reportSize = value;
                break;
            case kGlobalReportCount:
                global.reportCount = value;
                break;
            case kGlobalReportId:
                if (value == 0 || value > 255) return std::nullopt;
                global.reportId = value;
                usesReportIds = true;
                break;
            case kGlobalPush:
                if (stack.size() == kMaxGlobalStack) return std::nullopt;
                stack.push_back(global);
                break;
            case kGlobalPop:
                if (stack.empty()) return std::nullopt;
                global = stack.back();
                stack.pop_back();
                break;
            default:
                break;
            }
        } else if (type == kTypeMain) {
            int reportType = -1;
            switch (tag) {
            case kMainInput:
                reportType = 0;
                break;
            case kMainOutput:
                reportType = 1;
                break;
            case kMainFeature:
                reportType = 2;
                break;
            case kMainCollection:
                if (++depth > kMaxCollectionDepth) return std::nullopt;
                break;
            case kMainEndCollection:
                if (depth == 0) return std::nullopt;
                --depth;
                break;
            default:
                break;
            }
            if (reportType >= 0) {
                std::uint64_t& total = bits[global.reportId][reportType];
                total += static_cast<std::uint64_t>(global.reportSize) * global.reportCount;
                if (total > kMaxReportBits) return std::nullopt;
            }
        }
        // Local items and reserved types carry usages and designators only.
    }
    if (depth != 0) return std::nullopt;

    DescriptorLengths lengths;
    lengths.input = lengthOf(bits, 0);
    lengths.output = lengthOf(bits, 1);
    lengths.feature = lengthOf(bits, 2);
    lengths.usesReportIds = usesReportIds;
    if (lengths.input == 0 && lengths.output == 0 && lengths.feature == 0) return std::nullopt;
    return lengths;
}

} // namespace zelk::hid

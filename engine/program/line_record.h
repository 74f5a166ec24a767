#pragma once
// The fixed-column logic line: the LG_COMP_nnnn value (bytes 0-89) followed by the LG_PROC_nnnn value
// (bytes 90-215). Both consist of 18-byte groups: a 4-byte kind, ",", a 12-byte data field and ",".
#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace zelk {

// The twelve groups of a line, in byte order.
enum class Group : int { C0, C1, C2, C3, C4, P0, P1, P2, P3, P4, P5, P6 };

inline constexpr Group kConnective = Group::C0;
inline constexpr Group kObject = Group::C1;
inline constexpr Group kComparison = Group::C2;
inline constexpr Group kValue = Group::C3;
inline constexpr Group kAction = Group::C4;

inline constexpr std::size_t kKindBytes = 4;
inline constexpr std::size_t kDataBytes = 12;
inline constexpr std::size_t kGroupBytes = 18;
inline constexpr std::size_t kCompGroups = 5;                          // C0..C4
inline constexpr std::size_t kDetailGroups = 7;                        // P0..P6
inline constexpr std::size_t kCompBytes = kCompGroups * kGroupBytes;   // 90
inline constexpr std::size_t kProcBytes = kDetailGroups * kGroupBytes; // 126
inline constexpr std::size_t kLineBytes = kCompBytes + kProcBytes;     // 216

constexpr std::size_t groupIndex(Group g) {
    return static_cast<std::size_t>(g);
}
// Detail group Pk, k = 0..6.
constexpr Group detailGroup(int k) {
    return static_cast<Group>(static_cast<int>(Group::P0) + k);
}
constexpr std::size_t kindOffset(Group g) {
    return groupIndex(g) * kGroupBytes;
}
constexpr std::size_t dataOffset(Group g) {
    return kindOffset(g) + kKindBytes + 1;
}
// The two separators of a group: after the kind and after the data.
constexpr std::size_t firstSeparator(Group g) {
    return kindOffset(g) + kKindBytes;
}
constexpr std::size_t secondSeparator(Group g) {
    return dataOffset(g) + kDataBytes;
}

static_assert(dataOffset(Group::C4) == 77 && secondSeparator(Group::C4) == 89);
static_assert(kindOffset(Group::P0) == 90 && dataOffset(Group::P6) == 95 + 18 * 6);

// A loaded line: the record text with every separator turned into a NUL, so that each kind and data
// field reads as a NUL-terminated string of at most its width.
struct LineRecord {
    std::array<char, kLineBytes> bytes{};

    // Puts NULs at the separators of the groups [first, last].
    void terminateFields(Group first, Group last) {
        for (auto g = groupIndex(first); g <= groupIndex(last); ++g) {
            bytes[firstSeparator(static_cast<Group>(g))] = '\0';
            bytes[secondSeparator(static_cast<Group>(g))] = '\0';
        }
    }

    // A whole field, all of its width. Codes contain no NUL, so comparing a whole field with a code gives the
    // same answer as comparing the field's text up to its NUL, without looking for the NUL first.
    std::string_view kind(Group g) const { return {bytes.data() + kindOffset(g), kKindBytes}; }
    std::string_view data(Group g) const { return {bytes.data() + dataOffset(g), kDataBytes}; }

    // The text of a field up to its first NUL.
    std::string_view kindText(Group g) const { return text(kindOffset(g), kKindBytes); }
    std::string_view dataText(Group g) const { return text(dataOffset(g), kDataBytes); }

private:
    std::string_view text(std::size_t offset, std::size_t width) const {
        const char* p = bytes.data() + offset;
        return {p, static_cast<std::size_t>(std::find(p, p + width, '\0') - p)};
    }
};

} // namespace zelk

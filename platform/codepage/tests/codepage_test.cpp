#include "codepage/codepage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using zelk::codepage::fromCp932;
using zelk::codepage::toCp932;

struct Pair {
    std::u16string text;
    std::string bytes;
};

// Characters whose mapping differs between the code page 932 table and other Shift-JIS tables, or that
// the system's texts use: all must convert both ways.
const std::vector<Pair> kPairs = {
    {u"\uFF5E", "\x81\x60"},               // full-width tilde (not the wave dash of other tables)
    {u"\u2460", "\x87\x40"},               // circled digit one, NEC row 13
    {u"\u2170", "\xFA\x40"},               // small roman numeral one, IBM extension row
    {u"\uFF71", "\xB1"},                   // half-width katakana: one byte
    {u"\\", "\\"},                         // 0x5C is the backslash, not the yen sign
    {u"~", "~"},                           // 0x7E is the tilde, not the overline
    {u"\u30AB", "\x83\x4A"},               // katakana: two bytes
    {u"\u30AB\u30CA", "\x83\x4A\x83\x69"}, // a second byte that equals an ASCII letter
    {u"\u8868", "\x95\x5C"},               // a second byte 0x5C that must not read as a backslash
    {u"LG_MAIN", "LG_MAIN"},
};

TEST(Codepage, KnownCharactersConvertBothWays) {
    for (const auto& [text, bytes] : kPairs) {
        EXPECT_EQ(toCp932(text), bytes) << "encoding " << bytes;
        EXPECT_EQ(fromCp932(bytes), text) << "decoding " << bytes;
    }
}

TEST(Codepage, Utf8InputGivesTheSameBytes) {
    const std::string utf8 = "KALDEX\xE3\x82\xAA\xE3\x83\xBC\xE3\x83\x97\xE3\x83\xB3\xE5\xA4\xB1\xE6\x95\x97";
    const std::u16string utf16 = u"KALDEX\u30AA\u30FC\u30D7\u30F3\u5931\u6557"; // KALDEXオープン失敗
    EXPECT_EQ(toCp932(utf8), toCp932(utf16));
    EXPECT_EQ(toCp932(utf16).size(), 18u) << "width counted in code page bytes";
    EXPECT_EQ(fromCp932(toCp932(utf16)), utf16);
}

TEST(Codepage, CharactersWithoutAFormBecomeOneQuestionMarkEach) {
    EXPECT_EQ(toCp932(u"a\u00E9b"), "a?b");
    EXPECT_EQ(toCp932(u"a\U0001F600b"), "a?b") << "a surrogate pair is one character";
    EXPECT_EQ(toCp932(u"\u00E9\u00E9\u30AB"), "??\x83\x4A");
    EXPECT_EQ(toCp932(std::u16string_view(u"a\xD800"
                                          u"b",
                                          3)),
              "a?b")
        << "unpaired high surrogate";
    EXPECT_EQ(toCp932(std::u16string_view(u"a\xDC00", 2)), "a?") << "unpaired low surrogate";
    EXPECT_EQ(toCp932(std::u16string_view(u"a\xD800", 2)), "a?") << "high surrogate at the end";

    EXPECT_EQ(toCp932(std::string_view("a\xC3\xA9"
                                       "b")),
              "a?b");
    EXPECT_EQ(toCp932(std::string_view("a\xF0\x9F\x98\x80"
                                       "b")),
              "a?b");
}

TEST(Codepage, MalformedUtf8BecomesQuestionMarks) {
    EXPECT_EQ(toCp932(std::string_view("a\xFF"
                                       "b")),
              "a?b");
    EXPECT_EQ(toCp932(std::string_view("a\xE3\x82")), "a?") << "truncated sequence at the end";
    EXPECT_EQ(toCp932(std::string_view("\xE3\x82"
                                       "b")),
              "?b")
        << "truncated sequence before ASCII";
    EXPECT_EQ(toCp932(std::string_view("\xC0\xAF")), "??") << "overlong form";
}

TEST(Codepage, SingleBytesOutsideTheJisTableRoundTripAsOnWindows) {
    const std::string bytes = "a\x80\xA0\xFD\xFE\xFF\x83\x4A";
    const std::u16string text = u"a\u0080\uF8F0\uF8F1\uF8F2\uF8F3\u30AB";
    EXPECT_EQ(fromCp932(bytes), text);
    EXPECT_EQ(toCp932(text), bytes);
    EXPECT_EQ(
        toCp932(std::string_view("a\xC2\x80\xEF\xA3\xB0\xEF\xA3\xB1\xEF\xA3\xB2\xEF\xA3\xB3\xE3\x82\xAB")),
        bytes);
    EXPECT_EQ(toCp932(u"\u0081\uF8F4"), "??") << "their neighbours have no form";
}

TEST(Codepage, MalformedBytesDecodeToReplacementCharactersAndDecodingGoesOn) {
    EXPECT_EQ(fromCp932("a\x83"
                        "\x7F"),
              u"a\uFFFD\x7F")
        << "0x7F is no trail byte";
    EXPECT_EQ(fromCp932("ab\x83"), u"ab\uFFFD") << "two-byte character cut in half";
    EXPECT_EQ(fromCp932("\x83 b"), u"\uFFFD b") << "a byte that cannot be a trail byte is kept";
    EXPECT_EQ(fromCp932("\x85\x40"
                        "\x83\x4A"),
              u"\uFFFD\u30AB")
        << "unassigned pair is one character";
}

TEST(Codepage, Utf8OutputForTerminals) {
    using zelk::codepage::fromCp932ToUtf8;
    // KALDEXオープン失敗, a half-width katakana, a character cut in half; then a character beyond the BMP
    // and an unpaired surrogate.
    EXPECT_EQ(fromCp932ToUtf8("KALDEX\x83\x49\x81\x5B\x83\x76\x83\x93\x8E\xB8\x94\x73\xB1\x83"),
              "KALDEX\xE3\x82\xAA\xE3\x83\xBC\xE3\x83\x97\xE3\x83\xB3\xE5\xA4\xB1\xE6\x95\x97"
              "\xEF\xBD\xB1\xEF\xBF\xBD");
    EXPECT_EQ(zelk::codepage::toUtf8(u"\U0001F600\xD800x\u00E9"), "\xF0\x9F\x98\x80\xEF\xBF\xBDx\xC3\xA9");
}

TEST(Codepage, EmptyInput) {
    EXPECT_EQ(toCp932(std::u16string_view()), "");
    EXPECT_EQ(toCp932(std::string_view()), "");
    EXPECT_EQ(fromCp932(""), u"");
}

TEST(Codepage, EmbeddedNulIsKept) {
    EXPECT_EQ(fromCp932(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(toCp932(std::u16string_view(u"a\0b", 3)), std::string("a\0b", 3));
}

TEST(Codepage, LongTextConvertsCompletely) {
    std::u16string text;
    for (int i = 0; i < 5000; ++i)
        text += u"\u30AB\u00E9x";
    const std::string bytes = toCp932(text);
    ASSERT_EQ(bytes.size(), 5000u * 4);
    EXPECT_EQ(bytes.substr(bytes.size() - 4), "\x83\x4A?x");
}

TEST(Codepage, ThreadsConvertIndependently) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&failures] {
            for (int i = 0; i < 500; ++i) {
                if (toCp932(u"\u30AB\u00E9") != "\x83\x4A?") ++failures;
                if (fromCp932("\x87\x40\x83") != u"\u2460\uFFFD") ++failures;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

} // namespace

// A line's fields as the editor's lists show them, and the line in words.
#include "program/composer_lists.h"

#include <gtest/gtest.h>

namespace zelk {
namespace {

std::string words(std::array<std::string, kComposerLists> fields, std::vector<std::string> variables = {}) {
    return explainLine(composerTexts(fields, variables));
}

TEST(LineWords, FieldsShowAsTheListItemsThatBeginWithThem) {
    EXPECT_EQ(words({"NEW ", "PIN ", "001         ", "STS ", "STOP        ", "NONE", "            ", "OUTR",
                     "101         "}),
              " ポート0 ピン01 電断  [処理] ポート1 ピン01 反転出力")
        << "the padding makes the match exact: STOP is not STOP->ELEC";
    EXPECT_EQ(words({"NONE", "NONE", "", "NONE", "", "NONE", "", "OUT ", "00E         "}),
              "NONE    [処理] ポート1 ピン0E 固定出力")
        << "an output always sets port 1, whatever the pin code's port digit";
    const std::vector<std::string> variables{variableItem(0, "  COUNT "), variableItem(3, "総数")};
    EXPECT_EQ(variables[1], "03          :総数");
    EXPECT_EQ(words({"AND ", "VAR ", "03          ", "COMP", "<=          ", "CNST", "-5          ", "CALC",
                     "00          "},
                    variables),
              "AND  総数 <= -5 [処理] 計算");
    EXPECT_EQ(words({"NEXT", "SVAR", "10MS CNT    ", "COMP", ">           ", "VAR ", "00          ", "LOG ",
                     "            "},
                    variables),
              "　･･･ ミリ秒カウンタ > COUNT [処理] ログ出力");
}

TEST(LineWords, CodesWithoutAnItemShowAsTheFirstItemOrAsWritten) {
    // Fixed lists fall back to their first item; the data lists show the text itself, which has no label.
    EXPECT_EQ(words({"XOR ", "SVAR", "PORT 0      ", "STS ", "ON          ", "CNST", "7           ", "OUTX",
                     "10F         "}),
              "NONE   7 ");
    EXPECT_EQ(words({"", "", "", "", "", "", "", "", ""}), "NONE    ") << "an empty line";
}

} // namespace
} // namespace zelk

// The explanation text of a composed line.
#include "logic_editor/explain_line.h"

#include <gtest/gtest.h>

namespace zelk::console {
using namespace Qt::Literals::StringLiterals;
namespace {

LineTexts noneLine() {
    return {u"NONE:なし"_s, u"NONE:なし"_s, {}, u"NONE:なし"_s, {}, u"NONE:なし"_s, {}, u"NONE:なし"_s, {}};
}

TEST(ExplainLine, ThePinStateExampleReadsAsPortsPinsStateAndAction) {
    const LineTexts line{u"NEW :新規"_s,
                         u"PIN :ピン"_s,
                         u"001"_s,
                         u"STS :状態チェック"_s,
                         u"ELEC        :通電"_s,
                         u"NONE:なし"_s,
                         {},
                         u"OUT :固定出力"_s,
                         u"10F"_s};
    EXPECT_EQ(explainLine(line), u" ポート0 ピン01 通電  [処理] ポート1 ピン0F 固定出力"_s);
}

TEST(ExplainLine, AnEmptyLineIsItsConnectiveAndFourSpaces) {
    EXPECT_EQ(explainLine(noneLine()), u"NONE    "_s);
}

TEST(ExplainLine, ConnectivesShowTheirKindExceptNewAndNext) {
    LineTexts line = noneLine();
    line.connective = u"NEXT:前行続き"_s;
    EXPECT_EQ(explainLine(line), u"　･･･    "_s) << "an ideographic space and three half-width dots";
    line.connective = u"OR  :または"_s;
    EXPECT_EQ(explainLine(line), u"OR      "_s);
    line.connective = u"NEW :新規"_s;
    EXPECT_EQ(explainLine(line), u"    "_s);
}

TEST(ExplainLine, LabelsOfItemsAndTrimmedCodes) {
    LineTexts line = noneLine();
    line.connective = u"AND :かつ"_s;
    line.objectKind = u"VAR :変数"_s;
    line.objectData = u"03          : COUNT "_s;
    line.comparisonKind = u"COMP:比較"_s;
    line.comparisonData = u"<=          "_s;
    line.valueKind = u"CNST:固定値"_s;
    line.valueData = u"  -12       "_s;
    line.actionKind = u"CALC:計算"_s;
    line.actionData = u"03          :COUNT"_s;
    EXPECT_EQ(explainLine(line), u"AND  COUNT <= -12 [処理] 計算"_s);

    line.objectKind = u"SVAR:システム変数"_s;
    line.objectData = u"10MS CNT    :ミリ秒カウンタ"_s;
    line.valueKind = u"VAR :変数"_s;
    line.valueData = u"05          "_s; // a typed reference has no label
    line.actionKind = u"CLIP:ｸﾘｯﾌﾟﾎﾞｰﾄﾞ"_s;
    EXPECT_EQ(explainLine(line), u"AND  ミリ秒カウンタ <=  [処理] ｸﾘｯﾌﾟﾎﾞｰﾄﾞ"_s);
}

TEST(ExplainLine, StateComparisonsShowTheirLabelAndOutputsTheirPins) {
    LineTexts line = noneLine();
    line.connective = u"NEW :新規"_s;
    line.objectKind = u"PIN :ピン"_s;
    line.objectData = u"0A5         "_s;
    line.comparisonKind = u"STS :状態チェック"_s;
    line.comparisonData = u"STOP->ELEC  :電断->通電"_s;
    line.actionKind = u"OUTR:反転出力"_s;
    line.actionData = u"101         "_s;
    EXPECT_EQ(explainLine(line), u" ポート0 ピンA5 電断->通電  [処理] ポート1 ピン01 反転出力"_s);
    line.comparisonKind = u"NONE:なし"_s; // the data of a comparison without kind is not shown
    line.actionData = {};
    EXPECT_EQ(explainLine(line), u" ポート0 ピンA5   [処理] ポート1 ピン 反転出力"_s);
}

} // namespace
} // namespace zelk::console

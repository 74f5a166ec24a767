#pragma once
// The vocabulary of a logic line: for each column, the codes it may hold, the meaning the engine gives each
// one and the Japanese label the editors show beside it. The block runner decodes a line with these tables,
// the checker tells a code from a stray text with them, and the composer and the detail editors list their
// items from them, so a new code is one new row here.
#include "program/codes.h"

#include <cstdint>
#include <string_view>

namespace zelk {

// Every enumeration starts with Other: a text that is none of the set's codes (a stray text, or the NULs of
// an empty record). The engine gives Other the meaning the text has without a code: nothing happens.
enum class Connective : std::uint8_t { Other, None, New, Next, And, Or };
enum class OperandKind : std::uint8_t { Other, None, Pin, Var, Svar, Cnst, Varm };
enum class ComparisonKind : std::uint8_t { Other, None, Sts, Comp };
enum class Comparison : std::uint8_t { Other, Eq, Lt, Gt, Le, Ge, Ne };
enum class PinState : std::uint8_t { Other, Change, StopToElec, ElecToStop, Elec, Stop };
enum class Action : std::uint8_t { Other, None, Out, Outr, Calc, Clip, Log };
enum class Operator : std::uint8_t { Other, Add, Sub, Mul, Div, Rem, BitAnd, BitOr, BitXor };
enum class SystemVariable : std::uint8_t { Other, PassageSec, Tick10ms, Passage10ms, Port0, Port1 };

// One code of a set: the fixed-width text as stored, its meaning, and its label (empty: the editors show the
// code alone).
template <class Meaning>
struct Code {
    std::string_view code;
    Meaning meaning;
    std::string_view label;
};

// In the order the composer lists them.
inline constexpr Code<Connective> kConnectives[] = {{codes::kNone, Connective::None, "なし"},
                                                    {codes::kNew, Connective::New, "新規"},
                                                    {codes::kNext, Connective::Next, "前行続き"},
                                                    {codes::kAnd, Connective::And, "かつ"},
                                                    {codes::kOr, Connective::Or, "または"}};

inline constexpr Code<OperandKind> kOperandKinds[] = {
    {codes::kNone, OperandKind::None, "なし"},   {codes::kPin, OperandKind::Pin, "ピン"},
    {codes::kVar, OperandKind::Var, "変数"},     {codes::kSvar, OperandKind::Svar, "システム変数"},
    {codes::kCnst, OperandKind::Cnst, "固定値"}, {codes::kVarm, OperandKind::Varm, "変数(1/100)"}};

// The kinds each place offers, in list order: a condition's object and value, and a detail group.
inline constexpr OperandKind kObjectKinds[] = {OperandKind::None, OperandKind::Pin, OperandKind::Var,
                                               OperandKind::Svar};
inline constexpr OperandKind kValueKinds[] = {OperandKind::None, OperandKind::Cnst, OperandKind::Var,
                                              OperandKind::Svar};
inline constexpr OperandKind kDetailKinds[] = {OperandKind::Var, OperandKind::Varm, OperandKind::Svar,
                                               OperandKind::Cnst};

inline constexpr Code<ComparisonKind> kComparisonKinds[] = {
    {codes::kNone, ComparisonKind::None, "なし"},
    {codes::kSts, ComparisonKind::Sts, "状態チェック"},
    {codes::kComp, ComparisonKind::Comp, "比較"}};

// A selected pin bit of 0 is energized ("ELEC"), 1 is not energized ("STOP").
inline constexpr Code<PinState> kPinStates[] = {{codes::kChange, PinState::Change, "変化"},
                                                {codes::kStopToElec, PinState::StopToElec, "電断->通電"},
                                                {codes::kElecToStop, PinState::ElecToStop, "通電->電断"},
                                                {codes::kElec, PinState::Elec, "通電"},
                                                {codes::kStop, PinState::Stop, "電断"}};

inline constexpr Code<Comparison> kComparisons[] = {
    {codes::kEq, Comparison::Eq, {}}, {codes::kLt, Comparison::Lt, {}}, {codes::kGt, Comparison::Gt, {}},
    {codes::kLe, Comparison::Le, {}}, {codes::kGe, Comparison::Ge, {}}, {codes::kNe, Comparison::Ne, {}}};

inline constexpr Code<Action> kActions[] = {
    {codes::kNone, Action::None, "なし"},       {codes::kOut, Action::Out, "固定出力"},
    {codes::kOutr, Action::Outr, "反転出力"},   {codes::kCalc, Action::Calc, "計算"},
    {codes::kClip, Action::Clip, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞ"}, {codes::kLog, Action::Log, "ログ出力"}};

inline constexpr Code<Operator> kOperators[] = {
    {codes::kAdd, Operator::Add, "加算"},       {codes::kSub, Operator::Sub, "減算"},
    {codes::kMul, Operator::Mul, "乗算"},       {codes::kDiv, Operator::Div, "除算"},
    {codes::kRem, Operator::Rem, "剰余"},       {codes::kBitAnd, Operator::BitAnd, "論理積"},
    {codes::kBitOr, Operator::BitOr, "論理和"}, {codes::kBitXor, Operator::BitXor, "排他的論理和"}};

inline constexpr Code<SystemVariable> kSystemVariables[] = {
    {codes::kPassageSec, SystemVariable::PassageSec, {}},
    {codes::kTick10ms, SystemVariable::Tick10ms, "ミリ秒カウンタ"},
    {codes::kPassage10ms, SystemVariable::Passage10ms, {}},
    {codes::kPort0, SystemVariable::Port0, "ポート０値"},
    {codes::kPort1, SystemVariable::Port1, "ポート１"}};

// The system variables the editors offer: the composer's object list, and the detail editor's data lists.
inline constexpr SystemVariable kObjectSystemVariables[] = {SystemVariable::Tick10ms};
inline constexpr SystemVariable kDetailSystemVariables[] = {SystemVariable::Tick10ms, SystemVariable::Port0,
                                                            SystemVariable::Port1};

// The meaning of a stored text: the row whose code equals it as a whole field (trailing spaces included),
// else Other.
template <class Meaning, std::size_t N>
constexpr Meaning meaningOf(const Code<Meaning> (&set)[N], std::string_view text) {
    for (const Code<Meaning>& entry : set)
        if (entry.code == text) return entry.meaning;
    return Meaning::Other;
}

// The row of a meaning; every meaning but Other has one.
template <class Meaning, std::size_t N>
constexpr const Code<Meaning>& entryOf(const Code<Meaning> (&set)[N], Meaning meaning) {
    for (const Code<Meaning>& entry : set)
        if (entry.meaning == meaning) return entry;
    return set[0];
}

static_assert(meaningOf(kActions, "LOG ") == Action::Log && meaningOf(kActions, "LOG") == Action::Other);
static_assert(entryOf(kOperandKinds, OperandKind::Varm).code == codes::kVarm);

} // namespace zelk

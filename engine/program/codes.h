#pragma once
// Every code that may stand in a column of a logic line. Codes are fixed-width, space-padded ASCII tags,
// compared as whole strings including their trailing spaces: kinds are 4 bytes, data codes 12 bytes.
#include <string_view>

namespace zelk::codes {

// Connectives (C0 kind).
inline constexpr std::string_view kNew = "NEW ";
inline constexpr std::string_view kAnd = "AND ";
inline constexpr std::string_view kOr = "OR  ";
inline constexpr std::string_view kNext = "NEXT";
inline constexpr std::string_view kNone = "NONE"; // also: empty group in any column

// Operand kinds (C1, C3 and the detail groups).
inline constexpr std::string_view kPin = "PIN ";
inline constexpr std::string_view kVar = "VAR ";
inline constexpr std::string_view kSvar = "SVAR";
inline constexpr std::string_view kCnst = "CNST";
inline constexpr std::string_view kVarm = "VARM"; // variable shown in hundredths (row items only)

// Comparison kinds (C2 kind) and their data codes.
inline constexpr std::string_view kComp = "COMP";
inline constexpr std::string_view kSts = "STS ";
inline constexpr std::string_view kEq = "=           ";
inline constexpr std::string_view kLt = "<           ";
inline constexpr std::string_view kGt = ">           ";
inline constexpr std::string_view kLe = "<=          ";
inline constexpr std::string_view kGe = ">=          ";
inline constexpr std::string_view kNe = "<>          ";
inline constexpr std::string_view kElec = "ELEC        ";
inline constexpr std::string_view kStop = "STOP        ";
inline constexpr std::string_view kStopToElec = "STOP->ELEC  ";
inline constexpr std::string_view kElecToStop = "ELEC->STOP  ";
inline constexpr std::string_view kChange = "CHANGE      ";

// Actions (C4 kind).
inline constexpr std::string_view kOut = "OUT ";
inline constexpr std::string_view kOutr = "OUTR";
inline constexpr std::string_view kCalc = "CALC";
inline constexpr std::string_view kLog = "LOG ";
inline constexpr std::string_view kClip = "CLIP";

// Operators (kinds of P1, P3 and P5 of "CALC").
inline constexpr std::string_view kAdd = "+   ";
inline constexpr std::string_view kSub = "-   ";
inline constexpr std::string_view kMul = "x   ";
inline constexpr std::string_view kDiv = "/   ";
inline constexpr std::string_view kRem = "%   ";
inline constexpr std::string_view kBitAnd = "&   ";
inline constexpr std::string_view kBitOr = "|   ";
inline constexpr std::string_view kBitXor = "^   ";

// System variable names (data of "SVAR").
inline constexpr std::string_view kPassageSec = "PASSAGE SEC ";
inline constexpr std::string_view kTick10ms = "10MS CNT    ";
inline constexpr std::string_view kPassage10ms = "PASSAGE 10MS";
inline constexpr std::string_view kPort0 = "PORT 0      ";
inline constexpr std::string_view kPort1 = "PORT 1      ";

// The only variable type.
inline constexpr std::string_view kLong = "LONG";

} // namespace zelk::codes

#pragma once
// ZELK_SCR.ini, the main window's screen settings: section "SETTING" with the window position, the initial
// display mode of the port values and the widths of the monitor grid's columns. Read only.
#include "common/form_error.h"

#include <QString>

#include <cstdint>
#include <variant>

namespace zelk::console::screen {

inline const QString kSection = QStringLiteral("SETTING");
inline const QString kMainTop = QStringLiteral("MAIN_TOP");
inline const QString kMainLeft = QStringLiteral("MAIN_LEFT");
inline const QString kElecOnDsp = QStringLiteral("ELEC_ON_DSP");
inline const QString kContentWidth = QStringLiteral("MAIN_CONTENT_WIDTH");
inline const QString kValueWidth = QStringLiteral("MAIN_VALUE_WIDTH");
inline const QString kValLogWidth = QStringLiteral("MAIN_VALLOG_WIDTH");

// Error numbers of the window's setup, shown after its error messages:
inline constexpr int kErrorOverflow = 6;       // a number outside the 16-bit range
inline constexpr int kErrorTypeMismatch = 13;  // an empty or non-numeric value
inline constexpr int kErrorInvalidValue = 380; // a display-mode index the mode list does not have

// A position or width in twips: 0 when the key is missing or holds no 16-bit integer.
std::int16_t readTwips(const QString& key);

// ELEC_ON_DSP as a 16-bit integer (a fraction rounded, a half to the even neighbour), or the conversion
// error: type mismatch for an empty or non-numeric text, overflow for a number beyond 16 bits. Whether the
// mode list has that index is its own check.
std::variant<std::int16_t, FormError> readDisplayMode();

} // namespace zelk::console::screen

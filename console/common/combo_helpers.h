#pragma once
// Helpers for the editors' code lists: items show a stored code, ":" and a label.
#include <QString>

#include <cstdint>

class QComboBox;

namespace zelk::console {

// Selects the first item whose text begins with text (case-sensitive) and returns its index. When none does:
// with setTextIfMissing, an editable combo shows text with no item selected; returns 0 either way.
std::int16_t selectComboItem(QComboBox* combo, const QString& text, bool setTextIfMissing);

// Appends one item per named variable of LogicCtl.ini: the two-digit index padded to 12 bytes, ":" and the
// trimmed name. Returns false, adding nothing, when VARIABLE_CNT is missing or no number.
bool addVariableItems(QComboBox* combo);

} // namespace zelk::console

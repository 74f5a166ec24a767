#pragma once
// Helpers for the editors' code lists: items show a stored code, ":" and a label.
#include <QString>

#include <cstdint>
#include <optional>

class QComboBox;

namespace zelk::console {

// Selects the first item whose text begins with text (case-sensitive) and returns its index. When none does:
// with setTextIfMissing, an editable combo shows text with no item selected; returns 0 either way.
std::int16_t selectComboItem(QComboBox* combo, const QString& text, bool setTextIfMissing);

// Shows a stored data field (blank-padded to its width) in an editable list: the first item that begins
// with the field (the padding makes the match exact), the empty first item for a blank field, else the
// field as typed text without its padding, so that a click right of the text puts the cursor right after it.
void showStoredData(QComboBox* combo, const QString& field);

// Whether the text of an editable list goes into its width-byte field without losing what was typed: a
// chosen item is cut to its code on purpose; typed text fits when it takes at most width code page 932
// bytes, blanks at its end not counted (the field is blank-padded anyway).
bool dataFitsField(const QComboBox* combo, int width);
// The message that refuses data too long for its field; place names the box ("比較値", "処理03").
QString dataTooLongMessage(const QString& place, int width);
// The message that refuses the text of an editable list for its width-byte field, nothing when the text
// goes in: typed text that holds characters without a code page 932 form, or is too long (dataFitsField).
// A chosen item always goes in. place names the box as for dataTooLongMessage.
std::optional<QString> refusedDataMessage(const QComboBox* combo, int width, const QString& place);

// Appends one item per named variable of LogicCtl.ini: the two-digit index padded to 12 bytes, ":" and the
// trimmed name. Returns false, adding nothing, when VARIABLE_CNT is missing or no number.
bool addVariableItems(QComboBox* combo);

} // namespace zelk::console

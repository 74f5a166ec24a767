#pragma once
// Small pieces shared by the detail dialogs: code texts from the logic program's tables, blank trimming,
// placing a dialog over its opener, and buttons that behave like the dialogs' plain command buttons.
#include <QLatin1StringView>
#include <QRect>
#include <QString>

#include <string_view>

class QDialog;
class QPushButton;
class QWidget;

namespace zelk::console::detail {

// A code or key of the logic program (ASCII) as text.
inline QString codeText(std::string_view code) {
    return QLatin1StringView(code.data(), static_cast<qsizetype>(code.size())).toString();
}

// A list item: the stored code, ":" and its label.
inline QString codeItem(std::string_view code, const QString& label) {
    return codeText(code) + u':' + label;
}

// The empty first item of a list. It must not be a null text: a null text does not begin with the empty
// text of an empty cell, so the prefix match would pass over it to the next item.
inline QString emptyItem() {
    return QStringLiteral("");
}

// Puts the dialog's top-left corner on its opener's window's top-left corner; no opener, no move.
void placeAtOpener(QDialog* dialog);

// Fixes the dialog's client area to the given twips and sets the console font.
void setFormSize(QDialog* dialog, int widthTwips, int heightTwips);

// A command button at a place in twips. It is never a default button: Enter in a text box does not press
// it, as with the dialogs' own buttons, which have no default.
QPushButton* commandButton(QWidget* parent, const QString& name, const QString& caption, const QRect& place);

} // namespace zelk::console::detail

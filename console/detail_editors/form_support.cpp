#include "detail_editors/form_support.h"

#include "common/window_layout.h"

#include <QDialog>
#include <QPushButton>

namespace zelk::console::detail {

void placeAtOpener(QDialog* dialog) {
    const QWidget* opener = dialog->parentWidget();
    if (opener == nullptr) return;
    dialog->move(opener->window()->pos());
}

void setFormSize(QDialog* dialog, int widthTwips, int heightTwips) {
    dialog->setFont(consoleFont());
    dialog->setFixedSize(twips(widthTwips), twips(heightTwips));
}

QPushButton* commandButton(QWidget* parent, const QString& name, const QString& caption, const QRect& place) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setGeometry(place);
    return button;
}

} // namespace zelk::console::detail

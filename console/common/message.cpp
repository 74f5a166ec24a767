#include "common/message.h"

#include "common/window_layout.h"

#include <QMessageBox>

namespace zelk::console {

namespace {
MessageHandler installedHandler = nullptr;
}

void showMessage(QWidget* parent, const QString& text) {
    if (installedHandler != nullptr) {
        installedHandler(parent, text);
        return;
    }
    // A parent makes the box open centred on the window that raised it; a dialog does not take its
    // parent's font, so it is given the console's.
    QMessageBox box(QMessageBox::NoIcon, kProgramTitle, text, QMessageBox::Ok, parent);
    box.setFont(consoleFont());
    box.exec();
}

MessageHandler setMessageHandler(MessageHandler handler) {
    const MessageHandler previous = installedHandler;
    installedHandler = handler;
    return previous;
}

QString procedureError(const QString& procedure, const QString& description, int number) {
    return procedure + u'-' + description + u':' + QString::number(number);
}

} // namespace zelk::console

#include "common/message.h"

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
    QMessageBox box(QMessageBox::NoIcon, kProgramTitle, text, QMessageBox::Ok, parent);
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

#pragma once
// Messages to the user: OK-only message boxes captioned with the program title. Tests replace the handler so
// that no message box blocks them.
#include <QString>

class QWidget;

namespace zelk::console {

inline const QString kProgramTitle = QStringLiteral("ZELK");

using MessageHandler = void (*)(QWidget* parent, const QString& text);

// Shows text in an OK-only message box captioned "ZELK", in the console's font and centred on parent's
// window (or hands it to the installed handler).
void showMessage(QWidget* parent, const QString& text);
// Installs a handler for showMessage; nullptr restores the message box. Returns the previous handler.
MessageHandler setMessageHandler(MessageHandler handler);

// The text of a procedure's error message: its name, "-", the description, ":" and the number.
QString procedureError(const QString& procedure, const QString& description, int number);

} // namespace zelk::console

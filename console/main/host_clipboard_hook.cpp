// The host's clipboard hook for the engine's "CLIP" action. The engine finds it in the running program by
// name; it is called on the engine's timer thread and must neither block nor keep the caller's text.
#include "clipboard/clipboard.h"
#include "common/ansi.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>

#include <string_view>

static_assert(std::string_view(zelk::clipboard::kHostClipboardHook) == "zelk_host_clipboard_text");

extern "C" __attribute__((visibility("default"))) void zelk_host_clipboard_text(const char* cp932Text) {
    QCoreApplication* application = QCoreApplication::instance();
    if (cp932Text == nullptr || application == nullptr) return;
    // Copied and converted here; the clipboard itself is set later, on the GUI thread.
    const QString text = zelk::console::fromAnsi(cp932Text);
    QMetaObject::invokeMethod(
        application, [text] { QGuiApplication::clipboard()->setText(text); }, Qt::QueuedConnection);
}

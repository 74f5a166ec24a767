// The host's clipboard hook: the engine's "CLIP" rows reach the desktop clipboard through the GUI thread.
#include "clipboard/clipboard.h"
#include "common/ansi.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <string>
#include <thread>

extern "C" void zelk_host_clipboard_text(const char* cp932Text);

namespace zelk::console {
namespace {

TEST(ClipboardHook, ARowFromAnotherThreadArrivesWhenTheGuiThreadRuns) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    std::string row = toAnsi(QStringLiteral("ピン\t255"));
    std::thread timerThread([&] { zelk_host_clipboard_text(row.c_str()); });
    timerThread.join();
    row.assign(row.size(), 'x'); // the hook kept its own copy
    EXPECT_EQ(clipboard->text(), "before") << "queued, not set on the calling thread";
    QCoreApplication::processEvents();
    EXPECT_EQ(clipboard->text(), "ピン\t255");
}

TEST(ClipboardHook, TheEngineFindsItByName) {
    const clipboard::Clipboard engineSide; // looks the hook up in the running program
    ASSERT_TRUE(engineSide.put(toAnsi(QStringLiteral("経過秒\t3")).c_str()));
    QCoreApplication::processEvents();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "経過秒\t3");
}

} // namespace
} // namespace zelk::console

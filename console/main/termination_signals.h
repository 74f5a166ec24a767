#pragma once
// The end of the desktop session (SIGTERM, SIGHUP) and Ctrl+C in a terminal (SIGINT) close the main window
// as its close box does: a run still going is closed, which writes its log file, and then the program ends.
// The signal only wakes the GUI thread; the window is closed there, between two window messages.
#include <QObject>

class QSocketNotifier;
class QWidget;

namespace zelk::console {

class CloseOnTermination : public QObject {
public:
    // At most one at a time; the previous handlers come back when it is destroyed.
    explicit CloseOnTermination(QWidget& window);
    ~CloseOnTermination() override;
    CloseOnTermination(const CloseOnTermination&) = delete;
    CloseOnTermination& operator=(const CloseOnTermination&) = delete;

private:
    void closeWindow();

    QWidget& window_;
    QSocketNotifier* notifier_ = nullptr;
    bool closing_ = false;
};

} // namespace zelk::console

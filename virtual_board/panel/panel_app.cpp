#include "virtual_board/panel/panel_app.h"

#include "virtual_board/panel/sim_panel.h"

#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

namespace zelk::vboard {
namespace {
constexpr int kScreenMargin = 24;
} // namespace

int runPanelApp(int argc, char** argv, BoardModel& model, Port1Relay& port1,
                const ServerOptions& serverOptions, const std::vector<ScheduledInput>& schedule,
                int stopSignalFd) {
    QApplication app(argc, argv);
    BoardServer server(model, serverOptions);
    SimPanel panel(model, server);
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "kaldex-sim: %s\n", error.c_str());
        return 1;
    }
    std::fputs(boardBanner(server.socketPath(), model.config(), server.realtimeRefusal()).c_str(), stderr);

    // Port-1 changes come from the answering thread through the relay: that thread never waits on the GUI.
    QSocketNotifier port1Changes(port1.fd(), QSocketNotifier::Read);
    QObject::connect(&port1Changes, &QSocketNotifier::activated, &panel, [&port1, &panel] {
        port1.drain([&panel](std::uint8_t value) {
            printPort1(value);
            panel.showPort1(value);
        });
    });

    QSocketNotifier stopSignals(stopSignalFd, QSocketNotifier::Read);
    QObject::connect(&stopSignals, &QSocketNotifier::activated, &app, [stopSignalFd] {
        signalfd_siginfo info{};
        [[maybe_unused]] const ssize_t n = ::read(stopSignalFd, &info, sizeof(info));
        QApplication::quit();
    });
    for (const ScheduledInput& entry : schedule) {
        QTimer::singleShot(entry.at, &panel, [&model, &server, &panel, command = entry.command] {
            applyCommand(model, server, command);
            panel.refresh();
        });
    }

    // Top right, out of the way of the console, which places itself from its screen settings.
    panel.adjustSize();
    if (const QScreen* screen = panel.screen()) {
        const QRect area = screen->availableGeometry();
        panel.move(area.right() - panel.width() - kScreenMargin, area.top() + kScreenMargin);
    }
    panel.show();
    const int status = QApplication::exec();
    server.stop(); // before the panel goes: the server's thread calls the port-1 listener
    return status;
}

} // namespace zelk::vboard

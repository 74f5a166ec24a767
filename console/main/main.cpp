// The console ZELK: the main window over the engine ZELK_Eng, in the work folder chosen at start-up.
#include "main/frm_zelk.h"
#include "main/termination_signals.h"
#include "main/work_folder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const QString kDirOption = QStringLiteral("dir");

void describeCommandLine(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral("KALDEX 入出力ボードのルール制御コンソール"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(
        {kDirOption,
         QStringLiteral("LogicCtl.ini、ZELK_SCR.ini とログファイルを置く作業フォルダ(無ければ作成)"),
         QStringLiteral("dir")});
}

// --help and --version answer on the terminal and need no display.
bool answersOnTheTerminal(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"-h", "-?", "--help", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0) return true;
    return false;
}

// Whether the desktop can be reached: a platform named for Qt (the offscreen one included), or an X or
// Wayland display. Without one Qt would abort; the console says why and ends instead.
bool hasDisplay(int argc, char** argv) {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0') return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "-display") == 0) return true;
    return false;
}

constexpr int kUsageStatus = 64;
constexpr int kNoDisplayStatus = 2;

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("ZELK"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZELK_VERSION));
    QCommandLineParser parser;
    describeCommandLine(parser);
    if (answersOnTheTerminal(argc, argv)) {
        const QCoreApplication application(argc, argv);
        parser.process(application); // prints and ends the program
        return 0;
    }

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (parser.parse(arguments) && !parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "ZELK: 余分な引数です: %s\n作業フォルダは --dir で指定します (ZELK --help)\n",
                     qUtf8Printable(parser.positionalArguments().front()));
        return kUsageStatus;
    }
    if (!hasDisplay(argc, argv)) {
        std::fprintf(stderr, "ZELK: 画面がありません: DISPLAY も WAYLAND_DISPLAY も設定されていません\n");
        return kNoDisplayStatus;
    }

    QApplication application(argc, argv);
    parser.process(application);
    const zelk::console::WorkFolder folder =
        zelk::console::chooseWorkFolder(zelk::console::workFolderPlaces(parser.value(kDirOption)));
    if (!folder.error.isEmpty() || !QDir::setCurrent(folder.path)) {
        const QString error =
            folder.error.isEmpty()
                ? QStringLiteral("作業フォルダ %1 に移れません").arg(QDir::toNativeSeparators(folder.path))
                : folder.error;
        std::fprintf(stderr, "ZELK: %s\n", qUtf8Printable(error));
        return zelk::console::kWorkFolderStatus;
    }

    frmZELK window;
    window.setWindowTitle(zelk::console::captionWithFolder(window.windowTitle(), folder.path));
    new zelk::console::CloseOnTermination(window); // owned by the window
    window.show();
    return application.exec();
}

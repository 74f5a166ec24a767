#include "common/engine_binding.h"

#include "common/ini.h"
#include "common/message.h"

#include <QLibrary>

#include <cstdlib>

namespace zelk::console::engine {

namespace {

QString& libraryPathOverride() {
    static QString path;
    return path;
}

FatalHandler fatalHandler = nullptr;

[[noreturn]] void fail(const QString& message) {
    if (fatalHandler != nullptr) fatalHandler(message);
    showMessage(nullptr, message);
    std::exit(kMissingEngineStatus);
}

QLibrary& library() {
    static QLibrary lib;
    if (!lib.isLoaded()) {
        // The program's own directory first, then the platform's library search.
        const QStringList candidates =
            libraryPathOverride().isEmpty()
                ? QStringList{programDirectory() + QStringLiteral("/ZELK_Eng"), QStringLiteral("ZELK_Eng")}
                : QStringList{libraryPathOverride()};
        QString errors;
        for (const QString& candidate : candidates) {
            lib.setFileName(candidate);
            if (lib.load()) return lib;
            errors += u'\n' + lib.errorString();
        }
        fail(QStringLiteral("エンジン ZELK_Eng が見つかりません。") + errors);
    }
    return lib;
}

template <typename Function>
Function resolve(const char* name) {
    const auto function = reinterpret_cast<Function>(library().resolve(name));
    if (function == nullptr)
        fail(QStringLiteral("エンジン ZELK_Eng に %1 がありません。").arg(QString::fromLatin1(name)));
    return function;
}

} // namespace

std::int32_t openKaldex() {
    static const auto function = resolve<openKaldex_fn>("openKaldex");
    return function();
}

std::int32_t closeKaldex() {
    static const auto function = resolve<closeKaldex_fn>("closeKaldex");
    return function();
}

void getCtlData(CtlData& data) {
    static const auto function = resolve<getCtlData_fn>("getCtlData");
    function(&data);
}

void putCtlData(const CtlRequest& request) {
    static const auto function = resolve<putCtlData_fn>("putCtlData");
    function(&request);
}

void exitKaldex() {
    static const auto function = resolve<exitKaldex_fn>("exitKaldex");
    function();
    std::exit(0); // not reached: the engine ends the process
}

void setLibraryPath(const QString& path) {
    libraryPathOverride() = path;
}
void setFatalHandler(FatalHandler handler) {
    fatalHandler = handler;
}

} // namespace zelk::console::engine

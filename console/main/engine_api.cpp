#include "main/engine_api.h"

#include "binding/engine_library.h"
#include "common/ini.h"
#include "common/message.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace zelk::console {

namespace {

QString& libraryPathOverride() {
    static QString path;
    return path;
}

std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

class BoundEngine final : public EngineApi {
public:
    std::int32_t openKaldex() override {
        static const auto function = resolve<openKaldex_fn>("openKaldex");
        return function();
    }
    std::int32_t closeKaldex() override {
        static const auto function = resolve<closeKaldex_fn>("closeKaldex");
        return function();
    }
    void getCtlData(CtlData& data) override {
        static const auto function = resolve<getCtlData_fn>("getCtlData");
        function(&data);
    }
    void putCtlData(const CtlRequest& request) override {
        static const auto function = resolve<putCtlData_fn>("putCtlData");
        function(&request);
    }
    void exitKaldex() override {
        static const auto function = resolve<exitKaldex_fn>("exitKaldex");
        function();
        std::exit(0); // not reached: the engine ends the process
    }
    hid::BoardCheck checkBoards() override { return hid::checkSystemBoards(); }

private:
    [[noreturn]] static void fail(const QString& message) {
        showMessage(nullptr, message);
        std::exit(kMissingEngineStatus);
    }

    static const binding::EngineLibrary& library() {
        static binding::EngineLibrary lib;
        if (!lib.isLoaded()) {
            const std::vector<std::filesystem::path> candidates =
                libraryPathOverride().isEmpty()
                    ? binding::searchOrder(toPath(programDirectory()))
                    : std::vector<std::filesystem::path>{toPath(libraryPathOverride())};
            std::string errors;
            if (!lib.load(candidates, errors))
                fail(QStringLiteral("エンジン ZELK_Eng が見つかりません。") + QString::fromStdString(errors));
        }
        return lib;
    }

    template <typename Function>
    static Function resolve(const char* name) {
        const auto function = reinterpret_cast<Function>(library().resolve(name));
        if (function == nullptr)
            fail(QStringLiteral("エンジン ZELK_Eng に %1 がありません。").arg(QString::fromLatin1(name)));
        return function;
    }
};

} // namespace

EngineApi& boundEngine() {
    static BoundEngine bound;
    return bound;
}

void setEngineLibraryPath(const QString& path) {
    libraryPathOverride() = path;
}

} // namespace zelk::console

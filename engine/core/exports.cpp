// The five exports over the library's one engine instance. The instance is created at the first call, never
// by loading the library, and lives until the process ends.
#include "ZELK_Eng.h"
#include "core/engine.h"
#include "core/system_platform.h"

#include <cstdlib>

namespace {

zelk::Engine& engine() {
    static zelk::SystemPlatform* platform = new zelk::SystemPlatform();
    static zelk::Engine* instance = new zelk::Engine(*platform);
    return *instance;
}

} // namespace

extern "C" {

ZELK_API int32_t ZELK_CALL openKaldex(void) {
    return engine().open();
}

ZELK_API int32_t ZELK_CALL closeKaldex(void) {
    return engine().close();
}

ZELK_API void ZELK_CALL getCtlData(CtlData* data) {
    if (data != nullptr) engine().getCtlData(*data);
}

ZELK_API void ZELK_CALL putCtlData(const CtlRequest* request) {
    if (request != nullptr) engine().putCtlData(*request);
}

ZELK_API void ZELK_CALL exitKaldex(void) {
    std::exit(0);
}

} // extern "C"

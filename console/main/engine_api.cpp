#include "main/engine_api.h"

#include "common/engine_binding.h"

namespace zelk::console {

namespace {

class BoundEngine final : public EngineApi {
public:
    std::int32_t openKaldex() override { return engine::openKaldex(); }
    std::int32_t closeKaldex() override { return engine::closeKaldex(); }
    void getCtlData(CtlData& data) override { engine::getCtlData(data); }
    void putCtlData(const CtlRequest& request) override { engine::putCtlData(request); }
    void exitKaldex() override { engine::exitKaldex(); }
    hid::BoardCheck checkBoards() override { return hid::checkSystemBoards(); }
};

} // namespace

EngineApi& boundEngine() {
    static BoundEngine bound;
    return bound;
}

} // namespace zelk::console

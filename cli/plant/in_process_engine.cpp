#include "cli/plant/in_process_engine.h"

#include "core/system_platform.h"

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace zelk::plant {

namespace {

Engine& engine() {
    static SystemPlatform* platform = new SystemPlatform();
    static Engine* instance = new Engine(*platform);
    return *instance;
}

std::int32_t ZELK_CALL openRun() {
    return engine().open();
}
std::int32_t ZELK_CALL closeRun() {
    return engine().close();
}
void ZELK_CALL getData(CtlData* data) {
    engine().getCtlData(*data);
}
void ZELK_CALL putData(const CtlRequest* request) {
    engine().putCtlData(*request);
}
[[noreturn]] void ZELK_CALL exitRun() {
    std::exit(0);
}

// Requests from several servers take turns: a request replaces the mask of one the cycle has not taken yet,
// so each waits until the cycle took the one before it, and its own, before it returns. The waits are
// bounded: a run that stops taking requests costs a caller 100 ms, never a hang.
class InProcessRun final : public RunAccess {
public:
    void read(RunPicture& picture) const override {
        engine().getCtlData(picture.data);
        engine().readVariables(picture.variables);
    }

    bool setOutputs(OutputChange change) override {
        std::lock_guard lock(mutex_);
        if (!awaitTaken()) return false;
        CtlData data{};
        engine().getCtlData(data);
        if (data.state != ZELK_STATE_RUNNING) return false;
        const std::uint8_t energizedNow = static_cast<std::uint8_t>(~data.port1 & 0x0F);
        const std::uint8_t toggle = (energizedNow ^ change.energized) & change.pins & 0x0F;
        if (toggle == 0) return true;
        CtlRequest request{};
        request.toggleMask = toggle;
        engine().putCtlData(request);
        return awaitTaken();
    }

private:
    // Whether the cycle took the pending request, if any, within the bound.
    static bool awaitTaken() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
        while (engine().outputRequestPending()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    std::mutex mutex_;
};

} // namespace

binding::EngineExports inProcessExports() {
    return {&openRun, &closeRun, &getData, &putData, &exitRun};
}

RunAccess& inProcessRun() {
    static InProcessRun run;
    return run;
}

} // namespace zelk::plant

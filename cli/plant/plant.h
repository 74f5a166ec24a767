#pragma once
// The servers of `zelkctl run` beside its control run, set up from the plant options: bound before the run
// starts, so a port that cannot be had ends zelkctl before it takes the board; served while the run goes
// on; ended after it closed.
#include "cli/plant/plant_options.h"

#include <memory>
#include <string>

namespace zelk::plant {

class Plant {
public:
    explicit Plant(RunAccess& run) : run_(run) {}

    // Binds what the settings ask for; false with the reason in error.
    bool prepare(const PlantSettings& settings, std::string& error);
    void start();
    void stop();

private:
    RunAccess& run_;
    std::unique_ptr<ModbusServer> modbus_;
    std::unique_ptr<MqttClient> mqtt_;
};

} // namespace zelk::plant

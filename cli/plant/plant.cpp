#include "cli/plant/plant.h"

#include <cstdio>

namespace zelk::plant {

bool Plant::prepare(const PlantSettings& settings, std::string& error) {
    if (settings.modbus) {
        modbus_ = std::make_unique<ModbusServer>(run_);
        if (!modbus_->listen(*settings.modbus, error)) return false;
    }
    return true;
}

void Plant::start() {
    if (modbus_) {
        modbus_->start();
        std::fprintf(stderr, "zelkctl: Modbus TCP on %s (%s)\n", modbus_->where().c_str(),
                     modbus_->writable() ? "coils writable" : "read-only");
    }
}

void Plant::stop() {
    if (modbus_) modbus_->stop();
}

} // namespace zelk::plant

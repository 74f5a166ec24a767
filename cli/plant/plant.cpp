#include "cli/plant/plant.h"

#include "codepage/codepage.h"
#include "core/loaded_program.h"
#include "program/keys.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zelk::plant {

namespace {

// The names of the program's variables, in UTF-8: the program file the run loads, read here once.
std::vector<std::string> variableNames() {
    auto program = std::make_unique<Program>();
    loadProgram(*program, ProgramFile(std::string(keys::kFileName)));
    std::vector<std::string> names;
    const int count = std::clamp(program->variableCount, 0, kVariableCount);
    for (int n = 0; n < count; ++n) {
        const VarEntry& entry = program->variables[static_cast<std::size_t>(n)];
        names.push_back(
            codepage::fromCp932ToUtf8(std::string_view(entry.name, strnlen(entry.name, sizeof entry.name))));
    }
    return names;
}

} // namespace

bool Plant::prepare(const PlantSettings& settings, std::string& error) {
    if (settings.modbus) {
        modbus_ = std::make_unique<ModbusServer>(run_);
        if (!modbus_->listen(*settings.modbus, error)) return false;
    }
    if (settings.mqtt) {
        mqtt_ = std::make_unique<MqttClient>(run_, *settings.mqtt, variableNames());
        if (!mqtt_->prepare(error)) return false;
    }
    return true;
}

void Plant::start() {
    if (modbus_) {
        modbus_->start();
        std::fprintf(stderr, "zelkctl: Modbus TCP on %s (%s)\n", modbus_->where().c_str(),
                     modbus_->writable() ? "coils writable" : "read-only");
    }
    if (mqtt_) mqtt_->start();
}

void Plant::stop() {
    if (mqtt_) mqtt_->stop();
    if (modbus_) modbus_->stop();
}

} // namespace zelk::plant

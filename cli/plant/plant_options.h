#pragma once
// The options of `zelkctl run` that serve the run to plant protocols, and the settings read from them.
#include "cli/options.h"
#include "cli/plant/modbus_server.h"

#include <optional>
#include <string>

namespace zelk::plant {

inline constexpr cli::Option kPlantOptions[] = {
    {"--modbus", "[ADDR:]PORT", "serve Modbus TCP on PORT of ADDR (default 127.0.0.1; [ADDR] for IPv6)"},
    {"--modbus-write", "", "let Modbus clients set the outputs by writing coils"},
};

struct PlantSettings {
    std::optional<ModbusServer::Settings> modbus;

    bool any() const { return modbus.has_value(); }
};

// The settings the options give. nullopt with the reason in error for a value that cannot be right or an
// option that needs another one.
std::optional<PlantSettings> readPlantSettings(const cli::Arguments& arguments, std::string& error);

// "[ADDR:]PORT": the address (default 127.0.0.1) and the port, 0 to 65535. IPv6 addresses in brackets.
bool parseEndpoint(const std::string& text, std::string& address, std::string& port);

} // namespace zelk::plant

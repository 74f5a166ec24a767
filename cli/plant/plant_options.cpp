#include "cli/plant/plant_options.h"

#include <algorithm>

namespace zelk::plant {

namespace {

bool isPort(const std::string& text) {
    return !text.empty() && text.size() <= 5 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           std::stoi(text) <= 65535;
}

} // namespace

bool parseEndpoint(const std::string& text, std::string& address, std::string& port) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        address = "127.0.0.1";
        port = text;
    } else {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
        else if (address.find(':') != std::string::npos)
            return false; // an IPv6 address needs its brackets
    }
    return !address.empty() && isPort(port);
}

std::optional<PlantSettings> readPlantSettings(const cli::Arguments& arguments, std::string& error) {
    PlantSettings settings;
    if (const std::string* endpoint = arguments.value("--modbus")) {
        ModbusServer::Settings modbus;
        if (!parseEndpoint(*endpoint, modbus.address, modbus.port)) {
            error = "--modbus needs [ADDR:]PORT, PORT 0 to 65535: '" + *endpoint + "'";
            return std::nullopt;
        }
        modbus.writable = arguments.has("--modbus-write");
        settings.modbus = modbus;
    } else if (arguments.has("--modbus-write")) {
        error = "--modbus-write needs --modbus";
        return std::nullopt;
    }
    return settings;
}

} // namespace zelk::plant

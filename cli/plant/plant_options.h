#pragma once
// The options of `zelkctl run` that serve the run to plant protocols, and the settings read from them.
#include "cli/options.h"
#include "cli/plant/modbus_server.h"
#include "cli/plant/mqtt_client.h"

#include <optional>
#include <string>

namespace zelk::plant {

inline constexpr cli::Option kPlantOptions[] = {
    {"--modbus", "[ADDR:]PORT", "serve Modbus TCP on ADDR (default 127.0.0.1), PORT"},
    {"--modbus-write", "", "let Modbus clients set the outputs by writing coils"},
    {"--mqtt", "URL", "publish to the broker at mqtt://HOST[:PORT] or mqtts:// (TLS)"},
    {"--mqtt-cafile", "FILE", "the authorities an mqtts broker is checked against"},
    {"--mqtt-cert", "FILE", "a client certificate for an mqtts broker, with --mqtt-key"},
    {"--mqtt-key", "FILE", "the client certificate's private key"},
    {"--mqtt-user", "NAME",
     "the user at the broker; its password is read from --mqtt-password-file\n"
     "                  or ZELK_MQTT_PASSWORD, never from the command line"},
    {"--mqtt-password-file", "FILE", "the broker password: the first line of FILE"},
    {"--mqtt-write", "", "let zelk/NAME/set/output/N (ON or OFF) set the outputs"},
    {"--mqtt-queue", "EVENTS", "events kept while the broker is away (default 1000)"},
    {"--ha-discovery", "", "publish Home Assistant discovery configs"},
    {"--name", "NAME", "NAME in the topics zelk/NAME/... (default: the host name)"},
};

// The environment variable that holds the broker password when no password file is given.
inline constexpr const char* kPasswordVariable = "ZELK_MQTT_PASSWORD";

struct PlantSettings {
    std::optional<ModbusServer::Settings> modbus;
    std::optional<MqttClient::Settings> mqtt;

    bool any() const { return modbus.has_value() || mqtt.has_value(); }
};

// The settings the options give. nullopt with the reason in error for a value that cannot be right or an
// option that needs another one.
std::optional<PlantSettings> readPlantSettings(const cli::Arguments& arguments, std::string& error);

// mqtt://HOST[:PORT] (port 1883) or mqtts://HOST[:PORT] (TLS, port 8883); HOST may be an IPv6 address in
// brackets.
bool parseBrokerUrl(const std::string& url, MqttClient::Settings& settings);

// "[ADDR:]PORT": the address (default 127.0.0.1) and the port, 0 to 65535. IPv6 addresses in brackets.
bool parseEndpoint(const std::string& text, std::string& address, std::string& port);

} // namespace zelk::plant

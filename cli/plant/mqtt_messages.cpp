#include "cli/plant/mqtt_messages.h"

#include "cli/json.h"
#include "cli/status_record.h"

#include <algorithm>
#include <cstring>

namespace zelk::plant::mqtt {

namespace {

using cli::JsonObject;
using cli::jsonString;

constexpr int kInputs = 8;
constexpr int kOutputs = 4;

// Pins of a raw port byte as [1,0,..]: 1 for an energized pin, whose bit is 0.
std::string pinsJson(std::uint8_t raw, int pins) {
    std::string text = "[";
    for (int pin = 0; pin < pins; ++pin) {
        if (pin > 0) text += ',';
        text += (raw >> pin & 1) ? '0' : '1';
    }
    return text + ']';
}

std::string fieldText(const char* field, std::size_t size) {
    return std::string(field, strnlen(field, size));
}

// The part every discovery config shares: the device and the availability.
JsonObject& common(JsonObject& config, const std::string& name, const std::string& id,
                   const std::string& label) {
    const std::string device = JsonObject()
                                   .value("identifiers", "[" + jsonString("zelk_" + name) + "]")
                                   .field("name", "ZELK " + name)
                                   .str();
    return config.field("name", label)
        .field("unique_id", "zelk_" + name + "_" + id)
        .field("availability_topic", topic(name, "status"))
        .field("payload_available", "online")
        .field("payload_not_available", "offline")
        .value("device", device);
}

Message config(const std::string& component, const std::string& name, const std::string& id,
               const std::string& payload) {
    // Home Assistant takes a node id of letters, digits, '_' and '-' only and ignores a config under any
    // other: a name with a dot, such as a full host name, would leave the run undiscovered.
    std::string node = "zelk_" + name;
    std::replace(node.begin(), node.end(), '.', '_');
    return {"homeassistant/" + component + "/" + node + "/" + id + "/config", payload};
}

} // namespace

std::string topic(const std::string& name, const std::string& leaf) {
    return "zelk/" + name + "/" + leaf;
}

std::string stateJson(const CtlData& data, std::uint64_t eventsDropped) {
    return JsonObject()
        .field("state", data.state)
        .field("stateName", cli::stateName(data.state))
        .field("passageSec", data.passageSec)
        .field("startDate", fieldText(data.startDate, sizeof data.startDate))
        .field("startTime", fieldText(data.startTime, sizeof data.startTime))
        .field("eventsDropped", static_cast<std::int64_t>(eventsDropped))
        .str();
}

std::string inputsJson(const CtlData& data) {
    return JsonObject().field("raw", data.port0).value("pins", pinsJson(data.port0, kInputs)).str();
}

std::string outputsJson(const CtlData& data) {
    return JsonObject().field("raw", data.port1).value("pins", pinsJson(data.port1, kOutputs)).str();
}

std::string variablesJson(const VariableValues& values, const std::vector<std::string>& variableNames) {
    std::string text = "[";
    for (std::size_t n = 0; n < variableNames.size() && n < values.size(); ++n) {
        if (n > 0) text += ',';
        text += JsonObject()
                    .field("n", static_cast<std::int64_t>(n))
                    .field("name", variableNames[n])
                    .field("value", values[n])
                    .str();
    }
    return text + ']';
}

std::string eventJson(const EventEntry& entry) {
    return JsonObject()
        .field("passageSec", entry.passageSec)
        .field("tick10ms", entry.tick10ms)
        .field("text", cli::eventText(entry))
        .str();
}

std::vector<Message> discoveryConfigs(const std::string& name, const std::vector<std::string>& variableNames,
                                      bool writable) {
    std::vector<Message> configs;
    for (int pin = 0; pin < kInputs; ++pin) {
        const std::string id = "input" + std::to_string(pin);
        JsonObject payload;
        common(payload, name, id, "input " + std::to_string(pin))
            .field("state_topic", topic(name, "inputs"))
            .field("value_template", "{{ value_json.pins[" + std::to_string(pin) + "] }}")
            .field("payload_on", "1")
            .field("payload_off", "0");
        configs.push_back(config("binary_sensor", name, id, payload.str()));
    }
    for (int pin = 0; pin < kOutputs; ++pin) {
        const std::string id = "output" + std::to_string(pin);
        JsonObject payload;
        common(payload, name, id, "output " + std::to_string(pin))
            .field("state_topic", topic(name, "outputs"))
            .field("value_template", "{{ value_json.pins[" + std::to_string(pin) + "] }}");
        if (writable) {
            payload.field("command_topic", topic(name, "set/output/" + std::to_string(pin)))
                .field("payload_on", "ON")
                .field("payload_off", "OFF")
                .field("state_on", "1")
                .field("state_off", "0");
        } else {
            payload.field("payload_on", "1").field("payload_off", "0");
        }
        configs.push_back(config(writable ? "switch" : "binary_sensor", name, id, payload.str()));
    }
    for (std::size_t n = 0; n < variableNames.size(); ++n) {
        const std::string id = "var" + std::to_string(n);
        const std::string label =
            variableNames[n].empty() ? "variable " + std::to_string(n) : variableNames[n];
        JsonObject payload;
        common(payload, name, id, label)
            .field("state_topic", topic(name, "vars"))
            .field("value_template", "{{ value_json[" + std::to_string(n) + "].value }}")
            .field("state_class", "measurement");
        configs.push_back(config("sensor", name, id, payload.str()));
    }
    return configs;
}

int setOutputOf(const std::string& name, const std::string& topicName) {
    const std::string prefix = topic(name, "set/output/");
    if (topicName.size() != prefix.size() + 1 || topicName.compare(0, prefix.size(), prefix) != 0) return -1;
    const char pin = topicName.back();
    return pin >= '0' && pin < '0' + kOutputs ? pin - '0' : -1;
}

} // namespace zelk::plant::mqtt

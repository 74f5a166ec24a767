#pragma once
// What zelkctl publishes to an MQTT broker for a control run named NAME, as UTF-8 JSON:
//   zelk/NAME/status    online / offline (retained; offline is also the last will)
//   zelk/NAME/state     {"state":3,"stateName":"running","passageSec":12,"startDate":..,"startTime":..,
//                        "eventsDropped":0} (retained)
//   zelk/NAME/inputs    {"raw":254,"pins":[1,0,0,0,0,0,0,0]} (retained; 1 = energized)
//   zelk/NAME/outputs   {"raw":14,"pins":[1,0,0,0]} (retained)
//   zelk/NAME/vars      [{"n":0,"name":"..","value":12},..] for the program's variables (retained)
//   zelk/NAME/events    {"passageSec":12,"tick10ms":0,"text":".."} for each new event-log entry
// and, for Home Assistant's discovery, one retained config per input, output and variable.
#include "ZELK_Eng.h"
#include "core/engine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zelk::plant::mqtt {

struct Message {
    std::string topic;
    std::string payload;
};

// "zelk/NAME/" with the topic's name behind it.
std::string topic(const std::string& name, const std::string& leaf);

std::string stateJson(const CtlData& data, std::uint64_t eventsDropped);
std::string inputsJson(const CtlData& data);
std::string outputsJson(const CtlData& data);
// variableNames: the program's variables, in UTF-8; their count is how many are published.
std::string variablesJson(const VariableValues& values, const std::vector<std::string>& variableNames);
std::string eventJson(const EventEntry& entry);

// The retained discovery configs: inputs as binary sensors, outputs as switches (binary sensors when they
// are not writable) and variables as sensors, all of them available while zelk/NAME/status is online.
std::vector<Message> discoveryConfigs(const std::string& name, const std::vector<std::string>& variableNames,
                                      bool writable);

// The output that a set topic addresses, zelk/NAME/set/output/N for N 0 to 3; -1 for any other topic.
int setOutputOf(const std::string& name, const std::string& topic);

} // namespace zelk::plant::mqtt

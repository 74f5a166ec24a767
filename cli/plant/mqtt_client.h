#pragma once
// The MQTT client of a control run (libmosquitto), on a thread of its own: it copies the run's picture
// every kPollMs, publishes the topics of mqtt_messages.h when they change (each at most every
// kLeastIntervalMs), and each new event. A broker that is down at the start or goes away later never ends
// the run: the client tries again after a pause that doubles up to kLongestPauseSeconds, and on each
// connection publishes the retained topics anew. Events wait for the broker in a queue of at most
// Settings::queueLimit; beyond it the oldest are dropped and counted (the state's eventsDropped).
#include "cli/plant/mqtt_messages.h"
#include "cli/plant/run_access.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace zelk::plant {

class MqttClient {
public:
    static constexpr int kPollMs = 20;
    static constexpr int kLeastIntervalMs = 100;
    static constexpr int kLongestPauseSeconds = 30;
    static constexpr int kKeepAliveSeconds = 15;

    struct Settings {
        std::string host;
        int port = 1883;
        bool tls = false;
        std::string caFile;   // empty: the system's certificate authorities
        std::string certFile; // a client certificate, with keyFile; empty for none
        std::string keyFile;
        std::string user; // empty: none
        std::optional<std::string> password;
        std::string name; // the NAME of zelk/NAME/
        bool writable = false;
        bool discovery = false;
        std::size_t queueLimit = 1000;
    };

    // variableNames: the program's variables in UTF-8, which the vars topic and discovery name.
    MqttClient(RunAccess& run, Settings settings, std::vector<std::string> variableNames);
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Sets up the connection's options (TLS files among them); false with the reason in error.
    bool prepare(std::string& error);
    void start();
    // Publishes the last state and offline, then disconnects.
    void stop();

    const Settings& settings() const { return settings_; }

private:
    // One retained topic: published when its payload changed, at most every kLeastIntervalMs.
    struct Retained {
        std::string leaf;
        std::string payload;
        std::string published;
        std::chrono::steady_clock::time_point at{};
    };

    void loop();
    void connect();
    void lost(const std::string& reason);
    void take(const RunPicture& picture);
    void publishChanges();
    void publishEvents();
    void publishOnConnect();
    // mid, when given, receives the message's id, which onPublish sees when the broker acknowledged it.
    bool publish(const std::string& topic, const std::string& payload, int qos, bool retain,
                 int* mid = nullptr);

    static void onConnect(mosquitto*, void* self, int result);
    static void onDisconnect(mosquitto*, void* self, int result);
    static void onPublish(mosquitto*, void* self, int mid);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    RunAccess& run_;
    Settings settings_;
    std::vector<std::string> variableNames_;
    mosquitto* client_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stopping_{false};

    // Only the client's thread touches what follows.
    enum class Link { kDown, kConnecting, kUp } link_ = Link::kDown;
    std::chrono::steady_clock::time_point nextTry_{};
    int pauseSeconds_ = 1;
    RunPicture last_;
    bool seen_ = false;
    std::vector<Retained> retained_;
    std::deque<std::string> events_;
    std::uint64_t dropped_ = 0;
    std::uint64_t droppedReported_ = 0;
    int unacknowledged_ = 0;
    bool connected_ = false; // a connection came up in the last pass of the library's loop
    std::string logged_;     // the errors the library logged since the connection attempt began
    int farewellMid_ = -1;   // the last offline, sent as the run stops
    bool farewellAcknowledged_ = false;
};

} // namespace zelk::plant

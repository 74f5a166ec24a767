#include "cli/plant/mqtt_client.h"

#include "cli/status_record.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zelk::plant {

namespace {

using Clock = std::chrono::steady_clock;

// Events handed to the library and not yet acknowledged by the broker: more wait in our own queue, so the
// library's queue stays short whatever the broker does.
constexpr int kMostUnacknowledged = 20;
// How long a stop waits for the last messages to go out.
constexpr auto kFarewell = std::chrono::seconds(2);

void say(const std::string& text) {
    std::fprintf(stderr, "zelkctl: MQTT: %s\n", text.c_str());
}

std::string libraryError(int code) {
    return code == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : mosquitto_strerror(code);
}

} // namespace

MqttClient::MqttClient(RunAccess& run, Settings settings, std::vector<std::string> variableNames)
    : run_(run), settings_(std::move(settings)), variableNames_(std::move(variableNames)) {
    for (const char* leaf : {"state", "inputs", "outputs", "vars"})
        retained_.push_back({leaf, {}, {}, {}});
}

MqttClient::~MqttClient() {
    stop();
    if (client_ != nullptr) mosquitto_destroy(client_);
}

bool MqttClient::prepare(std::string& error) {
    mosquitto_lib_init();
    client_ = mosquitto_new(("zelk-" + settings_.name).c_str(), true, this);
    if (client_ == nullptr) {
        error = "cannot set up the MQTT client";
        return false;
    }
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    const std::string status = mqtt::topic(settings_.name, "status");
    int result = mosquitto_will_set(client_, status.c_str(), 7, "offline", 1, true);
    if (result == MOSQ_ERR_SUCCESS && !settings_.user.empty())
        result = mosquitto_username_pw_set(client_, settings_.user.c_str(),
                                           settings_.password ? settings_.password->c_str() : nullptr);
    if (result == MOSQ_ERR_SUCCESS && settings_.tls) {
        const char* caFile = settings_.caFile.empty() ? nullptr : settings_.caFile.c_str();
        const char* caPath = settings_.caFile.empty() ? "/etc/ssl/certs" : nullptr;
        result = mosquitto_tls_set(client_, caFile, caPath,
                                   settings_.certFile.empty() ? nullptr : settings_.certFile.c_str(),
                                   settings_.keyFile.empty() ? nullptr : settings_.keyFile.c_str(), nullptr);
        if (result != MOSQ_ERR_SUCCESS) {
            error = "the TLS files cannot be used (" + libraryError(result) + ")";
            return false;
        }
    }
    if (result != MOSQ_ERR_SUCCESS) {
        error = "cannot set up the MQTT client: " + libraryError(result);
        return false;
    }
    mosquitto_connect_callback_set(client_, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(client_, &MqttClient::onDisconnect);
    mosquitto_publish_callback_set(client_, &MqttClient::onPublish);
    mosquitto_message_callback_set(client_, &MqttClient::onMessage);
    return true;
}

void MqttClient::start() {
    thread_ = std::thread(&MqttClient::loop, this);
}

void MqttClient::stop() {
    if (!thread_.joinable()) return;
    stopping_.store(true);
    thread_.join();
}

void MqttClient::connect() {
    link_ = Link::kConnecting;
    const int result =
        mosquitto_connect_async(client_, settings_.host.c_str(), settings_.port, kKeepAliveSeconds);
    if (result != MOSQ_ERR_SUCCESS) lost(libraryError(result));
}

void MqttClient::lost(const std::string& reason) {
    const bool wasUp = link_ == Link::kUp;
    link_ = Link::kDown;
    unacknowledged_ = 0;
    if (wasUp) pauseSeconds_ = 1;
    say(settings_.host + ":" + std::to_string(settings_.port) + ": " + reason + "; next try in " +
        std::to_string(pauseSeconds_) + " s");
    nextTry_ = Clock::now() + std::chrono::seconds(pauseSeconds_);
    pauseSeconds_ = std::min(2 * pauseSeconds_, kLongestPauseSeconds);
}

void MqttClient::loop() {
    RunPicture picture;
    while (!stopping_.load()) {
        if (link_ == Link::kDown && Clock::now() >= nextTry_) connect();
        run_.read(picture);
        take(picture);
        if (link_ == Link::kUp) {
            publishChanges();
            publishEvents();
        }
        if (link_ == Link::kDown) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            continue;
        }
        const int result = mosquitto_loop(client_, kPollMs, 1);
        if (result != MOSQ_ERR_SUCCESS && link_ != Link::kDown) lost(libraryError(result));
        if (connected_ && link_ == Link::kUp) publishOnConnect();
        connected_ = false;
    }
    // The last picture, then offline, sent before the connection ends.
    if (link_ != Link::kUp) return;
    run_.read(picture);
    take(picture);
    for (Retained& topic : retained_)
        topic.at = {};
    publishChanges();
    publishEvents();
    publish(mqtt::topic(settings_.name, "status"), "offline", 1, true);
    const auto deadline = Clock::now() + kFarewell;
    while (Clock::now() < deadline && mosquitto_want_write(client_))
        if (mosquitto_loop(client_, kPollMs, 1) != MOSQ_ERR_SUCCESS) return;
    mosquitto_disconnect(client_);
    mosquitto_loop(client_, kPollMs, 1);
}

void MqttClient::take(const RunPicture& picture) {
    const CtlData& data = picture.data;
    retained_[0].payload = mqtt::stateJson(data, dropped_);
    retained_[1].payload = mqtt::inputsJson(data);
    retained_[2].payload = mqtt::outputsJson(data);
    retained_[3].payload = mqtt::variablesJson(picture.variables, variableNames_);
    if (seen_) {
        const int fresh = cli::newEventCount(last_.data.events, data.events);
        for (int i = fresh - 1; i >= 0; --i) {
            if (cli::isEmptyEvent(data.events[i])) continue;
            if (events_.size() >= settings_.queueLimit) {
                if (!events_.empty()) events_.pop_front();
                ++dropped_;
                if (events_.size() >= settings_.queueLimit) continue; // a limit of 0 keeps none
            }
            events_.push_back(mqtt::eventJson(data.events[i]));
        }
    }
    last_ = picture;
    seen_ = true;
}

void MqttClient::publishChanges() {
    const Clock::time_point now = Clock::now();
    for (Retained& topic : retained_) {
        if (topic.payload == topic.published || now - topic.at < std::chrono::milliseconds(kLeastIntervalMs))
            continue;
        if (!publish(mqtt::topic(settings_.name, topic.leaf), topic.payload, 0, true)) return;
        topic.published = topic.payload;
        topic.at = now;
    }
}

void MqttClient::publishEvents() {
    const std::string topic = mqtt::topic(settings_.name, "events");
    while (!events_.empty() && unacknowledged_ < kMostUnacknowledged) {
        if (!publish(topic, events_.front(), 1, false)) return;
        ++unacknowledged_;
        events_.pop_front();
    }
}

bool MqttClient::publish(const std::string& topic, const std::string& payload, int qos, bool retain) {
    const int result = mosquitto_publish(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                                         payload.data(), qos, retain);
    return result == MOSQ_ERR_SUCCESS;
}

void MqttClient::publishOnConnect() {
    say("connected to " + settings_.host + ":" + std::to_string(settings_.port) + " as " +
        mqtt::topic(settings_.name, ""));
    if (dropped_ > droppedReported_) {
        say(std::to_string(dropped_ - droppedReported_) + " events dropped while the broker was away");
        droppedReported_ = dropped_;
    }
    publish(mqtt::topic(settings_.name, "status"), "online", 1, true);
    if (settings_.discovery)
        for (const mqtt::Message& config :
             mqtt::discoveryConfigs(settings_.name, variableNames_, settings_.writable))
            publish(config.topic, config.payload, 1, true);
    if (settings_.writable)
        mosquitto_subscribe(client_, nullptr, mqtt::topic(settings_.name, "set/output/+").c_str(), 1);
    // Everything retained goes out again: the broker may have lost it, or never had it.
    for (Retained& topic : retained_) {
        topic.published.clear();
        topic.at = {};
    }
}

void MqttClient::onConnect(mosquitto*, void* self, int result) {
    auto& client = *static_cast<MqttClient*>(self);
    if (result != 0) {
        client.lost("the broker refused the connection: " + std::string(mosquitto_connack_string(result)));
        return;
    }
    client.link_ = Link::kUp;
    client.pauseSeconds_ = 1;
    // Published from the loop, after the library has left its callback and the locks it holds there.
    client.connected_ = true;
}

void MqttClient::onDisconnect(mosquitto*, void* self, int result) {
    auto& client = *static_cast<MqttClient*>(self);
    if (client.link_ != Link::kDown && !client.stopping_.load())
        client.lost(result == 0 ? "disconnected" : "connection lost");
}

void MqttClient::onPublish(mosquitto*, void* self, int) {
    auto& client = *static_cast<MqttClient*>(self);
    if (client.unacknowledged_ > 0) --client.unacknowledged_;
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto& client = *static_cast<MqttClient*>(self);
    // A retained command would act again at every connection, long after it was meant.
    if (message->retain) return;
    const int pin = mqtt::setOutputOf(client.settings_.name, message->topic);
    const std::string payload(static_cast<const char*>(message->payload),
                              static_cast<std::size_t>(message->payloadlen));
    if (pin < 0 || (payload != "ON" && payload != "OFF")) {
        say("ignored " + std::string(message->topic) + " '" + payload + "': outputs 0 to 3 take ON or OFF");
        return;
    }
    const auto bit = static_cast<std::uint8_t>(1u << pin);
    client.run_.setOutputs({bit, payload == "ON" ? bit : std::uint8_t{0}});
}

} // namespace zelk::plant

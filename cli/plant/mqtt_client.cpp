#include "cli/plant/mqtt_client.h"

#include "cli/shown_text.h"
#include "cli/status_record.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

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

// Why a file that the TLS set-up reads cannot be read; empty when it can.
std::string unreadable(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return "it is a folder";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::strerror(errno);
    std::fclose(file);
    return {};
}

// How much of what the library logs as errors during one connection attempt goes into its message.
constexpr std::size_t kMostLoggedBytes = 400;

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
        // The library says only "invalid arguments" for a file it cannot open: name the file and the reason.
        for (const auto& [what, path] :
             {std::pair<const char*, const std::string&>{"CA file", settings_.caFile},
              {"certificate file", settings_.certFile},
              {"key file", settings_.keyFile}}) {
            if (path.empty()) continue;
            if (const std::string why = unreadable(path); !why.empty()) {
                error = "cannot read the " + std::string(what) + " " + path + ": " + why;
                return false;
            }
        }
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
    mosquitto_log_callback_set(client_, &MqttClient::onLog);
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
    logged_.clear();
    const int result =
        mosquitto_connect_async(client_, settings_.host.c_str(), settings_.port, kKeepAliveSeconds);
    if (result != MOSQ_ERR_SUCCESS) lost(libraryError(result));
}

void MqttClient::lost(const std::string& reason) {
    const bool wasUp = link_ == Link::kUp;
    link_ = Link::kDown;
    unacknowledged_ = 0;
    if (wasUp) pauseSeconds_ = 1;
    // The library's own words, such as the TLS library's reason for a certificate it does not trust.
    const std::string detail = logged_.empty() ? "" : " (" + logged_ + ")";
    logged_.clear();
    say(settings_.host + ":" + std::to_string(settings_.port) + ": " + reason + detail + "; next try in " +
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
    // Until the broker acknowledged offline, and so what went before it: a connection closed with its
    // acknowledgements unread is reset, which the broker takes for a lost client (its last will goes out).
    if (!publish(mqtt::topic(settings_.name, "status"), "offline", 1, true, &farewellMid_)) farewellMid_ = -1;
    const auto deadline = Clock::now() + kFarewell;
    while (Clock::now() < deadline && farewellMid_ >= 0 && !farewellAcknowledged_)
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
        // Events the library can take at once, on a connection that is up, do not wait: the limit is on
        // those that do, so a small queue (or none) loses nothing while the broker keeps up.
        const std::size_t room =
            link_ == Link::kUp ? static_cast<std::size_t>(std::max(kMostUnacknowledged - unacknowledged_, 0))
                               : 0;
        const std::size_t limit = settings_.queueLimit + room;
        const int fresh = cli::newEventCount(last_.data.events, data.events);
        for (int i = fresh - 1; i >= 0; --i) {
            if (cli::isEmptyEvent(data.events[i])) continue;
            if (limit == 0) { // keeps none
                ++dropped_;
                continue;
            }
            for (; events_.size() >= limit; ++dropped_)
                events_.pop_front();
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

bool MqttClient::publish(const std::string& topic, const std::string& payload, int qos, bool retain,
                         int* mid) {
    const int result = mosquitto_publish(client_, mid, topic.c_str(), static_cast<int>(payload.size()),
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
    if (client.link_ == Link::kDown || client.stopping_.load()) return;
    // A connection that never came up was not lost: say why it failed (errno is the failed call's still).
    if (client.link_ == Link::kConnecting)
        client.lost("cannot connect: " +
                    (result == 0 ? std::string("closed by the broker") : libraryError(result)));
    else
        client.lost(result == 0 ? "disconnected" : "connection lost");
}

void MqttClient::onPublish(mosquitto*, void* self, int mid) {
    auto& client = *static_cast<MqttClient*>(self);
    if (mid == client.farewellMid_) client.farewellAcknowledged_ = true;
    if (client.unacknowledged_ > 0) --client.unacknowledged_;
}

void MqttClient::onLog(mosquitto*, void* self, int level, const char* text) {
    auto& client = *static_cast<MqttClient*>(self);
    if ((level & MOSQ_LOG_ERR) == 0 || text == nullptr || client.logged_.size() >= kMostLoggedBytes) return;
    if (!client.logged_.empty()) client.logged_ += "; ";
    client.logged_ += cli::escapedUtf8(text);
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto& client = *static_cast<MqttClient*>(self);
    const std::string topic = message->topic != nullptr ? message->topic : "";
    const std::string payload(static_cast<const char*>(message->payload),
                              static_cast<std::size_t>(std::max(message->payloadlen, 0)));
    // Whoever may publish at the broker chooses these bytes: shown escaped and cut, they cannot forge a line
    // of the log, move the terminal's cursor or flood the journal.
    const std::string what = cli::shownUtf8(topic) + " " + cli::quotedUtf8(payload);
    // A retained command would act again at every connection, long after it was meant.
    if (message->retain) {
        say("ignored the retained " + what +
            ": a command kept at the broker is not taken when zelkctl connects");
        return;
    }
    const int pin = mqtt::setOutputOf(client.settings_.name, topic);
    if (pin < 0 || (payload != "ON" && payload != "OFF")) {
        say("ignored " + what + ": outputs 0 to 3 take ON or OFF");
        return;
    }
    const auto bit = static_cast<std::uint8_t>(1u << pin);
    if (!client.run_.setOutputs({bit, payload == "ON" ? bit : std::uint8_t{0}}))
        say("did not carry out " + what + ": the run is not running, or its cycle did not take the request");
}

} // namespace zelk::plant

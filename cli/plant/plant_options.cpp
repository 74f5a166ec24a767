#include "cli/plant/plant_options.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace zelk::plant {

namespace {

bool isPort(const std::string& text) {
    return !text.empty() && text.size() <= 5 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           std::stoi(text) <= 65535;
}

// Topic levels and client ids stay plain: letters, digits, '-', '_' and '.'.
bool isPlainName(const std::string& name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
               c == '_' || c == '.';
    });
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

// The first line of the file, without its line end; nullopt when it cannot be read.
std::optional<std::string> firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string absolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error || path.empty() ? path : absolute.string();
}

std::optional<MqttClient::Settings> readMqttSettings(const cli::Arguments& arguments, std::string& error) {
    MqttClient::Settings mqtt;
    const std::string& url = *arguments.value("--mqtt");
    if (!parseBrokerUrl(url, mqtt)) {
        error = "--mqtt needs mqtt://HOST[:PORT] or mqtts://HOST[:PORT]: '" + url + "'";
        return std::nullopt;
    }
    for (const char* option : {"--mqtt-cafile", "--mqtt-cert", "--mqtt-key"})
        if (arguments.has(option) && !mqtt.tls) {
            error = std::string(option) + " needs an mqtts:// broker";
            return std::nullopt;
        }
    // Read when the client connects, after the run entered its work folder: a relative name means the
    // folder zelkctl was started in, as it does for the password file.
    if (const std::string* file = arguments.value("--mqtt-cafile")) mqtt.caFile = absolutePath(*file);
    if (const std::string* file = arguments.value("--mqtt-cert")) mqtt.certFile = absolutePath(*file);
    if (const std::string* file = arguments.value("--mqtt-key")) mqtt.keyFile = absolutePath(*file);
    if (mqtt.certFile.empty() != mqtt.keyFile.empty()) {
        error = "--mqtt-cert and --mqtt-key go together";
        return std::nullopt;
    }
    if (const std::string* user = arguments.value("--mqtt-user")) mqtt.user = *user;
    if (const std::string* file = arguments.value("--mqtt-password-file")) {
        if (mqtt.user.empty()) {
            error = "--mqtt-password-file needs --mqtt-user";
            return std::nullopt;
        }
        mqtt.password = firstLine(*file);
        if (!mqtt.password) {
            std::error_code sizeError;
            const bool empty = std::filesystem::is_regular_file(*file, sizeError) &&
                               std::filesystem::file_size(*file, sizeError) == 0 && !sizeError;
            error =
                empty ? "the password file " + *file + " is empty" : "cannot read the password file " + *file;
            return std::nullopt;
        }
    } else if (const char* password = std::getenv(kPasswordVariable);
               password != nullptr && !mqtt.user.empty()) {
        mqtt.password = password;
    }
    mqtt.name = arguments.has("--name") ? *arguments.value("--name") : hostName();
    if (!isPlainName(mqtt.name)) {
        error = "--name needs 1 to 64 letters, digits, '-', '_' or '.': '" + mqtt.name + "'";
        return std::nullopt;
    }
    if (const std::string* queue = arguments.value("--mqtt-queue")) {
        if (queue->empty() || queue->size() > 7 ||
            !std::all_of(queue->begin(), queue->end(), [](char c) { return c >= '0' && c <= '9'; })) {
            error = "--mqtt-queue needs a number of events, 0 to 9999999: '" + *queue + "'";
            return std::nullopt;
        }
        mqtt.queueLimit = std::stoul(*queue);
    }
    mqtt.writable = arguments.has("--mqtt-write");
    mqtt.discovery = arguments.has("--ha-discovery");
    return mqtt;
}

} // namespace

bool parseBrokerUrl(const std::string& url, MqttClient::Settings& settings) {
    std::string rest;
    if (url.starts_with("mqtt://")) {
        settings.tls = false;
        settings.port = 1883;
        rest = url.substr(7);
    } else if (url.starts_with("mqtts://")) {
        settings.tls = true;
        settings.port = 8883;
        rest = url.substr(8);
    } else {
        return false;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    std::string host = rest;
    const std::size_t close = rest.rfind(']');
    const std::size_t colon = rest.rfind(':');
    if (colon != std::string::npos && (close == std::string::npos || colon > close)) {
        const std::string port = rest.substr(colon + 1);
        if (!isPort(port) || std::stoi(port) == 0) return false;
        settings.port = std::stoi(port);
        host = rest.substr(0, colon);
    }
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host.empty() || host.find_first_of("/@?#[] ") != std::string::npos) return false;
    settings.host = host;
    return true;
}

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
    // A bracket belongs only around an IPv6 address: "[x:502" or "[::1]]:502" is a slip, not a host.
    return !address.empty() && address.find_first_of("[]") == std::string::npos && isPort(port);
}

std::optional<PlantSettings> readPlantSettings(const cli::Arguments& arguments, std::string& error) {
    PlantSettings settings;
    if (const std::string* endpoint = arguments.value("--modbus")) {
        ModbusServer::Settings modbus;
        if (!parseEndpoint(*endpoint, modbus.address, modbus.port)) {
            error = "--modbus needs [ADDR:]PORT, PORT 0 to 65535, an IPv6 ADDR in brackets ([::1]:502): '" +
                    *endpoint + "'";
            return std::nullopt;
        }
        modbus.writable = arguments.has("--modbus-write");
        settings.modbus = modbus;
    } else if (arguments.has("--modbus-write")) {
        error = "--modbus-write needs --modbus";
        return std::nullopt;
    }
    if (arguments.has("--mqtt")) {
        settings.mqtt = readMqttSettings(arguments, error);
        if (!settings.mqtt) return std::nullopt;
    } else {
        for (const char* option :
             {"--mqtt-cafile", "--mqtt-cert", "--mqtt-key", "--mqtt-user", "--mqtt-password-file",
              "--mqtt-write", "--mqtt-queue", "--ha-discovery", "--name"})
            if (arguments.has(option)) {
                error = std::string(option) + " needs --mqtt";
                return std::nullopt;
            }
    }
    return settings;
}

} // namespace zelk::plant

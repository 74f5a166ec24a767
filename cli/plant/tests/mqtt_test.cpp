// The MQTT client of zelkctl run against the real broker, mosquitto, which each test starts on a port of
// its own with a configuration it writes; what zelkctl publishes is read with mosquitto_sub.
#include "cli/plant/tests/plant_fixture.h"

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <thread>

namespace zelk::test {
namespace {

// A port that was free a moment ago, for a program that cannot report the one it got.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

class Mqtt : public PlantRun {
protected:
    void SetUp() override {
        for (const char* tool : {MOSQUITTO, MOSQUITTO_SUB, MOSQUITTO_PUB, MOSQUITTO_PASSWD, OPENSSL})
            if (std::string(tool).empty())
                GTEST_SKIP() << "mosquitto, its clients or openssl are not installed";
    }

    // Runs a tool to its end; its exit status.
    int tool(std::vector<std::string> args) {
        auto child = start(std::move(args), "tool" + std::to_string(++tools_));
        return child->wait(std::chrono::seconds(30)).value_or(-1);
    }

    // The broker on port_, with the listener lines given; persistence off, so a restart forgets what it
    // had retained.
    std::unique_ptr<ChildProcess> startBroker(const std::string& listener) {
        const std::string config = dir.file("mosquitto.conf");
        writeFile(config, "user " + std::string(::getpwuid(::geteuid())->pw_name) +
                              "\npersistence false\nlistener " + std::to_string(port_) + " 127.0.0.1\n" +
                              listener);
        auto broker = start({MOSQUITTO, "-c", config}, "broker" + std::to_string(++brokers_));
        EXPECT_TRUE(eventually([&] { return contains(broker->err(), "running") || broker->ended(); }))
            << broker->err();
        return broker;
    }

    // What mosquitto_sub prints ("topic payload" lines) for count messages of the topic, or those it got
    // within 5 s.
    std::string subscribe(const std::string& topic, int count, std::vector<std::string> options = {}) {
        std::vector<std::string> args = {MOSQUITTO_SUB, "-p", std::to_string(port_), "-t", topic,
                                         "-v",          "-C", std::to_string(count), "-W", "5"};
        args.insert(args.end(), options.begin(), options.end());
        auto child = start(std::move(args), "sub" + std::to_string(++tools_));
        child->wait(std::chrono::seconds(10));
        return child->out();
    }

    std::vector<std::string> mqtt(const std::string& scheme, std::vector<std::string> more) {
        std::vector<std::string> options = {"--mqtt", scheme + std::to_string(port_), "--name", "plant1"};
        options.insert(options.end(), more.begin(), more.end());
        return options;
    }

    int port_ = freePort();
    int tools_ = 0;
    int brokers_ = 0;
};

TEST_F(Mqtt, TopicsAreRetainedEventsFollowAndTheLastWillMarksAKilledRunOffline) {
    const std::string passwords = dir.file("passwords");
    ASSERT_EQ(tool({MOSQUITTO_PASSWD, "-b", "-c", passwords, "zelk", "s3cret"}), 0);
    auto broker = startBroker("allow_anonymous false\npassword_file " + passwords + "\n");
    const std::vector<std::string> login = {"-u", "zelk", "-P", "s3cret"};
    const std::string secret = dir.file("secret");
    writeFile(secret, "s3cret\n");
    auto board = startBoard();
    auto run = startRun(mqtt("mqtt://127.0.0.1:", {"--mqtt-user", "zelk", "--mqtt-password-file", secret}));
    ASSERT_TRUE(eventually([&] { return contains(run->err(), "connected to 127.0.0.1"); })) << run->err();

    board->write("port0 0x7F\n"); // input 7 energized
    const std::string retained = subscribe("zelk/plant1/+", 5, login);
    EXPECT_TRUE(contains(retained, "zelk/plant1/status online\n")) << retained;
    EXPECT_TRUE(
        std::regex_search(retained, std::regex(R"(zelk/plant1/state \{"state":3,"stateName":"running")")))
        << retained;
    EXPECT_TRUE(eventually([&] {
        return contains(subscribe("zelk/plant1/inputs", 1, login), R"({"raw":127,"pins":[0,0,0,0,0,0,0,1]})");
    }));
    EXPECT_TRUE(contains(retained, R"(zelk/plant1/vars [{"n":0,"name":"経過秒数","value":)")) << retained;
    EXPECT_TRUE(contains(retained, R"(zelk/plant1/outputs {"raw":15,"pins":[0,0,0,0]})")) << retained;
    const std::string events = subscribe("zelk/plant1/events", 2, login);
    EXPECT_TRUE(std::regex_search(
        events,
        std::regex(R"(zelk/plant1/events \{"passageSec":\d+,"tick10ms":\d+,"text":"経過秒\\t\d+\\t)")))
        << events;

    // Without --mqtt-write the set topic is not even subscribed.
    ASSERT_EQ(tool({MOSQUITTO_PUB, "-p", std::to_string(port_), "-u", "zelk", "-P", "s3cret", "-t",
                    "zelk/plant1/set/output/3", "-m", "ON"}),
              0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(contains(board->out(), "port1 0x07")) << board->out();

    // A wrong password from the environment is refused by the broker; that run goes on without it.
    auto otherBoard = startBoard("other-boards");
    auto refused = startRun(mqtt("mqtt://127.0.0.1:", {"--mqtt-user", "zelk"}), "refused",
                            {"ZELK_MQTT_PASSWORD=wrong", "KALDEX_BOARD_DIR=" + dir.file("other-boards")});
    EXPECT_TRUE(eventually([&] { return contains(refused->err(), "refused"); })) << refused->err();

    run->signal(SIGKILL);
    EXPECT_TRUE(eventually([&] { return contains(subscribe("zelk/plant1/status", 1, login), "offline"); }))
        << "the broker publishes the last will";
}

TEST_F(Mqtt, OverTlsWithATestMadeAuthorityTheSetTopicDrivesAnOutputAndDiscoveryNamesIt) {
    const std::string ca = dir.file("ca.pem"), caKey = dir.file("ca.key");
    const std::string cert = dir.file("server.pem"), key = dir.file("server.key"),
                      csr = dir.file("server.csr");
    const std::string ext = dir.file("server.ext");
    writeFile(ext, "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    const std::vector<std::string> ecKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                            "-nodes"};
    auto request = [&](std::vector<std::string> args) {
        std::vector<std::string> all = {OPENSSL, "req"};
        all.insert(all.end(), ecKey.begin(), ecKey.end());
        all.insert(all.end(), args.begin(), args.end());
        return tool(all);
    };
    ASSERT_EQ(
        request({"-x509", "-keyout", caKey, "-out", ca, "-days", "2", "-subj", "/CN=zelk test authority"}),
        0);
    ASSERT_EQ(request({"-keyout", key, "-out", csr, "-subj", "/CN=localhost"}), 0);
    ASSERT_EQ(tool({OPENSSL, "x509", "-req", "-in", csr, "-CA", ca, "-CAkey", caKey, "-CAcreateserial",
                    "-out", cert, "-days", "2", "-extfile", ext}),
              0);
    auto broker =
        startBroker("allow_anonymous true\ncafile " + ca + "\ncertfile " + cert + "\nkeyfile " + key + "\n");
    auto board = startBoard();
    auto run = startRun(mqtt("mqtts://localhost:", {"--mqtt-cafile", ca, "--mqtt-write", "--ha-discovery"}));
    ASSERT_TRUE(eventually([&] { return contains(run->err(), "connected to localhost"); })) << run->err();
    const std::vector<std::string> tls = {"--cafile", ca, "-h", "localhost"};

    const std::string config = subscribe("homeassistant/switch/zelk_plant1/output3/config", 1, tls);
    EXPECT_TRUE(contains(config, R"("command_topic":"zelk/plant1/set/output/3")")) << config;
    EXPECT_TRUE(
        contains(subscribe("homeassistant/sensor/zelk_plant1/var1/config", 1, tls), R"("name":"押下回数")"));

    std::vector<std::string> publish = {
        MOSQUITTO_PUB, "-p", std::to_string(port_), "-t", "zelk/plant1/set/output/3", "-m", "ON"};
    publish.insert(publish.end(), tls.begin(), tls.end());
    ASSERT_EQ(tool(publish), 0);
    EXPECT_TRUE(eventually([&] { return contains(board->out(), "port1 0x07"); })) << board->out();
    EXPECT_TRUE(eventually(
        [&] { return contains(subscribe("zelk/plant1/outputs", 1, tls), R"("pins":[0,0,0,1])"); }));

    // A client that does not know the authority is refused by its own check and keeps trying.
    auto otherBoard = startBoard("other-boards");
    auto unknown = startRun(mqtt("mqtts://localhost:", {"--name", "plant2"}), "unknown",
                            {"KALDEX_BOARD_DIR=" + dir.file("other-boards")});
    EXPECT_TRUE(eventually([&] { return contains(unknown->err(), "next try in"); })) << unknown->err();
    EXPECT_FALSE(unknown->ended());
}

TEST_F(Mqtt, ABrokerAwayForTenSecondsIsRejoinedTheRetainedTopicsRestoredAndOverflowingEventsCounted) {
    auto broker = startBroker("allow_anonymous true\n");
    auto board = startBoard();
    auto run = startRun(mqtt("mqtt://127.0.0.1:", {"--mqtt-queue", "2"}));
    ASSERT_TRUE(eventually([&] { return contains(run->err(), "connected to"); })) << run->err();

    broker->signal(SIGTERM);
    ASSERT_TRUE(broker->wait().has_value());
    EXPECT_TRUE(eventually([&] { return contains(run->err(), "next try in"); })) << run->err();
    std::this_thread::sleep_for(std::chrono::seconds(10)); // the sample logs a row each second meanwhile
    broker = startBroker("allow_anonymous true\n");

    EXPECT_TRUE(eventually([&] { return contains(run->err(), "events dropped while the broker was away"); },
                           std::chrono::seconds(40)))
        << run->err();
    const std::string retained = subscribe("zelk/plant1/+", 5);
    EXPECT_TRUE(contains(retained, "zelk/plant1/status online")) << retained;
    std::smatch dropped;
    ASSERT_TRUE(std::regex_search(retained, dropped, std::regex(R"("eventsDropped":(\d+))"))) << retained;
    EXPECT_GE(std::stoi(dropped[1]), 5) << "about ten rows, two kept";
    EXPECT_FALSE(run->ended());
    run->signal(SIGTERM);
    EXPECT_EQ(run->wait(), 0);
    EXPECT_TRUE(contains(subscribe("zelk/plant1/status", 1), "offline")) << "a stopped run says so itself";
}

} // namespace
} // namespace zelk::test

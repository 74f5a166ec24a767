// The MQTT client of zelkctl run against the real broker, mosquitto, which each test starts on a port of
// its own with a configuration it writes; what zelkctl publishes is read with mosquitto_sub.
#include "cli/plant/tests/plant_fixture.h"
#include "testing/free_port.h"
#include "testing/test_files.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

namespace zelk::test {
namespace {

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
    // within seconds.
    std::string subscribe(const std::string& topic, int count, std::vector<std::string> options = {},
                          int seconds = 5) {
        std::vector<std::string> args = {
            MOSQUITTO_SUB, "-p", std::to_string(port_), "-t", topic,
            "-v",          "-C", std::to_string(count), "-W", std::to_string(seconds)};
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

    // An authority of the test's own (its certificate in ca_) and the broker's key and certificate for
    // localhost, signed by it; tlsListener() names them to the broker.
    bool makeAuthorityAndServer() {
        return request({"-x509", "-keyout", caKey_, "-out", ca_, "-days", "2", "-subj",
                        "/CN=zelk test authority"}) &&
               certify("server", "localhost", "subjectAltName=DNS:localhost,IP:127.0.0.1");
    }
    std::string tlsListener() const {
        return "cafile " + ca_ + "\ncertfile " + dir.file("server.pem") + "\nkeyfile " +
               dir.file("server.key") + "\n";
    }
    // NAME.key and NAME.pem, a certificate for the common name cn with the extensions (openssl's
    // "name=value" lines), signed by the authority.
    bool certify(const std::string& name, const std::string& cn, const std::string& extensions) {
        const std::string csr = dir.file(name + ".csr"), ext = dir.file(name + ".ext");
        writeFile(ext, extensions + "\n");
        return request({"-keyout", dir.file(name + ".key"), "-out", csr, "-subj", "/CN=" + cn}) &&
               tool({OPENSSL, "x509", "-req", "-in", csr, "-CA", ca_, "-CAkey", caKey_, "-CAcreateserial",
                     "-out", dir.file(name + ".pem"), "-days", "2", "-extfile", ext}) == 0;
    }

    int port_ = freePort();
    const std::string ca_ = dir.file("ca.pem");
    const std::string caKey_ = dir.file("ca.key");
    int tools_ = 0;
    int brokers_ = 0;

private:
    // openssl req making a new P-256 key without a pass phrase, with these arguments.
    bool request(std::vector<std::string> args) {
        std::vector<std::string> all = {
            OPENSSL, "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
        all.insert(all.end(), args.begin(), args.end());
        return tool(all) == 0;
    }
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

TEST_F(Mqtt, InputsChangingEveryTenMillisecondsArePublishedAtMostTenTimesASecondAndTheLastValueStays) {
    auto broker = startBroker("allow_anonymous true\n");
    auto board = startBoard();
    auto run = startRun(mqtt("mqtt://127.0.0.1:", {}));
    ASSERT_TRUE(eventually([&] { return contains(run->err(), "connected to"); })) << run->err();

    // The inputs take a new value every 10 ms for 1.2 s (64, 65 ... 183), then stay at 63 (inputs 6 and 7
    // energized); the subscriber counts for 2 s.
    std::jthread driver([&] {
        for (int value = 64; value < 184; ++value) {
            board->write("port0 " + std::to_string(value) + "\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        board->write("port0 63\n");
    });
    const auto begin = std::chrono::steady_clock::now();
    const std::string received = subscribe("zelk/plant1/inputs", 1000, {}, 2);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    driver.join();

    const auto messages = static_cast<double>(std::count(received.begin(), received.end(), '\n'));
    EXPECT_LE(messages, 10 * seconds + 1) << "in " << seconds << " s:\n" << received;
    EXPECT_GE(messages, 3 * seconds) << "the changes are published, not held back:\n" << received;
    EXPECT_TRUE(contains(subscribe("zelk/plant1/inputs", 1), R"({"raw":63,"pins":[0,0,0,0,0,0,1,1]})"))
        << "the last value is retained";
}

TEST_F(Mqtt, OverTlsWithATestMadeAuthorityTheSetTopicDrivesAnOutputAndDiscoveryNamesIt) {
    ASSERT_TRUE(makeAuthorityAndServer());
    auto broker = startBroker("allow_anonymous true\n" + tlsListener());
    auto board = startBoard();
    auto run = startRun(mqtt("mqtts://localhost:", {"--mqtt-cafile", ca_, "--mqtt-write", "--ha-discovery"}));
    ASSERT_TRUE(eventually([&] { return contains(run->err(), "connected to localhost"); })) << run->err();
    const std::vector<std::string> tls = {"--cafile", ca_, "-h", "localhost"};

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

TEST_F(Mqtt, ABrokerRequiringAClientCertificateTakesARunThatHasOneAndOneWithoutGoesOnUnconnected) {
    ASSERT_TRUE(makeAuthorityAndServer());
    ASSERT_TRUE(certify("client", "plant1", "extendedKeyUsage=clientAuth"));
    auto broker = startBroker("allow_anonymous true\nrequire_certificate true\n" + tlsListener());
    const std::string cert = dir.file("client.pem"), key = dir.file("client.key");
    auto board = startBoard();
    auto run =
        startRun(mqtt("mqtts://localhost:", {"--mqtt-cafile", ca_, "--mqtt-cert", cert, "--mqtt-key", key}));
    ASSERT_TRUE(eventually([&] { return contains(run->err(), "connected to localhost"); })) << run->err();
    const std::vector<std::string> tls = {"--cafile", ca_, "-h", "localhost", "--cert", cert, "--key", key};
    EXPECT_EQ(subscribe("zelk/plant1/status", 1, tls), "zelk/plant1/status online\n");
    EXPECT_TRUE(contains(subscribe("zelk/plant1/inputs", 1, tls), R"("raw":255)"));

    auto otherBoard = startBoard("other-boards");
    auto without = startRun(mqtt("mqtts://localhost:", {"--mqtt-cafile", ca_, "--name", "plant2"}), "without",
                            {"KALDEX_BOARD_DIR=" + dir.file("other-boards")});
    EXPECT_TRUE(eventually([&] { return contains(without->err(), "next try in"); })) << without->err();
    const std::size_t logged = without->out().size();
    EXPECT_TRUE(eventually([&] { return without->out().size() > logged; })) << "the run still logs";
    EXPECT_FALSE(without->ended());
    EXPECT_FALSE(contains(without->err(), "connected to")) << without->err();
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

TEST_F(Mqtt, RefusedCommandsAreShownEscapedAndCutAndARetainedOneIsNamedAsSuch) {
    auto broker = startBroker("allow_anonymous true\n");
    const auto send = [&](const std::string& topic, const std::string& payload, bool retain = false) {
        std::vector<std::string> args = {MOSQUITTO_PUB, "-p",   std::to_string(port_), "-t", topic,
                                         "-m",          payload};
        if (retain) args.push_back("-r");
        return tool(args);
    };
    // A command left retained at the broker is not taken when the run connects, and the log says why.
    ASSERT_EQ(send("zelk/plant1/set/output/3", "ON", true), 0);
    auto board = startBoard();
    auto run = startRun(mqtt("mqtt://127.0.0.1:", {"--mqtt-write"}));
    ASSERT_TRUE(eventually([&] { return contains(run->err(), "connected to"); })) << run->err();
    EXPECT_TRUE(eventually([&] {
        return contains(run->err(), "ignored the retained zelk/plant1/set/output/3");
    })) << run->err();

    // A payload that would forge a line of the log and move the cursor, and a long one.
    ASSERT_EQ(send("zelk/plant1/set/output/0", "ON\nzelkctl: MQTT: connected to evil\x1b[2J"), 0);
    ASSERT_EQ(send("zelk/plant1/set/output/1", std::string(5000, 'x')), 0);
    EXPECT_TRUE(eventually([&] { return contains(run->err(), "(5000 bytes)"); })) << run->err();
    const std::string err = run->err();
    EXPECT_TRUE(contains(err, R"(zelk/plant1/set/output/0 "ON\x0Azelkctl: MQTT: connected to evil\x1B[2J")"))
        << err;
    EXPECT_FALSE(contains(err, "\x1b")) << err;
    EXPECT_FALSE(contains(err, "\nzelkctl: MQTT: connected to evil")) << err;
    EXPECT_LT(err.size(), 1000u) << "a long payload is cut";
    EXPECT_EQ(board->out(), "port1 0x0F\n") << "no output changed";
}

TEST_F(Mqtt, AQueueOfNoEventsStillPublishesEveryEventWhileTheBrokerIsUp) {
    auto broker = startBroker("allow_anonymous true\n");
    auto board = startBoard();
    auto run = startRun(mqtt("mqtt://127.0.0.1:", {"--mqtt-queue", "0"}));
    ASSERT_TRUE(eventually([&] { return contains(run->err(), "connected to"); })) << run->err();

    // The sample logs a row each second.
    const std::string events = subscribe("zelk/plant1/events", 2, {}, 5);
    EXPECT_EQ(std::count(events.begin(), events.end(), '\n'), 2) << events;
    const std::string state = subscribe("zelk/plant1/state", 1);
    EXPECT_TRUE(contains(state, R"("eventsDropped":0)")) << state;
}

TEST_F(Mqtt, TlsFilesNamedRelativeToTheStartingFolderAreFoundAndAMissingOneIsNamed) {
    ASSERT_TRUE(makeAuthorityAndServer());
    auto broker = startBroker("allow_anonymous true\n" + tlsListener());
    auto board = startBoard();
    // The run enters its work folder; ca.pem is in the folder it was started in.
    auto run = startRun(mqtt("mqtts://localhost:", {"--mqtt-cafile", "ca.pem"}), "run", {}, dir.path());
    EXPECT_TRUE(eventually([&] { return contains(run->err(), "connected to localhost"); })) << run->err();

    auto missing = start({ZELKCTL, "run", "--dir", work().string(), "--mqtt", "mqtts://localhost:1",
                          "--mqtt-cert", "client.pem", "--mqtt-key", "client.key", "--name", "plant2"},
                         "missing", {}, dir.path());
    EXPECT_EQ(missing->wait(), 2);
    EXPECT_TRUE(contains(missing->err(), "cannot read the certificate file " + dir.file("client.pem") +
                                             ": No such file or directory"))
        << missing->err();
}

TEST_F(Mqtt, ABrokerCertificateTheAuthorityFileDoesNotVouchForIsRefusedWithTheReason) {
    ASSERT_TRUE(makeAuthorityAndServer());
    auto broker = startBroker("allow_anonymous true\n" + tlsListener());
    auto board = startBoard();
    // The broker's own certificate in place of its authority: readable, but it vouches for nothing.
    auto run = startRun(mqtt("mqtts://localhost:", {"--mqtt-cafile", dir.file("server.pem")}));
    EXPECT_TRUE(eventually([&] { return contains(run->err(), "next try in"); })) << run->err();
    EXPECT_TRUE(contains(run->err(), "certificate verify failed")) << run->err();
}

TEST_F(Mqtt, ANameWithADotIsDiscoveredUnderANodeIdHomeAssistantAccepts) {
    auto broker = startBroker("allow_anonymous true\n");
    auto board = startBoard();
    auto run = startRun(
        {"--mqtt", "mqtt://127.0.0.1:" + std::to_string(port_), "--name", "line1.plant", "--ha-discovery"});
    ASSERT_TRUE(eventually([&] { return contains(run->err(), "connected to"); })) << run->err();
    const std::string config = subscribe("homeassistant/binary_sensor/+/input0/config", 1);
    EXPECT_TRUE(contains(config, "homeassistant/binary_sensor/zelk_line1_plant/input0/config ")) << config;
    EXPECT_TRUE(contains(config, R"("state_topic":"zelk/line1.plant/inputs")")) << config;
}

TEST_F(Mqtt, ARunThatEndsWithItsBoardLeavesTheBrokerCleanlyWithoutItsLastWill) {
    auto broker = startBroker("allow_anonymous true\n");
    auto board = startBoard();
    auto run = startRun(mqtt("mqtt://127.0.0.1:", {"--mqtt-write", "--modbus", "0"}));
    ASSERT_TRUE(eventually([&] { return contains(run->err(), "connected to"); })) << run->err();
    auto status =
        start({MOSQUITTO_SUB, "-p", std::to_string(port_), "-t", "zelk/plant1/status", "-W", "4"}, "status");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    // The last state, the event that ended the run and offline go out together as the run ends.
    board->signal(SIGTERM);
    EXPECT_EQ(run->wait(), 4);
    status->wait(std::chrono::seconds(10));
    EXPECT_EQ(status->out(), "online\noffline\n") << "offline once: the run's own, no last will";
    EXPECT_TRUE(contains(broker->err(), "Client zelk-plant1 disconnected.\n")) << broker->err();
    EXPECT_TRUE(contains(subscribe("zelk/plant1/state", 1), R"("stateName":"closed")"));
}

} // namespace
} // namespace zelk::test

// The Modbus TCP server of zelkctl run, read and written by libmodbus's own client while kaldex-sim plays
// the board.
#include "cli/plant/modbus_server.h"
#include "cli/plant/tests/plant_fixture.h"

#include <modbus/modbus.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace zelk::test {
namespace {

struct Client {
    explicit Client(int port, const char* address = "127.0.0.1")
        : context(modbus_new_tcp_pi(address, std::to_string(port).c_str())) {
        connected = context != nullptr && modbus_connect(context) == 0;
        if (context != nullptr) modbus_set_response_timeout(context, 2, 0);
    }
    ~Client() {
        if (context == nullptr) return;
        modbus_close(context);
        modbus_free(context);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    std::vector<std::uint8_t> inputs(int first, int count) {
        std::vector<std::uint8_t> bits(static_cast<std::size_t>(count));
        return modbus_read_input_bits(context, first, count, bits.data()) == count
                   ? bits
                   : std::vector<std::uint8_t>{};
    }
    std::vector<std::uint8_t> coils() {
        std::vector<std::uint8_t> bits(4);
        return modbus_read_bits(context, 0, 4, bits.data()) == 4 ? bits : std::vector<std::uint8_t>{};
    }
    std::vector<std::uint16_t> registers(int first, int count) {
        std::vector<std::uint16_t> values(static_cast<std::size_t>(count));
        return modbus_read_input_registers(context, first, count, values.data()) == count
                   ? values
                   : std::vector<std::uint16_t>{};
    }
    // The errno of each request that fails, 0 when it succeeds.
    int readInputsError(int first, int count) {
        std::uint8_t bits[16];
        return failure(modbus_read_input_bits(context, first, count, bits));
    }
    int readCoilsError(int first, int count) {
        std::uint8_t bits[16];
        return failure(modbus_read_bits(context, first, count, bits));
    }
    int readRegistersError(int first, int count) {
        std::uint16_t values[8];
        return failure(modbus_read_input_registers(context, first, count, values));
    }
    int readHoldingError() {
        std::uint16_t value;
        return failure(modbus_read_registers(context, 0, 1, &value));
    }
    int writeCoilError(int address, int value) { return failure(modbus_write_bit(context, address, value)); }
    int writeCoilsError(int first, std::vector<std::uint8_t> values) {
        return failure(modbus_write_bits(context, first, static_cast<int>(values.size()), values.data()));
    }
    int writeRegisterError(int address) { return failure(modbus_write_register(context, address, 5)); }
    std::int32_t variable(int n) {
        const std::vector<std::uint16_t> words = registers(100 + 2 * n, 2);
        return words.size() == 2 ? static_cast<std::int32_t>(words[0] << 16 | words[1]) : -1;
    }

    modbus_t* context;
    bool connected = false;

private:
    static int failure(int result) { return result < 0 ? errno : 0; }
};

// A raw TCP connection, for frames no client library sends.
struct RawConnection {
    explicit RawConnection(int port) : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        timeval limit{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~RawConnection() { ::close(fd); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    // True when the server closed the connection after the bytes, without an answer.
    bool closedAfter(const std::vector<std::uint8_t>& bytes) const {
        (void)!::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        std::uint8_t answer[300];
        return ::recv(fd, answer, sizeof answer, 0) == 0;
    }

    int fd;
    bool connected = false;
};

// True when a socket can be bound to ::1.
bool hasIpv6Loopback() {
    const int fd = ::socket(AF_INET6, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

class Modbus : public PlantRun {};

TEST_F(Modbus, ClientsReadTheMapAndWritesAreRefusedUnlessAllowed) {
    auto board = startBoard();
    auto run = startRun({"--modbus", "0"});
    const int port = modbusPort(*run);
    ASSERT_GT(port, 0) << run->err();
    EXPECT_TRUE(contains(run->err(), "(read-only)")) << run->err();
    Client client(port);
    ASSERT_TRUE(client.connected);

    EXPECT_EQ(client.inputs(0, 8), std::vector<std::uint8_t>(8, 0));
    board->write("port0 0x7E\n"); // pins 0 and 7 energized
    ASSERT_TRUE(
        eventually([&] { return client.inputs(0, 8) == std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0, 0, 1}; }));
    const std::vector<std::uint16_t> status = client.registers(0, 6);
    ASSERT_EQ(status.size(), 6u);
    EXPECT_EQ(status[0], 3) << "running";
    EXPECT_EQ(status[1], 0x7E);
    const std::vector<std::uint8_t> coils = client.coils();
    ASSERT_EQ(coils.size(), 4u);
    int energized = 0;
    for (int pin = 0; pin < 4; ++pin)
        energized |= coils[static_cast<std::size_t>(pin)] << pin;
    EXPECT_EQ(status[2], ~energized & 0x0F) << "the raw port-1 byte is 0 for an energized pin";
    // Pressing input 0 counts in variable 01; variable 00 counts seconds, as the seconds counter does.
    EXPECT_TRUE(eventually([&] { return client.variable(1) == 1; })) << client.variable(1);
    EXPECT_TRUE(eventually([&] { return client.variable(0) >= 2; }));
    const std::vector<std::uint16_t> seconds = client.registers(3, 2);
    ASSERT_EQ(seconds.size(), 2u);
    EXPECT_EQ(seconds[0], 0) << "high word first";
    EXPECT_GE(seconds[1], 1);
    EXPECT_EQ(client.registers(100, 125).size(), 125u);
    EXPECT_EQ(client.registers(225, 3).size(), 3u);

    // Outside the map: exception 02, the gap between the status and the variables included.
    EXPECT_EQ(client.readInputsError(0, 9), EMBXILADD);
    EXPECT_EQ(client.readCoilsError(4, 1), EMBXILADD);
    EXPECT_EQ(client.readRegistersError(5, 2), EMBXILADD);
    EXPECT_EQ(client.readRegistersError(228, 1), EMBXILADD);
    // Writes, and functions the map has no use for: exception 01.
    EXPECT_EQ(client.writeCoilError(3, 1), EMBXILFUN);
    EXPECT_EQ(client.writeRegisterError(100), EMBXILFUN);
    EXPECT_EQ(client.readHoldingError(), EMBXILFUN);
    EXPECT_EQ(client.coils()[3], 0) << "the refused write changed nothing";

    // A second run cannot have the port: it says so and takes no board.
    auto second =
        start({ZELKCTL, "run", "--dir", work().string(), "--modbus", std::to_string(port)}, "second");
    EXPECT_EQ(second->wait(), 2);
    EXPECT_TRUE(contains(second->err(), "no run started: cannot serve Modbus TCP on 127.0.0.1:"))
        << second->err();
    EXPECT_TRUE(contains(second->err(), "Address already in use")) << second->err();

    // An address that names no host says so, not a refused connection.
    auto nowhere =
        start({ZELKCTL, "run", "--dir", work().string(), "--modbus", "nosuchhost.invalid:1502"}, "nowhere");
    EXPECT_EQ(nowhere->wait(), 2);
    EXPECT_TRUE(contains(nowhere->err(), "nosuchhost.invalid:1502: the address cannot be looked up"))
        << nowhere->err();
}

// A run that does not take a coil write (it is closing, or its cycle stalls) answers server device failure,
// so a client never takes the coil for set.
TEST(ModbusServerAlone, ACoilWriteTheRunDoesNotCarryOutIsAServerDeviceFailure) {
    struct RefusingRun : plant::RunAccess {
        void read(plant::RunPicture& picture) const override { picture = {}; }
        bool setOutputs(plant::OutputChange) override { return false; }
    } run;
    plant::ModbusServer server(run);
    std::string error;
    ASSERT_TRUE(server.listen({"127.0.0.1", "0", true}, error)) << error;
    server.start();
    Client client(std::stoi(server.where().substr(server.where().rfind(':') + 1)));
    ASSERT_TRUE(client.connected);
    EXPECT_EQ(client.writeCoilError(1, 1), EMBXSFAIL);
    EXPECT_EQ(client.writeCoilsError(0, {1, 0}), EMBXSFAIL);
    EXPECT_EQ(client.coils().size(), 4u) << "reads go on";
}

TEST_F(Modbus, WithWritesACoilSetsItsOutputAndThePresentValueChangesNothing) {
    auto board = startBoard();
    auto run = startRun({"--modbus", "127.0.0.1:0", "--modbus-write"});
    Client client(modbusPort(*run));
    ASSERT_TRUE(client.connected) << run->err();

    ASSERT_EQ(client.writeCoilError(3, 1), 0);
    EXPECT_EQ(client.coils(), (std::vector<std::uint8_t>{0, 0, 0, 1})) << "set before the answer";
    EXPECT_TRUE(eventually([&] { return contains(board->out(), "port1 0x07"); })) << board->out();
    ASSERT_EQ(client.writeCoilError(3, 1), 0);
    EXPECT_EQ(client.coils()[3], 1) << "writing the present value inverts nothing";

    ASSERT_EQ(client.writeCoilsError(2, {1, 0}), 0);
    EXPECT_EQ(client.coils(), (std::vector<std::uint8_t>{0, 0, 1, 0}));
    EXPECT_EQ(client.writeCoilsError(3, {1, 0}), EMBXILADD);
    EXPECT_EQ(client.writeRegisterError(101), EMBXILFUN) << "variables are never written";
}

TEST_F(Modbus, OnTheIpv6LoopbackAClientThereReadsTheMap) {
    if (!hasIpv6Loopback()) GTEST_SKIP() << "this machine has no IPv6 loopback (::1)";
    auto board = startBoard();
    auto run = startRun({"--modbus", "[::1]:0"});
    ASSERT_TRUE(contains(run->err(), "Modbus TCP on [::1]:")) << run->err();
    Client client(modbusPort(*run), "::1");
    ASSERT_TRUE(client.connected) << run->err();
    EXPECT_EQ(client.registers(0, 1), std::vector<std::uint16_t>{3}) << "running";
}

TEST_F(Modbus, AnAddressSpelledWithoutItsBracketsOrWithStrayOnesIsABadCommandLine) {
    for (const char* endpoint : {"[::1", "::1:502", "[::1]]:502", "[x:502"}) {
        auto run = start({ZELKCTL, "run", "--dir", work().string(), "--modbus", endpoint}, "bad");
        EXPECT_EQ(run->wait(), 64) << endpoint;
        EXPECT_TRUE(contains(run->err(), "zelkctl run: --modbus needs [ADDR:]PORT")) << run->err();
        EXPECT_TRUE(contains(run->err(), "an IPv6 ADDR in brackets")) << run->err();
    }
}

TEST_F(Modbus, MalformedFramesAndANinthClientAreRefusedAndTheRunGoesOn) {
    auto board = startBoard();
    auto run = startRun({"--modbus", "0"});
    const int port = modbusPort(*run);
    ASSERT_GT(port, 0) << run->err();

    const std::vector<std::vector<std::uint8_t>> refused = {
        {0, 1, 0, 1, 0, 6, 1, 4, 0, 0, 0, 1},          // protocol 1
        {0, 1, 0, 0, 0, 3, 1, 4, 0, 0, 0, 1},          // a header shorter than the request
        {0, 1, 0, 0, 0x01, 0x2C, 1, 0x10, 0, 0, 0, 1}, // 300 bytes promised: beyond any frame
        {0, 1, 0, 0, 0, 8, 1, 0x0F, 0, 0, 0, 1, 5, 1}, // a coil write whose byte count overruns it
    };
    for (const auto& frame : refused) {
        RawConnection connection(port);
        ASSERT_TRUE(connection.connected);
        EXPECT_TRUE(connection.closedAfter(frame)) << "frame of " << frame.size() << " bytes";
    }
    // A function outside the map with data of its own is read whole and refused with exception 01.
    RawConnection diagnostics(port);
    const std::vector<std::uint8_t> echo = {0, 7, 0, 0, 0, 6, 1, 0x08, 0, 0, 0x12, 0x34};
    ASSERT_EQ(::send(diagnostics.fd, echo.data(), echo.size(), 0), 12);
    std::uint8_t answer[16] = {};
    ASSERT_EQ(::recv(diagnostics.fd, answer, sizeof answer, 0), 9);
    EXPECT_EQ(answer[7], 0x88);
    EXPECT_EQ(answer[8], 0x01);

    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 7; ++i) // the raw connection above is the eighth
        clients.push_back(std::make_unique<Client>(port));
    for (auto& client : clients)
        ASSERT_EQ(client->registers(0, 1).size(), 1u);
    Client ninth(port);
    EXPECT_TRUE(ninth.registers(0, 1).empty()) << "a ninth client is closed on accept";
    clients.pop_back();
    EXPECT_TRUE(eventually([&] {
        Client again(port);
        return again.registers(0, 1).size() == 1;
    })) << "a freed place is taken again";

    const std::size_t before = run->out().size();
    EXPECT_TRUE(eventually([&] { return run->out().size() > before; })) << "the run still logs";
    run->signal(SIGTERM);
    EXPECT_EQ(run->wait(), 0) << run->err();
}

} // namespace
} // namespace zelk::test

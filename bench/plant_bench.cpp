// The control cycle of `zelkctl run` with its servers at work against the same run without them, in one
// run of the benchmark: phases without and with the servers take turns. With them, 8 Modbus TCP clients each
// poll the whole map (inputs, coils, status and variable registers) 100 times a second, and the run
// publishes to a mosquitto broker that the benchmark starts, every change of the inputs, which it toggles
// in both kinds of phase. The board, in this process, stamps the arrival of each cycle's read request;
// zelkctl's CPU time comes from /proc.
// Usage: plant_bench [seconds per phase, default 20] [rounds, default 2]
#include "testing/free_port.h"
#include "virtual_board/board_server.h"

#include <modbus/modbus.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Child {
    pid_t pid = -1;
    Child(std::vector<std::string> args, const std::string& err, const std::string& boardDir) {
        std::vector<std::string> env = {"KALDEX_BOARD_DIR=" + boardDir};
        for (char** e = environ; *e != nullptr; ++e)
            env.emplace_back(*e);
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid <= 0) return;
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // User and system CPU time so far, in seconds.
    double cpuSeconds() const {
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(in, line);
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
        if (f.size() < 13) return 0;
        return (std::stod(f[11]) + std::stod(f[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<double> deviationsUs(const std::vector<Clock::time_point>& times) {
    std::vector<double> out;
    for (std::size_t i = 1; i < times.size(); ++i)
        out.push_back(
            std::fabs(std::chrono::duration<double, std::micro>(times[i] - times[i - 1]).count() - 10'000));
    return out;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

// One Modbus client polling the whole map every 10 ms until stop.
void poll(int port, const std::atomic<bool>& stop, std::atomic<long>& requests, std::atomic<long>& failures) {
    modbus_t* context = modbus_new_tcp("127.0.0.1", port);
    if (context == nullptr || modbus_connect(context) != 0) {
        ++failures;
        if (context != nullptr) modbus_free(context);
        return;
    }
    std::uint8_t bits[8];
    std::uint16_t registers[125];
    auto next = Clock::now();
    while (!stop.load()) {
        const bool ok = modbus_read_input_bits(context, 0, 8, bits) == 8 &&
                        modbus_read_bits(context, 0, 4, bits) == 4 &&
                        modbus_read_input_registers(context, 0, 6, registers) == 6 &&
                        modbus_read_input_registers(context, 100, 125, registers) == 125 &&
                        modbus_read_input_registers(context, 225, 3, registers) == 3;
        requests += 5;
        if (!ok) ++failures;
        next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(next);
    }
    modbus_close(context);
    modbus_free(context);
}

struct Phase {
    bool plant = false;
    std::vector<double> deviations;
    double cpuPercent = 0;
    long requests = 0;
    long failures = 0;
};

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    const fs::path dir = fs::temp_directory_path() / ("zelk-plant-bench-" + std::to_string(getpid()));
    fs::create_directories(dir / "work");
    fs::copy_file(ZELK_SAMPLES_DIR "/LogicCtl.ini", dir / "work" / "LogicCtl.ini");
    const std::string boards = (dir / "boards").string();

    zelk::vboard::BoardModel board({.readRequestLogCapacity = static_cast<std::size_t>(seconds) * 100 + 500});
    zelk::vboard::BoardServer server(board, {boards, "bench", true});
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "board: %s\n", error.c_str());
        return 1;
    }
    const int brokerPort = zelk::test::freePort();
    std::ofstream(dir / "mosquitto.conf")
        << "persistence false\nallow_anonymous true\nlistener " << brokerPort << " 127.0.0.1\n";
    const bool haveBroker = fs::exists(MOSQUITTO);
    std::unique_ptr<Child> broker, subscriber;
    if (haveBroker) {
        broker = std::make_unique<Child>(
            std::vector<std::string>{MOSQUITTO, "-c", (dir / "mosquitto.conf").string()},
            (dir / "broker.err").string(), boards);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        subscriber = std::make_unique<Child>(
            std::vector<std::string>{MOSQUITTO_SUB, "-p", std::to_string(brokerPort), "-t", "zelk/#"},
            (dir / "sub.err").string(), boards);
    }

    // The inputs change in every phase, so the engine works alike and MQTT has changes to publish.
    std::atomic<bool> stopInputs{false};
    std::thread inputs([&] {
        std::uint8_t value = 0;
        while (!stopInputs.load()) {
            board.setPort0Input(static_cast<std::uint8_t>(~(++value)));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });

    std::vector<Phase> phases;
    for (int round = 0; round < rounds; ++round)
        for (const bool plant : {false, true}) {
            Phase phase;
            phase.plant = plant;
            std::vector<std::string> args = {ZELKCTL, "run", "--dir", (dir / "work").string()};
            if (plant) {
                args.insert(args.end(), {"--modbus", "0", "--name", "bench"});
                if (haveBroker)
                    args.insert(args.end(), {"--mqtt", "mqtt://127.0.0.1:" + std::to_string(brokerPort)});
            }
            const fs::path err = dir / "run.err";
            const std::uint64_t connections = server.connectionCount();
            Child run(args, err.string(), boards);
            for (int i = 0; i < 500 && server.connectionCount() == connections; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            int port = -1;
            if (plant) {
                std::smatch match;
                for (int i = 0; i < 500 && port < 0; ++i) {
                    const std::string text = readFile(err);
                    if (std::regex_search(text, match, std::regex(R"(Modbus TCP on 127\.0\.0\.1:(\d+))")))
                        port = std::stoi(match[1]);
                    else
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
            }
            std::atomic<bool> stopClients{false};
            std::atomic<long> requests{0}, failures{0};
            std::vector<std::thread> clients;
            for (int i = 0; plant && i < 8; ++i)
                clients.emplace_back(poll, port, std::cref(stopClients), std::ref(requests),
                                     std::ref(failures));
            std::this_thread::sleep_for(std::chrono::seconds(1)); // settled
            board.clearRecord();
            const double cpuStart = run.cpuSeconds();
            const auto wallStart = Clock::now();
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
            const auto times = board.readRequestTimes();
            const double cpu = run.cpuSeconds() - cpuStart;
            const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
            stopClients = true;
            for (auto& client : clients)
                client.join();
            phase.deviations = deviationsUs(times);
            phase.cpuPercent = 100 * cpu / wall;
            phase.requests = requests.load();
            phase.failures = failures.load();
            std::printf(
                "%-14s periods %5zu  |period-10ms| p50 %7.1f us  p99 %7.1f us  max %8.1f us  zelkctl CPU "
                "%5.2f %%  Modbus requests %ld (failed polls %ld)\n",
                plant ? "with servers" : "without", phase.deviations.size(),
                percentile(phase.deviations, 0.5), percentile(phase.deviations, 0.99),
                phase.deviations.empty()
                    ? 0.0
                    : *std::max_element(phase.deviations.begin(), phase.deviations.end()),
                phase.cpuPercent, phase.requests, phase.failures);
            std::fflush(stdout);
            phases.push_back(std::move(phase));
        }
    stopInputs = true;
    inputs.join();
    subscriber.reset();
    broker.reset();
    server.stop();
    fs::remove_all(dir);

    std::vector<double> without, with;
    double cpuWithout = 0, cpuWith = 0;
    for (const Phase& phase : phases) {
        auto& into = phase.plant ? with : without;
        into.insert(into.end(), phase.deviations.begin(), phase.deviations.end());
        (phase.plant ? cpuWith : cpuWithout) += phase.cpuPercent / rounds;
    }
    const double p99Without = percentile(without, 0.99), p99With = percentile(with, 0.99);
    std::printf(
        "\n%d rounds of %d s%s: p99 |period-10ms| without %.1f us, with %.1f us: ratio %.3f (goal <= 1.1)\n",
        rounds, seconds, haveBroker ? "" : " (no mosquitto: Modbus only)", p99Without, p99With,
        p99Without > 0 ? p99With / p99Without : 0.0);
    std::printf("zelkctl CPU without %.2f %%, with %.2f %% of a core: added %.2f %% (goal <= 5 %%)\n",
                cpuWithout, cpuWith, cpuWith - cpuWithout);
    return 0;
}

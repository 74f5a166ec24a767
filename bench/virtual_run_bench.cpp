// One simulated hour (360,000 cycles) of a full 128-line block in virtual time: the script presses and
// releases an input every 50 ms and checks the outputs now and then.
#include "cli/virtual_test/script.h"
#include "cli/virtual_test/virtual_run.h"
#include "mixed_block.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

std::string hourScript() {
    std::string text = "run 1h\n";
    for (long t = 0; t < 3'600'000; t += 100)
        text += std::to_string(t) + " press 0\n" + std::to_string(t + 50) + " release 0\n";
    for (long t = 0; t < 3'600'000; t += 60'000)
        text += std::to_string(t) + ".." + std::to_string(t + 1000) + " expect port1 <> 0xFF\n";
    return text;
}

void BM_VirtualHour(benchmark::State& state) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("zelk-vhour-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "LogicCtl.ini") << "";
    zelk::vtest::ScriptError error;
    auto script = zelk::vtest::parseScript(hourScript(), error);
    if (!script) {
        state.SkipWithError(error.message.c_str());
        return;
    }
    for (auto _ : state) {
        zelk::vtest::VirtualRun run((dir / "LogicCtl.ini").string());
        std::string message;
        if (!run.open(message)) {
            state.SkipWithError(message.c_str());
            break;
        }
        zelk::test::fillMixedBlock(run.program());
        benchmark::DoNotOptimize(run.run(*script));
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_VirtualHour)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();

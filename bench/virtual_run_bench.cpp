// One simulated hour (360,000 cycles) of a full 128-line block in virtual time, as `zelkctl test` runs it:
// the script presses and releases an input every 50 ms and holds 363 expectations (one every 10 s, and three
// windows). Once without outputs, and once with the trace and the timing diagram built as --trace and --svg
// build them.
#include "cli/virtual_test/script.h"
#include "cli/virtual_test/timing_svg.h"
#include "cli/virtual_test/trace_csv.h"
#include "cli/virtual_test/virtual_run.h"
#include "mixed_block.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

constexpr long kHourMs = 3'600'000;

std::string hourScript() {
    std::string text = "run 1h\n";
    for (long t = 0; t < kHourMs; t += 100)
        text += std::to_string(t) + " press 0\n" + std::to_string(t + 50) + " release 0\n";
    for (long t = 0; t < kHourMs; t += 10'000)
        text += std::to_string(t) + " expect port1 <> 0xFF\n";
    for (long t = 0; t < kHourMs; t += kHourMs / 3)
        text += std::to_string(t) + ".." + std::to_string(t + kHourMs / 3 - 10) + " expect var 2 >= 0\n";
    return text;
}

void virtualHour(benchmark::State& state, bool outputs) {
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
    state.counters["expectations"] = static_cast<double>(script->expectations.size());
    for (auto _ : state) {
        zelk::vtest::VirtualRun run((dir / "LogicCtl.ini").string());
        std::string message;
        if (!run.open(message)) {
            state.SkipWithError(message.c_str());
            break;
        }
        zelk::test::fillMixedBlock(run.program());
        std::ostringstream traceText, svgText;
        zelk::vtest::TraceCsv trace(traceText);
        zelk::vtest::TimingSvg diagram(*script);
        std::vector<zelk::vtest::CycleListener*> listeners;
        if (outputs) listeners = {&trace, &diagram};
        const auto outcomes = run.run(*script, listeners);
        if (outputs) diagram.write(svgText, "bench", outcomes, {});
        benchmark::DoNotOptimize(outcomes);
    }
    std::filesystem::remove_all(dir);
}

void BM_VirtualHour(benchmark::State& state) {
    virtualHour(state, false);
}
void BM_VirtualHourWithOutputs(benchmark::State& state) {
    virtualHour(state, true);
}
BENCHMARK(BM_VirtualHour)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_VirtualHourWithOutputs)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();

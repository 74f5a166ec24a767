// The CPU time of one control cycle with a full 128-line block, against the in-process board model (no
// socket): read, histories, block run, send of the changed output, read request, counters.
#include "core/engine.h"
#include "fake_platform.h"
#include "mixed_block.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

void BM_Cycle(benchmark::State& state) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("zelk-cycle-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "LogicCtl.ini") << "";
    zelk::vboard::BoardModel board;
    zelk::test::FakePlatform platform;
    platform.cwd = dir.string();
    platform.backend.add("/dev/bench", &board);
    auto engine = std::make_unique<zelk::Engine>(platform);
    if (engine->open() != 1) {
        state.SkipWithError("no board");
        return;
    }
    zelk::test::FakeTimer& timer = platform.armedTimer();
    zelk::test::fillMixedBlock(engine->program());
    std::uint8_t input = 0xFF;
    for (auto _ : state) {
        state.PauseTiming();
        input ^= 0x01; // the input edge fires every other cycle
        board.setPort0Input(input);
        state.ResumeTiming();
        timer.fire();
    }
    engine->close();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Cycle);

} // namespace

BENCHMARK_MAIN();

// One run of a full 128-line LG_MAIN block: every connective, comparison, pin-state test, CALC with three
// operators and OUTR.
#include "core/engine_platform.h"
#include "core/event_log.h"
#include "core/log_buffer.h"
#include "core/rules.h"
#include "mixed_block.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

class NoPlatform final : public zelk::Platform {
public:
    zelk::hid::Backend& devices() override { std::abort(); }
    std::unique_ptr<zelk::timer::PeriodicTimer> makeTimer() override { return nullptr; }
    zelk::LocalTime now() override { return {}; }
    void sleepMs(int) override {}
    bool currentDirectory(std::string&) override { return false; }
    void putClipboard(const char*) override {}
};

void BM_BlockRun(benchmark::State& state) {
    auto program = std::make_unique<zelk::Program>();
    zelk::test::fillMixedBlock(*program);
    zelk::PortHistory port0, port1;
    port0.fill(0xFF);
    port1.fill(0x0F);
    zelk::Status status;
    zelk::EventLog events;
    auto log = std::make_unique<zelk::LogBuffer>();
    NoPlatform platform;
    zelk::Rules rules(*program, port0, port1, status, events, *log, platform);

    std::uint8_t output = 0x0F;
    std::uint8_t sample = 0xFF;
    for (auto _ : state) {
        sample ^= 0x01; // the input edge fires every other run
        port0.shift();
        port0.setNewest(sample);
        output = rules.runBlock(program->main, output);
        benchmark::DoNotOptimize(output);
    }
}
BENCHMARK(BM_BlockRun);

} // namespace

BENCHMARK_MAIN();

// zelkctl prove's time per property, bounded to 1,000 cycles or proved by induction: five properties of the
// shipped sample and five of the 128-line mixed block of the other benchmarks. Each runs once (a proof is
// seconds, not microseconds); the result is a counter: 0 proved, 1 held up to the depth, 2 violated,
// 3 reachable, 4 unreachable, 5 not reached.
#include "cli/prove/prover.h"
#include "mixed_block.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using zelk::prove::Property;

Property property(std::string_view text) {
    zelk::prove::PropertyError error;
    auto parsed = zelk::prove::parseProperties(text, error);
    if (!parsed) std::abort();
    return parsed->front();
}

void prove(benchmark::State& state, const zelk::Program& program, std::string_view text) {
    const Property p = property(text);
    for (auto _ : state) {
        const zelk::prove::Result result = zelk::prove::prove(program, p, 1000);
        state.counters["verdict"] = static_cast<double>(result.verdict);
        state.counters["depth"] = result.depth;
    }
}

const zelk::Program& sample() {
    static const auto program = [] {
        auto loaded = std::make_unique<zelk::Program>();
        zelk::loadProgram(*loaded, zelk::ProgramFile(ZELK_SAMPLE_PROGRAM));
        return loaded;
    }();
    return *program;
}

const zelk::Program& mixed() {
    static const auto program = [] {
        auto filled = std::make_unique<zelk::Program>();
        zelk::test::fillMixedBlock(*filled);
        filled->variableCount = 8;
        return filled;
    }();
    return *program;
}

constexpr std::string_view kSample[] = {"never out 2 on", "after in 1 rises, out 1 on within 2 cycles",
                                        "reachable out 0 on", "always var 1 >= 0",
                                        "never out 0 on and in 1 on"};
constexpr std::string_view kMixed[] = {"always port1 <= 15", "always var 2 > -1000 and var 2 < 1000",
                                       "reachable out 3 on", "always var 5 >= -2147483648",
                                       "after in 0 rises, out 0 on within 1 cycles"};

const bool registered = [] {
    for (const std::string_view text : kSample)
        benchmark::RegisterBenchmark(("sample/" + std::string(text)).c_str(),
                                     [text](benchmark::State& s) { prove(s, sample(), text); })
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    for (const std::string_view text : kMixed)
        benchmark::RegisterBenchmark(("mixed/" + std::string(text)).c_str(),
                                     [text](benchmark::State& s) { prove(s, mixed(), text); })
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    return true;
}();

} // namespace

BENCHMARK_MAIN();

// The program loader and the control cycle on any LogicCtl.ini. The engine opens a run against an
// in-process board (which loads the program and starts the run), runs a few cycles of the main block, and
// closes the run (which writes the log file). The input's last bytes give each cycle its port-0 inputs and
// the board's faults (dropped answers, stale answers, extra stale answers before the right one). After
// every cycle the board's outputs are the ones the engine shows.
#include "core/engine.h"
#include "engine/tests/fake_platform.h"
#include "fuzz/require.h"
#include "testing/temp_dir.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace {

using zelk::fuzz::require;

// One engine for all inputs, opened and closed once per input as the console does: an engine is large (its
// log buffer alone is 2 MB) and building one per input would cost more than the run.
struct Setup {
    Setup() {
        platform.cwd = dir.cwd();
        platform.backend.add("/dev/board0", &board);
    }
    zelk::test::TempDir dir;
    zelk::vboard::BoardModel board;
    zelk::test::FakePlatform platform;
    zelk::Engine engine{platform};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Setup setup;
    auto& [dir, board, platform, engine] = setup;

    FuzzedDataProvider input(data, size);
    const int cycles = input.ConsumeIntegralInRange(1, 8);
    std::uint8_t port0[8], faults[8];
    for (int i = 0; i < cycles; ++i) {
        port0[i] = input.ConsumeIntegral<std::uint8_t>();
        faults[i] = input.ConsumeIntegral<std::uint8_t>();
    }
    {
        // The first section of a name is the one read: the log file always goes into the test directory,
        // whatever log file name the input gives.
        std::ofstream out(dir.file("LogicCtl.ini"), std::ios::binary | std::ios::trunc);
        out << "[LOG_CSV]\r\nCSV_FNAME=" << dir.file("log.csv") << "\r\n";
        out << input.ConsumeRemainingBytesAsString();
    }

    board.clearFaults();
    require(engine.open() == 1, "the board did not open");
    zelk::test::FakeTimer& timer = platform.armedTimer();
    for (int i = 0; i < cycles; ++i) {
        board.setPort0Input(port0[i]);
        board.clearFaults();
        board.dropAnswers(faults[i] & 3);
        board.staleAnswers((faults[i] >> 2) & 3);
        board.insertStaleAnswers((faults[i] >> 4) & 3);
        timer.fire();
        CtlData status{};
        engine.getCtlData(status);
        require(status.port1 == board.port1Output(), "the board's outputs differ from the engine's");
    }
    require(engine.close() == 1, "the run did not close");
    platform.clipboardTexts.clear();
    return 0;
}

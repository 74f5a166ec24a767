// The prover's formula of a cycle against the engine on programs the input chooses: the input's bytes make
// every choice of the test suite's random programs (lines, codes, constants, watched variables, inputs),
// so the fuzzer steers towards lines and values the suite's seeds never meet. Any difference between the
// engine's cycle and the formula's is a crash.
#include "cli/prove/tests/differential.h"
#include "cli/prove/tests/random_program.h"
#include "fuzz/require.h"
#include "testing/temp_dir.h"
#include "testing/test_files.h"

#include <cstdint>
#include <cstdio>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const zelk::test::TempDir dir;
    static const std::string path = (dir.path() / "LogicCtl.ini").string();
    zelk::prove::test::RandomProgram random{zelk::prove::test::Choices(std::span(data, size))};
    const std::string text = random.programText();
    zelk::test::writeFile(path, text);
    const auto watched = random.watched();
    const std::string why = zelk::prove::test::difference(path, random.inputs(30), watched);
    if (!why.empty()) std::fprintf(stderr, "%s\n%s\n", why.c_str(), text.c_str());
    zelk::fuzz::require(why.empty(), "the formula's cycle is not the engine's");
    return 0;
}

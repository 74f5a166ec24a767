// The prover's formula of a cycle against the engine's own run: random programs on random inputs, every
// cycle's output and watched variables compared (the fuzz target prove_differential_fuzz runs more).
#include "cli/prove/tests/differential.h"
#include "cli/prove/tests/random_program.h"
#include "testing/temp_dir.h"
#include "testing/test_files.h"

#include <gtest/gtest.h>

namespace zelk::prove {
namespace {

// Fewer cases under the sanitizers, whose runs are many times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::uint32_t kCases = 200;
#else
constexpr std::uint32_t kCases = 2000;
#endif

TEST(Differential, TheFormulaOfACycleIsTheEnginesCycleOnRandomPrograms) {
    const zelk::test::TempDir dir;
    const std::string path = (dir.path() / "LogicCtl.ini").string();
    for (std::uint32_t seed = 1; seed <= kCases; ++seed) {
        test::RandomProgram random{test::Choices(seed)};
        const std::string text = random.programText();
        zelk::test::writeFile(path, text);
        const CycleEncoding::Variables watched = random.watched();
        const std::string why = test::difference(path, random.inputs(30), watched);
        ASSERT_EQ(why, "") << "seed " << seed << ", watched " << watched << "\n" << text;
    }
}

} // namespace
} // namespace zelk::prove

// Loading a logic program reads every key anew from the file: one lookup in a file of about 100 KB.
#include "profile/profile.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

void BM_LookupIn100KBFile(benchmark::State& state) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("zelk-profile-bench-" + std::to_string(getpid())))
            .string();
    {
        std::ofstream out(path, std::ios::binary);
        for (int s = 0; s < 8; ++s) {
            out << "[SECTION_" << s << "]\r\n";
            for (int k = 0; k < 100; ++k)
                out << "KEY_" << k << "=" << std::string(110, 'v') << "\r\n";
        }
    }
    std::array<char, 256> buffer{};
    int key = 0;
    for (auto _ : state) {
        const std::string name = "KEY_" + std::to_string(key++ % 100);
        benchmark::DoNotOptimize(
            zelk::profile::getString("SECTION_7", name, "", buffer.data(), buffer.size(), path));
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_LookupIn100KBFile);

} // namespace

BENCHMARK_MAIN();

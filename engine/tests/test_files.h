#pragma once
// Temporary directories and files for engine tests.
#include "testing/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace zelk::test {

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool readFile(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// One group of a line value: the kind padded to 4 bytes, ",", the data padded to 12 bytes, ",".
inline std::string group(std::string_view kind, std::string_view data = "") {
    std::string g(kind);
    g.resize(4, ' ');
    g += ',';
    std::string d(data);
    d.resize(12, ' ');
    return g + d + ',';
}

} // namespace zelk::test

#pragma once
// A private temporary directory for one test (mode 0700, made with mkdtemp, removed with everything in it),
// so tests can run in parallel without meeting each other's files. On Windows: a new directory under a
// random name. The directory is made in the temporary folder unless the test names another.
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#ifdef _WIN32
#include <random>
#endif

namespace zelk::test {

class TempDir {
public:
    explicit TempDir(const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
#ifdef _WIN32
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate = base / ("zelk-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) path_ = candidate;
        }
        if (path_.empty()) throw std::runtime_error("no temporary directory");
#else
        std::string pattern = (base / "zelk-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
#endif
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const {
        return path_;
    }
    std::string file(std::string_view name) const {
        return (path_ / name).string();
    }
    // The directory's path as text, without a trailing separator.
    std::string cwd() const {
        return path_.string();
    }

private:
    std::filesystem::path path_;
};

} // namespace zelk::test

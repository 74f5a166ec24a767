#include "cli/virtual_test/script_files.h"

#include "profile/file_access.h"

#include <filesystem>
#include <fstream>
#include <optional>

namespace zelk::vtest {

namespace fs = std::filesystem;
using profile::detail::FileMeta;
using profile::detail::ReadStatus;

std::string whyUnreadable(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return fs::exists(path, ec) ? "is not a regular file" : "does not exist";
    if (!std::ifstream(path)) return "is unreadable";
    return {};
}

std::string readScript(const std::string& path, std::string& text) {
    if (std::string why = whyUnreadable(path); !why.empty()) return why;
    std::error_code ec;
    if (fs::file_size(path, ec) > kMaxScriptBytes) return "is larger than 1 MiB";
    if (profile::detail::readWholeFile(path, text) != ReadStatus::Ok) return "is unreadable";
    return {};
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    const fs::path placeA = fs::weakly_canonical(fs::absolute(a, ec), ec);
    if (ec) return false;
    const fs::path placeB = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return !ec && placeA == placeB;
}

bool writeOutput(const std::string& name, std::string_view content) {
    const std::optional<std::string> target = profile::detail::resolveSymlinks(name);
    if (!target) return false;
    std::string previous;
    FileMeta meta;
    const ReadStatus status = profile::detail::readWholeFile(*target, previous, &meta);
    if (status == ReadStatus::Failed) return false;
    return profile::detail::replaceFile(*target, content, status == ReadStatus::Ok ? &meta : nullptr);
}

} // namespace zelk::vtest

// The log file's name: the engine writes the rows of "LOG " lines to it at the end of every run.
#include "cli/check/field_text.h"
#include "cli/check/file_check.h"
#include "core/log_file_name.h"
#include "program/keys.h"
#include "program/vocabulary.h"

#include <filesystem>
#include <system_error>
#ifndef _WIN32
#include <climits>
#include <unistd.h>
#endif

namespace zelk::check {

namespace {

namespace fs = std::filesystem;

bool logsRows(const Block& block) {
    for (int i = 0; i < block.loadedLines(); ++i)
        if (meaningOf(kActions, block.lines[i].kind(kAction)) == Action::Log) return true;
    return false;
}

bool mayWrite(const fs::path& path) {
#ifdef _WIN32
    (void)path;
    return true;
#else
    return ::access(path.c_str(), W_OK) == 0;
#endif
}

// Why a file of that path cannot be written, or nothing when it can.
std::string problem(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status)) return "names a folder";
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status)) return "names something that is not a regular file";
        return mayWrite(path) ? "" : "names a file that may not be written";
    }
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const fs::file_status folderStatus = fs::status(folder, error);
    if (!fs::exists(folderStatus)) return "is in a folder that does not exist";
    if (!fs::is_directory(folderStatus)) return "is in something that is not a folder";
    return mayWrite(folder) ? "" : "is in a folder that may not be written";
}

// Why the path is too long for a file of this system, or nothing. On Windows the whole path counts, in
// UTF-16 units below MAX_PATH. Elsewhere each name in the path counts, in bytes up to the folder's
// NAME_MAX; the path as the engine opens it, at most 255 bytes of code page 932 in UTF-8, stays far within
// PATH_MAX.
std::string tooLong(const fs::path& named, const fs::path& file, const std::string& programFolder) {
#ifdef _WIN32
    (void)named;
    (void)programFolder;
    constexpr std::size_t kMaxPath = 260; // MAX_PATH, its NUL included
    std::error_code error;
    const std::size_t length = fs::absolute(file, error).wstring().size();
    if (length >= kMaxPath)
        return "is a path of " + std::to_string(length) + " characters, more than the " +
               std::to_string(kMaxPath - 1) + " Windows opens";
#else
    (void)file;
    long limit = ::pathconf(programFolder.c_str(), _PC_NAME_MAX);
    if (limit <= 0) limit = NAME_MAX;
    for (const fs::path& part : named) {
        const std::size_t bytes = part.native().size();
        if (bytes > static_cast<std::size_t>(limit))
            return "holds a name of " + std::to_string(bytes) + " bytes, more than the " +
                   std::to_string(limit) + " a file name may have here";
    }
#endif
    return {};
}

} // namespace

void checkLogName(const Program& program, const FileIndex& index, const std::string& programFolder,
                  Findings& out) {
    const profile::Entry* entry = index.find(keys::kLogCsv, keys::kCsvFileName);
    const auto warn = [&](std::string message) {
        out.push_back({std::string(keys::kLogCsv), -1, std::string(keys::kCsvFileName),
                       entry ? entry->line : 0, std::move(message)});
    };
    if (entry == nullptr) {
        if (logsRows(program.main))
            warn("CSV_FNAME is missing: the rows of LOG lines are not written to a file");
        return;
    }
    // The engine reads the name as any value, at most 255 bytes.
    const std::string name = entry->value.substr(0, 255);
    const std::string shown = cli::quoted(name);
    if (name.empty()) {
        warn("CSV_FNAME is empty: no log file can be written");
        return;
    }
    std::string path;
    if (!logFilePath(name, path)) {
        warn(shown + " holds bytes that are no code page 932 character: no log file is written");
        return;
    }
    const fs::path named(std::u8string(path.begin(), path.end())); // the path is UTF-8 on every platform
    const fs::path file = named.is_absolute() ? named : fs::path(programFolder) / named;
    std::string why = tooLong(named, file, programFolder);
    if (why.empty()) why = problem(file);
    if (!why.empty()) warn("the log file " + shown + " " + why + ": it cannot be written here");
}

} // namespace zelk::check

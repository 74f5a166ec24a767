#include "binding/engine_library.h"

#include "kaldex_config.h"

namespace zelk::binding {

std::vector<std::filesystem::path> searchOrder(const std::filesystem::path& programDirectory) {
    const std::filesystem::path file = engineFileName();
    if (programDirectory.empty()) return {file};
    const std::filesystem::path installed =
        (programDirectory / std::filesystem::path(kEngineRelativeDir)).lexically_normal() / file;
    return {programDirectory / file, installed, file};
}

bool EngineLibrary::load(const std::vector<std::filesystem::path>& candidates, std::string& error) {
    if (isLoaded()) return true;
    error.clear();
    for (const std::filesystem::path& candidate : candidates) {
        std::string reason;
        handle_ = open(candidate, reason);
        if (handle_ != nullptr) return true;
        const std::u8string name = candidate.u8string();
        error += '\n' + std::string(name.begin(), name.end()) + ": " + reason;
    }
    return false;
}

namespace {

template <typename Function>
void bind(const EngineLibrary& library, const char* name, Function& function, std::string& missing) {
    function = reinterpret_cast<Function>(library.resolve(name));
    if (function == nullptr && missing.empty()) missing = name;
}

} // namespace

bool bindExports(const EngineLibrary& library, EngineExports& exports, std::string& missing) {
    missing.clear();
    bind(library, "openKaldex", exports.openKaldex, missing);
    bind(library, "closeKaldex", exports.closeKaldex, missing);
    bind(library, "getCtlData", exports.getCtlData, missing);
    bind(library, "putCtlData", exports.putCtlData, missing);
    bind(library, "exitKaldex", exports.exitKaldex, missing);
    return missing.empty();
}

} // namespace zelk::binding

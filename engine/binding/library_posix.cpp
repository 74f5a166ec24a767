// Loading the engine with dlopen; the program's folder from /proc/self/exe.
#include "binding/engine_library.h"

#include <dlfcn.h>

namespace zelk::binding {

std::filesystem::path engineFileName() {
    return "libZELK_Eng.so";
}

std::filesystem::path programDirectory() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
}

void* EngineLibrary::open(const std::filesystem::path& file, std::string& reason) {
    // A bare file name goes through the dynamic linker's search; any other path is opened as it is.
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* message = dlerror();
        reason = message != nullptr ? message : "cannot be loaded";
        // The message names the file first; the caller names it already.
        const std::string named = file.string() + ": ";
        if (reason.starts_with(named)) reason.erase(0, named.size());
    }
    return handle;
}

EngineLibrary::Procedure EngineLibrary::resolve(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<Procedure>(dlsym(handle_, name));
}

} // namespace zelk::binding

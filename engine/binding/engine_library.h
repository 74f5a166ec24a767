#pragma once
// Binding the engine library ZELK_Eng by name at run time, for every program that drives the engine: the
// console and zelkctl. The engine is looked for beside the program, then in the installed engine folder
// relative to the program, then through the platform's own library search.
#include "ZELK_Eng.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zelk::binding {

// The engine's file name on this platform (libZELK_Eng.so, ZELK_Eng.dll).
std::filesystem::path engineFileName();

// The folder of the running program's executable; empty when the system cannot tell.
std::filesystem::path programDirectory();

// Where the engine is looked for, in this order: the program's folder, the installed engine folder relative
// to it, and the bare file name, which the platform's library search resolves. Without a program folder only
// the bare file name is left.
std::vector<std::filesystem::path> searchOrder(const std::filesystem::path& programDirectory);

// A loaded engine library. Once loaded it stays loaded for the life of the process: the engine's threads run
// its code, so it is never unloaded.
class EngineLibrary {
public:
    // Loads the first candidate that loads. On failure returns false, and error names each candidate with
    // the system's reason (UTF-8).
    bool load(const std::vector<std::filesystem::path>& candidates, std::string& error);
    bool isLoaded() const { return handle_ != nullptr; }

    using Procedure = void (*)();
    // The export of that name, nullptr when the library has none (or none is loaded).
    Procedure resolve(const char* name) const;

private:
    // The platform's loader: a handle, or nullptr with the system's reason.
    static void* open(const std::filesystem::path& file, std::string& reason);

    void* handle_ = nullptr;
};

// The five exports, all bound at once.
struct EngineExports {
    openKaldex_fn openKaldex = nullptr;
    closeKaldex_fn closeKaldex = nullptr;
    getCtlData_fn getCtlData = nullptr;
    putCtlData_fn putCtlData = nullptr;
    exitKaldex_fn exitKaldex = nullptr;
};

// Binds every export of a loaded library. Returns false with the first missing export's name in missing.
bool bindExports(const EngineLibrary& library, EngineExports& exports, std::string& missing);

} // namespace zelk::binding

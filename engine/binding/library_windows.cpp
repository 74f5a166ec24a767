// Loading the engine with LoadLibraryW; the program's folder from GetModuleFileNameW.
#include "binding/engine_library.h"

#include <windows.h>

namespace zelk::binding {

namespace {

// The system's text for an error code, as UTF-8.
std::string systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0) {
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        message.resize(static_cast<std::size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), message.data(), size, nullptr,
                            nullptr);
        while (!message.empty() &&
               (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
            message.pop_back();
    }
    LocalFree(text);
    return message.empty() ? "error " + std::to_string(code) : message;
}

} // namespace

std::filesystem::path engineFileName() {
    return L"ZELK_Eng.dll";
}

std::filesystem::path programDirectory() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}

void* EngineLibrary::open(const std::filesystem::path& file, std::string& reason) {
    // A bare file name goes through the system's DLL search. A full path is loaded as it is, and the
    // libraries the engine needs are looked for in the engine's folder first.
    HMODULE module = file.is_absolute() ? LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)
                                        : LoadLibraryW(file.c_str());
    if (module == nullptr) reason = systemMessage(GetLastError());
    return reinterpret_cast<void*>(module);
}

EngineLibrary::Procedure EngineLibrary::resolve(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<Procedure>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

} // namespace zelk::binding

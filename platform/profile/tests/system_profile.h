#pragma once
// The operating system's profile functions behind the profile layer's signatures (Windows only): the
// profile tests, built a second time against these, show where the layer and the system answer alike.
#include <cstddef>
#include <string>
#include <string_view>

#include <windows.h>

namespace zelk::profile::system {

inline std::size_t getString(std::string_view section, std::string_view key, std::string_view defaultValue,
                             char* buffer, std::size_t bufferSize, const std::string& path) {
    return GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                    std::string(defaultValue).c_str(), buffer, static_cast<DWORD>(bufferSize),
                                    path.c_str());
}

inline bool writeString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path) {
    return WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                      std::string(value).c_str(), path.c_str()) != 0;
}

} // namespace zelk::profile::system

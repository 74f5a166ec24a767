#pragma once
// The rows of "LOG " actions of one control run, each followed by LF, written to the CSV log file at close.
#include <array>
#include <cstddef>
#include <string_view>

namespace zelk {

class LogBuffer {
public:
    static constexpr std::size_t kCapacity = 2'097'152; // rows and their LFs; one byte more is reserved

    // Appends the row and an LF if the row's length plus the fill count is at most kCapacity; otherwise
    // drops the row. Returns whether the row was kept.
    bool append(std::string_view row);
    void clear();
    std::string_view contents() const { return {bytes_.data(), fill_}; }

    // Writes the rows to the file at the UTF-8 path (created or truncated), every LF as CR LF. Returns false
    // when the file cannot be opened or written, or when path names something other than a regular file.
    bool writeFile(const char* path) const;

private:
    std::array<char, kCapacity + 1> bytes_{};
    std::size_t fill_ = 0;
};

} // namespace zelk

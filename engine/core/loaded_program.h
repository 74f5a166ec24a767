#pragma once
// The loaded logic program: the variable table and the three blocks, read from LogicCtl.ini at every
// openKaldex.
#include "program/codes.h"
#include "program/decoded_line.h"
#include "program/line_record.h"
#include "program/tables.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelk {

struct VarEntry {
    char type[5];
    char name[33];
    char valueText[17];
    char comment[65];
    std::int32_t value;

    // Of type "LONG". The type field holds at most four bytes and its NUL, so it is compared as a whole,
    // without a search for the NUL: the cycle asks this for every variable it reads.
    bool isLong() const {
        static_assert(sizeof type == codes::kLong.size() + 1);
        return std::string_view(type, codes::kLong.size()) == codes::kLong &&
               type[codes::kLong.size()] == '\0';
    }
};

struct Block {
    std::array<LineRecord, kBlockLines> lines{};
    // The lines as the block runner reads them; decode() brings them up to date after the lines change.
    std::array<DecodedLine, kBlockLines> decoded{};
    std::int32_t count = 0; // as read from the file
    void decode() {
        for (std::size_t i = 0; i < lines.size(); ++i)
            decoded[i] = decodeLine(lines[i]);
    }
    // The lines that are loaded and run: the count, kept within the table.
    int loadedLines() const { return count < 0 ? 0 : (count > kBlockLines ? kBlockLines : count); }
};

struct Program {
    std::array<VarEntry, kVariableCount> variables{};
    std::int32_t variableCount = 0; // as read from the file
    Block init, main, end;

    // The variable with number n, or nullptr when n is outside the table.
    VarEntry* variable(std::int32_t n) { return n >= 0 && n < kVariableCount ? &variables[n] : nullptr; }
    const VarEntry* variable(std::int32_t n) const {
        return n >= 0 && n < kVariableCount ? &variables[n] : nullptr;
    }
};

// The engine's two readers over LogicCtl.ini (256-byte buffers; a missing key leaves the destination alone).
class ProgramFile {
public:
    explicit ProgramFile(std::string path) : path_(std::move(path)) {}
    // Copies the value of key (at most 255 bytes, NUL-terminated, into a zeroed 256-byte buffer). Returns
    // false and leaves buffer as it was when the key is missing.
    bool readText(std::string_view section, std::string_view key, std::array<char, 256>& buffer) const;
    // The decimal value of key; 0 when it is missing or holds no digits.
    std::int32_t readNumber(std::string_view section, std::string_view key) const;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Loads the variable table and the three blocks. A missing file, section or key reads as a count of 0 or an
// empty field; counts beyond the tables load only what fits.
void loadProgram(Program& program, const ProgramFile& file);

} // namespace zelk

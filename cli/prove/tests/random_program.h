#pragma once
// Random logic programs and input sequences for comparing the prover's encoding with the engine: every
// connective, comparison, pin state, operator, object and value kind, and now and then a text that is no
// code, a variable outside the table or of another type, a pin code of no port, and the extreme constants.
#include "cli/prove/cycle_encoding.h"
#include "engine/program/vocabulary.h"
#include "testing/program_builder.h"

#include <array>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace zelk::prove::test {

// Where the choices come from: a seeded generator, or a fuzzer's bytes, one or more a choice, and once they
// are used up a generator seeded with them all (so that a short input still makes a whole program).
class Choices {
public:
    explicit Choices(std::uint32_t seed) : random_(seed) {}
    explicit Choices(std::span<const std::uint8_t> bytes) : random_(hash(bytes)), bytes_(bytes) {}

    int pick(int low, int high) {
        const auto range = static_cast<std::uint64_t>(static_cast<std::int64_t>(high) - low + 1);
        if (bytes_.empty()) return std::uniform_int_distribution<int>(low, high)(random_);
        std::uint64_t value = 0;
        for (std::uint64_t reach = 1; reach < range && !bytes_.empty(); reach <<= 8) {
            value = value << 8 | bytes_.front();
            bytes_ = bytes_.subspan(1);
        }
        return static_cast<int>(low + static_cast<std::int64_t>(value % range));
    }

private:
    static std::uint32_t hash(std::span<const std::uint8_t> bytes) { // FNV-1a
        std::uint32_t h = 2166136261u;
        for (const std::uint8_t b : bytes)
            h = (h ^ b) * 16777619u;
        return h;
    }

    std::mt19937 random_;
    std::span<const std::uint8_t> bytes_;
};

class RandomProgram {
public:
    explicit RandomProgram(Choices choices) : choices_(choices) {}

    // A program of up to 12 main-block lines over 8 variables (one of them not "LONG").
    std::string programText() {
        zelk::test::ProgramBuilder builder;
        builder.variableCount(8);
        for (int n = 0; n < 8; ++n) {
            builder.variable(keys::kVarType, n, n == 7 ? "TEXT" : "LONG");
            builder.variable(keys::kVarValue, n, std::to_string(constant()));
        }
        std::vector<std::string> lines;
        for (int i = 0, count = pick(1, 12); i < count; ++i)
            lines.push_back(line());
        builder.lines(lines);
        return builder.text();
    }

    // Which variables a property watches: all of them, or (every other program) a few.
    CycleEncoding::Variables watched() {
        CycleEncoding::Variables variables;
        if (chance(2)) return variables.set();
        for (int n = 0; n < 8; ++n)
            if (chance(3)) variables.set(static_cast<std::size_t>(n));
        return variables;
    }

    // The port-0 value the board holds before each cycle (the first one's as the run starts).
    std::vector<std::uint8_t> inputs(int cycles) {
        std::vector<std::uint8_t> values;
        // Every input released, or now and then every one energized: the start reads 0 then (see
        // secondCycleInput).
        std::uint8_t value = chance(8) ? 0x00 : 0xFF;
        for (int c = 0; c < cycles; ++c) {
            if (chance(3))
                value = static_cast<std::uint8_t>(pick(0, 3) == 0 ? pick(0, 255) : value ^ (1 << pick(0, 7)));
            values.push_back(value);
        }
        return values;
    }

private:
    int pick(int low, int high) { return choices_.pick(low, high); }
    bool chance(int inverse) { return pick(1, inverse) == 1; }

    template <class Meaning, std::size_t N>
    std::string code(const Code<Meaning> (&set)[N], std::string_view stray) {
        if (chance(12)) return std::string(stray);
        return std::string(set[static_cast<std::size_t>(pick(0, static_cast<int>(N) - 1))].code);
    }

    std::int32_t constant() {
        static constexpr std::int32_t kEdges[] = {0, 1, -1, 2, 3, 100, 2147483647, -2147483647 - 1};
        return chance(3) ? kEdges[pick(0, 7)] : pick(-20, 20);
    }
    std::string pinCode() {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string text(1, chance(10) ? '2' : static_cast<char>('0' + pick(0, 1)));
        text += kHex[pick(0, 15)];
        text += kHex[pick(0, 15)];
        return text;
    }
    std::string variableNumber() { return std::to_string(chance(10) ? pick(8, 70) : pick(0, 7)); }

    // An operand group of the given kind with data that suits it.
    std::string operand(const std::string& kind) {
        std::string data;
        if (kind == codes::kPin)
            data = pinCode();
        else if (kind == codes::kVar || kind == codes::kVarm)
            data = variableNumber();
        else if (kind == codes::kSvar)
            data = code(kSystemVariables, "PORT 9");
        else if (kind == codes::kCnst)
            data = std::to_string(constant());
        return zelk::test::group(kind, data);
    }
    std::string operand() { return operand(code(kOperandKinds, "XX  ")); }

    std::string line() {
        using zelk::test::group;
        std::string text = group(code(kConnectives, "ANDX")) + operand();
        if (chance(2))
            text += group(codes::kSts, code(kPinStates, "ON"));
        else
            text += group(code(kComparisonKinds, "CMP "), code(kComparisons, "=="));
        text += operand();
        const std::string action = code(kActions, "SET ");
        text += group(action, action == codes::kOut || action == codes::kOutr ? pinCode() : variableNumber());
        for (int k = 0; k < 7; ++k)
            text += k % 2 == 1 ? group(code(kOperators, "**  ")) : operand();
        return text;
    }

    Choices choices_;
};

} // namespace zelk::prove::test

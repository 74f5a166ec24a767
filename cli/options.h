#pragma once
// zelkctl's command-line conventions: long options ("--dir DIR" or "--dir=DIR"), flags, operands, "--" ending
// the options, "-h" and "--help" everywhere.
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::cli {

struct Option {
    std::string_view name;      // "--dir"
    std::string_view valueName; // "DIR"; empty for a flag
    std::string_view description;
};

struct Arguments {
    std::map<std::string, std::string, std::less<>>
        options; // name -> value ("" for a flag); the last one given wins
    std::vector<std::string> operands;

    bool has(std::string_view name) const { return options.find(name) != options.end(); }
    // The option's value, nullptr when it was not given.
    const std::string* value(std::string_view name) const;
};

inline constexpr std::string_view kHelpOption = "--help";

// Parses a command's arguments. "-h" is read as "--help", which every command accepts. Returns nullopt with a
// message in error for an unknown option or a missing value.
std::optional<Arguments> parseArguments(std::span<const std::string> args, std::span<const Option> known,
                                        std::string& error);

} // namespace zelk::cli

#include "cli/options.h"

#include <algorithm>

namespace zelk::cli {

const std::string* Arguments::value(std::string_view name) const {
    const auto found = options.find(name);
    return found != options.end() ? &found->second : nullptr;
}

std::optional<Arguments> parseArguments(std::span<const std::string> args, std::span<const Option> known,
                                        std::string& error) {
    Arguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == kHelpOption) {
            parsed.options[std::string(kHelpOption)] = "";
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string_view name = std::string_view(arg).substr(0, equals);
        const auto option =
            std::find_if(known.begin(), known.end(), [&](const Option& o) { return o.name == name; });
        if (option == known.end()) {
            error = "unknown option '" + std::string(name) + "'";
            return std::nullopt;
        }
        if (option->valueName.empty()) {
            if (equals != std::string::npos) {
                error = "option '" + std::string(name) + "' takes no value";
                return std::nullopt;
            }
            parsed.options[std::string(name)] = "";
        } else if (equals != std::string::npos) {
            parsed.options[std::string(name)] = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            parsed.options[std::string(name)] = args[++i];
        } else {
            error = "option '" + std::string(name) + "' needs a value " + std::string(option->valueName);
            return std::nullopt;
        }
    }
    return parsed;
}

} // namespace zelk::cli

#pragma once
// What `zelkctl prove` does: reads a program with the engine's loader and a properties file, proves each
// property, and writes each violation's counterexample as a test script that the engine has replayed.
#include <ostream>
#include <string>
#include <string_view>

namespace zelk::prove {

// Exit statuses.
inline constexpr int kAllHold = 0;
inline constexpr int kSomeFail = 1;      // violated, unreachable, or not reached within the depth
inline constexpr int kCannotProve = 2;   // bad properties file, unreadable program, unwritable output
inline constexpr int kInternalError = 3; // a counterexample the engine does not reproduce

inline constexpr int kDefaultDepth = 1000;
inline constexpr int kMaxDepth = 100'000;

struct ProveFiles {
    std::string properties{};
    std::string program = "LogicCtl.ini";
    std::string counterexample{}; // the first violation's script; empty: beside the properties file
    std::string svg{};            // the first violation's timing diagram; empty: none
    int depth = kDefaultDepth;
    bool json = false;
};

// The properties language and the results in brief, for the command's help.
extern const std::string_view kPropertiesHelp;

// Results go to out, errors to err; returns the exit status.
int runProve(const ProveFiles& files, std::ostream& out, std::ostream& err);

} // namespace zelk::prove

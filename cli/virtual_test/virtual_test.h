#pragma once
// What `zelkctl test` does: runs a logic program against a test script in virtual time, reports each
// expectation that did not hold, and writes the trace and the timing diagram when asked.
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace zelk::vtest {

// Exit statuses.
inline constexpr int kAllHeld = 0;
inline constexpr int kSomeFailed = 1;
inline constexpr int kCannotTest = 2; // bad script, unreadable script or program, unwritable output

struct TestFiles {
    std::string script{};
    std::string program = "LogicCtl.ini";
    std::string trace{}; // empty: none
    std::string svg{};   // empty: none
};

// The script language in brief, for the command's help.
extern const std::string_view kScriptHelp;

// Results go to out, errors to err; returns the exit status.
int runTest(const TestFiles& files, std::ostream& out, std::ostream& err);

} // namespace zelk::vtest

#pragma once
// `zelkctl test SCRIPT [--program FILE] [--trace OUT.csv] [--svg OUT.svg]`: runs a logic program against a
// test script in virtual time and reports the expectations that did not hold.
#include <ostream>
#include <string>
#include <vector>

namespace zelk::vtest {

// Exit statuses.
inline constexpr int kAllHeld = 0;
inline constexpr int kSomeFailed = 1;
inline constexpr int kCannotTest = 2; // bad script, unreadable script or program, unwritable output
inline constexpr int kUsage = 64;

std::string testUsage();

// args: the arguments after "test". Results go to out, errors to err.
int runTestCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace zelk::vtest

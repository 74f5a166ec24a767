#include "cli/test_command.h"

#include "cli/check/text_check.h"
#include "cli/virtual_test/virtual_test.h"

#include <iostream>

namespace zelk::cli {

namespace {

constexpr Option kOptions[] = {
    {"--program", "FILE", "the program (default: LogicCtl.ini in the current folder)"},
    {"--trace", "FILE", "write each cycle in which something changed to FILE as CSV"},
    {"--svg", "FILE", "draw a timing diagram of the run to FILE as SVG"},
};

constexpr ExitStatus kStatuses[] = {
    {vtest::kAllHeld, "every expectation held"},
    {vtest::kSomeFailed, "at least one expectation failed (each is printed)"},
    {vtest::kCannotTest, "bad script (line named), unreadable file, unwritable output"},
    {kUsageStatus, "bad command line"},
};

constexpr std::string_view kIntroduction =
    "Runs a logic program against a test script in virtual time: the engine's own\n"
    "control cycle, fed by a scripted board instead of the timer and the USB device.\n"
    "No board is used and nothing waits: an hour of control takes under a second.\n"
    "The program's own log file is not written. The trace and the diagram replace\n"
    "their files only when complete, and never the program or the script. A script\n"
    "is a regular file of at most 1 MiB; its times reach at most 24 h. A program that\n"
    "check finds empty or unreadable (no LG_MAIN, UTF-16, ...) is warned of first.\n"
    "\n";

int run(const Arguments& arguments) {
    vtest::TestFiles files;
    files.script = arguments.operands.front();
    for (auto [option, file] : {std::pair{"--program", &files.program}, std::pair{"--trace", &files.trace},
                                std::pair{"--svg", &files.svg}})
        if (const std::string* value = arguments.value(option)) {
            if (value->empty()) return usageError(kTestCommand, std::string(option) + " needs a file name");
            *file = *value;
        }
    // A program that the engine reads as nothing would pass many a script in silence.
    for (const check::Finding& finding : check::textFindings(files.program))
        std::cerr << check::location(files.program, finding) << ": warning: " << finding.message << '\n';
    return vtest::runTest(files, std::cout, std::cerr);
}

const std::string kDescription = std::string(kIntroduction) + std::string(vtest::kScriptHelp);

} // namespace

const Command kTestCommand{
    .name = "test",
    .operands = "SCRIPT",
    .minOperands = 1,
    .maxOperands = 1,
    .summary = "run a logic program against a test script in virtual time",
    .description = kDescription,
    .options = kOptions,
    .exitStatuses = kStatuses,
    .run = &run,
};

} // namespace zelk::cli

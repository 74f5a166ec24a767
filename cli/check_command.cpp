#include "cli/check_command.h"

#include "cli/check/check_report.h"
#include "program/keys.h"

#include <iostream>

namespace zelk::cli {

namespace {

constexpr Option kOptions[] = {
    {"--json", "", "print the report as one JSON document"},
};

constexpr ExitStatus kStatuses[] = {
    {check::kNoFindings, "no findings"},
    {check::kWarnings, "findings, printed as warnings"},
    {check::kUnreadable, "FILE cannot be read"},
    {kUsageStatus, "bad command line"},
};

constexpr std::string_view kDescription =
    "Reads the logic program FILE (default: LogicCtl.ini in the current folder) with\n"
    "the engine's own loader and prints every line of its blocks in words, as the\n"
    "logic editor explains them. Then reports, one line each in the style of a\n"
    "compiler (FILE:SECTION:LINE: warning: ...), what the engine would silently pass\n"
    "over or run otherwise than the file looks: an empty, UTF-16 or byte-order-marked\n"
    "file, lines without '=' or ']', codes it does not know, operands that read as 0,\n"
    "pin-state tests that are never true, an OUT after another, variables never set,\n"
    "a division by 0, counts beyond its tables, lines the count leaves out, repeated\n"
    "keys and names, groups a line does not use, a log file name that cannot be\n"
    "written here. Text from the file is shown escaped, and cut when long.\n";

int run(const Arguments& arguments) {
    const std::string file =
        arguments.operands.empty() ? std::string(keys::kFileName) : arguments.operands[0];
    return check::runCheckCommand(file, arguments.has("--json"), std::cout, std::cerr);
}

} // namespace

const Command kCheckCommand{
    .name = "check",
    .operands = "[FILE]",
    .minOperands = 0,
    .maxOperands = 1,
    .summary = "check a logic program and print it in words",
    .description = kDescription,
    .options = kOptions,
    .exitStatuses = kStatuses,
    .run = &run,
};

} // namespace zelk::cli

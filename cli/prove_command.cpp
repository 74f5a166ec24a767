#include "cli/prove_command.h"

#include "cli/prove/prove_run.h"

#include <charconv>
#include <iostream>

namespace zelk::cli {

namespace {

constexpr Option kOptions[] = {
    {"--program", "FILE", "the program (default: LogicCtl.ini in the current folder)"},
    {"--depth", "N", "check the first N cycles of every run (default 1000, at most 100000)"},
    {"--counterexample", "FILE", "write the first violation's script to FILE (default: beside)"},
    {"--svg", "FILE", "draw the first violation's timing diagram to FILE as SVG"},
    {"--json", "", "print the results as one JSON object"},
};

constexpr ExitStatus kStatuses[] = {
    {prove::kAllHold, "every property holds (proved, up to the depth, or reachable)"},
    {prove::kSomeFail, "a property is violated, unreachable or not reached (each is printed)"},
    {prove::kCannotProve, "bad properties file (line named), unreadable program, unwritable output"},
    {prove::kInternalError, "internal error: the engine does not reproduce a counterexample"},
    {kUsageStatus, "bad command line"},
};

constexpr std::string_view kIntroduction =
    "Proves properties of a logic program for every sequence of inputs, with the\n"
    "engine's own semantics: bounded model checking from the run's start to the depth,\n"
    "and k-induction, so that a property that holds is proved for runs of every length\n"
    "wherever induction succeeds. A violation comes with the shortest run found, as a\n"
    "test script (PROPERTIES-lineN.test beside the properties file), replayed on the\n"
    "engine before it is reported. No board is used; the program is not changed.\n"
    "\n";

int run(const Arguments& arguments) {
    prove::ProveFiles files;
    files.properties = arguments.operands.front();
    for (auto [option, file] :
         {std::pair{"--program", &files.program}, std::pair{"--counterexample", &files.counterexample},
          std::pair{"--svg", &files.svg}})
        if (const std::string* value = arguments.value(option)) {
            if (value->empty()) return usageError(kProveCommand, std::string(option) + " needs a file name");
            *file = *value;
        }
    if (const std::string* depth = arguments.value("--depth")) {
        const auto [end, ec] = std::from_chars(depth->data(), depth->data() + depth->size(), files.depth);
        if (ec != std::errc() || end != depth->data() + depth->size() || files.depth < 1 ||
            files.depth > prove::kMaxDepth)
            return usageError(kProveCommand, "--depth takes a number of cycles from 1 to 100000");
    }
    files.json = arguments.has("--json");
    return prove::runProve(files, std::cout, std::cerr);
}

const std::string kDescription = std::string(kIntroduction) + std::string(prove::kPropertiesHelp);

} // namespace

const Command kProveCommand{
    .name = "prove",
    .operands = "PROPERTIES",
    .minOperands = 1,
    .maxOperands = 1,
    .summary = "prove properties of a logic program over every input sequence",
    .description = kDescription,
    .options = kOptions,
    .exitStatuses = kStatuses,
    .run = &run,
};

} // namespace zelk::cli

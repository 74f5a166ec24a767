#include "cli/virtual_test/virtual_test.h"

#include "cli/virtual_test/script.h"
#include "cli/virtual_test/script_files.h"
#include "cli/virtual_test/text.h"
#include "cli/virtual_test/timing_svg.h"
#include "cli/virtual_test/trace_csv.h"
#include "cli/virtual_test/virtual_run.h"
#include "profile/file_access.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <numeric>
#include <optional>
#include <sstream>

namespace zelk::vtest {

namespace {

std::string ms(std::int64_t cycle) {
    return std::to_string(cycle * kCycleMs);
}

// "at 500 ms (cycle 50): expected var 1 = 1 within 100..500 ms, saw 0"
std::string failureText(const Expectation& e, const Outcome& o) {
    std::string text =
        "at " + ms(o.cycle) + " ms (cycle " + std::to_string(o.cycle) + "): expected " + e.wording;
    if (e.mode == Mode::Within) text += " within " + ms(e.first) + ".." + ms(e.last) + " ms";
    if (e.mode == Mode::Always) text += " throughout " + ms(e.first) + ".." + ms(e.last) + " ms";
    return text + ", saw " + o.seen;
}

namespace fs = std::filesystem;
using profile::detail::FileMeta;
using profile::detail::ReadStatus;

// Why an output may not be written to name, or empty. An output never replaces the program, the script
// or the other output, and never a device or a folder.
std::string outputRefusal(const TestFiles& files, const std::string& name, const std::string& other) {
    for (const auto& [input, what] :
         {std::pair{&files.program, "the program"}, std::pair{&files.script, "the script"},
          std::pair{&other, "the other output"}})
        if (!input->empty() && sameFile(name, *input)) return std::string("is ") + what;
    std::error_code ec;
    const fs::file_status status = fs::status(name, ec);
    if (fs::exists(status) && !fs::is_regular_file(status)) return "is not a regular file";
    return {};
}

} // namespace

const std::string_view kScriptHelp =
    "A script is UTF-8 text, one statement per line; '#' starts a comment. Times are\n"
    "ms from the start of the run (or with a unit: ms, s, min, h) on the 10 ms cycle\n"
    "grid; an input changed at T is read by the cycle at T + 10 ms.\n"
    "  100 press 0                     input pin 0 energized (release 0, port0 0xFE)\n"
    "  start press 2                   an input as the run starts: the first cycle reads it\n"
    "  150 expect port1 = 0x0E         after the cycle at 150 ms (also <> < > <= >=)\n"
    "  150 expect out 0 on             output pin 0 energized (off: released)\n"
    "  100..500 expect var 1 >= 2      after a cycle of the window (var NUMBER|NAME)\n"
    "  0..900 expect always out 3 off  after every cycle of the window\n"
    "  1000..1100 expect log \"a\\tb\"    a LOG row in the window (\\t: TAB)\n"
    "  200 expect clip \"text\"          the text last put on the clipboard\n"
    "  run 2s                          the run's length (default: last time named)\n"
    "Each failed expectation is printed as\n"
    "  SCRIPT:LINE: at T ms (cycle N): expected ..., saw ...\n";

int runTest(const TestFiles& files, std::ostream& out, std::ostream& err) {
    std::string scriptText;
    if (const std::string why = readScript(files.script, scriptText); !why.empty()) {
        err << "zelkctl test: cannot read the script " << files.script << ": it " << why << "\n";
        return kCannotTest;
    }
    ScriptError scriptError;
    auto script = parseScript(scriptText, scriptError);
    const auto reportScriptError = [&] {
        err << files.script << ':';
        if (scriptError.line > 0) err << scriptError.line << ':';
        err << " error: " << scriptError.message << "\n";
        return kCannotTest;
    };
    if (!script) return reportScriptError();

    for (const auto& [name, other] :
         {std::pair{&files.trace, &files.svg}, std::pair{&files.svg, &files.trace}}) {
        if (name->empty()) continue;
        if (const std::string why = outputRefusal(files, *name, *other); !why.empty()) {
            err << "zelkctl test: will not write " << *name << ": it " << why << "\n";
            return kCannotTest;
        }
    }

    VirtualRun run(files.program);
    std::string error;
    if (!run.open(error, script->inputs)) {
        err << "zelkctl test: " << error << "\n";
        return kCannotTest;
    }
    if (!run.bindVariables(*script, scriptError)) return reportScriptError();

    std::ostringstream traceText;
    std::optional<TraceCsv> trace;
    TimingSvg diagram(*script);
    std::vector<CycleListener*> listeners;
    if (!files.trace.empty()) listeners.push_back(&trace.emplace(traceText));
    if (!files.svg.empty()) listeners.push_back(&diagram);
    const auto started = std::chrono::steady_clock::now();
    const std::vector<Outcome> outcomes = run.run(*script, listeners);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;

    // Failures in the order they were decided.
    std::vector<std::size_t> order(outcomes.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::pair(outcomes[a].cycle, script->expectations[a].line) <
               std::pair(outcomes[b].cycle, script->expectations[b].line);
    });
    std::vector<std::string> failures;
    for (const std::size_t i : order) {
        if (outcomes[i].held) continue;
        failures.push_back(files.script + ':' + std::to_string(script->expectations[i].line) + ": " +
                           failureText(script->expectations[i], outcomes[i]));
        out << failures.back() << "\n";
    }
    const std::size_t failed = failures.size();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", took.count());
    out << files.script << ": " << counted(std::ssize(outcomes), "expectation") << ", "
        << outcomes.size() - failed << " held, " << failed << " failed; " << counted(script->cycles, "cycle")
        << " (" << ms(script->cycles) << " ms) in " << seconds << " s\n";

    std::ostringstream svgText;
    if (!files.svg.empty()) diagram.write(svgText, files.program + " / " + files.script, outcomes, failures);
    for (const auto& [name, text] : {std::pair{&files.trace, &traceText}, std::pair{&files.svg, &svgText}}) {
        if (!name->empty() && !writeOutput(*name, text->view())) {
            err << "zelkctl test: cannot write " << *name << "\n";
            return kCannotTest;
        }
    }
    return failed == 0 ? kAllHeld : kSomeFailed;
}

} // namespace zelk::vtest

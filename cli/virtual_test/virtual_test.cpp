#include "cli/virtual_test/virtual_test.h"

#include "cli/virtual_test/script.h"
#include "cli/virtual_test/timing_svg.h"
#include "cli/virtual_test/trace_csv.h"
#include "cli/virtual_test/virtual_run.h"

#include <algorithm>
#include <chrono>
#include <fstream>
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

} // namespace

const std::string_view kScriptHelp =
    "A script is UTF-8 text, one statement per line; '#' starts a comment. Times are\n"
    "ms from the start of the run (or with a unit: ms, s, min, h) on the 10 ms cycle\n"
    "grid; an input changed at T is read by the cycle at T + 10 ms.\n"
    "  100 press 0                     input pin 0 energized (release 0, port0 0xFE)\n"
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
    std::ifstream scriptFile(files.script, std::ios::binary);
    std::ostringstream scriptText;
    if (!scriptFile || !(scriptText << scriptFile.rdbuf())) {
        err << "zelkctl test: cannot read the script " << files.script << "\n";
        return kCannotTest;
    }
    ScriptError scriptError;
    auto script = parseScript(scriptText.str(), scriptError);
    const auto reportScriptError = [&] {
        err << files.script << ':';
        if (scriptError.line > 0) err << scriptError.line << ':';
        err << " error: " << scriptError.message << "\n";
        return kCannotTest;
    };
    if (!script) return reportScriptError();

    std::ofstream traceFile, svgFile;
    for (auto& [file, name] : {std::pair{&traceFile, files.trace}, std::pair{&svgFile, files.svg}}) {
        if (name.empty()) continue;
        file->open(name, std::ios::binary | std::ios::trunc);
        if (!*file) {
            err << "zelkctl test: cannot write " << name << "\n";
            return kCannotTest;
        }
    }

    VirtualRun run(files.program);
    std::string error;
    if (!run.open(error)) {
        err << "zelkctl test: " << error << "\n";
        return kCannotTest;
    }
    if (!run.bindVariables(*script, scriptError)) return reportScriptError();

    std::optional<TraceCsv> trace;
    TimingSvg diagram;
    std::vector<CycleListener*> listeners;
    if (traceFile.is_open()) listeners.push_back(&trace.emplace(traceFile));
    if (svgFile.is_open()) listeners.push_back(&diagram);
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
    std::size_t failed = 0;
    for (const std::size_t i : order) {
        if (outcomes[i].held) continue;
        ++failed;
        out << files.script << ':' << script->expectations[i].line << ": "
            << failureText(script->expectations[i], outcomes[i]) << "\n";
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", took.count());
    out << files.script << ": " << outcomes.size() << " expectations, " << outcomes.size() - failed
        << " held, " << failed << " failed; " << script->cycles << " cycles (" << ms(script->cycles)
        << " ms) in " << seconds << " s\n";

    if (svgFile.is_open()) diagram.write(svgFile, files.program + " / " + files.script, *script, outcomes);
    for (std::ofstream* file : {&traceFile, &svgFile}) {
        if (!file->is_open()) continue;
        file->close();
        if (file->fail()) {
            err << "zelkctl test: writing " << (file == &traceFile ? files.trace : files.svg) << " failed\n";
            return kCannotTest;
        }
    }
    return failed == 0 ? kAllHeld : kSomeFailed;
}

} // namespace zelk::vtest

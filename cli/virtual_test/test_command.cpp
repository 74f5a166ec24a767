#include "test_command.h"

#include "script.h"
#include "timing_svg.h"
#include "trace_csv.h"
#include "virtual_run.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <numeric>
#include <optional>
#include <sstream>

namespace zelk::vtest {

namespace {

struct Options {
    std::string script;
    std::string program = "LogicCtl.ini";
    std::string trace, svg;
    bool help = false;
};

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--program" || arg == "--trace" || arg == "--svg") {
            if (i + 1 == args.size()) {
                error = arg + " needs a file name";
                return std::nullopt;
            }
            (arg == "--program" ? options.program
             : arg == "--trace" ? options.trace
                                : options.svg) = args[++i];
        } else if (arg.starts_with("-") && arg != "-") {
            error = "unknown option: " + arg;
            return std::nullopt;
        } else if (options.script.empty()) {
            options.script = arg;
        } else {
            error = "one script at a time: " + arg;
            return std::nullopt;
        }
    }
    if (options.script.empty() && !options.help) {
        error = "which script? zelkctl test SCRIPT";
        return std::nullopt;
    }
    return options;
}

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

std::string testUsage() {
    return "Usage: zelkctl test SCRIPT [--program FILE] [--trace OUT.csv] [--svg OUT.svg]\n"
           "Runs a logic program against a test script in virtual time (no board, no waiting) and reports\n"
           "every expectation that did not hold.\n"
           "\n"
           "  --program FILE  the logic program (default LogicCtl.ini in the current directory)\n"
           "  --trace FILE    write each cycle in which something changed as CSV\n"
           "  --svg FILE      draw a timing diagram of the inputs, outputs and expectations\n"
           "\n"
           "Script lines (UTF-8, '#' starts a comment), times in ms from the run's start on the 10 ms grid:\n"
           "  100 press 0 | 100 release 0 | 100 port0 0xFE       change the inputs\n"
           "  150 expect port1 = 0x0E                            check after the cycle at 150 ms\n"
           "  150 expect out 0 on                                output pin 0 energized\n"
           "  100..500 expect var 1 >= 2                         holds after some cycle of the window\n"
           "  0..900 expect always out 3 off                     holds after every cycle of the window\n"
           "  1000..1100 expect log \"row\\t1\"                     a LOG row (\\t: TAB) in the window\n"
           "  200 expect clip \"text\"                             the text last put on the clipboard\n"
           "  run 2s                                             the run's length (ms, s, min, h)\n"
           "An input changed at T is read by the cycle at T + 10 ms.\n"
           "\n"
           "Exit status: 0 every expectation held, 1 some failed, 2 bad script or unreadable file,\n"
           "64 bad command line.\n";
}

int runTestCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    const auto options = parseOptions(args, error);
    if (!options) {
        err << "zelkctl test: " << error << "\nTry 'zelkctl test --help'.\n";
        return kUsage;
    }
    if (options->help) {
        out << testUsage();
        return kAllHeld;
    }

    std::ifstream scriptFile(options->script, std::ios::binary);
    std::ostringstream scriptText;
    if (!scriptFile || !(scriptText << scriptFile.rdbuf())) {
        err << "zelkctl test: cannot read the script " << options->script << "\n";
        return kCannotTest;
    }
    ScriptError scriptError;
    auto script = parseScript(scriptText.str(), scriptError);
    const auto reportScriptError = [&] {
        err << options->script << ':';
        if (scriptError.line > 0) err << scriptError.line << ':';
        err << " error: " << scriptError.message << "\n";
        return kCannotTest;
    };
    if (!script) return reportScriptError();

    std::ofstream traceFile, svgFile;
    for (auto& [file, name] : {std::pair{&traceFile, options->trace}, std::pair{&svgFile, options->svg}}) {
        if (name.empty()) continue;
        file->open(name, std::ios::binary | std::ios::trunc);
        if (!*file) {
            err << "zelkctl test: cannot write " << name << "\n";
            return kCannotTest;
        }
    }

    VirtualRun run(options->program);
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
        out << options->script << ':' << script->expectations[i].line << ": "
            << failureText(script->expectations[i], outcomes[i]) << "\n";
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", took.count());
    out << options->script << ": " << outcomes.size() << " expectations, " << outcomes.size() - failed
        << " held, " << failed << " failed; " << script->cycles << " cycles (" << ms(script->cycles)
        << " ms) in " << seconds << " s\n";

    if (svgFile.is_open())
        diagram.write(svgFile, options->program + " / " + options->script, *script, outcomes);
    for (std::ofstream* file : {&traceFile, &svgFile}) {
        if (!file->is_open()) continue;
        file->close();
        if (file->fail()) {
            err << "zelkctl test: writing " << (file == &traceFile ? options->trace : options->svg)
                << " failed\n";
            return kCannotTest;
        }
    }
    return failed == 0 ? kAllHeld : kSomeFailed;
}

} // namespace zelk::vtest

#include "cli/prove/prove_run.h"

#include "cli/json.h"
#include "cli/prove/counterexample.h"
#include "cli/prove/prover.h"
#include "cli/shown_text.h"
#include "cli/virtual_test/script_files.h"
#include "cli/virtual_test/virtual_run.h"
#include "cli/virtual_test/virtual_test.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>

namespace zelk::prove {

const std::string_view kPropertiesHelp =
    "A properties file is UTF-8 text, one property a line; '#' starts a comment.\n"
    "  never out 2 on and in 3 off       no cycle ends with output 2 on and input 3 off\n"
    "  always var 押下回数 >= 0           every cycle ends with it true\n"
    "  after in 0 rises, out 0 on within 3 cycles\n"
    "                                    the cycle input 0 becomes energized, or one of\n"
    "                                    the 3 after it, ends with output 0 on\n"
    "  reachable out 3 on                some run has a cycle ending with output 3 on\n"
    "Atoms: in N | out N with on, off, rises, falls; port0 | port1 RELATION VALUE;\n"
    "var NUMBER|NAME RELATION VALUE (= <> < > <= >=); joined by 'and' (binding\n"
    "tighter) and 'or', each after an optional 'not'. Inputs are free in every cycle,\n"
    "the first included; the run starts as a run of the engine does. Results:\n"
    "  proved (induction depth K)        holds in every cycle of every run\n"
    "  holds up to N cycles              holds in the first N cycles of every run\n"
    "  violated in cycle C               with a counterexample script for zelkctl test\n"
    "  reachable in cycle C, unreachable (induction depth K), not reached in N cycles\n";

namespace {

namespace fs = std::filesystem;

std::string ms(std::int64_t cycle) {
    return std::to_string(cycle * vtest::kCycleMs);
}

std::string verdictText(const Result& r) {
    const std::string depth = std::to_string(r.depth);
    const std::string at = std::to_string(r.cycle) + " (" + ms(r.cycle) + " ms)";
    switch (r.verdict) {
    case Verdict::Proved:
        return "proved (induction depth " + depth + ")";
    case Verdict::HoldsUpTo:
        return "holds up to " + depth + " cycles";
    case Verdict::Violated:
        return "violated in cycle " + at;
    case Verdict::Reachable:
        return "reachable in cycle " + at;
    case Verdict::Unreachable:
        return "unreachable (induction depth " + depth + ")";
    case Verdict::NotReached:
        return "not reached in " + depth + " cycles";
    }
    return {};
}

std::string_view verdictName(Verdict v) {
    switch (v) {
    case Verdict::Proved:
        return "proved";
    case Verdict::HoldsUpTo:
        return "holds up to";
    case Verdict::Violated:
        return "violated";
    case Verdict::Reachable:
        return "reachable";
    case Verdict::Unreachable:
        return "unreachable";
    case Verdict::NotReached:
        return "not reached";
    }
    return {};
}

bool holds(Verdict v) {
    return v == Verdict::Proved || v == Verdict::HoldsUpTo || v == Verdict::Reachable;
}

// Binds each variable atom to a number of the program's table; false with the property's line otherwise.
bool bindVariables(std::vector<Property>& properties, const Program& program, PropertyError& error) {
    const int count = std::clamp<std::int32_t>(program.variableCount, 0, kVariableCount);
    for (Property& p : properties)
        for (Condition* c : {&p.condition, &p.trigger})
            for (auto& term : c->terms)
                for (Atom& a : term) {
                    if (a.subject != Subject::Variable) continue;
                    if (a.index < 0) a.index = vtest::variableNumber(program, a.name);
                    if (a.index < 0) {
                        error = {p.line, "the program has no variable named " + cli::shownUtf8(a.name)};
                        return false;
                    }
                    if (a.index >= count) {
                        error = {p.line, "the program has " + std::to_string(count) +
                                             " variables: no variable " + std::to_string(a.index)};
                        return false;
                    }
                }
    return true;
}

// A violation's script beside the properties file: NAME-lineN.test.
std::string besideProperties(const std::string& properties, int line) {
    const fs::path path(properties);
    return (path.parent_path() / (path.stem().string() + "-line" + std::to_string(line) + ".test")).string();
}

} // namespace

int runProve(const ProveFiles& files, std::ostream& out, std::ostream& err) {
    std::string text;
    if (const std::string why = vtest::readScript(files.properties, text); !why.empty()) {
        err << "zelkctl prove: cannot read the properties " << files.properties << ": it " << why << "\n";
        return kCannotProve;
    }
    PropertyError error;
    auto properties = parseProperties(text, error);
    const auto reportError = [&] {
        err << files.properties << ':';
        if (error.line > 0) err << error.line << ':';
        err << " error: " << error.message << "\n";
        return kCannotProve;
    };
    if (!properties) return reportError();

    if (const std::string why = vtest::whyUnreadable(files.program); !why.empty()) {
        err << "zelkctl prove: cannot read the program " << files.program << ": it " << why << "\n";
        return kCannotProve;
    }
    const auto program = std::make_unique<Program>();
    loadProgram(*program, ProgramFile(files.program));
    if (!bindVariables(*properties, *program, error)) return reportError();
    for (const std::string* output : {&files.counterexample, &files.svg})
        for (const std::string* input : {&files.program, &files.properties})
            if (!output->empty() && vtest::sameFile(*output, *input)) {
                err << "zelkctl prove: " << *output << " is the program or the properties: not written\n";
                return kCannotProve;
            }

    int status = kAllHold;
    bool firstViolation = true;
    std::vector<std::string> results;
    for (const Property& p : *properties) {
        const auto started = std::chrono::steady_clock::now();
        const Result result = prove(*program, p, files.depth);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        std::string written;
        if (result.verdict == Verdict::Violated || result.verdict == Verdict::Reachable) {
            const std::string title = files.properties + ':' + std::to_string(p.line) + ": " + p.wording;
            const Replay replay = replayCounterexample(files.program, p, result, title);
            if (!replay.reproduced) {
                err << files.properties << ':' << p.line << ": internal error: the prover's run ("
                    << verdictText(result) << ") is not the engine's: " << replay.error << "\n";
                return kInternalError;
            }
            if (result.verdict == Verdict::Violated) {
                written = firstViolation && !files.counterexample.empty()
                              ? files.counterexample
                              : besideProperties(files.properties, p.line);
                if (!vtest::writeOutput(written, replay.script)) {
                    err << "zelkctl prove: cannot write " << written << "\n";
                    return kCannotProve;
                }
                if (firstViolation && !files.svg.empty()) {
                    std::ostringstream ignored;
                    if (vtest::runTest({written, files.program, {}, files.svg}, ignored, err) ==
                        vtest::kCannotTest)
                        return kCannotProve;
                }
                firstViolation = false;
            }
        }
        if (!holds(result.verdict)) status = kSomeFail;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", took.count());
        if (files.json) {
            cli::JsonObject o;
            o.field("line", p.line).field("property", p.wording).field("result", verdictName(result.verdict));
            o.field("depth", result.depth);
            if (result.cycle >= 0) o.field("cycle", result.cycle);
            if (!written.empty()) o.field("counterexample", written);
            o.field("seconds", std::string_view(seconds));
            results.push_back(o.str());
        } else {
            out << files.properties << ':' << p.line << ": " << p.wording << ": " << verdictText(result)
                << " in " << seconds << " s\n";
            if (!written.empty())
                out << "  counterexample: " << written << " (zelkctl test " << written << ")\n";
        }
    }
    if (files.json) {
        out << "{\"file\":" << cli::jsonString(files.properties)
            << ",\"program\":" << cli::jsonString(files.program) << ",\"properties\":[";
        for (std::size_t i = 0; i < results.size(); ++i)
            out << (i ? "," : "") << results[i];
        out << "],\"status\":" << status << "}\n";
    }
    return status;
}

} // namespace zelk::prove

#include "cli/run_command.h"

#include "binding/engine_library.h"
#include "cli/run_report.h"
#include "cli/shown_text.h"
#include "cli/status_record.h"
#include "cli/stop_signals.h"
#include "core/loaded_program.h"
#include "core/messages.h"
#include "core/trace_switch.h"
#include "hid/board_check.h"
#include "program/keys.h"
#ifdef ZELK_PLANT
#include "cli/plant/in_process_engine.h"
#include "cli/plant/plant.h"
#endif

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

namespace zelk::cli {

namespace {

enum Status {
    kStopped = 0,       // stopped as asked
    kNotStarted = 2,    // openKaldex failed, or the run could not be prepared
    kNoEngine = 3,      // the engine library or an export is missing
    kEndedByItself = 4, // the run closed itself: the board was lost
    kLogNotWritten = 5, // stopped as asked, but the log file could not be written
};

constexpr auto kPollPeriod = std::chrono::milliseconds(50);
// --for accepts up to ten years: far beyond any run, well inside the clock's range.
constexpr double kLongestRunSeconds = 10 * 366 * 86400.0;

constexpr Option kRunOptions[] = {
    {"--dir", "DIR", "the work folder holding LogicCtl.ini (default: the current one)"},
    {"--for", "SECONDS", "stop after SECONDS (greater than 0, decimals allowed)"},
    {"--json", "", "one JSON object per line instead of text"},
    {"--verbose", "", "the engine's trace on standard error: the board search, why a read or a send failed"},
};

// The run's own options, then those of the servers beside it where this build has them.
std::vector<Option> allOptions() {
    std::vector<Option> options(std::begin(kRunOptions), std::end(kRunOptions));
#ifdef ZELK_PLANT
    options.insert(options.end(), std::begin(plant::kPlantOptions), std::end(plant::kPlantOptions));
#endif
    return options;
}
const std::vector<Option> kOptions = allOptions();

constexpr ExitStatus kStatuses[] = {
    {kStopped, "stopped as asked (a stop signal, end of --for); log file written"},
    {kNotStarted, "no run started: no board, board in use, DIR or a server's port unusable (reason printed)"},
    {kNoEngine, "the engine library ZELK_Eng or one of its exports is missing"},
    {kEndedByItself, "the run ended by itself: board lost (sendKaldex NG); log file written"},
    {kLogNotWritten, "stopped as asked, but the log file could not be written (reason printed)"},
    {kUsageStatus, "bad command line"},
};

constexpr std::string_view kDescription =
    "Runs the logic program LogicCtl.ini of the work folder on the KALDEX board\n"
    "through the engine ZELK_Eng, as the console's start button does, without a\n"
    "desktop. The work folder becomes the current folder, where the engine also\n"
    "writes the program's log file.\n"
    "\n"
    "Prints one line for each new event-log entry and each change of the run state:\n"
    "the local time, the seconds counter and the text, in UTF-8. SIGINT (Ctrl+C),\n"
    "SIGTERM or SIGHUP closes the run, which writes the log file, and ends zelkctl\n"
    "with status 0.\n"
#ifdef ZELK_PLANT
    "\n"
    "With --modbus the run is also served to Modbus TCP clients: discrete inputs 0-7\n"
    "are the inputs, coils 0-3 the outputs, input registers 0-5 the run state, the\n"
    "raw port bytes, the seconds counter and the tick, input registers 100-227 the\n"
    "variables (two registers each, high word first); read-only unless\n"
    "--modbus-write. With --mqtt it is published to an MQTT broker: zelk/NAME/status,\n"
    "state, inputs, outputs and vars (retained JSON) and events. A broker that is\n"
    "away never stops the run. With either, the engine runs inside zelkctl, which\n"
    "so reads the variables. zelkctl(1) shows the map and the topics.\n";
#else
    "\n"
    "This build has no Modbus TCP server and no MQTT client: --modbus and --mqtt are\n"
    "options of the Linux builds only.\n";
#endif

void printError(const std::string& message) {
    std::fprintf(stderr, "zelkctl: %s\n", message.c_str());
}

// A number of seconds greater than 0: digits with an optional fraction.
std::optional<double> parseSeconds(const std::string& text) {
    double seconds = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, seconds, std::chars_format::fixed);
    if (error != std::errc() || stop != end || text.empty() || text[0] == '-' || !(seconds > 0) ||
        seconds > kLongestRunSeconds)
        return std::nullopt;
    return seconds;
}

// Whether an event is the engine's word that the log file could not be written at the close.
bool isLogFailure(const EventEntry& entry) {
    return std::string_view(entry.text, strnlen(entry.text, sizeof entry.text)) == messages::kCsvOpenFailed;
}

// The newest event that says why the run did not start or ended: the log file's failure at the close that
// follows a lost board is told apart.
std::string newestEventText(const CtlData& data) {
    const EventEntry* newest = &data.events[0];
    if (isLogFailure(*newest)) ++newest;
    return eventText(*newest);
}

// What became of the log file that the close has just written, or failed to write.
std::string logFailureText() {
    std::array<char, 256> name{};
    ProgramFile(std::string(keys::kFileName)).readText(keys::kLogCsv, keys::kCsvFileName, name);
    return "the log file " + quoted(name.data()) + " could not be written in " +
           escapedUtf8(std::filesystem::current_path().string()) + " (" + shown(messages::kCsvOpenFailed) +
           "): the run's LOG rows are lost";
}

// Why no board opened, in zelkctl's words.
std::string boardProblemText(const hid::BoardCheck& check) {
    const std::string board = "the board " + check.path;
    const std::string system = check.systemText.empty() ? "" : " (" + check.systemText + ")";
    switch (check.problem) {
    case hid::BoardProblem::NoBoard:
        break;
    case hid::BoardProblem::InUse:
        return board + " is in use by another program";
    case hid::BoardProblem::NoPermission:
        return "no permission to open " + board + system + ": the udev rule " + hid::kUdevRuleFile +
               " lets the group " + hid::kBoardGroup + " open it";
    case hid::BoardProblem::NoAnswer:
        return board + " does not answer";
    case hid::BoardProblem::OpenFailed:
        return board + " cannot be opened" + system;
    case hid::BoardProblem::Opens:
        return board + " opened when checked again: try again";
    }
    return "no board found: no KALDEX board among the HID devices and no virtual board in " +
           check.boardDirectory + " (KALDEX_BOARD_DIR); kaldex-sim serves one";
}

// The engine reads its trace switch when it first opens: the library is loaded, or the engine made, after
// this, in a process that has no other threads yet.
void traceToStandardError() {
#ifdef _WIN32
    _putenv_s(tracing::kTraceVariable, "stderr");
#else
    setenv(tracing::kTraceVariable, "stderr", 1);
#endif
}

// Binds the engine where the usual search finds it, or says what is missing.
bool bindEngine(binding::EngineExports& exports) {
    static binding::EngineLibrary library;
    std::string error;
    if (!library.load(binding::searchOrder(binding::programDirectory()), error)) {
        printError("the engine ZELK_Eng was not found:" + error);
        return false;
    }
    if (!binding::bindExports(library, exports, error)) {
        printError("the engine library has no export " + error);
        return false;
    }
    return true;
}

int run(const Arguments& arguments) {
    std::optional<std::chrono::duration<double>> runFor;
    if (const std::string* text = arguments.value("--for")) {
        const std::optional<double> seconds = parseSeconds(*text);
        if (!seconds)
            return usageError(kRunCommand, "--for needs a number of seconds greater than 0: '" + *text + "'");
        runFor = std::chrono::duration<double>(*seconds);
    }
    const ReportFormat format = arguments.has("--json") ? ReportFormat::Json : ReportFormat::Text;
    if (arguments.has("--verbose")) traceToStandardError();
#ifdef ZELK_PLANT
    std::string plantError;
    const std::optional<plant::PlantSettings> plantSettings = plant::readPlantSettings(arguments, plantError);
    if (!plantSettings) return usageError(kRunCommand, plantError);
    // The servers need the variables, which only the engine object holds: it then runs in this process.
    const bool inProcess = plantSettings->any();
    plant::Plant plant(plant::inProcessRun());
#else
    const bool inProcess = false;
#endif

    // Before the engine starts a thread: the threads inherit the blocked stop signals.
    StopSignals stop;
    if (!stop.ok()) {
        printError(stop.error());
        return kNotStarted;
    }
    binding::EngineExports engine;
#ifdef ZELK_PLANT
    if (inProcess) engine = plant::inProcessExports();
#endif
    if (!inProcess && !bindEngine(engine)) return kNoEngine;

    if (const std::string* dir = arguments.value("--dir")) {
        std::error_code error;
        std::filesystem::current_path(std::filesystem::path(*dir), error);
        if (error) {
            printError("cannot enter " + *dir + ": " + error.message());
            return kNotStarted;
        }
    }
    // The engine runs an empty program without a word when the file is missing: say so.
    if (!std::filesystem::exists("LogicCtl.ini"))
        printError("warning: no LogicCtl.ini in the work folder: the run has an empty program");

#ifdef ZELK_PLANT
    if (!plant.prepare(*plantSettings, plantError)) {
        printError("no run started: " + plantError);
        return kNotStarted;
    }
#endif

    CtlData data{};
    engine.getCtlData(&data);
    RunReport report(format, stdout, data);
    if (engine.openKaldex() != 1) {
        engine.getCtlData(&data);
        report.update(data);
        printError("no run started: " + newestEventText(data));
        // The engine closes again after a failed board search; it stays opening when it could not start.
        if (data.state == ZELK_STATE_CLOSED) printError(boardProblemText(hid::checkSystemBoards()));
        return kNotStarted;
    }

#ifdef ZELK_PLANT
    plant.start();
#endif

    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    int status = kStopped;
    for (;;) {
        engine.getCtlData(&data);
        report.update(data);
        if (data.state == ZELK_STATE_CLOSED) {
            // The event says what failed; the board search, run again, says what became of the board.
            printError("the run ended by itself: " + newestEventText(data) + "; now " +
                       boardProblemText(hid::checkSystemBoards()));
            status = kEndedByItself;
            break;
        }
        auto wait = kPollPeriod;
        if (runFor) {
            const auto left = *runFor - (Clock::now() - started);
            if (left <= left.zero()) break;
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(left));
        }
        if (stop.wait(wait)) break;
    }
    // A run that ended by itself is closed already; the call then waits for its log file.
    engine.closeKaldex();
    engine.getCtlData(&data);
    report.update(data);
    if (isLogFailure(data.events[0])) {
        printError(logFailureText());
        if (status == kStopped) status = kLogNotWritten;
    }
#ifdef ZELK_PLANT
    plant.stop();
#endif
    return status;
}

} // namespace

const Command kRunCommand{
    .name = "run",
    .operands = "",
    .minOperands = 0,
    .maxOperands = 0,
    .summary = "run the logic program on the KALDEX board until stopped",
    .description = kDescription,
    .options = kOptions,
    .exitStatuses = kStatuses,
    .run = &run,
};

} // namespace zelk::cli

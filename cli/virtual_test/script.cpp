#include "cli/virtual_test/script.h"

#include "cli/virtual_test/text.h"
#include "codepage/codepage.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace zelk::vtest {

bool tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error) {
    tokens.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token token{"", true};
            for (++i;; ++i) {
                if (i >= line.size()) {
                    error = "text without its closing quote";
                    return false;
                }
                if (line[i] == '"') break;
                if (line[i] == '\\') {
                    const char next = i + 1 < line.size() ? line[i + 1] : '\0';
                    if (next != '"' && next != '\\' && next != 't') {
                        error = "unknown escape in text (use \\t, \\\" or \\\\)";
                        return false;
                    }
                    token.text += next == 't' ? '\t' : next;
                    ++i;
                } else {
                    token.text += line[i];
                }
            }
            ++i;
            tokens.push_back(std::move(token));
        } else {
            const std::size_t end = std::min(line.find_first_of(" \t\r#\"", i), line.size());
            tokens.push_back({std::string(line.substr(i, end - i)), false});
            i = end;
        }
    }
    return true;
}

std::optional<std::int64_t> parseInteger(std::string_view text, bool isSigned) {
    bool negative = false;
    if (isSigned && !text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return negative ? -value : value;
}

namespace {

// Each relation's spellings, the one written first.
constexpr std::pair<std::string_view, Relation> kRelations[] = {
    {"=", Relation::Eq}, {"<>", Relation::Ne}, {"!=", Relation::Ne}, {"<", Relation::Lt},
    {">", Relation::Gt}, {"<=", Relation::Le}, {">=", Relation::Ge}};

} // namespace

std::optional<Relation> parseRelation(std::string_view text) {
    for (const auto& [name, relation] : kRelations)
        if (text == name) return relation;
    return std::nullopt;
}

std::string_view relationText(Relation relation) {
    for (const auto& [name, r] : kRelations)
        if (r == relation) return name;
    return "=";
}

namespace {

constexpr std::int64_t kMaxMs = 24LL * 3600 * 1000; // a day: longer runs are typing mistakes

// A time: digits with an optional unit, on the cycle grid. Returns the cycle.
std::optional<std::int64_t> parseTime(std::string_view text, std::string& error) {
    const std::size_t digits = std::min(text.find_first_not_of("0123456789"), text.size());
    const std::string_view unit = text.substr(digits);
    std::int64_t scale = 0;
    for (const auto& [name, ms] :
         {std::pair{"", 1}, {"ms", 1}, {"s", 1000}, {"min", 60'000}, {"h", 3'600'000}})
        if (unit == name) scale = ms;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + digits, value);
    if (digits == 0 || scale == 0 || ec != std::errc() || end != text.data() + digits) {
        error = "not a time: '" + shownUtf8(text) + "' (milliseconds, or a number with ms, s, min or h)";
        return std::nullopt;
    }
    if (value > kMaxMs / scale) {
        error = "time beyond 24 h: " + shownUtf8(text);
        return std::nullopt;
    }
    value *= scale;
    if (value % kCycleMs != 0) {
        error = "time " + shownUtf8(text) + " is not on the 10 ms cycle grid";
        return std::nullopt;
    }
    return value / kCycleMs;
}

// The tokens from first on, joined by spaces: as written, or as a message shows them (escaped, cut).
std::string joined(const std::vector<Token>& tokens, std::size_t first, bool shown) {
    std::string text;
    for (std::size_t i = first; i < tokens.size(); ++i) {
        if (!text.empty()) text += ' ';
        const Token& token = tokens[i];
        text += token.quoted ? (shown ? quotedUtf8(token.text) : '"' + token.text + '"')
                             : (shown ? shownUtf8(token.text) : token.text);
    }
    return text;
}

// A message of the board's parser, which names the word it refuses as written: that word escaped and cut.
std::string shownWords(std::string message, const std::vector<Token>& tokens) {
    for (const Token& token : tokens) {
        const std::string shown = shownUtf8(token.text);
        const std::size_t at = message.rfind(token.text);
        if (shown != token.text && at != std::string::npos) message.replace(at, token.text.size(), shown);
    }
    return escapedUtf8(message); // a word the parser split from a quoted text
}

class LineParser {
public:
    LineParser(const std::vector<Token>& tokens, std::string& error) : tokens_(tokens), error_(error) {}

    // The subject of "expect [always]", from token i on.
    bool subject(std::size_t i, Expectation& e) {
        const std::size_t left = tokens_.size() - i;
        const std::string_view what = word(i);
        if (what == "port1") {
            e.subject = Subject::Port1;
            return expectCount(left, 3, "port1 RELATION VALUE") && relation(i + 1, e) &&
                   number(i + 2, 0, 0xFF, "port1 value", e.value);
        }
        if (what == "out") {
            e.subject = Subject::OutputPin;
            if (!expectCount(left, 3, "out PIN on|off") || !number(i + 1, 0, 3, "output pin", e.index))
                return false;
            const std::string_view state = word(i + 2);
            if (state != "on" && state != "off")
                return fail("output state must be on or off: " + shown(i + 2));
            e.value = state == "on";
            return true;
        }
        if (what == "var") {
            e.subject = Subject::Variable;
            if (!expectCount(left, 4, "var NUMBER|NAME RELATION VALUE")) return false;
            if (!tokens_[i + 1].quoted && parseInteger(tokens_[i + 1].text, false)) {
                if (!number(i + 1, 0, 63, "variable number", e.index)) return false;
            } else {
                e.name = tokens_[i + 1].text;
            }
            return relation(i + 2, e) &&
                   number(i + 3, std::numeric_limits<std::int32_t>::min(),
                          std::numeric_limits<std::int32_t>::max(), "variable value", e.value);
        }
        if (what == "log" || what == "clip") {
            e.subject = what == "log" ? Subject::LogRow : Subject::Clipboard;
            if (!expectCount(left, 2, std::string(what) + " \"TEXT\"")) return false;
            if (!tokens_[i + 1].quoted) return fail("the text goes in double quotes");
            e.text = codepage::toCp932(tokens_[i + 1].text);
            return true;
        }
        return fail("unknown expectation '" + shown(i) + "' (port1, out, var, log or clip)");
    }

private:
    // Token i as a message shows it.
    std::string shown(std::size_t i) const {
        return tokens_[i].quoted ? quotedUtf8(tokens_[i].text) : shownUtf8(tokens_[i].text);
    }
    std::string_view word(std::size_t i) const {
        return i < tokens_.size() && !tokens_[i].quoted ? std::string_view(tokens_[i].text) : "";
    }
    bool fail(std::string message) {
        error_ = std::move(message);
        return false;
    }
    bool expectCount(std::size_t left, std::size_t wanted, const std::string& form) {
        return left == wanted || fail("expected '" + form + "'");
    }
    bool relation(std::size_t i, Expectation& e) {
        const auto r = parseRelation(word(i));
        if (!r) return fail("'" + shown(i) + "' is not a relation (=, <>, <, >, <=, >=)");
        e.relation = *r;
        return true;
    }
    template <typename T>
    bool number(std::size_t i, std::int64_t min, std::int64_t max, const char* what, T& out) {
        const auto value = parseInteger(word(i), min < 0);
        if (!value || *value < min || *value > max)
            return fail(std::string(what) + " must be " + std::to_string(min) + " to " + std::to_string(max) +
                        ": " + shown(i));
        out = static_cast<T>(*value);
        return true;
    }

    const std::vector<Token>& tokens_;
    std::string& error_;
};

} // namespace

bool compare(Relation relation, std::int32_t seen, std::int32_t expected) {
    switch (relation) {
    case Relation::Eq:
        return seen == expected;
    case Relation::Ne:
        return seen != expected;
    case Relation::Lt:
        return seen < expected;
    case Relation::Gt:
        return seen > expected;
    case Relation::Le:
        return seen <= expected;
    case Relation::Ge:
        return seen >= expected;
    }
    return false;
}

std::optional<Script> parseScript(std::string_view text, ScriptError& error) {
    Script script;
    std::vector<Token> tokens;
    std::optional<std::int64_t> runCycles;
    int runLine = 0;
    std::int64_t latest = -1; // the latest cycle named
    int latestLine = 0;
    int number = 0;
    auto fail = [&](std::string message) {
        error = {number, std::move(message)};
        return std::nullopt;
    };

    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3); // a byte order mark, as some editors write

    while (!text.empty()) {
        ++number;
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        std::string message;
        if (!cli::isUtf8(line)) return fail("not UTF-8 text (save the script as UTF-8)");
        if (!tokenize(line, tokens, message)) return fail(message);
        if (tokens.empty()) continue;
        if (tokens[0].quoted) return fail("a line starts with a time or 'run'");

        if (tokens[0].text == "run") {
            if (runCycles)
                return fail("the run's length is already given on line " + std::to_string(runLine));
            if (tokens.size() != 2) return fail("expected 'run DURATION'");
            runCycles = parseTime(tokens[1].text, message);
            if (!runCycles) return fail(message);
            if (*runCycles == 0) return fail("the run needs at least one cycle (10 ms)");
            runLine = number;
            continue;
        }

        if (tokens[0].text == "start") { // the board's inputs as the run starts: what its first cycle reads
            std::optional<vboard::InputCommand> command;
            if (tokens.size() < 2 || tokens[1].text == "expect" ||
                !vboard::parseInputLine(joined(tokens, 1, false), command, message) || !command)
                return fail(
                    "'start' takes an input change: start press N, start release N or start port0 VALUE");
            script.inputs.push_back({kStartCycle, *command});
            continue;
        }

        // The time or window.
        const std::string& when = tokens[0].text;
        const std::size_t dots = when.find("..");
        const auto first = parseTime(when.substr(0, dots), message);
        if (!first) return fail(message);
        std::optional<std::int64_t> last = first;
        if (dots != std::string::npos) {
            last = parseTime(when.substr(dots + 2), message);
            if (!last) return fail(message);
            if (*last < *first) return fail("the window ends before it starts");
        }
        if (*last > latest) {
            latest = *last;
            latestLine = number;
        }
        if (tokens.size() < 2) return fail("nothing to do at " + shownUtf8(when));

        const std::string& verb = tokens[1].text;
        if (verb == "expect") {
            Expectation e;
            e.line = number;
            e.first = *first;
            e.last = *last;
            const bool always = tokens.size() > 2 && tokens[2].text == "always" && !tokens[2].quoted;
            if (always && dots == std::string::npos) return fail("'expect always' needs a window: FROM..TO");
            e.mode = always ? Mode::Always : (dots == std::string::npos ? Mode::At : Mode::Within);
            const std::size_t subject = always ? 3 : 2;
            LineParser parser(tokens, message);
            if (!parser.subject(subject, e)) return fail(message);
            e.wording = joined(tokens, subject, true);
            script.expectations.push_back(std::move(e));
            continue;
        }
        if (dots != std::string::npos) return fail("an input change happens at one time, not in a window");
        std::optional<vboard::InputCommand> command;
        if (!vboard::parseInputLine(joined(tokens, 1, false), command, message) || !command)
            return fail(message.empty() ? "expected an input change or 'expect'"
                                        : shownWords(message, tokens));
        script.inputs.push_back({*first, *command});
    }

    if (runCycles && latest >= *runCycles) {
        error = {latestLine, "this time is not within the run (run " + std::to_string(*runCycles * kCycleMs) +
                                 " on line " + std::to_string(runLine) + ")"};
        return std::nullopt;
    }
    if (!runCycles && latest < 0) {
        error = {0, "the script has nothing to run: give 'run DURATION' or timed lines"};
        return std::nullopt;
    }
    script.cycles = runCycles ? *runCycles : latest + 1;
    std::stable_sort(script.inputs.begin(), script.inputs.end(),
                     [](const InputStep& a, const InputStep& b) { return a.cycle < b.cycle; });
    std::stable_sort(script.expectations.begin(), script.expectations.end(),
                     [](const Expectation& a, const Expectation& b) { return a.first < b.first; });
    return script;
}

} // namespace zelk::vtest

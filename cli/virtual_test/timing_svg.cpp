#include "cli/virtual_test/timing_svg.h"

#include "cli/virtual_test/text.h"
#include "codepage/codepage.h"

#include <algorithm>
#include <cstdio>

namespace zelk::vtest {

namespace {

constexpr double kLeft = 90, kPlotWidth = 1000, kRight = 30, kTop = 56;
constexpr double kRow = 26, kGap = 12, kLane = 16, kAxis = 34, kLogLane = 12, kFailureLine = 16;
constexpr int kInputs = 8, kOutputs = 4, kMaxLanes = 8, kMaxFailures = 12;
constexpr double kDigitWidth = 7; // of a digit at 12 px, for room to write a value or a line number
constexpr const char* kInputColour = "#1f5fbf";
constexpr const char* kOutputColour = "#c05a00";
constexpr const char* kValueColour = "#6a3d9a";
constexpr const char* kLogColour = "#555";
constexpr const char* kHeldColour = "#1a8f1a";
constexpr const char* kFailedColour = "#d01c1c";

// Text for XML: markup characters as entities, and what XML may not hold (control bytes, bytes that are
// not UTF-8) as U+FFFD, so that any program or script text leaves the document well-formed.
std::string escaped(std::string_view text) {
    constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c < 0x20 || c == 0x7F ? kReplacement : std::string_view(&text[i], 1);
            }
            ++i;
            continue;
        }
        // A UTF-8 sequence: its lead byte gives its length; each further byte is 10xxxxxx.
        const std::size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                                   : c >= 0xE0 && c <= 0xEF ? 3
                                   : c >= 0xF0 && c <= 0xF4 ? 4
                                                            : 0;
        std::size_t n = 1;
        while (length > 0 && n < length && i + n < text.size() &&
               (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80)
            ++n;
        if (length > 0 && n == length) {
            out += text.substr(i, n);
            i += n;
        } else {
            out += kReplacement;
            i += std::max<std::size_t>(n, 1);
        }
    }
    return out;
}

// At most max characters of a UTF-8 text, with "…" where it was cut.
std::string shortened(const std::string& utf8, std::size_t max) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
        if (++characters > max) return utf8.substr(0, i) + "\xE2\x80\xA6";
    }
    return utf8;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string timeLabel(std::int64_t ms, std::int64_t step) {
    char text[32];
    if (step >= 1000 && ms % 1000 == 0)
        std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(ms / 1000));
    else if (step >= 100)
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000);
    else
        std::snprintf(text, sizeof text, "%lld ms", static_cast<long long>(ms));
    return text;
}

// A round tick step (1, 2 or 5 times a power of ten, in ms) giving at most ten ticks.
std::int64_t tickStep(std::int64_t totalMs) {
    std::int64_t power = 10;
    while (true) {
        for (const std::int64_t m : {1, 2, 5})
            if (totalMs / (m * power) <= 10) return m * power;
        power *= 10;
    }
}

std::string describe(const Expectation& e) {
    const auto ms = [](std::int64_t cycle) { return std::to_string(cycle * kCycleMs); };
    switch (e.mode) {
    case Mode::At:
        return "at " + ms(e.first) + " ms: expect " + e.wording;
    case Mode::Within:
        return ms(e.first) + ".." + ms(e.last) + " ms: expect " + e.wording;
    case Mode::Always:
        return ms(e.first) + ".." + ms(e.last) + " ms: expect always " + e.wording;
    }
    return {};
}

std::string variableNumber(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "var %02d", n);
    return text;
}

} // namespace

TimingSvg::TimingSvg(const Script& script)
    : script_(script),
      cycleWidth_(kPlotWidth / static_cast<double>(std::max<std::int64_t>(script.cycles, 1))) {
    for (const Expectation& e : script.expectations)
        if (e.subject == Subject::Variable && e.index >= 0 &&
            std::none_of(values_.begin(), values_.end(),
                         [&](const ValueLane& l) { return l.variable == e.index; }))
            values_.push_back({e.index, {}, {}});
    std::sort(values_.begin(), values_.end(),
              [](const ValueLane& a, const ValueLane& b) { return a.variable < b.variable; });
}

std::int64_t TimingSvg::column(std::int64_t cycle) const {
    return static_cast<std::int64_t>(static_cast<double>(cycle) * cycleWidth_);
}

void TimingSvg::cycleDone(const CycleView& view, const Program& program) {
    const bool first = samples_.empty();
    if (first || samples_.back().port0 != view.port0 || samples_.back().port1 != view.port1)
        samples_.push_back({view.cycle, view.port0, view.port1});

    for (ValueLane& lane : values_) {
        const VarEntry* variable = program.variable(lane.variable);
        if (variable == nullptr) continue;
        if (first) {
            std::string name = codepage::fromCp932ToUtf8(variable->name);
            while (!name.empty() && name.back() == ' ')
                name.pop_back();
            lane.label = name.empty() ? variableNumber(lane.variable) : name;
        }
        if (!first && (view.changedVariables >> lane.variable & 1) == 0) continue;
        if (!lane.steps.empty() && column(lane.steps.back().cycle) == column(view.cycle)) {
            lane.steps.back().value = variable->value;
            lane.steps.back().busy = true;
        } else {
            lane.steps.push_back({view.cycle, variable->value, false});
        }
    }

    if (view.rows.empty()) return;
    const std::size_t rows = static_cast<std::size_t>(std::count(view.rows.begin(), view.rows.end(), '\n'));
    if (!logMarks_.empty() && column(logMarks_.back().cycle) == column(view.cycle)) {
        logMarks_.back().rows += rows;
    } else {
        const std::string_view row = view.rows.substr(0, view.rows.find('\n'));
        logMarks_.push_back({view.cycle, rows, shortened(codepage::fromCp932ToUtf8(row), 60)});
    }
}

void TimingSvg::writeValueLane(std::ostream& out, const ValueLane& lane, double top) const {
    const auto x = [&](std::int64_t cycle) { return kLeft + static_cast<double>(cycle) * cycleWidth_; };
    const double high = top + 4, low = top + kRow - 6;
    out << "<g class=\"variable\" data-var=\"" << lane.variable << "\"><title>"
        << variableNumber(lane.variable) << ' ' << escaped(lane.label) << "</title>\n"
        << "<text x=\"" << kLeft - 10 << "\" y=\"" << number(top + kRow / 2 + 4) << "\" text-anchor=\"end\">"
        << escaped(shortened(lane.label, 10)) << "</text>\n"
        << "<path d=\"M" << kLeft << ',' << number(high) << " H" << kLeft + kPlotWidth << " M" << kLeft << ','
        << number(low) << " H" << kLeft + kPlotWidth << "\" stroke=\"" << kValueColour
        << "\" fill=\"none\"/>\n";
    for (std::size_t i = 0; i < lane.steps.size(); ++i) {
        const Step& step = lane.steps[i];
        const double from = x(step.cycle);
        const double to = i + 1 < lane.steps.size() ? x(lane.steps[i + 1].cycle) : kLeft + kPlotWidth;
        if (i > 0)
            out << "<line x1=\"" << number(from) << "\" y1=\"" << number(high) << "\" x2=\"" << number(from)
                << "\" y2=\"" << number(low) << "\" stroke=\"" << kValueColour << "\"/>";
        if (step.busy)
            out << "<rect x=\"" << number(from) << "\" y=\"" << number(high) << "\" width=\"1\" height=\""
                << number(low - high) << "\" fill=\"" << kValueColour << "\"/>";
        const std::string value = std::to_string(step.value);
        if (to - from > kDigitWidth * static_cast<double>(value.size()) + 6)
            out << "<text class=\"value\" x=\"" << number((from + to) / 2) << "\" y=\"" << number(low - 4)
                << "\" text-anchor=\"middle\" font-size=\"11\">" << value << "</text>";
        out << '\n';
    }
    out << "</g>\n";
}

void TimingSvg::write(std::ostream& out, const std::string& title, const std::vector<Outcome>& outcomes,
                      const std::vector<std::string>& failures) const {
    const Script& script = script_;
    const auto x = [&](double cycle) { return kLeft + cycle * cycleWidth_; };
    const double outputsTop = kTop + kInputs * kRow + kGap;
    const double valuesTop = outputsTop + kOutputs * kRow + kGap;
    const double lanesTop =
        valuesTop + static_cast<double>(values_.size()) * kRow + (values_.empty() ? 0 : kGap);

    // Expectations in lanes: a mark, its window or its line number never overlaps another in its lane.
    std::vector<int> laneOf(script.expectations.size());
    std::vector<double> laneEnd(kMaxLanes, -1e9);
    int lanes = 1;
    for (std::size_t i = 0; i < script.expectations.size(); ++i) {
        const Expectation& e = script.expectations[i];
        const double decided = i < outcomes.size() ? static_cast<double>(outcomes[i].cycle) + 0.5 : 0;
        const double from = x(static_cast<double>(e.first)) - 5;
        const double label = kDigitWidth * static_cast<double>(std::to_string(e.line).size());
        int lane = 0;
        while (lane < kMaxLanes - 1 && laneEnd[lane] > from)
            ++lane;
        laneOf[i] = lane;
        laneEnd[lane] =
            std::max({laneEnd[lane], x(static_cast<double>(e.last + 1)) + 5, x(decided) + 8 + label});
        lanes = std::max(lanes, lane + 1);
    }
    const double logTop = lanesTop + lanes * kLane + 4;
    const double axisTop = logTop + (logMarks_.empty() ? 0 : kLogLane + 2);
    const double failuresTop = axisTop + kAxis;
    const std::size_t failureLines =
        std::min<std::size_t>(failures.size(), kMaxFailures) + (failures.size() > kMaxFailures ? 1 : 0);
    const double width = kLeft + kPlotWidth + kRight;
    const double height =
        failuresTop + static_cast<double>(failureLines) * kFailureLine + (failureLines ? 8 : 0);

    std::size_t failed = 0;
    for (const Outcome& o : outcomes)
        failed += o.held ? 0 : 1;

    const std::int64_t totalMs = script.cycles * kCycleMs;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << number(height)
        << "\" viewBox=\"0 0 " << width << ' ' << number(height)
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text x=\"" << kLeft << "\" y=\"20\" font-size=\"15\" font-weight=\"bold\">" << escaped(title)
        << "</text>\n"
        << "<text x=\"" << kLeft << "\" y=\"40\" fill=\"#444\">"
        << counted(static_cast<std::int64_t>(script.expectations.size()), "expectation") << ": "
        << script.expectations.size() - failed << " held, " << failed << " failed; "
        << counted(script.cycles, "cycle") << " (" << timeLabel(totalMs, totalMs)
        << "). High: energized.</text>\n";

    // Time grid and axis.
    const std::int64_t step = tickStep(totalMs);
    out << "<g class=\"axis\" stroke=\"#ddd\">\n";
    for (std::int64_t ms = 0; ms <= totalMs; ms += step) {
        const std::string at = number(x(static_cast<double>(ms) / kCycleMs));
        out << "<line x1=\"" << at << "\" y1=\"" << kTop - 4 << "\" x2=\"" << at << "\" y2=\"" << axisTop
            << "\"/><text x=\"" << at << "\" y=\"" << axisTop + 16
            << "\" stroke=\"none\" fill=\"#444\" text-anchor=\"middle\">" << timeLabel(ms, step)
            << "</text>\n";
    }
    out << "</g>\n";

    // The traces: one path per pin; changes closer than a pixel are drawn as a filled band.
    const auto trace = [&](const std::string& name, double top, const char* colour, bool input, int bit) {
        const auto level = [&](const Sample& s) {
            const std::uint8_t port = input ? s.port0 : s.port1;
            return (port >> bit & 1) == 0; // energized
        };
        const auto y = [&](bool high) { return number(top + (high ? 5 : kRow - 7)); };
        out << "<text x=\"" << kLeft - 10 << "\" y=\"" << number(top + kRow / 2 + 4)
            << "\" text-anchor=\"end\">" << name << "</text>\n";
        std::vector<std::pair<double, bool>> edges; // x and the level from there on
        bool current = samples_.empty() ? false : level(samples_.front());
        for (std::size_t i = 1; i < samples_.size(); ++i) {
            if (level(samples_[i]) == current) continue;
            current = level(samples_[i]);
            edges.emplace_back(x(static_cast<double>(samples_[i].cycle)), current);
        }
        std::string path = "M" + number(kLeft) + "," + y(samples_.empty() ? false : level(samples_.front()));
        std::string bands;
        for (std::size_t i = 0; i < edges.size();) {
            std::size_t j = i;
            while (j + 1 < edges.size() && edges[j + 1].first - edges[j].first < 1.0)
                ++j;
            if (j == i) {
                path += " H" + number(edges[i].first) + " V" + y(edges[i].second);
            } else {
                path +=
                    " H" + number(edges[i].first) + " M" + number(edges[j].first) + "," + y(edges[j].second);
                bands += "<rect x=\"" + number(edges[i].first) + "\" y=\"" + y(true) + "\" width=\"" +
                         number(std::max(edges[j].first - edges[i].first, 1.0)) + "\" height=\"" +
                         number(kRow - 12) + "\" fill=\"" + colour + "\" fill-opacity=\"0.5\"/>\n";
            }
            i = j + 1;
        }
        path += " H" + number(kLeft + kPlotWidth);
        out << "<path class=\"trace\" data-pin=\"" << name << "\" d=\"" << path
            << "\" fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"1.5\"/>\n"
            << bands;
    };
    for (int bit = 0; bit < kInputs; ++bit)
        trace("IN" + std::to_string(bit), kTop + bit * kRow, kInputColour, true, bit);
    for (int bit = 0; bit < kOutputs; ++bit)
        trace("OUT" + std::to_string(bit), outputsTop + bit * kRow, kOutputColour, false, bit);
    for (std::size_t i = 0; i < values_.size(); ++i)
        writeValueLane(out, values_[i], valuesTop + static_cast<double>(i) * kRow);

    // The expectations, each with its script line beside its mark.
    out << "<text x=\"" << kLeft - 10 << "\" y=\"" << number(lanesTop + kLane / 2 + 4)
        << "\" text-anchor=\"end\">expect</text>\n";
    for (std::size_t i = 0; i < script.expectations.size() && i < outcomes.size(); ++i) {
        const Expectation& e = script.expectations[i];
        const Outcome& o = outcomes[i];
        const char* colour = o.held ? kHeldColour : kFailedColour;
        const double mid = lanesTop + laneOf[i] * kLane + kLane / 2;
        const double at = x(static_cast<double>(o.cycle) + 0.5);
        out << "<g class=\"expectation " << (o.held ? "held" : "failed") << "\" data-line=\"" << e.line
            << "\">"
            << "<title>line " << e.line << ": " << escaped(describe(e)) << " -- "
            << (o.held ? "held" : "failed, saw " + escaped(o.seen)) << "</title>";
        if (e.mode != Mode::At)
            out << "<rect x=\"" << number(x(static_cast<double>(e.first))) << "\" y=\"" << number(mid - 3)
                << "\" width=\""
                << number(std::max(cycleWidth_ * static_cast<double>(e.last - e.first + 1), 1.0))
                << "\" height=\"6\" fill=\"" << colour << "\" fill-opacity=\"0.25\"/>";
        if (!o.held)
            out << "<line x1=\"" << number(at) << "\" y1=\"" << kTop << "\" x2=\"" << number(at) << "\" y2=\""
                << number(mid) << "\" stroke=\"" << colour << "\" stroke-dasharray=\"3,3\"/>";
        out << "<path d=\"M" << number(at) << "," << number(mid - 6) << " l5,6 l-5,6 l-5,-6 z\" fill=\""
            << colour << "\"/><text class=\"line\" x=\"" << number(at + 7) << "\" y=\"" << number(mid + 4)
            << "\" font-size=\"10\" fill=\"" << colour << "\">" << e.line << "</text></g>\n";
    }

    // The cycles that wrote LOG rows, one mark a pixel column.
    if (!logMarks_.empty())
        out << "<text x=\"" << kLeft - 10 << "\" y=\"" << number(logTop + kLogLane - 2)
            << "\" text-anchor=\"end\" font-size=\"10\">LOG</text>\n";
    for (const LogMark& mark : logMarks_)
        out << "<rect class=\"log\" x=\"" << number(x(static_cast<double>(mark.cycle))) << "\" y=\""
            << number(logTop) << "\" width=\"1.5\" height=\"" << kLogLane << "\" fill=\"" << kLogColour
            << "\"><title>" << mark.cycle * kCycleMs
            << " ms: " << counted(static_cast<std::int64_t>(mark.rows), "row") << ", "
            << escaped(quotedUtf8(mark.first)) << "</title></rect>\n";

    // The failures as the report prints them.
    for (std::size_t i = 0; i < failureLines; ++i) {
        const std::string text =
            i < kMaxFailures
                ? failures[i]
                : "and " +
                      counted(static_cast<std::int64_t>(failures.size() - kMaxFailures), "more failure") +
                      " in the report";
        out << "<text class=\"failure\" x=\"" << kLeft << "\" y=\""
            << number(failuresTop + static_cast<double>(i + 1) * kFailureLine - 4) << "\" fill=\""
            << kFailedColour << "\">" << escaped(text) << "</text>\n";
    }
    out << "</svg>\n";
}

} // namespace zelk::vtest

#include "cli/virtual_test/timing_svg.h"

#include <algorithm>
#include <cstdio>

namespace zelk::vtest {

namespace {

constexpr double kLeft = 70, kPlotWidth = 1000, kRight = 20, kTop = 56;
constexpr double kRow = 26, kGap = 12, kLane = 16, kAxis = 34;
constexpr int kInputs = 8, kOutputs = 4, kMaxLanes = 8;
constexpr const char* kInputColour = "#1f5fbf";
constexpr const char* kOutputColour = "#c05a00";
constexpr const char* kHeldColour = "#1a8f1a";
constexpr const char* kFailedColour = "#d01c1c";

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
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
            out += c;
        }
    }
    return out;
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

} // namespace

void TimingSvg::cycleDone(const CycleView& view, const Program&) {
    if (!samples_.empty() && samples_.back().port0 == view.port0 && samples_.back().port1 == view.port1)
        return;
    samples_.push_back({view.cycle, view.port0, view.port1});
}

void TimingSvg::write(std::ostream& out, const std::string& title, const Script& script,
                      const std::vector<Outcome>& outcomes) const {
    const double cycleWidth = kPlotWidth / static_cast<double>(std::max<std::int64_t>(script.cycles, 1));
    const auto x = [&](double cycle) { return kLeft + cycle * cycleWidth; };
    const double outputsTop = kTop + kInputs * kRow + kGap;
    const double lanesTop = outputsTop + kOutputs * kRow + kGap;

    // Expectations in lanes: a mark or window never overlaps another in its lane.
    std::vector<int> laneOf(script.expectations.size());
    std::vector<double> laneEnd(kMaxLanes, -1e9);
    int lanes = 1;
    for (std::size_t i = 0; i < script.expectations.size(); ++i) {
        const Expectation& e = script.expectations[i];
        const double from = x(static_cast<double>(e.first)) - 5;
        int lane = 0;
        while (lane < kMaxLanes - 1 && laneEnd[lane] > from)
            ++lane;
        laneOf[i] = lane;
        laneEnd[lane] = std::max(laneEnd[lane], x(static_cast<double>(e.last + 1)) + 5);
        lanes = std::max(lanes, lane + 1);
    }
    const double axisTop = lanesTop + lanes * kLane + 6;
    const double width = kLeft + kPlotWidth + kRight;
    const double height = axisTop + kAxis;
    const double plotBottom = axisTop;

    std::size_t failed = 0;
    for (const Outcome& o : outcomes)
        failed += o.held ? 0 : 1;

    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << number(height)
        << "\" viewBox=\"0 0 " << width << ' ' << number(height)
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text x=\"" << kLeft << "\" y=\"20\" font-size=\"15\" font-weight=\"bold\">" << escaped(title)
        << "</text>\n"
        << "<text x=\"" << kLeft << "\" y=\"40\" fill=\"#444\">" << script.expectations.size()
        << " expectations: " << script.expectations.size() - failed << " held, " << failed << " failed; "
        << script.cycles << " cycles (" << timeLabel(script.cycles * kCycleMs, script.cycles * kCycleMs)
        << "). High: energized.</text>\n";

    // Time grid and axis.
    const std::int64_t totalMs = script.cycles * kCycleMs;
    const std::int64_t step = tickStep(totalMs);
    out << "<g class=\"axis\" stroke=\"#ddd\">\n";
    for (std::int64_t ms = 0; ms <= totalMs; ms += step) {
        const std::string at = number(x(static_cast<double>(ms) / kCycleMs));
        out << "<line x1=\"" << at << "\" y1=\"" << kTop - 4 << "\" x2=\"" << at << "\" y2=\"" << plotBottom
            << "\"/><text x=\"" << at << "\" y=\"" << plotBottom + 16
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

    // The expectations.
    out << "<text x=\"" << kLeft - 10 << "\" y=\"" << number(lanesTop + kLane / 2 + 4)
        << "\" text-anchor=\"end\">expect</text>\n";
    for (std::size_t i = 0; i < script.expectations.size() && i < outcomes.size(); ++i) {
        const Expectation& e = script.expectations[i];
        const Outcome& o = outcomes[i];
        const char* colour = o.held ? kHeldColour : kFailedColour;
        const double mid = lanesTop + laneOf[i] * kLane + kLane / 2;
        const double at = x(static_cast<double>(o.cycle) + 0.5);
        out << "<g class=\"expectation " << (o.held ? "held" : "failed") << "\">"
            << "<title>line " << e.line << ": " << escaped(describe(e)) << " -- "
            << (o.held ? "held" : "failed, saw " + escaped(o.seen)) << "</title>";
        if (e.mode != Mode::At)
            out << "<rect x=\"" << number(x(static_cast<double>(e.first))) << "\" y=\"" << number(mid - 3)
                << "\" width=\""
                << number(std::max(cycleWidth * static_cast<double>(e.last - e.first + 1), 1.0))
                << "\" height=\"6\" fill=\"" << colour << "\" fill-opacity=\"0.25\"/>";
        if (!o.held)
            out << "<line x1=\"" << number(at) << "\" y1=\"" << kTop << "\" x2=\"" << number(at) << "\" y2=\""
                << number(mid) << "\" stroke=\"" << colour << "\" stroke-dasharray=\"3,3\"/>";
        out << "<path d=\"M" << number(at) << "," << number(mid - 6) << " l5,6 l-5,6 l-5,-6 z\" fill=\""
            << colour << "\"/></g>\n";
    }
    out << "</svg>\n";
}

} // namespace zelk::vtest

#include "cli/run_report.h"

#include "cli/json.h"
#include "cli/status_record.h"

#include <chrono>

namespace zelk::cli {

namespace {

WallTime wallTimeNow() {
    const std::time_t now = std::time(nullptr);
    WallTime time;
#ifdef _WIN32
    localtime_s(&time.local, &now);
#else
    localtime_r(&now, &time.local);
#endif
    // The offset from UTC: the local date and time read as if they were UTC, less the real instant.
    using namespace std::chrono;
    const sys_days day = year(time.local.tm_year + 1900) / (time.local.tm_mon + 1) / time.local.tm_mday;
    const long long localAsUtc = day.time_since_epoch().count() * 86400LL + time.local.tm_hour * 3600LL +
                                 time.local.tm_min * 60LL + time.local.tm_sec;
    time.utcOffsetSeconds = static_cast<long>(localAsUtc - static_cast<long long>(now));
    return time;
}

// "2026-03-04 15:06:07" for text, "2026-03-04T15:06:07+09:00" for JSON.
std::string formatWallTime(const WallTime& time, ReportFormat format) {
    char text[40];
    std::strftime(text, sizeof text, format == ReportFormat::Json ? "%Y-%m-%dT%H:%M:%S" : "%Y-%m-%d %H:%M:%S",
                  &time.local);
    std::string result = text;
    if (format == ReportFormat::Json) {
        const long minutes =
            (time.utcOffsetSeconds < 0 ? -time.utcOffsetSeconds : time.utcOffsetSeconds) / 60;
        std::snprintf(text, sizeof text, "%c%02ld:%02ld", time.utcOffsetSeconds < 0 ? '-' : '+', minutes / 60,
                      minutes % 60);
        result += text;
    }
    return result;
}

} // namespace

RunReport::RunReport(ReportFormat format, std::FILE* out, const CtlData& baseline)
    : format_(format), out_(out), last_(baseline) {}

void RunReport::update(const CtlData& data) {
    const WallTime time = wallTimeNow();
    // In time order: a run start empties the log, so what it holds came after the start; a close comes after
    // the entries that led to it.
    const bool stateChanged = data.state != last_.state;
    const bool started = data.state == ZELK_STATE_OPEN || data.state == ZELK_STATE_RUNNING;
    if (stateChanged && started) printState(time, data);
    const int fresh = newEventCount(last_.events, data.events);
    // Ten new entries that fill the whole log: more may have come and gone between two polls.
    if (fresh == ZELK_EVENT_COUNT && !isEmptyEvent(data.events[ZELK_EVENT_COUNT - 1]))
        printGap(time, data.events[ZELK_EVENT_COUNT - 1].passageSec);
    for (int i = fresh - 1; i >= 0; --i)
        if (!isEmptyEvent(data.events[i])) printEvent(time, data.events[i]);
    if (stateChanged && !started) printState(time, data);
    last_ = data;
}

void RunReport::printEvent(const WallTime& time, const EventEntry& entry) {
    const std::string text = eventText(entry);
    if (format_ == ReportFormat::Json) {
        emit(JsonObject()
                 .field("time", formatWallTime(time, format_))
                 .field("passageSec", entry.passageSec)
                 .field("type", "event")
                 .field("tick10ms", entry.tick10ms)
                 .field("text", text)
                 .str());
    } else {
        emit(textStart(time, entry.passageSec, "event") + ' ' + text);
    }
}

void RunReport::printState(const WallTime& time, const CtlData& data) {
    if (format_ == ReportFormat::Json) {
        emit(JsonObject()
                 .field("time", formatWallTime(time, format_))
                 .field("passageSec", data.passageSec)
                 .field("type", "state")
                 .field("state", data.state)
                 .field("stateName", stateName(data.state))
                 .str());
    } else {
        emit(textStart(time, data.passageSec, "state") + ' ' + std::to_string(data.state) + ' ' +
             stateName(data.state));
    }
}

void RunReport::printGap(const WallTime& time, std::int32_t passageSec) {
    static constexpr const char* kText = "earlier events may be missing: the engine keeps the newest ten";
    if (format_ == ReportFormat::Json) {
        emit(JsonObject()
                 .field("time", formatWallTime(time, format_))
                 .field("passageSec", passageSec)
                 .field("type", "gap")
                 .field("text", kText)
                 .str());
    } else {
        emit(textStart(time, passageSec, "gap") + ' ' + kText);
    }
}

std::string RunReport::textStart(const WallTime& time, std::int32_t passageSec, const char* type) const {
    return formatWallTime(time, format_) + ' ' + std::to_string(passageSec) + "s " + type;
}

// Each line goes out at once, so a journal or a pipe sees it while the run goes on. A failed write (a reader
// that went away) is ignored: the run matters more than its report.
void RunReport::emit(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

} // namespace zelk::cli

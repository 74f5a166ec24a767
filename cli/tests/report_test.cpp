// The parts of zelkctl's report that a run against a board rarely reaches: the event-log comparison when
// entries repeat or overflow between two polls, and JSON escaping.
#include "cli/json.h"
#include "cli/run_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace zelk::cli {
namespace {

EventEntry entry(std::int32_t passageSec, std::uint8_t tick, const char* text) {
    EventEntry e{};
    e.passageSec = passageSec;
    e.tick10ms = tick;
    std::strncpy(e.text, text, sizeof e.text - 1);
    return e;
}

struct Log {
    EventEntry events[ZELK_EVENT_COUNT];
    Log() {
        for (EventEntry& e : events)
            e = entry(-1, 0, "");
    }
    // Records an entry as the engine does: the others move down one place.
    Log& record(const EventEntry& e) {
        std::memmove(&events[1], &events[0], sizeof(EventEntry) * (ZELK_EVENT_COUNT - 1));
        events[0] = e;
        return *this;
    }
};

// The report's lines for a sequence of status records, without their time stamps.
class Report {
public:
    explicit Report(const CtlData& baseline) : report_(ReportFormat::Text, file_, baseline) {}
    ~Report() { std::fclose(file_); }
    std::vector<std::string> update(const CtlData& data) {
        report_.update(data);
        std::vector<std::string> printed;
        std::rewind(file_);
        char line[512];
        while (std::fgets(line, sizeof line, file_) != nullptr) {
            std::string text = line;
            text = text.substr(text.find(' ', 11) + 1); // after the date and the time
            printed.push_back(text.substr(0, text.size() - 1));
        }
        std::rewind(file_);
        (void)!ftruncate(fileno(file_), 0);
        return printed;
    }

private:
    std::FILE* file_ = std::tmpfile();
    RunReport report_;
};

CtlData withLog(const Log& log, std::uint8_t state = ZELK_STATE_RUNNING) {
    CtlData data{};
    data.state = state;
    std::memcpy(data.events, log.events, sizeof data.events);
    return data;
}

TEST(RunReport, EachNewEntryIsPrintedOnceOldestFirst) {
    Log log;
    Report report(CtlData{}); // before any run: every entry zero
    EXPECT_EQ(report.update(withLog(log)), std::vector<std::string>{"0s state 3 running"});
    EXPECT_TRUE(report.update(withLog(log)).empty());

    // Entries equal to the one before them (the same text in the same tick) are still new, one each.
    log.record(entry(3, 10, "readKaldex NG"))
        .record(entry(3, 10, "readKaldex NG"))
        .record(entry(3, 11, "row"));
    EXPECT_EQ(report.update(withLog(log)),
              (std::vector<std::string>{"3s event readKaldex NG", "3s event readKaldex NG", "3s event row"}));
    log.record(entry(3, 10, "readKaldex NG"));
    EXPECT_EQ(report.update(withLog(log)), std::vector<std::string>{"3s event readKaldex NG"});

    // More entries than the log holds between two polls: the ten kept are printed after a note.
    for (int i = 0; i < 11; ++i)
        log.record(entry(4, static_cast<std::uint8_t>(i), std::to_string(i).c_str()));
    const std::vector<std::string> overflow = report.update(withLog(log, ZELK_STATE_CLOSED));
    ASSERT_EQ(overflow.size(), 12u);
    EXPECT_TRUE(overflow[0].starts_with("4s gap ")) << overflow[0];
    EXPECT_EQ(overflow[1], "4s event 1");
    EXPECT_EQ(overflow[10], "4s event 10");
    EXPECT_EQ(overflow[11], "0s state 0 closed");

    // A new run clears the log: the old entries are not printed again, and the start comes before the entries
    // of the new run.
    EXPECT_EQ(report.update(withLog(Log().record(entry(0, 2, "readKaldex NG")))),
              (std::vector<std::string>{"0s state 3 running", "0s event readKaldex NG"}));
}

TEST(Json, StringsAreEscaped) {
    EXPECT_EQ(jsonString("a\"b\\c\td\r\n\x01\x1F/経過"), R"("a\"b\\c\td\r\n\u0001\u001f/経過")");
    EXPECT_EQ(JsonObject().field("text", "x").field("n", std::int64_t{-1}).str(), R"({"text":"x","n":-1})");
}

} // namespace
} // namespace zelk::cli

#pragma once
// What `zelkctl run` prints while a run goes on: one line for each new event-log entry and each change of the
// run state, with the local time and the seconds counter, as text or as one JSON object per line.
#include "ZELK_Eng.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace zelk::cli {

enum class ReportFormat { Text, Json };

// The local wall-clock time of a line.
struct WallTime {
    std::tm local{};
    long utcOffsetSeconds = 0;
};

class RunReport {
public:
    // baseline: the status record before the run, whose entries and state are not reported.
    RunReport(ReportFormat format, std::FILE* out, const CtlData& baseline);
    // Prints the new event-log entries, oldest first, and the state if it changed: before the entries when
    // the run started, after them otherwise.
    void update(const CtlData& data);

private:
    void printEvent(const WallTime& time, const EventEntry& entry);
    void printState(const WallTime& time, const CtlData& data);
    void printGap(const WallTime& time, std::int32_t passageSec);
    std::string textStart(const WallTime& time, std::int32_t passageSec, const char* type) const;
    void emit(const std::string& line);

    ReportFormat format_;
    std::FILE* out_;
    CtlData last_;
};

} // namespace zelk::cli

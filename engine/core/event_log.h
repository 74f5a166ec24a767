#pragma once
// The ten-entry event log, newest first, and the start date and time of the control run: the texts that
// getCtlData copies out while the control cycle may be writing them.
#include "ZELK_Eng.h"
#include "core/seqlock.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace zelk {

using EventEntries = std::array<EventEntry, ZELK_EVENT_COUNT>;

struct StartStamp {
    char date[11]; // "20yy/mm/dd"
    char time[9];  // "hh:mm:ss"
};

class EventLog {
public:
    // Moves the entries one place down (the oldest drops out) and puts the message, cut to 127 bytes, in
    // entry 0 with the given counters.
    void record(std::string_view message, std::int32_t passageSec, std::uint8_t tick);
    // All ten entries empty: passageSec -1, tick 0, text zero.
    void clear();
    void read(EventEntries& out) const { entries_.read(out); }

    void setStart(const StartStamp& stamp) {
        start_.update([&](StartStamp& s) { s = stamp; });
    }
    void readStart(StartStamp& out) const { start_.read(out); }

private:
    Seqlocked<EventEntries> entries_;
    Seqlocked<StartStamp> start_;
};

} // namespace zelk

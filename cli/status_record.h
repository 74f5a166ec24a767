#pragma once
// The status record as zelkctl shows it: the run state's name, an entry's text, and the new entries of the
// engine's event log between two copies of the record (the log keeps the newest ten, newest first, and moves
// down one place for each new entry).
#include "ZELK_Eng.h"

#include <string>

namespace zelk::cli {

// "closed", "opening", "open", "running", "closing"; "unknown" for any other value.
const char* stateName(int state);

// The entry's text in UTF-8.
std::string eventText(const EventEntry& entry);

bool isEmptyEvent(const EventEntry& entry);

// How many of the newest entries of `now` are not in `before`: the rest of `now` repeats the start of
// `before`. ZELK_EVENT_COUNT when nothing repeats.
int newEventCount(const EventEntry (&before)[ZELK_EVENT_COUNT], const EventEntry (&now)[ZELK_EVENT_COUNT]);

} // namespace zelk::cli

#include "cli/status_record.h"

#include "codepage/codepage.h"

#include <cstring>

namespace zelk::cli {

namespace {

bool sameEntry(const EventEntry& a, const EventEntry& b) {
    if (isEmptyEvent(a) || isEmptyEvent(b)) return isEmptyEvent(a) && isEmptyEvent(b);
    return a.passageSec == b.passageSec && a.tick10ms == b.tick10ms &&
           std::strncmp(a.text, b.text, sizeof a.text) == 0;
}

} // namespace

const char* stateName(int state) {
    switch (state) {
    case ZELK_STATE_CLOSED:
        return "closed";
    case ZELK_STATE_OPENING:
        return "opening";
    case ZELK_STATE_OPEN:
        return "open";
    case ZELK_STATE_RUNNING:
        return "running";
    case ZELK_STATE_CLOSING:
        return "closing";
    default:
        return "unknown";
    }
}

std::string eventText(const EventEntry& entry) {
    return codepage::fromCp932ToUtf8(std::string_view(entry.text, strnlen(entry.text, sizeof entry.text)));
}

bool isEmptyEvent(const EventEntry& entry) {
    return entry.passageSec < 0 || entry.text[0] == '\0';
}

int newEventCount(const EventEntry (&before)[ZELK_EVENT_COUNT], const EventEntry (&now)[ZELK_EVENT_COUNT]) {
    for (int fresh = 0; fresh < ZELK_EVENT_COUNT; ++fresh) {
        bool repeats = true;
        for (int i = 0; fresh + i < ZELK_EVENT_COUNT && repeats; ++i)
            repeats = sameEntry(now[fresh + i], before[i]);
        if (repeats) return fresh;
    }
    return ZELK_EVENT_COUNT;
}

} // namespace zelk::cli

#include "core/event_log.h"

#include <algorithm>
#include <cstring>

namespace zelk {

void EventLog::record(std::string_view message, std::int32_t passageSec, std::uint8_t tick) {
    entries_.update([&](EventEntries& e) {
        std::copy_backward(e.begin(), e.end() - 1, e.end());
        EventEntry& newest = e[0];
        std::memset(&newest, 0, sizeof newest);
        newest.passageSec = passageSec;
        newest.tick10ms = tick;
        const std::size_t n = std::min(message.size(), sizeof newest.text - 1);
        std::memcpy(newest.text, message.data(), n);
    });
}

void EventLog::clear() {
    entries_.update([](EventEntries& e) {
        for (EventEntry& entry : e) {
            std::memset(&entry, 0, sizeof entry);
            entry.passageSec = -1;
        }
    });
}

} // namespace zelk

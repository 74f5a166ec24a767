// The event log is copied out while the control cycle records into it: no copy may be torn.
#include "core/event_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace zelk {
namespace {

TEST(EventLog, CopiesAreNeverTornWhileEventsAreRecorded) {
    EventLog log;
    log.clear();
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            // Each entry's text is one letter repeated, its counter the letter's index: a torn copy mixes
            // them.
            const char letter = static_cast<char>('a' + i % 26);
            log.record(std::string(100, letter), i % 26, static_cast<std::uint8_t>(i % 26));
        }
        done = true;
    });
    int checked = 0;
    while (!done || checked < 100) {
        EventEntries copy;
        log.read(copy);
        for (const EventEntry& e : copy) {
            if (e.passageSec < 0) continue;
            const std::string text(e.text);
            ASSERT_EQ(text, std::string(100, static_cast<char>('a' + e.passageSec)));
            ASSERT_EQ(e.tick10ms, e.passageSec);
        }
        ++checked;
    }
    writer.join();
}

TEST(EventLog, MessagesAreCutTo127BytesAndTheOldestDropsOut) {
    EventLog log;
    log.clear();
    for (int i = 0; i < 11; ++i)
        log.record(std::to_string(i) + std::string(200, 'x'), i, 0);
    EventEntries copy;
    log.read(copy);
    EXPECT_EQ(std::string(copy[0].text).size(), 127u);
    EXPECT_EQ(copy[0].text[0], '1');
    EXPECT_EQ(copy[0].text[1], '0');
    EXPECT_EQ(copy[9].passageSec, 1);
}

} // namespace
} // namespace zelk

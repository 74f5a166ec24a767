#pragma once
// The trace hook: the engine's diagnostic messages (messages.h). Off unless asked for (trace_switch.h): a
// call is then one relaxed load and a branch, and nothing is copied, formatted or allocated. On, the
// message is copied into a slot of a fixed ring that the sink's own thread writes out (trace_sink.h), so a
// trace on the control cycle neither waits nor allocates.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zelk::tracing {

// Room for a failure's reason in a slot; a longer one is cut.
inline constexpr std::size_t kReasonBytes = 160;

// How a message's bytes are written: code page 932 (the engine's texts), or the system's own (a path).
enum class Encoding : std::uint8_t { Cp932, Native };

extern std::atomic<bool> active;

inline bool on() {
    return active.load(std::memory_order_relaxed);
}

// Copies one message into the ring: numbers (0 to 2) of a and b follow it, then ": " and reason when there
// is one. While the ring is full the message is dropped and counted.
void post(std::string_view message, Encoding encoding, int numbers, long a, long b, std::string_view reason);

} // namespace zelk::tracing

namespace zelk {

inline void trace(std::string_view message) {
    if (tracing::on()) tracing::post(message, tracing::Encoding::Cp932, 0, 0, 0, {});
}
inline void trace(std::string_view message, long a) {
    if (tracing::on()) tracing::post(message, tracing::Encoding::Cp932, 1, a, 0, {});
}
inline void trace(std::string_view message, long a, long b) {
    if (tracing::on()) tracing::post(message, tracing::Encoding::Cp932, 2, a, b, {});
}
// A text in the system's own encoding, such as a device path.
inline void tracePath(std::string_view path) {
    if (tracing::on()) tracing::post(path, tracing::Encoding::Native, 0, 0, 0, {});
}
// A message with the reason of a failure. describe(text, size) writes the reason into text; it is called
// only while tracing is on.
template <class Describe>
void traceWhy(std::string_view message, Describe&& describe) {
    if (!tracing::on()) return;
    char reason[tracing::kReasonBytes] = "";
    describe(reason, sizeof reason);
    tracing::post(message, tracing::Encoding::Cp932, 0, 0, 0, reason);
}

} // namespace zelk

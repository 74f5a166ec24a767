#pragma once
// The trace's sink: a ring of fixed slots that the tracing threads fill without a lock (a slot is claimed by
// a compare-and-swap on the ring's head), and a thread of its own that takes the messages out, converts
// them to UTF-8 and writes them as lines. A full ring drops messages and says how many.
#include <string_view>

namespace zelk::tracing {

// Where the lines go; called on the sink's thread, one whole line at a time, "\n" ended.
using LineWriter = void (*)(std::string_view line, void* context);

// Starts the sink writing to writer and turns tracing on. A sink already started is stopped first.
void start(LineWriter writer, void* context);
// Turns tracing off, lets the sink's thread write out what is waiting and waits for it to end.
void stop();

// Once per process: starts the sink that kTraceVariable (trace_switch.h) names, if any, and stops it when
// the process exits, so that what is waiting then is written out.
void startFromEnvironment();

} // namespace zelk::tracing

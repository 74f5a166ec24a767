#pragma once
// The switch of the engine's trace: an environment variable, read once, at the first open of a run. The
// five exports stay as they are; a front end that wants the trace sets the variable before the engine
// opens (zelkctl run --verbose sets it to "stderr").
//
//   unset, empty or "0"   off (the default): the trace costs nothing
//   "1" or "stderr"       standard error, one line per message (a service's journal keeps them)
//   anything else         the path of a file that the lines are appended to
namespace zelk::tracing {

inline constexpr const char* kTraceVariable = "ZELK_TRACE";

} // namespace zelk::tracing

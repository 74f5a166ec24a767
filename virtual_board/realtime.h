#pragma once
// A board's answering thread runs at real-time priority (SCHED_FIFO) where the process may, as hardware
// answers whatever the host's load: at the priority of the engine's timer.
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <thread>

namespace zelk::vboard {

inline constexpr int kAnswerPriority = 10;

// Raises thread to the answering priority. Returns why the system refused, or an empty text.
inline std::string raiseToAnswerPriority(std::thread& thread) {
    sched_param param{};
    param.sched_priority = kAnswerPriority;
    const int refused = pthread_setschedparam(thread.native_handle(), SCHED_FIFO, &param);
    return refused == 0 ? std::string() : std::string(std::strerror(refused));
}

} // namespace zelk::vboard

#pragma once
// Waits for a condition that another thread or process makes true: a liveness bound, not a timing check.
#include <chrono>
#include <thread>

namespace zelk::test {

template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

} // namespace zelk::test

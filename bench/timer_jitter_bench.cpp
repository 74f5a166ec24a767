// Period jitter of the system timer at 10 ms against a plain sleep_for(10 ms) loop, measured in the same run.
// Usage: timer_jitter_bench [seconds]   (default 10 seconds for each of the two measurements)
#include "timer/periodic_timer.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPeriod = std::chrono::milliseconds(10);

struct Samples {
    std::vector<Clock::time_point> times;
    std::atomic<std::size_t> count{0};
    std::atomic<int> policy{-1};

    explicit Samples(std::size_t capacity) : times(capacity) {}
    void record() {
        const std::size_t n = count.load(std::memory_order_relaxed);
        if (n < times.size()) {
            times[n] = Clock::now();
            count.store(n + 1, std::memory_order_release);
        }
    }
};

void timerCallback(void* context) {
    auto* samples = static_cast<Samples*>(context);
    if (samples->policy.load(std::memory_order_relaxed) < 0) {
        int policy = 0;
        sched_param param{};
        pthread_getschedparam(pthread_self(), &policy, &param);
        samples->policy.store(policy, std::memory_order_relaxed);
    }
    samples->record();
}

double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0.0;
    const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(sorted.size()))) - 1;
    return sorted[std::min(index, sorted.size() - 1)];
}

void report(const char* name, const Samples& samples) {
    const std::size_t n = samples.count.load(std::memory_order_acquire);
    if (n < 2) {
        std::printf("%-22s too few samples (%zu)\n", name, n);
        return;
    }
    std::vector<double> deviationsUs;
    deviationsUs.reserve(n - 1);
    double sumUs = 0.0;
    for (std::size_t i = 1; i < n; ++i) {
        const double periodUs =
            std::chrono::duration<double, std::micro>(samples.times[i] - samples.times[i - 1]).count();
        sumUs += periodUs;
        deviationsUs.push_back(std::fabs(periodUs - 10'000.0));
    }
    std::sort(deviationsUs.begin(), deviationsUs.end());
    std::printf("%-22s periods %6zu  mean %9.1f us  |period-10ms| p50 %8.1f us  p99 %8.1f us  max %8.1f us\n",
                name, n - 1, sumUs / static_cast<double>(n - 1), percentile(deviationsUs, 0.50),
                percentile(deviationsUs, 0.99), deviationsUs.back());
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    if (!(seconds > 0.0)) {
        std::fprintf(stderr, "usage: %s [seconds > 0]\n", argv[0]);
        return 2;
    }
    const auto duration = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    const auto capacity = static_cast<std::size_t>(seconds * 100.0) + 16;

    Samples timerSamples(capacity);
    auto timer = zelk::timer::makeSystemTimer();
    if (!timer->start(10, &timerCallback, &timerSamples)) {
        std::fprintf(stderr, "the system timer could not be started\n");
        return 1;
    }
    std::this_thread::sleep_for(duration);
    timer->cancel();

    Samples sleepSamples(capacity);
    const auto end = Clock::now() + duration;
    sleepSamples.record();
    while (Clock::now() < end) {
        std::this_thread::sleep_for(kPeriod);
        sleepSamples.record();
    }

    std::printf("measured %.1f s each; timer thread policy: %s\n", seconds,
                timerSamples.policy.load() == SCHED_FIFO ? "SCHED_FIFO" : "normal (no real-time permission)");
    report("system timer", timerSamples);
    report("sleep_for(10ms) loop", sleepSamples);
    return 0;
}

#include "core/trace_sink.h"

#include "codepage/codepage.h"
#include "core/trace.h"
#include "core/trace_switch.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace zelk::tracing {

std::atomic<bool> active{false};

namespace {

constexpr std::size_t kMessageBytes = 128; // a device path is the longest message; a longer one is cut
constexpr std::size_t kSlots = 64;         // a power of two
// The sink's thread looks for messages this often: a trace is diagnostic, a line may come a little late.
constexpr auto kDrainPeriod = std::chrono::milliseconds(20);

struct Record {
    Encoding encoding = Encoding::Cp932;
    int numbers = 0;
    long a = 0, b = 0;
    std::size_t messageLength = 0;
    std::size_t reasonLength = 0;
    char message[kMessageBytes];
    char reason[kReasonBytes];
};

// A bounded ring for many writers and one reader at a time. Each slot's sequence says whose turn it is: the
// writer of position p may fill the slot when the sequence is p and publishes it by setting p + 1; the
// reader empties it then and hands it to the writer of p + kSlots.
class Ring {
public:
    Ring() {
        for (std::size_t i = 0; i < kSlots; ++i)
            slots_[i].sequence.store(i, std::memory_order_relaxed);
    }

    // Lock-free: a writer that loses the race for a position tries the next; none waits for another.
    template <class Fill>
    bool push(Fill&& fill) {
        std::size_t position = head_.load(std::memory_order_relaxed);
        for (;;) {
            Slot& slot = slots_[position % kSlots];
            const std::size_t sequence = slot.sequence.load(std::memory_order_acquire);
            if (sequence == position) {
                if (head_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                    fill(slot.record);
                    slot.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (sequence < position) {
                return false; // full: the slot still holds the message of position - kSlots
            } else {
                position = head_.load(std::memory_order_relaxed);
            }
        }
    }

    // The one reader (the caller holds the drain lock).
    bool pop(Record& record) {
        Slot& slot = slots_[tail_ % kSlots];
        if (slot.sequence.load(std::memory_order_acquire) != tail_ + 1) return false;
        record = slot.record;
        slot.sequence.store(tail_ + kSlots, std::memory_order_release);
        ++tail_;
        return true;
    }

private:
    struct Slot {
        std::atomic<std::size_t> sequence{0};
        Record record;
    };
    std::array<Slot, kSlots> slots_;
    std::atomic<std::size_t> head_{0};
    std::size_t tail_ = 0;
};

// Made once and never destroyed: a message posted while the process exits still finds its ring.
struct Sink {
    Ring ring;
    std::atomic<unsigned> dropped{0};
    std::mutex drain; // taken by the draining threads only, never by a thread that posts
    LineWriter writer = nullptr;
    void* context = nullptr;
    std::thread thread;
    std::atomic<bool> stopping{false};
};

std::atomic<Sink*> sinkInstance{nullptr};

Sink& sink() {
    static Sink* const instance = [] {
        auto* s = new Sink();
        sinkInstance.store(s, std::memory_order_release);
        return s;
    }();
    return *instance;
}

std::string lineOf(const Record& r) {
    const std::string_view message(r.message, r.messageLength);
    std::string line = "ZELK_Eng: ";
    line += r.encoding == Encoding::Cp932 ? codepage::fromCp932ToUtf8(message) : std::string(message);
    if (r.numbers >= 1) line += " " + std::to_string(r.a);
    if (r.numbers >= 2) line += " " + std::to_string(r.b);
    if (r.reasonLength > 0) line += ": " + std::string(r.reason, r.reasonLength);
    line += '\n';
    return line;
}

void drain(Sink& s) {
    std::lock_guard lock(s.drain);
    if (s.writer == nullptr) return;
    Record record;
    while (s.ring.pop(record))
        s.writer(lineOf(record), s.context);
    if (const unsigned dropped = s.dropped.exchange(0, std::memory_order_relaxed); dropped > 0)
        s.writer("ZELK_Eng: " + std::to_string(dropped) +
                     " trace messages dropped: they came faster than they "
                     "could be written\n",
                 s.context);
}

void writeToStream(std::string_view line, void* stream) {
    auto* out = static_cast<std::FILE*>(stream);
    std::fwrite(line.data(), 1, line.size(), out);
    std::fflush(out);
}

void stopAtExit() {
    stop();
}

} // namespace

void post(std::string_view message, Encoding encoding, int numbers, long a, long b, std::string_view reason) {
    Sink* s = sinkInstance.load(std::memory_order_acquire);
    if (s == nullptr) return;
    const bool posted = s->ring.push([&](Record& r) {
        r.encoding = encoding;
        r.numbers = numbers;
        r.a = a;
        r.b = b;
        r.messageLength = std::min(message.size(), kMessageBytes);
        std::copy_n(message.data(), r.messageLength, r.message);
        r.reasonLength = std::min(reason.size(), kReasonBytes);
        std::copy_n(reason.data(), r.reasonLength, r.reason);
    });
    if (!posted) s->dropped.fetch_add(1, std::memory_order_relaxed);
}

void start(LineWriter writer, void* context) {
    stop();
    Sink& s = sink();
    {
        std::lock_guard lock(s.drain);
        s.writer = writer;
        s.context = context;
    }
    s.stopping.store(false);
    // The lines are made on this thread alone, the last ones included: the conversions it uses keep state
    // per thread.
    s.thread = std::thread([&s] {
        while (!s.stopping.load()) {
            drain(s);
            std::this_thread::sleep_for(kDrainPeriod);
        }
        drain(s);
    });
    active.store(true, std::memory_order_release);
}

void stop() {
    active.store(false, std::memory_order_release);
    Sink& s = sink();
    s.stopping.store(true);
    if (s.thread.joinable()) s.thread.join();
}

void startFromEnvironment() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* value = std::getenv(kTraceVariable);
        if (value == nullptr || value[0] == '\0' || std::strcmp(value, "0") == 0) return;
        std::FILE* out = stderr;
        if (std::strcmp(value, "1") != 0 && std::strcmp(value, "stderr") != 0) {
            out = std::fopen(value, "a");
            if (out == nullptr) {
                std::fprintf(stderr, "ZELK_Eng: the trace file %s cannot be opened: no trace\n", value);
                return;
            }
        }
        start(&writeToStream, out);
        std::atexit(&stopAtExit);
    });
}

} // namespace zelk::tracing

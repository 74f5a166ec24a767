#pragma once
// Counts the allocations made while counting is set, by replacing the global operator new (with the
// nothrow form that std::stable_sort uses, so that no allocation of one allocator meets a release of
// another). Include it in exactly one source file of a test program.
#include <atomic>
#include <cstdlib>
#include <new>

namespace zelk::test {
inline std::atomic<bool> counting{false};
inline std::atomic<long> allocations{0};
// While set, only the allocations of threads whose countedHere is set are counted: those of one thread
// (a cycle) beside others that may allocate (a trace's sink).
inline std::atomic<bool> chosenThreadsOnly{false};
inline thread_local bool countedHere = false;

inline void countAllocation() {
    if (counting.load(std::memory_order_relaxed) &&
        (!chosenThreadsOnly.load(std::memory_order_relaxed) || countedHere))
        allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace zelk::test

// The replacement pairs malloc with free; GCC cannot see that and warns about a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    zelk::test::countAllocation();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    zelk::test::countAllocation();
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

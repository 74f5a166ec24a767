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
} // namespace zelk::test

// The replacement pairs malloc with free; GCC cannot see that and warns about a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    if (zelk::test::counting.load(std::memory_order_relaxed))
        zelk::test::allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (zelk::test::counting.load(std::memory_order_relaxed))
        zelk::test::allocations.fetch_add(1, std::memory_order_relaxed);
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

// The counting operator new and delete. Sizes are the allocator's own usable sizes,
// asked of it at allocation and again at release, so the count balances whatever
// the allocator rounds to (under the sanitizers, the requested size).
#include "fuzz/allocation_count.h"

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

// Held bytes and the peak of the measurement in progress: program-wide, as
// operator new itself is, and nothing else of the program is.
struct Counts {
    std::atomic<std::size_t> held{0};
    std::atomic<std::size_t> peak{0};
};

Counts& counts() {
    static Counts c;
    return c;
}

void* allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p)
        return nullptr;
    Counts& c = counts();
    const std::size_t now = c.held.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    std::size_t peak = c.peak.load();
    while (now > peak && !c.peak.compare_exchange_weak(peak, now)) {
    }
    return p;
}

void release(void* p) noexcept {
    if (!p)
        return;
    counts().held.fetch_sub(malloc_usable_size(p));
    std::free(p);
}

} // namespace

namespace fuzz {

AllocationPeak::AllocationPeak() : base_(counts().held.load()) {
    counts().peak.store(base_);
}

std::size_t AllocationPeak::bytes() const {
    const std::size_t peak = counts().peak.load();
    return peak > base_ ? peak - base_ : 0;
}

} // namespace fuzz

void* operator new(std::size_t size) {
    if (void* p = allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p);
}

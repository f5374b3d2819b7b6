#include "tests/payload/allocation_tracker.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace allocationtracker {
namespace {

// A header in front of each block remembers its size. Threads may allocate and free at once.
constexpr size_t kHeader = 16;
std::atomic<size_t> held{0};
std::atomic<size_t> highest{0};
std::atomic<size_t> largest{0};

void raiseTo(std::atomic<size_t>& value, size_t to) {
    size_t seen = value.load();
    while (to > seen && !value.compare_exchange_weak(seen, to)) {
    }
}

void* allocate(size_t size) {
    raiseTo(largest, size);
    if (size > static_cast<size_t>(-1) - kHeader) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (block == nullptr) return nullptr;
    *reinterpret_cast<size_t*>(block) = size;
    raiseTo(highest, held += size);
    return block + kHeader;
}

void release(void* pointer) {
    if (pointer == nullptr) return;
    unsigned char* block = static_cast<unsigned char*>(pointer) - kHeader;
    held -= *reinterpret_cast<size_t*>(block);
    std::free(block);
}

}  // namespace

void reset() {
    highest = held.load();
    largest = 0;
}
size_t current() { return held; }
size_t peak() { return highest; }
size_t largestRequest() { return largest; }

}  // namespace allocationtracker

void* operator new(size_t size) {
    if (void* p = allocationtracker::allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    if (void* p = allocationtracker::allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept { return allocationtracker::allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return allocationtracker::allocate(size); }
void operator delete(void* p) noexcept { allocationtracker::release(p); }
void operator delete[](void* p) noexcept { allocationtracker::release(p); }
void operator delete(void* p, size_t) noexcept { allocationtracker::release(p); }
void operator delete[](void* p, size_t) noexcept { allocationtracker::release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { allocationtracker::release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { allocationtracker::release(p); }

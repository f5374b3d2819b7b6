#include "tests/payload/allocation_tracker.h"

#include <cstdlib>
#include <new>

namespace allocationtracker {
namespace {

// Single-threaded programs only; a header in front of each block remembers its size.
constexpr size_t kHeader = 16;
size_t held = 0;
size_t highest = 0;
size_t largest = 0;

void* allocate(size_t size) {
    if (size > largest) largest = size;
    if (size > static_cast<size_t>(-1) - kHeader) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (block == nullptr) return nullptr;
    *reinterpret_cast<size_t*>(block) = size;
    held += size;
    if (held > highest) highest = held;
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
    highest = held;
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

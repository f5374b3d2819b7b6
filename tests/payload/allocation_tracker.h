#pragma once
// Counts what the program allocates through C++'s operator new, so tests and benchmarks can see
// how much memory extraction asks for: the bytes held now, the most held at once, and the largest
// single request. Linking allocation_tracker.cpp replaces the global operators new and delete.

#include <cstddef>

namespace allocationtracker {

void reset();              // the peak starts again from what is held now; the largest from 0
size_t current();
size_t peak();
size_t largestRequest();

}  // namespace allocationtracker

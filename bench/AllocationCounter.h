// Counts the heap allocations of the whole program (malloc, calloc, realloc
// and, through them, operator new), so a benchmark can show that its steady
// state allocates nothing.
#pragma once
#include <cstdint>

std::uint64_t allocationCount();

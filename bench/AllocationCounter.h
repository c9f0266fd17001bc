// Counts the heap allocations of the whole program (malloc, calloc, realloc
// and, through them, operator new), so a benchmark can show that its steady
// state allocates nothing.
#pragma once
#include <cstdint>

std::uint64_t allocationCount();
// Calls of operator new alone (C++ allocations; C libraries such as the
// OpenGL driver allocate with malloc and are not counted here).
std::uint64_t newCount();

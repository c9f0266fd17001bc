// Counts the program's heap allocations (global operator new), so a benchmark
// can report how many of them one iteration makes.
#pragma once
#include <cstdint>

std::uint64_t heapAllocations();

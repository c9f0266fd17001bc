// Counts the heap allocations of the whole bench program (operator new), so
// a benchmark can report how many one iteration made.
#pragma once
#include <cstdint>

std::uint64_t allocationCount();

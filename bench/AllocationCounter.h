// A count of every global operator new in the benchmark program, so a
// benchmark can report how many heap allocations its timed loop made.
#pragma once
#include <cstdint>

std::uint64_t allocationCount();

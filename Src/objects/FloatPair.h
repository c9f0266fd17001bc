// Two adjacent float members of an object, x then y, handled as one value of
// two lanes: the motion step adds, subtracts and compares both axes at once.
// Each lane's operation is the single-precision one of the scalar code, so
// the results are the same bits.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

using FloatPair = float __attribute__((vector_size(2 * sizeof(float))));
// A lane-wise comparison's result: all bits set where it holds.
using FloatPairMask = std::int32_t __attribute__((vector_size(2 * sizeof(std::int32_t))));

// The pair that starts at `x` (the member declared right before its y).
inline FloatPair loadPair(const float& x) {
    FloatPair pair;
    std::memcpy(&pair, &x, sizeof pair);
    return pair;
}
inline void storePair(float& x, FloatPair pair) { std::memcpy(&x, &pair, sizeof pair); }
// True when the comparison holds in both lanes.
inline bool inBothLanes(FloatPairMask mask) { return std::bit_cast<std::uint64_t>(mask) == ~std::uint64_t{0}; }

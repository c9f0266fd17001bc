// Float -> 32-bit integer conversion as the game logic uses it everywhere a
// value is "truncated": toward zero, and INT32_MIN (the x86 "integer
// indefinite" value) for NaN and for values outside the 32-bit range. C++
// leaves those cases undefined, so every truncation goes through here.
#pragma once
#include <cstdint>

constexpr std::int32_t truncateToInt32(double value) {
    // The range test is false for NaN as well.
    if (value > -2147483649.0 && value < 2147483648.0) return static_cast<std::int32_t>(value);
    return INT32_MIN;
}

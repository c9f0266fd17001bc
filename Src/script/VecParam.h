// A running script's parameter vector: a count and 15 values, the values a
// caller handed to the script. Expressions read value i - 1 as "$i".
#pragma once
#include <cstdint>

struct VecParam {
    static constexpr int kCapacity = 15;
    std::uint32_t count = 0;
    float values[kCapacity] = {};
};
static_assert(sizeof(VecParam) == 64, "a parameter vector is one 64-byte block");

// The game logic's trigonometry: 3600 sines, one per tenth of a degree, as
// constants (replays depend on every bit). Directions are degrees, 0 up,
// clockwise; cosine is the sine 90 degrees on.
#pragma once
#include <cstdint>

#include "services/Truncate.h"

namespace sine_table {
inline constexpr int kEntries = 3600;
// Entry i is (float)sin((double)(float)(i / 10.0 * 0.01745329238474369)).
extern const float kValues[kEntries];

// The table index of an angle: the angle times 10 in single precision (the
// game ran with the processor set to single precision), truncated toward
// zero, then reduced into 0..3599.
inline int indexOf(float degrees) {
    const float tenths = degrees * 10.0f;
    // Directions are kept within (-360, 360], and a cosine adds a quarter
    // turn: there one turn added or taken off gives the same index as the
    // remainder below, without the division (NaN fails the test).
    if (tenths > -3601.0f && tenths < 7200.0f) {
        const int index = static_cast<int>(tenths);
        if (index < 0) return index + kEntries;
        return index >= kEntries ? index - kEntries : index;
    }
    int index = truncateToInt32(tenths) % kEntries;
    if (index < 0) index += kEntries;
    return index;
}

// Degrees per radian, as the game logic turns atan2 into a direction: one
// float constant (57.295776...) widened to double.
inline constexpr double kDegreesPerRadian = 57.2957763671875;

inline float sinDeg(float degrees) { return kValues[indexOf(degrees)]; }
inline float cosDeg(float degrees) { return kValues[indexOf(degrees + 90.0f)]; }
}  // namespace sine_table

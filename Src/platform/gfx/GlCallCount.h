// What the OpenGL backend asks of the driver, counted for the benchmarks:
// every OpenGL call its sources make (see GlCounted.h) and the bytes it
// uploads into buffer objects. Main thread only, like the device.
#pragma once
#include <cstdint>

struct GlCallCount {
    static inline std::uint64_t calls = 0;
    static inline std::uint64_t bufferUploadBytes = 0;
};

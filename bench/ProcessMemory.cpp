// The software rasteriser allocates and frees a buffer's storage of several
// megabytes every frame. Whether the C library serves that from its heap or
// maps fresh pages (whose faults the drawing thread pays) follows glibc's
// sliding mmap threshold, that is, whatever the process happened to free
// before: the same plain OpenGL frame read 5.3 ms in one run and 7.4 ms in the
// next, and differently again inside the whole suite. Fixed thresholds make
// every run, alone or after any other benchmark, pay the same.
#include <malloc.h>

namespace {
const bool heapThresholdsFixed = [] {
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    return true;
}();
}  // namespace

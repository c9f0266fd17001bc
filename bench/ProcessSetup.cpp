// What the benchmark program sets for the whole process before any benchmark
// runs, so that every benchmark gives the same figures alone and inside the
// whole suite.
#include <malloc.h>
#include <stdlib.h>

#include "platform/Window.h"

namespace {
const bool processSetUp = [] {
    // The program reads no quit message: SIGINT and SIGTERM (timeout,
    // Ctrl-C) are to end it at once rather than become an SDL event nobody
    // takes.
    SdlWindow::leaveSignalsToProcess();

    // Mesa's software rasteriser draws in the thread that flushes instead of
    // in worker threads, so the drawing thread's CPU time is the whole work
    // of a frame (the device's calls and the pixels they fill: filtering,
    // blending, full-screen passes) and none of it depends on how the
    // workers were scheduled beside it. With workers, the same comparison
    // read 0.78 in one run and 1.13 in the next. A value set outside wins.
    setenv("LP_NUM_THREADS", "0", 0);

    // The rasteriser allocates and frees a buffer's storage of several
    // megabytes every frame. Whether the C library serves that from its heap
    // or maps fresh pages (whose faults the drawing thread pays) follows
    // glibc's sliding mmap threshold, that is, whatever the process freed
    // before: fixed thresholds make every run pay the same.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    return true;
}();
}  // namespace

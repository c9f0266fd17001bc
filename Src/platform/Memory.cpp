#include "platform/Memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace {
std::uintptr_t pageBytes() {
    const long reported = sysconf(_SC_PAGESIZE);
    return reported > 0 ? static_cast<std::uintptr_t>(reported) : 4096u;
}

// madvise takes whole pages: the part of [start, start + bytes) that fills
// them, as [begin, end); empty when there is none.
struct PageSpan {
    std::uintptr_t begin = 0, end = 0;
};
PageSpan wholePagesOf(void* start, std::size_t bytes, std::uintptr_t page) {
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    if (!start || bytes == 0 || address > UINTPTR_MAX - bytes) return {};
    const std::uintptr_t begin = (address + page - 1) / page * page;
    const std::uintptr_t end = (address + bytes) / page * page;
    return end > begin ? PageSpan{begin, end} : PageSpan{};
}

// Writes a zero over a zero on each page: the kernels without
// MADV_POPULATE_WRITE. Not instrumented: the pages may hold a pool's
// poisoned gaps, whose contents this leaves as they are.
__attribute__((no_sanitize("address"))) void touchPages(PageSpan span, std::uintptr_t page) {
    for (std::uintptr_t at = span.begin; at < span.end; at += page) {
        auto* byte = reinterpret_cast<volatile unsigned char*>(at);
        *byte = *byte;
    }
}
}  // namespace

void adviseLargePages(void* start, std::size_t bytes) {
    const PageSpan span = wholePagesOf(start, bytes, pageBytes());
    if (span.end == span.begin) return;
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void*>(span.begin), span.end - span.begin, MADV_HUGEPAGE);
#endif
}

void populatePages(void* start, std::size_t bytes) {
    const std::uintptr_t page = pageBytes();
    const PageSpan span = wholePagesOf(start, bytes, page);
    if (span.end == span.begin) return;
#ifdef MADV_POPULATE_WRITE
    if (madvise(reinterpret_cast<void*>(span.begin), span.end - span.begin, MADV_POPULATE_WRITE) == 0) return;
#endif
    touchPages(span, page);
}

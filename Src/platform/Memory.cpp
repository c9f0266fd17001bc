#include "platform/Memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

void adviseLargePages(void* start, std::size_t bytes) {
    if (!start || bytes == 0) return;
    const long reported = sysconf(_SC_PAGESIZE);
    const std::uintptr_t page = reported > 0 ? static_cast<std::uintptr_t>(reported) : 4096u;
    // madvise takes whole pages: the part of the region that fills them.
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    if (address > UINTPTR_MAX - bytes) return;
    const std::uintptr_t begin = (address + page - 1) / page * page;
    const std::uintptr_t end = (address + bytes) / page * page;
    if (end <= begin) return;
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

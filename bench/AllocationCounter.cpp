#include "AllocationCounter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
}

namespace {
std::atomic<std::uint64_t> allocations{0};
}

// glibc's own allocator underneath: free() stays the library's.
extern "C" void* malloc(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* pointer, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(pointer, size);
}

std::uint64_t allocationCount() { return allocations.load(std::memory_order_relaxed); }

// operator new counted on its own (through malloc, so it also counts above):
// the C++ allocations of the program, without those of C libraries such as
// the OpenGL driver.
namespace {
std::atomic<std::uint64_t> newAllocations{0};

void* countedNew(std::size_t size) {
    newAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* countedAlignedNew(std::size_t size, std::align_val_t alignment) {
    newAllocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t align = static_cast<std::size_t>(alignment);
    void* p = nullptr;
    if (posix_memalign(&p, align < sizeof(void*) ? sizeof(void*) : align, size ? size : 1) != 0) throw std::bad_alloc();
    return p;
}
}  // namespace

void* operator new(std::size_t size) { return countedNew(size); }
void* operator new[](std::size_t size) { return countedNew(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedNew(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedNew(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t alignment) { return countedAlignedNew(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return countedAlignedNew(size, alignment); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, std::size_t) noexcept { free(p); }
void operator delete[](void* p, std::size_t) noexcept { free(p); }
void operator delete(void* p, std::align_val_t) noexcept { free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { free(p); }

std::uint64_t newCount() { return newAllocations.load(std::memory_order_relaxed); }

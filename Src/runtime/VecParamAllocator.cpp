#include "runtime/VecParamAllocator.h"

#include <new>

#include "services/DebugInfo.h"
#include "services/Prefetch.h"

namespace {
// Blocks taken ahead of the one being taken whose cache lines are asked for.
constexpr std::size_t kPrefetchAhead = 4;
void clearVector(VecParam* vector) { *vector = VecParam{}; }
}  // namespace

VecParamAllocator::VecParamAllocator() : raw_(kBlockCount), ready_(kBlockCount) {
    slab_.allocate(sizeof(VecParam), alignof(VecParam), kBlockCount);
    // Faulted in now rather than in the frames that first hand blocks out.
    slab_.populate();
    for (std::size_t i = 0; i < kBlockCount; ++i) raw_.pushBack(slab_.block(i));
}

// The blocks go with the process.
VecParamAllocator::~VecParamAllocator() = default;

VecParam* VecParamAllocator::popBlock() {
    if (raw_.empty()) {
        logLine("VecParamAllocator EMPTY");
        return nullptr;
    }
    prefetchBlockForWriting(raw_.peek(kPrefetchAhead), sizeof(VecParam));
    return static_cast<VecParam*>(raw_.popFront());
}

VecParam* VecParamAllocator::get() {
    if (!ready_.empty()) {
        prefetchBlockForWriting(ready_.peek(kPrefetchAhead), sizeof(VecParam));
        return static_cast<VecParam*>(ready_.popFront());
    }
    VecParam* vector = popBlock();
    if (vector) clearVector(new (vector) VecParam);
    return vector;
}

void VecParamAllocator::refill() {
    if (raw_.empty() || ready_.size() > kReadyLimit) return;
    VecParam* vector = popBlock();
    if (!vector) return;
    clearVector(new (vector) VecParam);
    ready_.pushBack(vector);
}

void releaseParamVector(VecParam* vector) { VecParamAllocator::instance().release(vector); }

namespace {
// The pool is filled during static initialisation, before the entry runs.
[[maybe_unused]] VecParamAllocator& g_filledAtLoad = VecParamAllocator::instance();
}  // namespace

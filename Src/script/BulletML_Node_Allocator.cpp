#include "script/BulletML_Node_Allocator.h"

#include "script/BulletML_Node.h"

#include <memory>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VORLY_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define VORLY_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define VORLY_POISON(address, size) ((void)(address), (void)(size))
#define VORLY_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace {
// Asks for the cache lines of the node-sized slot at `slot` ahead of their
// use: a large script makes and frees its nodes far apart in time, so each one
// would otherwise wait for memory (to be written when made, read when freed).
inline void prefetchSlot(const void* slot, bool forWriting) {
    const char* bytes = static_cast<const char*>(slot);
    for (std::size_t offset = 0; offset < sizeof(BulletML_Node) + 63; offset += 64) {
        if (forWriting) {
            __builtin_prefetch(bytes + offset, 1, 3);
        } else {
            __builtin_prefetch(bytes + offset, 0, 3);
        }
    }
}

// Node-sized slots carved from blocks of 4096; a freed slot goes on a stack
// and is taken first. Blocks are left unwritten: a slot's pages are touched
// only when a node is built in it. Blocks live as long as the process (nodes of the
// process-wide pool are freed by its static destructor, so this must outlive
// it: it is made once and never destroyed). Freed slots are poisoned under
// AddressSanitizer, so a node used after its document was reset is still
// reported.
class NodeSlots {
public:
    static constexpr std::size_t kSlotSize =
        (sizeof(BulletML_Node) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);
    static constexpr std::size_t kSlotsPerBlock = 4096;

    void* take() {
        std::lock_guard<std::mutex> lock(lock_);
        void* slot;
        if (!free_.empty()) {
            slot = free_.back();
            free_.pop_back();
            // The slot after next: the next one was asked for the last time.
            if (free_.size() >= 2) prefetchSlot(free_[free_.size() - 2], true);
        } else {
            if (used_ == kSlotsPerBlock) {
                blocks_.push_back(std::make_unique_for_overwrite<std::max_align_t[]>(
                    kSlotsPerBlock * kSlotSize / sizeof(std::max_align_t)));
                VORLY_POISON(blocks_.back().get(), kSlotsPerBlock * kSlotSize);
                used_ = 0;
            }
            slot = reinterpret_cast<std::byte*>(blocks_.back().get()) + used_++ * kSlotSize;
            if (used_ + 1 < kSlotsPerBlock) prefetchSlot(static_cast<std::byte*>(slot) + 2 * kSlotSize, true);
        }
        VORLY_UNPOISON(slot, kSlotSize);
        return slot;
    }
    void give(void* slot) {
        std::lock_guard<std::mutex> lock(lock_);
        VORLY_POISON(slot, kSlotSize);
        free_.push_back(slot);
    }
    template <typename Pointer>
    void giveAll(const std::vector<Pointer>& slots) {
        std::lock_guard<std::mutex> lock(lock_);
        free_.reserve(free_.size() + slots.size());
        for (void* slot : slots) {
            VORLY_POISON(slot, kSlotSize);
            free_.push_back(slot);
        }
    }

private:
    std::mutex lock_;
    std::vector<std::unique_ptr<std::max_align_t[]>> blocks_;
    std::size_t used_ = kSlotsPerBlock;
    std::vector<void*> free_;
};

NodeSlots& nodeSlots() {
    static NodeSlots* slots = new NodeSlots();
    return *slots;
}
}  // namespace

void* BulletML_Node::operator new(std::size_t size) {
    if (size != sizeof(BulletML_Node)) return ::operator new(size);
    return nodeSlots().take();
}

void* BulletML_Node::takeSlot() { return nodeSlots().take(); }

void BulletML_Node::operator delete(void* node, std::size_t size) noexcept {
    if (!node) return;
    if (size != sizeof(BulletML_Node)) {
        ::operator delete(node);
        return;
    }
    nodeSlots().give(node);
}

void BulletML_Node::deleteAll(const std::vector<BulletML_Node*>& nodes) {
    // The class is final, so every node has this size and came from the slots.
    constexpr std::size_t kAhead = 4;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (i + kAhead < nodes.size()) prefetchSlot(nodes[i + kAhead], false);
        nodes[i]->~BulletML_Node();
    }
    nodeSlots().giveAll(nodes);
}

BulletML_Node_Allocator::~BulletML_Node_Allocator() {
    // Slots never built into a node go straight back.
    for (void* slot : ready_) nodeSlots().give(slot);
}

BulletML_Node_Allocator& BulletML_Node_Allocator::instance() {
    static BulletML_Node_Allocator pool;
    return pool;
}

void BulletML_Node_Allocator::prefill() {
    std::lock_guard<std::mutex> lock(lock_);
    if (filled_) return;
    filled_ = true;
    // The slots are taken now, in the order nodes would be made; each node is
    // built when handed out, so slots never asked for stay untouched memory.
    ready_.reserve(ready_.size() + kPoolSize);
    for (size_t i = 0; i < kPoolSize; ++i) ready_.push_back(BulletML_Node::takeSlot());
    handedOut_ += kPoolSize;
}

BulletML_Node* BulletML_Node_Allocator::get() {
    std::lock_guard<std::mutex> lock(lock_);
    if (ready_.empty()) {
        ++handedOut_;
        return new BulletML_Node();
    }
    void* slot = ready_.back();
    ready_.pop_back();
    return ::new (slot) BulletML_Node();
}

size_t BulletML_Node_Allocator::readyCount() const {
    std::lock_guard<std::mutex> lock(lock_);
    return ready_.size();
}

size_t BulletML_Node_Allocator::handedOutCount() const {
    std::lock_guard<std::mutex> lock(lock_);
    return handedOut_;
}

// The fixed pools' region of blocks: block placement, which pointers are its
// blocks, and what happens to the region when a pool is emptied.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "services/BlockSlab.h"

namespace {

struct alignas(64) Wide {
    unsigned char bytes[100];
};

TEST(BlockSlab, BlocksAreAlignedDistinctAndWholeEachOwnTheirBytes) {
    BlockSlab slab;
    EXPECT_TRUE(slab.empty());
    slab.allocate(sizeof(Wide), alignof(Wide), 50);
    ASSERT_FALSE(slab.empty());
    EXPECT_EQ(slab.count(), 50u);
    std::set<void*> seen;
    for (std::size_t i = 0; i < slab.count(); ++i) {
        void* block = slab.block(i);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignof(Wide), 0u) << i;
        seen.insert(block);
        std::memset(block, int(i), sizeof(Wide));
    }
    EXPECT_EQ(seen.size(), 50u);
    // Filling each block whole left every other block as it was written.
    for (std::size_t i = 0; i < slab.count(); ++i) {
        const auto* bytes = static_cast<const unsigned char*>(slab.block(i));
        EXPECT_EQ(bytes[0], i) << i;
        EXPECT_EQ(bytes[sizeof(Wide) - 1], i) << i;
    }
    // Its own blocks' starts only.
    EXPECT_TRUE(slab.owns(slab.block(0)));
    EXPECT_TRUE(slab.owns(slab.block(49)));
    EXPECT_FALSE(slab.owns(static_cast<char*>(slab.block(3)) + 1));
    EXPECT_FALSE(slab.owns(static_cast<char*>(slab.block(49)) + 128));
    EXPECT_FALSE(slab.owns(nullptr));
    Wide elsewhere{};
    EXPECT_FALSE(slab.owns(&elsewhere));
}

TEST(BlockSlab, EmptyingThePoolFreesTheRegionOnlyWithEveryBlockBack) {
    BlockSlab all;
    all.allocate(24, 8, 10);
    all.release(10);
    EXPECT_TRUE(all.empty());
    EXPECT_FALSE(all.owns(nullptr));

    // One block still out: the slab lets the region go without freeing it,
    // so the block stays usable (AddressSanitizer reports it otherwise).
    BlockSlab some;
    some.allocate(24, 8, 10);
    auto* out = static_cast<unsigned char*>(some.block(7));
    some.release(9);
    EXPECT_TRUE(some.empty());
    EXPECT_FALSE(some.owns(out));
    std::memset(out, 0x5a, 24);
    EXPECT_EQ(out[23], 0x5a);
    // The slab can be filled again.
    some.allocate(24, 8, 3);
    EXPECT_EQ(some.count(), 3u);
    EXPECT_NE(some.block(0), static_cast<void*>(out));
}

}  // namespace

#ifdef VORLY_SLAB_REDZONES
namespace {
// In the sanitizer build a write just past a block is caught, as it is for a
// heap allocation of the block's size.
TEST(BlockSlabDeathTest, AWritePastABlockIsCaughtUnderTheSanitizer) {
    BlockSlab slab;
    slab.allocate(24, 8, 4);
    auto* block = static_cast<volatile unsigned char*>(slab.block(1));
    block[23] = 1;
    EXPECT_DEATH(block[24] = 1, "AddressSanitizer");
}
}  // namespace
#endif

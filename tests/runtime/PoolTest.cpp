// The runtime and parameter-vector pools: fill, top-up thresholds, order of
// reuse, empty-pool lines.
#include <algorithm>

#include "RuntimeTestSupport.h"

namespace {

class Pools : public ::testing::Test {
protected:
    Pools() { resetRuntimePool(); }
    ~Pools() override {
        for (ExBulletML_Runtime* runtime : held_) runtime->destroy();
        resetRuntimePool();
    }
    ExBulletML_Runtime* take() {
        ExBulletML_Runtime* runtime = pool_.get();
        if (runtime) held_.push_back(runtime);
        return runtime;
    }
    int countLines(std::string_view text) const {
        auto lines = log_.logLines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), std::string(text)));
    }

    LoggedTest log_;
    BMLRuntimeAllocator& pool_ = BMLRuntimeAllocator::instance();
    std::vector<ExBulletML_Runtime*> held_;
};

TEST_F(Pools, RuntimeTopUpFiguresAndThresholds) {
    EXPECT_EQ(pool_.rawCount(), 10000u);
    EXPECT_EQ(pool_.readyCount(), 0u);
    pool_.refill();
    EXPECT_EQ(pool_.rawCount(), 9994u);
    EXPECT_EQ(pool_.readyCount(), 6u);
    // The stock reaches 5000 after 834 top-ups (5004); with 5000 or fewer
    // ready a top-up still adds six, above 5000 none.
    while (pool_.readyCount() < 4998) pool_.refill();
    EXPECT_EQ(pool_.readyCount(), 4998u);
    take();
    take();
    take();
    EXPECT_EQ(pool_.readyCount(), 4995u);
    pool_.refill();
    EXPECT_EQ(pool_.readyCount(), 5001u);
    pool_.refill();
    EXPECT_EQ(pool_.readyCount(), 5001u);
    take();
    pool_.refill();
    EXPECT_EQ(pool_.readyCount(), 5006u);
    EXPECT_EQ(countLines("BMLRuntimeAllocator EMPTY"), 0);
}

// The pool hands its blocks out first in, first out over a region of
// thousands of pages: the region asks for large pages.
TEST_F(Pools, TheRuntimeRegionAsksForLargePages) {
    if (!largePagesOnAdvice()) GTEST_SKIP() << "no large pages on advice here";
    EXPECT_TRUE(hasLargePageAdvice(reinterpret_cast<char*>(take()) + 2 * 4096));
}

TEST_F(Pools, GetHandsOutTheOldestReadyRuntimeFirst) {
    pool_.refill();
    ExBulletML_Runtime* first = take();
    ExBulletML_Runtime* second = take();
    EXPECT_NE(first, second);
    EXPECT_EQ(pool_.readyCount(), 4u);
    EXPECT_FALSE(first->isActive());
    EXPECT_EQ(first->getParams()->count, 0u);
}

TEST_F(Pools, AReleasedRuntimeBlockIsReusedAfterEveryEarlierBlock) {
    ExBulletML_Runtime* released = take();
    held_.pop_back();
    released->destroy();
    EXPECT_EQ(pool_.rawCount(), 10000u);
    // 9999 blocks were in the raw queue before it: all come first.
    for (int i = 0; i < 9999; ++i) ASSERT_NE(take(), released);
    EXPECT_EQ(take(), released);
}

TEST_F(Pools, AnEmptyRuntimePoolLogsEveryFailedPop) {
    while (pool_.rawCount() > 3) take();
    pool_.refill();
    EXPECT_EQ(pool_.readyCount(), 3u);
    EXPECT_EQ(countLines("BMLRuntimeAllocator EMPTY"), 3);
    take();
    take();
    take();
    EXPECT_EQ(pool_.get(), nullptr);
    EXPECT_EQ(countLines("BMLRuntimeAllocator EMPTY"), 4);
    // An empty pool leaves the top-up alone.
    pool_.refill();
    EXPECT_EQ(countLines("BMLRuntimeAllocator EMPTY"), 4);
}

TEST_F(Pools, VectorsComeBackUnclearedAndLeaveTheRawQueueCleared) {
    VecParamAllocator& vectors = VecParamAllocator::instance();
    std::vector<VecParam*> taken;
    while (vectors.readyCount() != 0) taken.push_back(vectors.get());
    VecParam* dirty = vectors.get();
    dirty->count = 3;
    dirty->values[0] = 1.5f;
    dirty->values[14] = 9.0f;
    vectors.release(dirty);
    EXPECT_EQ(dirty->count, 3u);  // not cleared on the way back
    // It is handed out again only after every block queued before it.
    std::size_t before = vectors.rawCount() - 1;
    for (std::size_t i = 0; i < before; ++i) {
        VecParam* other = vectors.get();
        ASSERT_NE(other, dirty);
        taken.push_back(other);
    }
    VecParam* again = vectors.get();
    ASSERT_EQ(again, dirty);
    EXPECT_EQ(again->count, 0u);
    EXPECT_EQ(again->values[0], 0.0f);
    EXPECT_EQ(again->values[14], 0.0f);
    EXPECT_EQ(vectors.get(), nullptr);
    EXPECT_EQ(countLines("VecParamAllocator EMPTY"), 1);
    taken.push_back(again);
    for (VecParam* vector : taken) vectors.release(vector);
}

TEST_F(Pools, VectorTopUpAddsOneUpToJustAboveAThousand) {
    VecParamAllocator& vectors = VecParamAllocator::instance();
    std::vector<VecParam*> taken;
    while (vectors.readyCount() != 0) taken.push_back(vectors.get());
    std::size_t raw = vectors.rawCount();
    vectors.refill();
    EXPECT_EQ(vectors.readyCount(), 1u);
    EXPECT_EQ(vectors.rawCount(), raw - 1);
    while (vectors.readyCount() < 1000) vectors.refill();
    vectors.refill();
    EXPECT_EQ(vectors.readyCount(), 1001u);
    vectors.refill();
    EXPECT_EQ(vectors.readyCount(), 1001u);
    for (VecParam* vector : taken) vectors.release(vector);
}

TEST_F(Pools, RuntimeBlocksAreFreedFromTheRawQueueAtShutDown) {
    ExBulletML_Runtime* held = pool_.get();
    pool_.freeBlocks();
    EXPECT_EQ(pool_.rawCount(), 0u);
    EXPECT_EQ(pool_.get(), nullptr);
    // A block given back after the release goes to the raw queue again.
    held->destroy();
    EXPECT_EQ(pool_.rawCount(), 1u);
    pool_.freeBlocks();
    pool_.prefill();
    EXPECT_EQ(pool_.rawCount(), 10000u);
}

}  // namespace

#include <gtest/gtest.h>

#include <vector>

#include "objects/BulletObjectAllocator.h"
#include "objects/ObjectFixture.h"
#include "objects/SelectableObject.h"
#include "objects/SelectableObjectAllocator.h"
#include "support/TestSupport.h"

namespace {
class ObjectPoolTest : public ObjectTest {};
}  // namespace

// Object blocks come back first in, first out: a block given back is reused
// only after every block ahead of it. Selectable blocks come back last in,
// first out.
TEST_F(ObjectPoolTest, ObjectBlocksAreFifoSelectableBlocksLifo) {
    BulletObjectAllocator& pool = BulletObjectAllocator::instance();
    BulletObject* first = pool.get();
    BulletObject* second = pool.get();
    void* firstBlock = first;
    first->destroy(0);
    EXPECT_EQ(pool.rawCount(), BulletObjectAllocator::kBlocks - 1);
    EXPECT_EQ(pool.outstanding(), 1);
    // The given-back block waits behind 9,998 others.
    std::vector<BulletObject*> taken;
    for (int i = 0; i < 9998; ++i) {
        taken.push_back(pool.get());
        ASSERT_NE(taken.back(), firstBlock);
    }
    BulletObject* reused = pool.get();
    EXPECT_EQ(static_cast<void*>(reused), firstBlock);
    // Handed out freshly constructed.
    EXPECT_EQ(reused->getVital(), -1.0f);
    EXPECT_EQ(reused->getState(), 0u);
    reused->destroy(0);
    second->destroy(0);
    for (BulletObject* object : taken) object->destroy(0);
    EXPECT_EQ(pool.outstanding(), 0);

    SelectableObjectAllocator& menus = SelectableObjectAllocator::instance();
    menus.fill();
    void* a = menus.get();
    void* b = menus.get();
    EXPECT_NE(a, b);
    auto* entry = new (b) SelectableObject();
    entry->destroy(0);
    EXPECT_EQ(menus.get(), b);
    menus.giveBack(b);
    menus.giveBack(a);
    EXPECT_EQ(menus.count(), SelectableObjectAllocator::kBlocks);
    std::vector<void*> blocks;
    for (std::size_t i = 0; i < SelectableObjectAllocator::kBlocks; ++i) {
        blocks.push_back(menus.get());
        ASSERT_NE(blocks.back(), nullptr);
    }
    EXPECT_EQ(menus.get(), nullptr);
    EXPECT_EQ(countLogLines("SelectableObjectAllocator::get() Pool is Empty!"), 1);
    for (void* block : blocks) menus.giveBack(block);
    menus.freeBlocks();
}

// The pool hands its blocks out first in, first out over a region of
// thousands of pages: the region asks for large pages.
TEST_F(ObjectPoolTest, TheRegionAsksForLargePages) {
    if (!largePagesOnAdvice()) GTEST_SKIP() << "no large pages on advice here";
    BulletObject* first = BulletObjectAllocator::instance().get();
    // Past the first page, which the region may share with other memory.
    EXPECT_TRUE(hasLargePageAdvice(reinterpret_cast<char*>(first) + 2 * 4096));
    first->destroy(0);
}

// The ready stock is topped up by six while it holds fewer than 3,001: 2,998
// becomes 3,004, and 3,001 stays.
TEST_F(ObjectPoolTest, RefillTopsUpBySixBelowTheLimit) {
    BulletObjectAllocator& pool = BulletObjectAllocator::instance();
    for (int i = 0; i < 500; ++i) pool.refill();
    EXPECT_EQ(pool.readyCount(), 3000u);
    std::vector<BulletObject*> taken = {pool.get(), pool.get()};
    EXPECT_EQ(pool.readyCount(), 2998u);
    pool.refill();
    EXPECT_EQ(pool.readyCount(), 3004u);
    pool.refill();
    EXPECT_EQ(pool.readyCount(), 3004u);
    EXPECT_EQ(pool.outstanding(), 3006);
    for (BulletObject* object : taken) object->destroy(0);
}

// An exhausted pool logs its line once per failed take, refill attempts
// included, and the lists take nothing: create answers null and leaves the
// list and its serial as they were.
TEST_F(ObjectPoolTest, ExhaustionLogsOncePerFailedTakeAndCreatesNothing) {
    BulletObjectAllocator& pool = BulletObjectAllocator::instance();
    IntBulletObjectManager& bullets = *manager().getBulletManager();
    for (std::size_t i = 0; i < BulletObjectAllocator::kBlocks - 3; ++i) ASSERT_NE(manager().createBullet(), nullptr);
    EXPECT_EQ(countLogLines("BulletObjectAllocator EMPTY"), 0);
    // Three raw blocks left: a refill makes three and fails three times.
    pool.refill();
    EXPECT_EQ(pool.readyCount(), 3u);
    EXPECT_EQ(countLogLines("BulletObjectAllocator EMPTY"), 3);
    EXPECT_EQ(pool.outstanding(), static_cast<std::int32_t>(BulletObjectAllocator::kBlocks) + 3);
    for (int i = 0; i < 3; ++i) ASSERT_NE(manager().createBullet(), nullptr);
    const std::uint32_t serial = bullets.getSerial();
    const std::uint32_t size = bullets.size();
    for (BulletObject* (BulletObjectManager::*create)() :
         {&BulletObjectManager::createBullet, &BulletObjectManager::createEnemy, &BulletObjectManager::createShot,
          &BulletObjectManager::createGroup, &BulletObjectManager::createItem, &BulletObjectManager::createPlainObject}) {
        EXPECT_EQ((manager().*create)(), nullptr);
    }
    EXPECT_EQ(countLogLines("BulletObjectAllocator EMPTY"), 9);
    EXPECT_EQ(bullets.getSerial(), serial);
    EXPECT_EQ(bullets.size(), size);
    EXPECT_EQ(manager().countObjects(), BulletObjectAllocator::kBlocks);
    // A frame at exhaustion runs, and one vanished object makes one creation
    // possible again.
    frames(1);
    bullets.front()->setState(1);
    frames(1);
    EXPECT_NE(manager().createBullet(), nullptr);
    EXPECT_EQ(manager().createBullet(), nullptr);
}

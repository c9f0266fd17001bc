#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "services/NamePool.h"
#include "services/ResourceObject.h"

TEST(NamePoolIdentity, EqualNamesGiveEqualHandles) {
    NamePool& pool = NamePool::instance();
    NameHandle a = pool.intern("abc");
    NameHandle b = pool.intern(std::string("ab") + "c");
    EXPECT_EQ(a, b);
    EXPECT_NE(a, pool.intern("abd"));
    EXPECT_NE(a, pool.intern("ABC"));
    EXPECT_EQ(pool.text(a), "abc");
    EXPECT_EQ(pool.emptyName(), pool.intern(""));
    EXPECT_EQ(pool.text(pool.emptyName()), "");
    // Handles are given in interning order.
    NameHandle first = pool.intern("name-pool-order-1");
    NameHandle second = pool.intern("name-pool-order-2");
    EXPECT_EQ(second, first + 1);
}

TEST(NamePoolIdentity, WideNamesLiveInTheirOwnPool) {
    NameHandle narrow = internName("wide-vs-narrow");
    NameHandle wide = internWideName(u"wide-vs-narrow");
    EXPECT_EQ(wideNameText(wide), u"wide-vs-narrow");
    EXPECT_EQ(nameText(narrow), "wide-vs-narrow");
    EXPECT_EQ(WideNamePool::instance().findOrInsert(u"wide-vs-narrow"), wide);
    EXPECT_EQ(WideNamePool::instance().emptyName(), WideNamePool::instance().intern(u""));
}

TEST(NamePoolThreads, ConcurrentInterningGivesOneHandlePerName) {
    constexpr int kThreads = 4;
    // Enough names that the pool's table grows several times while other
    // threads look names up in it without the lock.
    constexpr int kNames = 5000;
    std::vector<std::vector<NameHandle>> seen(kThreads, std::vector<NameHandle>(kNames));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &seen] {
            for (int i = 0; i < kNames; ++i) {
                // Every thread interns the same names, in a different order.
                int n = (i * 7 + t * 131) % kNames;
                seen[t][n] = internName("threaded-" + std::to_string(n));
                (void)nameText(seen[t][n]);
            }
        });
    }
    for (std::thread& th : threads) th.join();
    std::set<NameHandle> distinct;
    for (int n = 0; n < kNames; ++n) {
        for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t][n], seen[0][n]);
        distinct.insert(seen[0][n]);
        EXPECT_EQ(nameText(seen[0][n]), "threaded-" + std::to_string(n));
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kNames));
}

TEST(ResourceObjectOps, ConstructionAndNames) {
    ResourceObject a, b;
    EXPECT_EQ(a.getTag(), 0u);
    EXPECT_EQ(a.getState(), 0u);
    EXPECT_EQ(a.isActive(), 1);
    EXPECT_EQ(a.getName(), NamePool::instance().emptyName());

    a.setName("abc");
    b.setName(std::string_view("abc"));
    EXPECT_EQ(a.getName(), b.getName());
    EXPECT_EQ(a.nameEquals(b.getName()), 1);
    EXPECT_EQ(a.nameEquals("abc"), 1);

    size_t before = NamePool::instance().size();
    EXPECT_EQ(a.nameEquals("never-seen-before-name"), 0);
    EXPECT_EQ(NamePool::instance().size(), before + 1);  // the name stays pooled

    NameHandle h = internName("by-handle");
    EXPECT_EQ(b.setName(h), h);
    EXPECT_EQ(b.getName(), h);
}

TEST(ResourceObjectOps, StateActiveResetInit) {
    ResourceObject o;
    EXPECT_EQ(o.setActive(5), 5);
    EXPECT_EQ(o.isActive(), 1);
    EXPECT_EQ(o.setActive(0), 0);
    EXPECT_EQ(o.isActive(), 0);
    o.setActive(1);
    o.setState(0xFFFFFFFFu);
    o.setTag(42);
    EXPECT_EQ(o.reset(12345), 0);
    EXPECT_EQ(o.isActive(), 0);
    EXPECT_EQ(o.getState(), 0u);
    EXPECT_EQ(o.getTag(), 42u);

    o.setName("named");
    o.setActive(1);
    o.setState(3);
    o.init();
    EXPECT_EQ(o.getName(), NamePool::instance().emptyName());
    EXPECT_EQ(o.isActive(), 0);
    EXPECT_EQ(o.getState(), 0u);
    EXPECT_EQ(o.getTag(), 42u);
    // nameSet stays 1, so nameEquals("") matches through the stored handle.
    EXPECT_EQ(o.nameEquals(""), 1);
}

TEST(ResourceObjectOps, DestroyWithFreeFlagDeletesThroughTheVirtualSlot) {
    struct Counted : ResourceObject {
        explicit Counted(int& d) : destroyed(d) {}
        ~Counted() override { ++destroyed; }
        int& destroyed;
    };
    int destroyed = 0;
    ResourceObject* o = new Counted(destroyed);
    o->destroy(1);
    EXPECT_EQ(destroyed, 1);
}

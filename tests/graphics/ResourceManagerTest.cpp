// The resource manager template with a ResourceObject resource and with a
// plain-field resource reached through its own accessors: the same edge cases
// hold for both.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "graphics/ResourceManager.h"

namespace {
struct ObjectResource : ResourceObject {
    int built = ++counter;
    static inline int counter = 0;
};

// Like the sprite manager: id, name and state as plain fields.
struct PlainResource {
    std::uint32_t id = 0;
    NameHandle name = 0;
    std::uint32_t state = 0;
    int built = ++counter;
    static inline int counter = 0;
};
}  // namespace

template <>
struct ResourceAccess<PlainResource> {
    static std::uint32_t tag(PlainResource& r) { return r.id; }
    static void setTag(PlainResource& r, std::uint32_t tag) { r.id = tag; }
    static bool nameEquals(PlainResource& r, const NameHandle& name) { return r.name == name; }
    static void setName(PlainResource& r, const NameHandle& name) { r.name = name; }
    static NameHandle name(PlainResource& r) { return r.name; }
    static std::uint32_t state(PlainResource& r) { return r.state; }
    static void setState(PlainResource& r, std::uint32_t state) { r.state = state; }
};

namespace {
// Counts the slot calls the walks make, to show they go through the slots.
template <class T>
class CountingManager : public ResourceManager<T> {
public:
    void removeById(std::uint32_t id) override {
        removed.push_back(id);
        ResourceManager<T>::removeById(id);
    }
    void queueRemove(std::uint32_t id) override {
        queued.push_back(id);
        ResourceManager<T>::queueRemove(id);
    }
    std::vector<std::uint32_t> removed, queued;
};

template <class T>
class ResourceManagerTemplate : public ::testing::Test {};
using Resources = ::testing::Types<ObjectResource, PlainResource>;
TYPED_TEST_SUITE(ResourceManagerTemplate, Resources);

template <class T>
std::uint32_t idOf(const std::shared_ptr<T>& r) {
    return ResourceAccess<T>::tag(*r);
}
}  // namespace

TYPED_TEST(ResourceManagerTemplate, EdgeCases) {
    using T = TypeParam;
    using Manager = CountingManager<T>;
    using Access = ResourceAccess<T>;
    struct Case {
        const char* name;
        std::function<void(Manager&)> run;
    };
    const std::vector<Case> cases = {
        {"findById of an absent id is empty and inserts nothing",
         [](Manager& m) {
             m.create();
             EXPECT_EQ(m.findById(7), nullptr);
             EXPECT_EQ(m.size(), 1u);
         }},
        {"create takes the stock last-built first, then builds",
         [](Manager& m) {
             m.preallocate(3);
             EXPECT_EQ(m.preallocated(), 3);
             std::vector<int> built;
             std::vector<std::uint32_t> ready;
             for (int i = 0; i < 4; ++i) {
                 ready.push_back(m.readyCount());
                 built.push_back(m.create()->built);
             }
             EXPECT_EQ(ready, (std::vector<std::uint32_t>{3, 2, 1, 0}));
             EXPECT_GT(built[0], built[1]);
             EXPECT_GT(built[1], built[2]);
             EXPECT_GT(built[3], built[0]);
             m.preallocate(0);
             EXPECT_EQ(m.readyCount(), 0u);
         }},
        {"retireAll: registered until one update and one flush",
         [](Manager& m) {
             auto a = m.createNamed(internName("a.png"));
             m.create();
             m.retireAll();
             EXPECT_EQ(Access::state(*a), 1u);
             EXPECT_EQ(m.findCachedByName("a.png"), nullptr);
             EXPECT_EQ(m.size(), 2u);
             m.update();
             EXPECT_EQ(m.size(), 2u);
             EXPECT_EQ(m.queued, (std::vector<std::uint32_t>{1, 2}));
             m.flushRemoveQueue();
             EXPECT_EQ(m.size(), 0u);
             EXPECT_EQ(m.removed, (std::vector<std::uint32_t>{1, 2}));
         }},
        {"two queued removals of one id erase once",
         [](Manager& m) {
             m.create();
             m.create();
             m.queueRemove(1);
             m.queueRemove(1);
             m.flushRemoveQueue2();
             EXPECT_EQ(m.size(), 1u);
             EXPECT_NE(m.findById(2), nullptr);
             EXPECT_EQ(m.queuedRemovals(), 0u);
         }},
        {"assignId after resetIds skips held ids",
         [](Manager& m) {
             m.create();
             m.create();
             m.create();
             m.removeById(3);  // ids 1 and 2 registered
             m.resetIds();
             T fresh;
             EXPECT_EQ(m.assignId(fresh), 3u);
             // nextId follows the id given.
             EXPECT_EQ(idOf(m.create()), 4u);
         }},
        {"add keeps the entry already under the id",
         [](Manager& m) {
             auto first = m.create();
             auto other = std::make_shared<T>();
             Access::setTag(*other, idOf(first));
             m.add(other);
             EXPECT_EQ(m.findById(idOf(first)), first);
             m.remove(other);
             EXPECT_EQ(m.size(), 0u);
         }},
        {"findByName: the lower id wins, is cached, and the cache outlives removal",
         [](Manager& m) {
             auto low = m.create();
             auto high = m.create();
             Access::setName(*high, internName("same"));
             Access::setName(*low, internName("same"));
             EXPECT_EQ(m.findCachedByName("same"), nullptr);
             EXPECT_EQ(m.findByName("same"), low);
             m.removeById(idOf(low));
             EXPECT_EQ(m.findByName("same"), low);
             EXPECT_EQ(m.findCachedByHandle(internName("same")), low);
             EXPECT_EQ(m.findByName("other"), nullptr);
             m.clearAll();
             EXPECT_EQ(m.findByName("same"), nullptr);
         }},
        {"createNamed names, registers and caches",
         [](Manager& m) {
             auto r = m.createNamed(internName("n.bmp"));
             EXPECT_EQ(Access::name(*r), internName("n.bmp"));
             EXPECT_EQ(m.findCachedByName("n.bmp"), r);
             EXPECT_EQ(m.findById(idOf(r)), r);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Manager manager;
        c.run(manager);
    }
}

TYPED_TEST(ResourceManagerTemplate, ResourcesHeldElsewhereOutliveTheManager) {
    std::shared_ptr<TypeParam> kept;
    {
        ResourceManager<TypeParam> manager;
        kept = manager.createNamed(internName("kept"));
        manager.preallocate(2);
    }
    EXPECT_EQ(kept.use_count(), 1);
}

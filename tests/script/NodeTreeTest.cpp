// Script nodes, the node pool, the document and the shared number records.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Allocator.h"
#include "script/BulletML_Node_Manager.h"
#include "script/BulletML_Node_Number_Manager.h"
#include "script/ElementId.h"

namespace {

TEST(NodeTree, ChildTypeDefaults) {
    struct Case {
        std::int32_t id;
        std::int32_t whenNone;
    } cases[] = {
        {kChangePosition, kTypeCenter}, {kSetPosition, kTypeCenter}, {kImg, kTypeDds},
        {kCollision, kTypeCircle},      {kVertical, kTypeAbsolute},  {kHorizontal, kTypeAbsolute},
        {kSpeed, kTypeAbsolute},        {kSetImgSize, kTypeAbsolute}, {kDirection, kTypeAim},
        {kWait, kTypeNone},             {kFile, kTypeNone},          {kEnemy, kTypeNone},
    };
    for (const Case& c : cases) {
        BulletML_Node node;
        EXPECT_EQ(node.getChildType(c.id), 0) << "never stored " << c.id;
        node.setChildType(c.id, kTypeNone);
        EXPECT_EQ(node.getChildType(c.id), c.whenNone) << c.id;
        node.setChildType(c.id, kTypeSequence);
        EXPECT_EQ(node.getChildType(c.id), kTypeSequence) << c.id;
    }
}

// The motion commands read "speed", "direction" and "term" and the two types
// through pointers kept beside the maps: they must agree with the maps after
// any order of sets, replacements and other ids set in between.
TEST(NodeTree, KeptMotionValuesFollowTheMaps) {
    BulletML_Node_Number_Manager registry;
    BulletML_Node_Number* one = registry.get("1");
    BulletML_Node_Number* two = registry.get("2");
    BulletML_Node_Number* three = registry.get("3");
    auto agrees = [](const BulletML_Node& node) {
        EXPECT_EQ(node.speedChild(), node.getChild(kSpeed));
        EXPECT_EQ(node.directionChild(), node.getChild(kDirection));
        EXPECT_EQ(node.termChild(), node.getChild(kTerm));
        EXPECT_EQ(node.speedType(), node.getChildType(kSpeed));
        EXPECT_EQ(node.directionType(), node.getChildType(kDirection));
    };
    BulletML_Node node;
    agrees(node);
    struct Step {
        std::int32_t id;
        BulletML_Node_Number* number;  // null: set the type instead
        std::int32_t type;
    } steps[] = {
        {kTerm, one, 0},          {kHorizontal, two, 0},         {kSpeed, two, 0},
        {kSpeed, 0, kTypeNone},   {kDirection, three, 0},        {kDirection, 0, kTypeRelative},
        {kSpeed, 0, kTypeSequence}, {kVertical, 0, kTypeSequence}, {kTerm, three, 0},
        {kSpeed, one, 0},         {kDirection, 0, kTypeNone},    {kAccel, 0, kTypeAbsolute},
    };
    for (const Step& step : steps) {
        if (step.number) {
            node.setChild(step.id, step.number);
        } else {
            node.setChildType(step.id, step.type);
        }
        agrees(node);
    }
    EXPECT_EQ(node.speedChild(), one);
    EXPECT_EQ(node.termChild(), three);
    EXPECT_EQ(node.speedType(), kTypeSequence);
    EXPECT_EQ(node.directionType(), kTypeAim);
}

TEST(NodeTree, FreshNodeAndItsAccessors) {
    BulletML_Node node;
    EXPECT_EQ(node.getCode(), 0);
    EXPECT_EQ(node.getParent(), nullptr);
    EXPECT_EQ(node.firstChild(), nullptr);
    EXPECT_FALSE(node.hasChildren());
    EXPECT_FALSE(node.hasChild(kSpeed));
    EXPECT_EQ(node.evalChild(kSpeed, nullptr, nullptr), 0.0);
    EXPECT_EQ(node.evalValue(nullptr, nullptr), 0.0);
    EXPECT_EQ(node.getDynamic(), nullptr);

    // Without a float array: ten zeros.
    float values[BulletML_Node::kFloatCount];
    for (float& v : values) v = 7.0f;
    node.getFloatArray(values);
    for (float v : values) EXPECT_EQ(v, 0.0f);
    EXPECT_FALSE(node.hasFloatArray());
    node.setFloat(-1, 1.0f);
    node.setFloat(BulletML_Node::kFloatCount, 1.0f);
    node.setFloat(9, 2.5f);
    node.getFloatArray(values);
    EXPECT_EQ(values[9], 2.5f);
    EXPECT_EQ(values[0], 0.0f);

    // A parameter index past the count.
    node.addParam(BulletML_Node_Number_Manager::instance().get("4.5"));
    EXPECT_EQ(node.getParamCount(), 1u);
    EXPECT_EQ(node.getParamKind(0), BulletML_Node_Number::kLiteral);
    EXPECT_EQ(node.getParamValue(0), 4.5f);
    EXPECT_EQ(node.evalParam(0, nullptr, nullptr), 4.5);
    EXPECT_EQ(node.getParamKind(1), 0);
    EXPECT_EQ(node.getParamIndex(1), 0);
    EXPECT_EQ(node.getParamValue(1), 0.0f);
    EXPECT_EQ(node.evalParam(1, nullptr, nullptr), 0.0);
    EXPECT_EQ(node.evalParam(0xFFFFFFFFu, nullptr, nullptr), 0.0);
}

TEST(NodeTree, ChildrenAndCursor) {
    BulletML_Node parent, a, b, c;
    parent.addChild(nullptr);
    EXPECT_FALSE(parent.hasChildren());
    for (BulletML_Node* child : {&a, &b, &c}) parent.addChild(child);
    EXPECT_EQ(parent.getChildCount(), 3u);
    EXPECT_EQ(b.getParent(), &parent);
    EXPECT_EQ(parent.firstChild(), &a);
    parent.setCursor(2);
    EXPECT_EQ(parent.getCurrentChild(), &c);
    parent.setCursor(1);
    EXPECT_EQ(parent.skipChildren(), 2u);
    EXPECT_EQ(parent.getCurrentChild(), nullptr);
    EXPECT_EQ(parent.skipChildren(), 0u);
    parent.resetCursor();
    EXPECT_EQ(parent.getCurrentChild(), &a);
}

TEST(NodeTree, PoolHandsOutItsNodesThenHeapNodes) {
    // Used and deleted nodes leave their slots written; the pool takes such
    // slots too, and must still hand out fresh nodes.
    {
        std::vector<BulletML_Node*> used;
        for (int i = 0; i < 8; ++i) {
            used.push_back(new BulletML_Node());
            used.back()->setCode(kBullet);
            if (i > 0) used.back()->addChild(used[i - 1]);
        }
        for (BulletML_Node* node : used) delete node;
    }
    BulletML_Node_Allocator pool;
    pool.prefill();
    pool.prefill();  // once only
    ASSERT_EQ(pool.readyCount(), BulletML_Node_Allocator::kPoolSize);
    // The count is of raw blocks taken: the whole pool at prefill.
    EXPECT_EQ(pool.handedOutCount(), BulletML_Node_Allocator::kPoolSize);

    std::vector<BulletML_Node*> nodes;
    std::set<BulletML_Node*> distinct;
    for (size_t i = 0; i <= BulletML_Node_Allocator::kPoolSize; ++i) {
        nodes.push_back(pool.get());
        distinct.insert(nodes.back());
        ASSERT_EQ(nodes.back()->getCode(), 0) << i;
        ASSERT_EQ(nodes.back()->getChildCount(), 0u) << i;
        ASSERT_EQ(nodes.back()->getParent(), nullptr) << i;
        if (i == 0) {
            EXPECT_EQ(pool.handedOutCount(), BulletML_Node_Allocator::kPoolSize);
        }
    }
    EXPECT_EQ(distinct.size(), BulletML_Node_Allocator::kPoolSize + 1);
    EXPECT_EQ(pool.readyCount(), 0u);
    EXPECT_EQ(pool.handedOutCount(), BulletML_Node_Allocator::kPoolSize + 1);

    // The 20,001st node is a fresh node like the others.
    BulletML_Node* extra = nodes.back();
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(extra->getCode(), 0);
    EXPECT_EQ(extra->getChildCount(), 0u);
    extra->setCode(kBullet);
    extra->addChild(nodes.front());
    EXPECT_EQ(nodes.front()->getParent(), extra);
    for (BulletML_Node* node : nodes) delete node;

    // Without a prefill every node is a heap block.
    BulletML_Node_Allocator empty;
    delete empty.get();
    delete empty.get();
    EXPECT_EQ(empty.handedOutCount(), 2u);
}

TEST(NodeTree, DocumentWalkAndReset) {
    BulletML_Node_Allocator pool;
    pool.prefill();
    BulletML_Node_Manager document(&pool);
    BulletML_Node* root = document.getRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(document.getCursor(), root);

    BulletML_Node* action = document.addNode();
    BulletML_Node* wait = document.addNode();
    EXPECT_EQ(wait->getParent(), action);
    EXPECT_EQ(document.getCursor(), wait);
    document.up();
    document.up();
    EXPECT_EQ(document.getCursor(), root);
    document.up();  // an extra end tag stays at the root
    EXPECT_EQ(document.getCursor(), root);
    document.addNode();
    EXPECT_EQ(document.rewind(), root);
    EXPECT_EQ(document.nodes().size(), 4u);
    EXPECT_EQ(root->getChildCount(), 2u);

    // Labels: a later node replaces an earlier one; references never enter.
    action->setCode(kAction);
    wait->setCode(kActionRef);
    document.registerLabel(7, action);
    document.registerLabel(7, wait);
    EXPECT_EQ(document.labelCache().at(7), action);
    document.registerLabel(8, nullptr);
    EXPECT_EQ(document.labelCache().count(8), 0u);

    // A reset frees the nodes; they are not given back to the pool, so the
    // next nodes come from what is left of it and then from the heap.
    size_t ready = pool.readyCount();
    document.reset();
    EXPECT_TRUE(document.labelCache().empty());
    EXPECT_EQ(document.nodes().size(), 1u);
    EXPECT_EQ(document.getCursor(), document.getRoot());
    EXPECT_EQ(pool.readyCount(), ready - 1);
    while (pool.readyCount() > 0) document.newNode();
    BulletML_Node* fromHeap = document.addNode();
    EXPECT_EQ(fromHeap->getParent(), document.getRoot());
    EXPECT_EQ(pool.handedOutCount(), BulletML_Node_Allocator::kPoolSize + 1);
}

TEST(NodeTree, NumbersAreSharedPerText) {
    BulletML_Node_Number_Manager registry;
    BulletML_Node_Number* a = registry.get("1.5");
    EXPECT_EQ(registry.get("1.5"), a);
    EXPECT_NE(registry.get("1.50"), a);
    EXPECT_EQ(registry.find("1.5"), a);
    EXPECT_EQ(registry.find("2.5"), nullptr);
    EXPECT_EQ(registry.size(), 2u);
    EXPECT_EQ(nameText(a->getText()), "1.5");

    struct Case {
        const char* text;
        float value;
    } literals[] = {{"1.5", 1.5f}, {"-2", -2.0f}, {"10", 10.0f}, {".5", 0.5f}, {"1.2.3", 1.2f}};
    for (const Case& c : literals) {
        BulletML_Node_Number* number = registry.get(c.text);
        EXPECT_EQ(number->getKind(), BulletML_Node_Number::kLiteral) << c.text;
        EXPECT_EQ(number->evaluate(nullptr, nullptr), c.value) << c.text;
    }
    for (const char* text : {"1e3", "+1", "(1)", "$1", "1 "}) {
        EXPECT_NE(registry.get(text)->getKind(), BulletML_Node_Number::kLiteral) << text;
    }
}

}  // namespace

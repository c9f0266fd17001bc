#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "objects/BulletObjectAllocator.h"
#include "objects/CollisionPass.h"
#include "objects/CollisionSceneFixture.h"
#include "platform/Text.h"
#include "runtime/BMLRuntimeAllocator.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/BulletML_Node_Manager.h"
#include "script/XMLHandler_ii.h"

namespace {
constexpr float PX = 320.0f;
constexpr float PY = 400.0f;

class ItemRulesTest : public CollisionScene {
protected:
    ItemRulesTest() {
        setVar("ttcrange", 50.0f);
        setVar("autoitemterm", 20.0f);
        setVar("bulletrevengeframe", 31.5f);
        setVar("autoitemspeed", 4.0f);
    }
    ~ItemRulesTest() override { manager().clearItemScript(); }

    // Parses `body` inside the script root; the item script is looked up in it.
    BulletML_Node_Manager* load(const std::string& body) {
        content_ = std::make_unique<BoostContentHandler>();
        parseXml(text::widen("<exbulletml>" + body + "</exbulletml>"), *content_, "items.xml");
        return content_->getHandler()->getDocument();
    }
    void loadItemScript() {
        manager().loadItemScript(load(R"(<action label="top"><wait>1</wait></action>
            <item label="ttc_item_01"><score>500</score><prate>2.5</prate><spirit>3</spirit></item>)"));
        ASSERT_NE(manager().getItemScript(), nullptr);
    }
    // Gives the runtime pool's stock back and leaves it empty, or filled.
    static void emptyRuntimePool() {
        BMLRuntimeAllocator& pool = BMLRuntimeAllocator::instance();
        while (pool.readyCount() != 0) pool.get()->destroy();
        pool.freeBlocks();
    }
    static void fillRuntimePool() {
        BMLRuntimeAllocator& pool = BMLRuntimeAllocator::instance();
        pool.prefill();
        pool.refill();
    }

    std::unique_ptr<BoostContentHandler> content_;
};
}  // namespace

// Exactly at "ttcrange" an object converts; beyond it, it breaks up; a
// bit-2 enemy and plain object outside score once and go into revenge mode.
TEST_F(ItemRulesTest, FlaggingByRangeAndAttributes) {
    loadItemScript();
    makePlayer(PX, PY);
    BulletObject* atRange = makeBullet(PX, PY - 50.0f);
    BulletObject* beyond = makeBullet(PX, PY - 50.5f);
    BulletObject* nearEnemy = makeEnemy(PX + 30.0f, PY);
    nearEnemy->setAttributeBits(1);
    BulletObject* farEnemy = makeEnemy(PX + 300.0f, PY);
    farEnemy->setAttributeBits(3);
    farEnemy->setInvincibleFrames(9);
    BulletObject* plain = manager().createPlainObject();
    plain->setActive(1);
    plain->setX(10.0f);
    plain->setY(10.0f);
    plain->setAttributeBits(2);
    plain->setScore(7);

    manager().flagAroundPlayer();
    EXPECT_EQ(atRange->getFlags(), 0x10000u);
    EXPECT_EQ(beyond->getFlags(), 0x40000u);
    EXPECT_EQ(nearEnemy->getFlags(), 0x10000u);
    EXPECT_EQ(farEnemy->getFlags(), 0x100u);
    EXPECT_EQ(farEnemy->getVital(), 0.0f);
    EXPECT_EQ(farEnemy->getInvincibleFrames(), 0);
    EXPECT_EQ(plain->getFlags(), 0x100u);
    EXPECT_EQ(game().getScore(), 1007u);
    manager().flagAroundPlayer();  // in revenge mode now: no second score
    EXPECT_EQ(game().getScore(), 1007u);

    manager().convertFlagged(*manager().getBulletManager());
    // Broken up: revenge mode, countdown rounded (31.5 -> 32), no speed.
    EXPECT_EQ(beyond->getFlags(), 0x100u);
    EXPECT_EQ(beyond->getCountdown(), 32);
    EXPECT_EQ(beyond->getSpeed(), 0.0f);
    // Converted: an item at the end of "itemmgr_" with the script's values.
    EXPECT_EQ(manager().getItemManager()->front(), atRange);
    EXPECT_EQ(manager().getBulletManager()->size(), 1u);
    EXPECT_EQ(atRange->getKind(), 10);
    EXPECT_EQ(atRange->getDrawLevel(), 9);
    EXPECT_EQ(atRange->getScore(), 500);
    EXPECT_EQ(atRange->getPrateRate(), 2.5f);
    EXPECT_EQ(atRange->getExtraWord(0), 3);
    EXPECT_EQ(atRange->getExtraWord4(), 1025);
    EXPECT_EQ(atRange->getCollectDelay(), 20);
    EXPECT_EQ(atRange->getFlags(), 0x1u);
    EXPECT_EQ(atRange->getAttributeBits(), 0);

    manager().convertFlagged(*manager().getEnemyManager());
    EXPECT_EQ(manager().getItemManager()->size(), 2u);
    EXPECT_EQ(IntBulletObjectManager::next(atRange), nearEnemy);
}

// The command converts whatever the distance; children of a converted
// object are flagged in turn.
TEST_F(ItemRulesTest, CommandConvertsEverythingAndChildrenFollow) {
    loadItemScript();
    makePlayer(PX, PY);
    BulletObject* parent = makeBullet(10.0f, 10.0f);
    BulletObject* child = makeBullet(20.0f, 10.0f);
    parent->addChild(child);
    BulletObject* plainEnemy = makeEnemy(10.0f, 10.0f);
    manager().changeBulletToItem();
    EXPECT_EQ(parent->getFlags(), 0x20000u);
    EXPECT_EQ(plainEnemy->getFlags(), 0u);  // no attribute bit 1
    manager().convertFlagged(*manager().getBulletManager());
    EXPECT_EQ(manager().getBulletManager()->size(), 0u);
    EXPECT_EQ(manager().getItemManager()->size(), 2u);
    EXPECT_EQ(child->getParent(), nullptr);
}

// Without the item script, or without a player, nothing converts and the
// flags stay.
TEST_F(ItemRulesTest, NoItemScriptOrNoPlayerNoConversion) {
    manager().loadItemScript(load(R"(<action label="top"><wait>1</wait></action>)"));
    EXPECT_EQ(manager().getItemScript(), nullptr);
    makePlayer(PX, PY);
    BulletObject* bullet = makeBullet(PX, PY);
    manager().changeBulletToItem();
    frames(2);
    EXPECT_EQ(bullet->getFlags(), 0x20000u);
    EXPECT_EQ(manager().getItemManager()->size(), 0u);

    loadItemScript();
    manager().setPlayer(nullptr);
    manager().convertFlagged(*manager().getBulletManager());
    EXPECT_EQ(bullet->getFlags(), 0x20000u);
}

// An object without a main runtime takes one from the pool; with the pool
// empty it becomes an item without a script. Without a main image no fade.
TEST_F(ItemRulesTest, ConversionWithoutRuntimeOrImage) {
    loadItemScript();
    makePlayer(PX, PY);
    emptyRuntimePool();
    BulletObject* first = makeBullet(PX, PY);
    manager().changeBulletToItem();
    manager().convertFlagged(*manager().getBulletManager());
    EXPECT_EQ(first->getKind(), 10);
    EXPECT_EQ(first->getMainRuntime(), nullptr);

    fillRuntimePool();
    BulletObject* second = makeBullet(PX, PY);
    BulletObject* broken = makeBullet(PX, PY);
    manager().changeBulletToItem();
    broken->setFlags(0x40000);
    manager().convertFlagged(*manager().getBulletManager());
    ASSERT_NE(second->getMainRuntime(), nullptr);
    EXPECT_EQ(second->getMainRuntime()->getRestartFlag(), 1);
    EXPECT_EQ(broken->getFlags(), 0x100u);
    EXPECT_EQ(broken->getImage(), nullptr);
    manager().clearAll();
    emptyRuntimePool();
}

// collectDelay 3: the item flies to the player on the third frame; the
// item window and the radius schedule the others.
TEST_F(ItemRulesTest, CollectDelayAndScheduling) {
    makePlayer(PX, PY, 2.0f, 0.0f);
    BulletObject* delayed = makeItem(PX, PY - 100.0f, 12);
    delayed->setSpeed(0.0f);
    delayed->setCollectDelay(3);
    for (int frame = 1; frame <= 2; ++frame) {
        frames(1);
        EXPECT_EQ(delayed->getFlags(), 0u) << frame;
        EXPECT_EQ(delayed->getSpeed(), 0.0f) << frame;
    }
    frames(1);
    EXPECT_EQ(delayed->getFlags(), 0x1u);
    EXPECT_EQ(delayed->getSpeed(), 4.0f);
    EXPECT_EQ(delayed->getDirection(), 180.0f);  // straight down to the player

    // The radius, inclusive, gives a delay of 1; farther items wait.
    setVar("autoitemradius", 10.9f);  // an integer: 10
    BulletObject* near = makeItem(PX + 10.0f, PY, 12);
    BulletObject* far = makeItem(PX + 11.0f, PY, 12);
    near->setSpeed(0.0f);
    far->setSpeed(0.0f);
    frames(1);
    EXPECT_EQ(near->getCollectDelay(), 1);
    EXPECT_EQ(far->getCollectDelay(), -1);
    // Within the item window every waiting item is scheduled.
    setMagicFrames(10);
    frames(1);
    EXPECT_EQ(far->getCollectDelay(), 20);
    EXPECT_EQ(near->getFlags(), 0x1u);

    manager().collectAllItems();
    EXPECT_EQ(far->getFlags(), 0x1u);
    EXPECT_EQ(manager().getItemManager()->hasCollectingItem(), 1);
}

// A shot locked on an enemy that became an item and was collected reads no
// freed block: the target map forgets the object when it is destroyed.
TEST_F(ItemRulesTest, LockedEnemyCollectedAsItemLeavesNoStaleTarget) {
    loadItemScript();
    BulletObject* player = makePlayer(PX, PY, 8.0f, 0.0f);
    player->setSpeed(0.0f);
    BulletObject* enemy = makeEnemy(PX, PY - 30.0f);
    enemy->setAttributeBits(1);
    enemy->setSpeed(0.0f);
    BulletObject* shot = makeShot(PX, 100.0f);
    shot->setSpeed(0.0f);
    IntBulletObjectManager& enemies = *manager().getEnemyManager();
    const std::uint32_t tag = enemies.findAutoTarget(shot->getTag());
    ASSERT_EQ(tag, enemy->getTag());
    shot->setTargetTag(static_cast<std::int32_t>(tag));
    manager().flagAroundPlayer();
    frames(1);
    ASSERT_EQ(manager().getItemManager()->front(), enemy);
    enemy->setInvincibleFrames(0);
    for (int frame = 0; frame < 40 && manager().getItemManager()->size() != 0; ++frame) {
        runCollisionResponses();
        frames(1);
    }
    EXPECT_EQ(manager().getItemManager()->size(), 0u);
    EXPECT_EQ(enemies.findTarget(tag), nullptr);
    frames(3);  // the shot goes on reading its lock
    EXPECT_EQ(shot->getState(), 0u);
}

// The same scene run twice gives the same state every frame.
TEST_F(ItemRulesTest, SceneRunTwiceHashesTheSame) {
    auto run = [&] {
        std::vector<std::uint64_t> hashes;
        loadItemScript();
        setVar("autoitemradius", 30.0f);
        game().setSpirit(100);
        makePlayer(PX, PY, 3.0f, 30.0f)->setSpeed(0.0f);
        for (int i = 0; i < 40; ++i) {
            BulletObject* bullet = makeBullet(40.0f + 14.0f * i, 200.0f + (i % 7) * 9.0f);
            bullet->setDirection(170.0f + i);
            bullet->setSpeed(2.0f + (i % 3));
            bullet->setAttributeBits(i % 2);
        }
        makeEnemy(PX, 250.0f)->setSpeed(0.5f);
        makeShot(PX, 380.0f)->setSpeed(3.0f);
        for (int frame = 0; frame < 120; ++frame) {
            frames(1);
            runCollisionResponses();
            if (frame == 60) manager().changeBulletToItem();
            hashes.push_back(stateHash() ^ game().getScore() ^ (std::uint64_t(game().getBuzz()) << 32));
        }
        return hashes;
    };
    const std::vector<std::uint64_t> first = run();
    // A fresh manager, pool and records: tags start over.
    manager().clearItemScript();
    delete g_bulletObjectManager;
    BulletObjectAllocator::instance().freeBlocks();
    delete g_gameInfo;
    delete g_frameCounter;
    g_gameInfo = new GameInfo();
    g_gameInfo->setPlayerMoveEnabled(1);
    g_frameCounter = new FrameCounter();
    BulletObjectAllocator::instance().fill();
    g_bulletObjectManager = new BulletObjectManager();
    setVar("ttcrange", 50.0f);
    setVar("autoitemterm", 20.0f);
    setVar("bulletrevengeframe", 31.5f);
    setVar("autoitemspeed", 4.0f);
    setVar("automagic_spirit", 50.0f);
    setVar("buzzscore", 10.0f);
    setVar("ttcitemframe", 60.0f);
    game().setPrate(0);
    const std::vector<std::uint64_t> second = run();
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t i = 0; i < first.size(); ++i) ASSERT_EQ(first[i], second[i]) << "frame " << i;
    EXPECT_GT(game().getBuzz() + static_cast<std::int32_t>(game().getScore()), 0);
}

// NaN and huge tuning values: every truncation gives the integer-indefinite
// value, the radius squares in 64 bits, a NaN range reaches nobody.
TEST_F(ItemRulesTest, NaNAndHugeTuningValues) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    loadItemScript();
    makePlayer(PX, PY);
    setVar("ttcrange", nan);
    setVar("bulletrevengeframe", nan);
    setVar("autoitemterm", 1e30f);
    setVar("autoitemradius", -1e30f);  // INT32_MIN, squared: 2^62
    BulletObject* bullet = makeBullet(PX, PY);
    BulletObject* item = makeItem(PX + 300.0f, PY, 12);
    item->setSpeed(0.0f);
    manager().flagAroundPlayer();
    EXPECT_EQ(bullet->getFlags(), 0x40000u);  // not within a NaN range
    manager().convertFlagged(*manager().getBulletManager());
    EXPECT_EQ(bullet->getCountdown(), INT32_MIN);
    frames(1);
    EXPECT_EQ(item->getCollectDelay(), 1);
    setVar("buzzscore", nan);
    setVar("automagic_spirit", 1e12f);
    runCollisionResponses();
    EXPECT_EQ(game().getSpirit(), 100);  // the bullet broke up: no hit
    makeBullet(PX, PY);
    runCollisionResponses();  // a cost of INT32_MIN, taken in 64 bits
    EXPECT_EQ(game().getSpirit(), 20000);  // the records' ceiling
    EXPECT_EQ(var("misscount"), 1.0f);
}

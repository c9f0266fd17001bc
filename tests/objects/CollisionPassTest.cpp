#include <gtest/gtest.h>

#include <functional>

#include "objects/CollisionPass.h"
#include "objects/CollisionSceneFixture.h"
#include "services/SystemInfo.h"

namespace {
class CollisionPassTest;

// A scene: what is put on the field, the records after one pass (from a
// start of spirit 100 and nothing else), and what else must hold.
struct Scene {
    const char* name;
    std::function<void(CollisionPassTest&)> setup;
    RecordSnapshot expected;
    std::function<void(CollisionPassTest&)> check;
};

class CollisionPassTest : public CollisionScene, public ::testing::WithParamInterface<Scene> {
public:
    // Objects a scene keeps for its checks.
    BulletObject* o[6] = {};
    BulletObject* gameOverTop = nullptr;
    BulletObject* bomb2Top = nullptr;
    BulletObject* tensionTop = nullptr;

    void withTops() {
        gameOverTop = makeTop();
        bomb2Top = makeTop();
        tensionTop = makeTop();
        manager().setGameOverTop(gameOverTop);
        manager().setBomb2Top(bomb2Top);
        manager().setTensionUpTop(tensionTop);
    }
};

constexpr float PX = 320.0f;
constexpr float PY = 400.0f;
constexpr RecordSnapshot kUnchanged{0, 0, 0, 100, 0.0f, 0};
using T = CollisionPassTest;

const Scene kScenes[] = {
    {"ignorecollision skips the pass",
     [](T& t) {
         t.makePlayer(PX, PY);
         t.makeBullet(PX, PY);
         t.game().setNamedVar("ignorecollision", 1);
     },
     kUnchanged, [](T& t) { EXPECT_EQ(t.manager().getPlayer()->getFlags(), 0u); }},
    {"a paused game skips the pass",
     [](T& t) {
         t.makePlayer(PX, PY);
         t.makeBullet(PX, PY);
         t.game().requestPauseState(1);
         t.game().applyPauseToggle();
     },
     kUnchanged, nullptr},
    {"prate at 1000000 ends the play",
     [](T& t) {
         t.withTops();
         t.makePlayer(PX, PY);
         t.game().setPrate(1000000);
     },
     {0, 0, 1000000, 100, 1.0f, 1},
     [](T& t) {
         EXPECT_EQ(t.manager().getPlayer()->getFlags(), 0x100u);
         EXPECT_EQ(t.gameOverTop->isRuntimeActive(), 1);
         EXPECT_EQ(t.game().isPauseAllowed(), 0);
         EXPECT_EQ(t.var("stagemisscount"), 1.0f);
         EXPECT_EQ(g_frameCounter->getMagicFrames(), FrameCounter::kExpiredFrames);
         EXPECT_EQ(g_frameCounter->getMissFrames(), 0u);
     }},
    {"spirit 0 goes on", [](T& t) { t.game().setSpirit(0); }, {0, 0, 0, 0, 0.0f, 0}, nullptr},
    {"the gauge miss without a player still ends the play", [](T& t) { t.game().setSpirit(-1); },
     {0, 0, 0, -1, 1.0f, 1}, nullptr},
    {"a bullet under two bombs is cancelled once",
     [](T& t) {
         t.makeBomb(100, 100);
         t.makeBomb(100, 100);
         t.o[0] = t.makeBullet(100, 100);
         t.o[0]->setSpeed(3.0f);
     },
     kUnchanged,
     [](T& t) {
         EXPECT_EQ(t.o[0]->getFlags(), 0x100u);
         EXPECT_EQ(t.o[0]->getCountdown(), 30);
         EXPECT_EQ(t.o[0]->getSpeed(), 0.0f);
     }},
    {"a bomb wounds and destroys enemies by its vital",
     [](T& t) {
         t.o[0] = t.makeEnemy(100, 100, 10, 30);  // 30 - 20: wounded
         t.o[1] = t.makeEnemy(100, 100, 10, 20);  // destroyed
         t.o[2] = t.makeEnemy(100, 100, 10, 0);   // vital 0 without bit 2: kept
         t.o[3] = t.makeEnemy(100, 100, 10, 0);
         t.o[3]->setAttributeBits(2);  // vital 0 with bit 2: destroyed
         t.makeBomb(100, 100);
     },
     {2000, 0, 0, 100, 0.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.o[0]->getVital(), 10.0f);
         EXPECT_EQ(t.o[0]->isDamageArmed(), 1);
         EXPECT_EQ(t.o[1]->getFlags(), 0x100u);
         EXPECT_EQ(t.o[2]->getFlags(), 0u);
         EXPECT_EQ(t.o[3]->getFlags(), 0x100u);
     }},
    {"an enemy of vital -1 is never hurt",
     [](T& t) {
         t.o[0] = t.makeEnemy(200, 200, 10, -1);
         t.o[1] = t.makeShot(200, 200);
         t.makeBomb(200, 200);
     },
     kUnchanged,
     [](T& t) {
         EXPECT_EQ(t.o[0]->getFlags(), 0u);
         EXPECT_EQ(t.o[0]->getVital(), -1.0f);
         EXPECT_EQ(t.o[1]->getFlags(), 0x100u);  // a breakable shot stops there
     }},
    {"an enemy of vital 0 falls to the first positive shot",
     [](T& t) {
         t.o[0] = t.makeEnemy(200, 210, 10, 0);
         t.makeShot(200, 210);
     },
     {1000, 0, 0, 100, 0.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.o[0]->getFlags(), 0x100u);
         EXPECT_EQ(t.var("last_enemy_cx"), 200.0f);
         EXPECT_EQ(t.var("last_enemy_cy"), 210.0f);
     }},
    {"a negative shot adds to the enemy's vital",
     [](T& t) {
         t.o[0] = t.makeEnemy(200, 200, 10, 10);
         t.makeShot(200, 200, 4, -5);
     },
     kUnchanged,
     [](T& t) {
         EXPECT_EQ(t.o[0]->getVital(), 15.0f);
         EXPECT_EQ(t.o[0]->isDamageArmed(), 1);
     }},
    {"a breakable shot stops at its first enemy",
     [](T& t) {
         t.o[0] = t.makeEnemy(200, 200, 10, 3);
         t.o[1] = t.makeEnemy(200, 200, 10, 3);
         t.o[2] = t.makeShot(200, 200);
     },
     {1000, 0, 0, 100, 0.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.o[1]->getVital(), 3.0f);
         EXPECT_EQ(t.o[2]->getFlags(), 0x100u);
     }},
    {"a piercing shot goes through and is itself wounded",
     [](T& t) {
         t.makeEnemy(200, 200, 10, 3);
         t.makeEnemy(200, 200, 10, 3);
         t.o[2] = t.makeShot(200, 200);
         t.o[2]->setBreakable(0);
     },
     {2000, 0, 0, 100, 0.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.o[2]->getFlags(), 0u);
         EXPECT_EQ(t.o[2]->isDamageArmed(), 1);
     }},
    {"attribute 0x10 refuses marked shots, 0x20 takes only them",
     [](T& t) {
         t.o[0] = t.makeEnemy(200, 200, 10, 3);
         t.o[0]->setAttributeBits(0x10);
         t.o[1] = t.makeEnemy(300, 200, 10, 3);
         t.o[1]->setAttributeBits(0x20);
         t.o[2] = t.makeEnemy(400, 200, 10, 3);
         t.o[2]->setAttributeBits(0x20);
         t.makeShot(200, 200)->setAttributeBits(1);
         t.makeShot(300, 200);
         t.makeShot(400, 200)->setAttributeBits(1);
     },
     {1000, 0, 0, 100, 0.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.o[0]->getFlags(), 0u);
         EXPECT_EQ(t.o[1]->getFlags(), 0u);
         EXPECT_EQ(t.o[2]->getFlags(), 0x100u);
     }},
    {"shared hit points decide without an overlap",
     [](T& t) {
         t.manager().setSharedVital(7, 0.0f);
         t.manager().setSharedVital(8, 5.0f);
         t.o[0] = t.makeEnemy(100, 100);
         t.o[0]->setSharedVitalKey(7);
         t.o[1] = t.makeEnemy(100, 100);
         t.o[1]->setSharedVitalKey(8);
         t.makeShot(500, 100);
     },
     {1000, 0, 0, 100, 0.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.o[0]->getFlags(), 0x100u);
         EXPECT_EQ(t.o[1]->isDamageArmed(), 1);
     }},
    {"without live shots shared hit points are still checked",
     [](T& t) {
         t.manager().setSharedVital(7, -1.0f);
         t.o[0] = t.makeEnemy(100, 100);
         t.o[0]->setSharedVitalKey(7);
     },
     {1000, 0, 0, 100, 0.0f, 0}, [](T& t) { EXPECT_EQ(t.o[0]->getFlags(), 0x100u); }},
    {"two bullets make one miss and the automatic bomb",
     [](T& t) {
         t.withTops();
         t.makePlayer(PX, PY);
         t.makeBullet(PX, PY);
         t.makeBullet(PX + 1, PY);
         t.o[0] = t.makeEnemy(PX, PY);
     },
     {0, 0, 0, 50, 1.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.manager().getPlayer()->getFlags(), 0x500u);
         EXPECT_EQ(t.bomb2Top->isRuntimeActive(), 1);
         EXPECT_EQ(t.gameOverTop->isRuntimeActive(), 0);
         EXPECT_EQ(g_frameCounter->getMagicFrames(), 0u);
         EXPECT_EQ(g_frameCounter->getMissFrames(), 0u);
         EXPECT_EQ(t.o[0]->getFlags(), 0u);  // the player is in revenge mode now
     }},
    {"a hit with too little spirit ends the play",
     [](T& t) {
         t.withTops();
         t.makePlayer(PX, PY);
         t.game().setSpirit(30);
         t.makeBullet(PX, PY);
     },
     {0, 0, 0, -20, 1.0f, 1},
     [](T& t) {
         EXPECT_EQ(t.manager().getPlayer()->getFlags(), 0x100u);
         EXPECT_EQ(t.bomb2Top->isRuntimeActive(), 0);
         EXPECT_EQ(t.gameOverTop->isRuntimeActive(), 1);
         EXPECT_EQ(g_frameCounter->getMagicFrames(), FrameCounter::kExpiredFrames);
     }},
    {"missing top objects leave the rest of the response",
     [](T& t) {
         t.makePlayer(PX, PY);
         t.makeEnemy(PX, PY);
     },
     {0, 0, 0, 50, 1.0f, 0}, [](T& t) { EXPECT_EQ(t.manager().getPlayer()->getFlags(), 0x500u); }},
    {"an invincible or collecting player is not hit",
     [](T& t) {
         t.makePlayer(PX, PY)->setInvincibleFrames(1);
         t.makeBullet(PX, PY);
     },
     kUnchanged, nullptr},
    {"every grazing object counts once",
     [](T& t) {
         t.makePlayer(PX, PY);
         t.o[0] = t.makeBullet(PX + 10, PY);
         t.o[1] = t.makeBullet(PX - 10, PY);
         t.o[2] = t.makeBullet(PX, PY + 10);
         t.o[2]->setBuzzCount(0);
         t.o[3] = t.makeEnemy(PX + 100, PY, 10, 0);  // vital 0: no graze
         t.o[3]->setBuzzShape(kShapeCircle, 0, 0, 200, 0);
         t.o[3]->setBuzzCount(1);
         t.o[4] = t.makeEnemy(PX + 100, PY, 10, 5);
         t.o[4]->setBuzzShape(kShapeCircle, 0, 0, 200, 0);
         t.o[4]->setBuzzCount(3);
     },
     {30, 3, 0, 100, 0.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.o[0]->getBuzzCount(), 0);
         EXPECT_EQ(t.o[3]->getBuzzCount(), 1);
         EXPECT_EQ(t.o[4]->getBuzzCount(), 2);
         EXPECT_EQ(g_frameCounter->getGrazeFrames(), 0u);
     }},
    {"a crystal item fills the gauges",
     [](T& t) {
         t.withTops();
         t.makePlayer(PX, PY);
         t.o[0] = t.makeItem(PX, PY, 10);
         t.o[0]->setPrateRate(5.9f);
         t.o[0]->setExtraWord(0, 7);
     },
     {100, 0, 5, 107, 0.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.o[0]->getFlags(), 0x100u);
         EXPECT_EQ(t.game().getECrystal1(), 1);
         EXPECT_EQ(t.game().getECrystal2(), 1);
         EXPECT_EQ(t.tensionTop->isRuntimeActive(), 0);
     }},
    {"the last crystal raises the tension",
     [](T& t) {
         t.withTops();
         t.makePlayer(PX, PY);
         t.game().setECrystal1(2);
         t.makeItem(PX, PY, 10);
     },
     {100, 0, 0, 100, 0.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.game().getECrystal1(), 0);
         EXPECT_EQ(t.var("tension"), 1.0f);
         EXPECT_EQ(t.tensionTop->isRuntimeActive(), 1);
     }},
    {"items by kind",
     [](T& t) {
         t.makePlayer(PX, PY);
         for (std::uint8_t kind : {11, 12, 13, 15, 16, 17, 3}) t.makeItem(PX, PY, kind)->setPrateRate(2.0f);
         t.setVar("tension", 2.0f);
         t.game().setECrystal1(1);
     },
     {700, 0, 2, 100, 0.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.game().getItemCount(2), 1);
         EXPECT_EQ(t.game().getItemCount(4), 1);
         EXPECT_EQ(t.game().getItemCount(6), 1);
         EXPECT_EQ(t.var("tension"), 3.0f);
         EXPECT_EQ(t.game().getECrystal1(), 0);  // tension reached its maximum
     }},
    {"an extend item raises lives and the maximum",
     [](T& t) {
         t.makePlayer(PX, PY);
         t.setVar("maxlife", 5.0f);
         t.setVar("life", 5.0f);
         t.makeItem(PX, PY, 14);
     },
     {100, 0, 0, 100, 0.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.var("maxlife"), 6.0f);
         EXPECT_EQ(t.var("life"), 6.0f);
     }},
    {"an extend item at maxlife 9 only scores",
     [](T& t) {
         t.makePlayer(PX, PY);
         t.setVar("maxlife", 9.0f);
         t.setVar("life", 3.0f);
         t.makeItem(PX, PY, 14);
     },
     {100, 0, 0, 100, 0.0f, 0},
     [](T& t) {
         EXPECT_EQ(t.var("maxlife"), 9.0f);
         EXPECT_EQ(t.var("life"), 3.0f);
     }},
    {"a player in revenge mode collects within the item window",
     [](T& t) {
         t.makePlayer(PX, PY)->addFlags(0x100);
         t.setMagicFrames(59);
         t.makeItem(PX, PY, 12);
     },
     {100, 0, 0, 100, 0.0f, 0}, nullptr},
    {"a player in revenge mode past the item window does not",
     [](T& t) {
         t.makePlayer(PX, PY)->addFlags(0x100);
         t.setMagicFrames(60);
         t.o[0] = t.makeItem(PX, PY, 12);
     },
     kUnchanged, [](T& t) { EXPECT_EQ(t.o[0]->getFlags(), 0u); }},
};

TEST_P(CollisionPassTest, Scene) {
    const Scene& scene = GetParam();
    scene.setup(*this);
    runCollisionResponses();
    const RecordSnapshot after = snapshot();
    EXPECT_EQ(after.score, scene.expected.score) << scene.name;
    EXPECT_EQ(after.buzz, scene.expected.buzz) << scene.name;
    EXPECT_EQ(after.prate, scene.expected.prate) << scene.name;
    EXPECT_EQ(after.spirit, scene.expected.spirit) << scene.name;
    EXPECT_EQ(after.missCount, scene.expected.missCount) << scene.name;
    EXPECT_EQ(after.gameOver, scene.expected.gameOver) << scene.name;
    if (scene.check) {
        SCOPED_TRACE(scene.name);
        scene.check(*this);
    }
}

INSTANTIATE_TEST_SUITE_P(CollisionPass, CollisionPassTest, ::testing::ValuesIn(kScenes));
}  // namespace

namespace {
class CollisionSwitchesTest : public CollisionScene {};
}  // namespace

// "nodamage" keeps hits off but not grazes; "nogameover" lets the play go on
// after the gauge miss, which is still counted.
TEST_F(CollisionSwitchesTest, NoDamageAndNoGameOver) {
    SystemInfo system;
    system.setNoDamage(1);
    system.setNoGameOver(1);
    g_systemInfo = &system;
    BulletObject* player = makePlayer(320, 400);
    makeBullet(320, 400);
    runCollisionResponses();
    EXPECT_EQ(game().getBuzz(), 1);
    EXPECT_EQ(game().getSpirit(), 100);  // no hit
    EXPECT_EQ(var("misscount"), 0.0f);
    game().setSpirit(-1);
    runCollisionResponses();
    EXPECT_EQ(var("misscount"), 1.0f);  // the gauge miss
    EXPECT_EQ(player->getFlags(), 0x100u);
    EXPECT_EQ(game().isGameOver(), 0);
    g_systemInfo = nullptr;
}

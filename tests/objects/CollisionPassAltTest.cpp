#include <gtest/gtest.h>

#include <functional>

#include "objects/CollisionPass.h"
#include "objects/CollisionSceneFixture.h"

namespace {
class CollisionPassAltTest;

// A scene of system type 3: what is put on the field, the records after one
// pass (from spirit 100, "life" 3, a player of vital 50) and what else holds.
struct AltScene {
    const char* name;
    std::function<void(CollisionPassAltTest&)> setup;
    RecordSnapshot expected;
    float playerVital;
    std::function<void(CollisionPassAltTest&)> check;
};

class CollisionPassAltTest : public CollisionScene, public ::testing::WithParamInterface<AltScene> {
public:
    BulletObject* o[4] = {};
    BulletObject* player = nullptr;
};

constexpr float PX = 320.0f;
constexpr float PY = 400.0f;
constexpr RecordSnapshot kUnchanged{0, 0, 0, 100, 0.0f, 0};
using T = CollisionPassAltTest;

BulletObject* bulletOfVital(T& t, float vital) {
    BulletObject* bullet = t.makeBullet(PX, PY, 4, 0);
    bullet->setVital(vital);
    return bullet;
}

const AltScene kScenes[] = {
    {"a cut-in stops every collision",
     [](T& t) {
         t.game().setCutinMode(1);
         bulletOfVital(t, 5);
         t.makeItem(PX, PY, 12);
     },
     kUnchanged, 50.0f, nullptr},
    {"without player movement bombs and shots rest, the rest goes on",
     [](T& t) {
         t.game().setPlayerMoveEnabled(0);
         t.o[0] = t.makeEnemy(100, 100, 10, 3);
         t.makeShot(100, 100);
         t.makeItem(PX, PY, 12);
         bulletOfVital(t, 5);
     },
     {100, 0, 0, 100, 0.0f, 0}, 45.0f, [](T& t) { EXPECT_EQ(t.o[0]->getFlags(), 0u); }},
    {"an enemy takes 2 and the player survives invincible",
     [](T& t) {
         t.setVar("playerdamageinv", 90.7f);
         t.makeEnemy(PX, PY);
     },
     kUnchanged, 48.0f,
     [](T& t) {
         EXPECT_EQ(t.player->isDamageArmed(), 1);
         EXPECT_EQ(t.player->getInvincibleFrames(), 90);
         EXPECT_EQ(t.player->getFlags(), 0u);
     }},
    {"a bullet of vital -1 heals by 1", [](T& t) { bulletOfVital(t, -1); }, kUnchanged, 51.0f, nullptr},
    {"the first bullet alone hits",
     [](T& t) {
         bulletOfVital(t, 5);
         bulletOfVital(t, 7);
     },
     kUnchanged, 45.0f, nullptr},
    {"power 3 to 4 without score",
     [](T& t) {
         t.game().setItemCount(2, 3);
         t.makeItem(PX, PY, 11);
     },
     kUnchanged, 50.0f, [](T& t) { EXPECT_EQ(t.game().getItemCount(2), 4); }},
    {"power 4 stays 4 and scores",
     [](T& t) {
         t.game().setItemCount(2, 4);
         t.makeItem(PX, PY, 11);
     },
     {100, 0, 0, 100, 0.0f, 0}, 50.0f, [](T& t) { EXPECT_EQ(t.game().getItemCount(2), 4); }},
    {"healing stops at 100",
     [](T& t) {
         t.player->setVital(95.0f);
         t.makeItem(PX, PY, 14)->setVital(20.0f);
     },
     kUnchanged, 100.0f, nullptr},
    {"healing at 100 scores instead",
     [](T& t) {
         t.player->setVital(100.0f);
         t.makeItem(PX, PY, 14)->setVital(20.0f);
     },
     {100, 0, 0, 100, 0.0f, 0}, 100.0f, nullptr},
    {"items by kind",
     [](T& t) {
         for (std::uint8_t kind : {10, 12, 13, 15, 16, 17}) {
             BulletObject* item = t.makeItem(PX, PY, kind);
             item->setVital(30.0f);
             item->setPrateRate(4.5f);
         }
     },
     {100, 0, 4, 100, 0.0f, 0}, 50.0f,
     [](T& t) {
         EXPECT_EQ(t.game().getECrystal1(), 2);
         EXPECT_EQ(t.game().getItemCount(6), 1);
         EXPECT_EQ(t.game().getMpoint(), 30.0f);
     }},
    {"weapon type 0 at 299 frames: only bit 0x10 hits",
     [](T& t) {
         t.setMagicFrames(299);
         bulletOfVital(t, 5);
         t.makeEnemy(PX, PY);
     },
     kUnchanged, 50.0f, nullptr},
    {"weapon type 0 at 299 frames: bit 0x10 hits",
     [](T& t) {
         t.setMagicFrames(299);
         bulletOfVital(t, 5)->setAttributeBits(0x10);
     },
     kUnchanged, 45.0f, nullptr},
    {"weapon type 0 at 300 frames: all hit",
     [](T& t) {
         t.setMagicFrames(300);
         bulletOfVital(t, 5);
     },
     kUnchanged, 45.0f, nullptr},
    {"another weapon type: all hit at once",
     [](T& t) {
         t.setMagicFrames(0);
         t.setVar("weapontype", 1.0f);
         t.makeEnemy(PX, PY)->setInvincibleFrames(5);  // no invincibility test
     },
     kUnchanged, 48.0f, nullptr},
    {"an emptied vital costs a life",
     [](T& t) {
         t.game().setItemCount(2, 2);
         t.game().setItemCount(3, 5);
         bulletOfVital(t, 60);
     },
     {0, 0, 0, 100, 1.0f, 0}, 0.0f,
     [](T& t) {
         EXPECT_EQ(t.var("life"), 2.0f);
         EXPECT_EQ(t.player->getFlags(), 0x100u);
         EXPECT_EQ(t.game().getItemCount(2), 1);
         EXPECT_EQ(t.game().getItemCount(3), 0);
     }},
    {"the last life ends the play",
     [](T& t) {
         t.setVar("life", 1.0f);
         bulletOfVital(t, 60);
     },
     {0, 0, 0, 100, 1.0f, 1}, 0.0f,
     [](T& t) {
         EXPECT_EQ(t.var("life"), 0.0f);
         EXPECT_EQ(t.game().getItemCount(2), 0);  // power 0 stays 0
         EXPECT_EQ(t.game().isPauseAllowed(), 0);
     }},
    {"no gauge check in type 3", [](T& t) { t.game().setPrate(1000000); }, {0, 0, 1000000, 100, 0.0f, 0}, 50.0f,
     nullptr},
    {"a 0x20 enemy needs a marked shot and a switchable player",
     [](T& t) {
         t.game().setPlayerSwitchable(0);
         t.o[0] = t.makeEnemy(100, 100, 10, 3);
         t.o[0]->setAttributeBits(0x20);
         t.makeShot(100, 100)->setAttributeBits(1);
     },
     kUnchanged, 50.0f, [](T& t) { EXPECT_EQ(t.o[0]->getFlags(), 0u); }},
};

TEST_P(CollisionPassAltTest, Scene) {
    const AltScene& scene = GetParam();
    setVar("life", 3.0f);
    player = makePlayer(PX, PY, 2.0f, 0.0f);
    scene.setup(*this);
    runCollisionResponsesAlt();
    const RecordSnapshot after = snapshot();
    EXPECT_EQ(after.score, scene.expected.score) << scene.name;
    EXPECT_EQ(after.prate, scene.expected.prate) << scene.name;
    EXPECT_EQ(after.spirit, scene.expected.spirit) << scene.name;
    EXPECT_EQ(after.missCount, scene.expected.missCount) << scene.name;
    EXPECT_EQ(after.gameOver, scene.expected.gameOver) << scene.name;
    EXPECT_EQ(player->getVital(), scene.playerVital) << scene.name;
    if (scene.check) {
        SCOPED_TRACE(scene.name);
        scene.check(*this);
    }
}

INSTANTIATE_TEST_SUITE_P(CollisionPassAlt, CollisionPassAltTest, ::testing::ValuesIn(kScenes));
}  // namespace

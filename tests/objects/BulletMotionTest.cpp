#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <optional>

#include "objects/ObjectFixture.h"

namespace {
class BulletMotionTest : public ObjectTest {};

// One motion case: set-up of a fresh bullet (speed 1, direction 0, no image,
// far bounds), the number of motion steps, and the fields expected then.
struct MotionCase {
    const char* name;
    std::function<void(BulletObject&)> setup;
    int frames;
    std::optional<float> direction;
    std::optional<float> speed;
    std::optional<float> velocityX;
    std::optional<float> velocityY;
    std::optional<float> left;
    std::optional<bool> changing;  // a timed direction or speed change still runs
};

void expectField(const char* field, std::optional<float> expected, float actual) {
    if (!expected) return;
    if (std::isnan(*expected)) {
        EXPECT_TRUE(std::isnan(actual)) << field;
    } else {
        EXPECT_EQ(actual, *expected) << field;
    }
}
}  // namespace

TEST_F(BulletMotionTest, TimedChangesAndMotion) {
    const auto any = std::nullopt;
    const MotionCase cases[] = {
        // Acceleration keeps its last step after its term: 0.1f a frame,
        // summed in single precision.
        {"accel 10 frames", [](BulletObject& b) { b.setSpeed(0.0f); b.setAccel(0.0f, 1.0f, 10); }, 10,
         any, any, 0.0f, 0x1.000002p+0f, any, any},
        {"accel after its term", [](BulletObject& b) { b.setSpeed(0.0f); b.setAccel(0.0f, 1.0f, 10); }, 12,
         any, any, 0.0f, 0x1.333336p+0f, any, any},
        // A speed change lands exactly on its last frame.
        {"speed change frame 9", [](BulletObject& b) { b.setDirection(90.0f); b.changeSpeed(6.0f, 10); }, 9,
         90.0f, 5.5f, 5.5f, any, 1.5f + 2.0f + 2.5f + 3.0f + 3.5f + 4.0f + 4.5f + 5.0f + 5.5f, true},
        {"speed change frame 10", [](BulletObject& b) { b.setDirection(90.0f); b.changeSpeed(6.0f, 10); }, 10,
         90.0f, 6.0f, 6.0f, any, 37.5f, false},
        {"speed term 0 acts as 1", [](BulletObject& b) { b.setDirection(90.0f); b.changeSpeed(3.0f, 0); }, 1,
         any, 3.0f, 3.0f, any, 3.0f, false},
        {"speed term negative never ends", [](BulletObject& b) { b.changeSpeed(3.0f, -1); }, 5,
         any, 1.0f, any, any, any, true},
        // The absolute turn from 10 to 350 goes left through 0.
        {"absolute 10 to 350, frame 1", [](BulletObject& b) { b.setDirection(10.0f); b.changeDirectionAbsolute(350.0f, 4); },
         1, 5.0f, any, any, any, any, true},
        {"absolute 10 to 350, frame 4", [](BulletObject& b) { b.setDirection(10.0f); b.changeDirectionAbsolute(350.0f, 4); },
         4, -10.0f, any, any, any, any, false},
        // 360 stays 360 for setDirection but is a whole turn for the absolute
        // change's own normalisation.
        {"absolute from 360", [](BulletObject& b) { b.setDirection(360.0f); b.changeDirectionAbsolute(0.0f, 2); },
         1, 0.0f, any, any, any, any, true},
        {"relative", [](BulletObject& b) { b.changeDirectionRelative(90.0f, 3); }, 3, 90.0f, any, 1.0f, any, any, false},
        {"sequence", [](BulletObject& b) { b.changeDirectionSequence(10.0f, 3); }, 2, 20.0f, any, any, any, any, true},
        {"relative term negative never ends", [](BulletObject& b) { b.changeDirectionRelative(10.0f, -2); }, 3,
         -15.0f, any, any, any, any, true},
        // Directions a script may give.
        {"direction 725", [](BulletObject& b) { b.setDirection(725.0f); }, 0, 5.0f, any, any, any, any, any},
        {"direction 360 stays", [](BulletObject& b) { b.setDirection(360.0f); }, 0, 360.0f, any, any, any, any, any},
        {"direction -360 stays", [](BulletObject& b) { b.setDirection(-360.0f); }, 0, -360.0f, any, any, any, any, any},
        {"direction 720", [](BulletObject& b) { b.setDirection(720.0f); }, 0, 360.0f, any, any, any, any, any},
        {"direction -725", [](BulletObject& b) { b.setDirection(-725.0f); }, 0, -5.0f, any, any, any, any, any},
        // 1e12f is 999999995904: 144 past a whole number of turns.
        {"direction 1e12", [](BulletObject& b) { b.setDirection(1e12f); }, 0, 144.0f, any, any, any, any, any},
        {"direction -1e12", [](BulletObject& b) { b.setDirection(-1e12f); }, 0, -144.0f, any, any, any, any, any},
        {"direction infinity", [](BulletObject& b) { b.setDirection(INFINITY); }, 1, NAN, any, any, any, any, any},
        {"absolute turn from infinity", [](BulletObject& b) {
             b.setDirection(INFINITY);
             b.changeDirectionAbsolute(-INFINITY, 3);
         }, 4, NAN, any, any, any, any, any},
        // The table's sine of 180 degrees is not 0 but -0x1.777a5cp-24.
        {"velocity from direction", [](BulletObject& b) { b.setSpeed(2.0f); b.setDirection(180.0f); }, 1,
         any, any, -0x1.777a5cp-23f, 2.0f, any, any},
    };
    for (const MotionCase& c : cases) {
        SCOPED_TRACE(c.name);
        BulletObject* bullet = manager().createBullet();
        ASSERT_NE(bullet, nullptr);
        c.setup(*bullet);
        for (int i = 0; i < c.frames; ++i) bullet->update();
        expectField("direction", c.direction, bullet->getDirection());
        expectField("speed", c.speed, bullet->getSpeed());
        expectField("velocityX", c.velocityX, bullet->getVelocityX());
        expectField("velocityY", c.velocityY, bullet->getVelocityY());
        expectField("left", c.left, bullet->getLeft());
        if (c.changing) {
            EXPECT_EQ(bullet->isDirectionChanging() || bullet->isSpeedChanging(), *c.changing);
        }
        bullet->setState(1);
    }
    manager().getBulletManager()->removeDead();
}

// A reflection in one step mirrors the direction in the next (360 - d at the
// sides), and a running speed change then skips one frame.
TEST_F(BulletMotionTest, ReflectionThenMirrorOnTheNextFrame) {
    BulletObject* bullet = manager().createBullet();
    bullet->setEdgeBoundsMax(0.0f, 0.0f);
    bullet->setEdgeAction(0, 0, 5);
    bullet->setLeft(637.0f);
    bullet->setSpeed(2.0f);
    bullet->setDirection(90.0f);
    bullet->changeSpeed(12.0f, 10);  // +1 a frame

    bullet->update();  // speed 3, to 640: still inside
    EXPECT_EQ(bullet->getLeft(), 640.0f);
    EXPECT_EQ(bullet->getEdgeEvents(), 1);  // 640 is at the bound: reflected there
    bullet->update();  // speed 4; mirrored to 270
    EXPECT_EQ(bullet->getDirection(), 270.0f);
    EXPECT_EQ(bullet->getEdgeEvents(), 16);
    EXPECT_EQ(bullet->getSpeed(), 4.0f);
    EXPECT_FLOAT_EQ(bullet->getLeft(), 636.0f);
    bullet->update();  // the speed step is skipped this frame
    EXPECT_EQ(bullet->getSpeed(), 4.0f);
    EXPECT_EQ(bullet->getEdgeEvents(), 0);
    bullet->update();
    EXPECT_EQ(bullet->getSpeed(), 5.0f);

    // Top and bottom mirror as 180 - d.
    BulletObject* falling = manager().createBullet();
    falling->setEdgeBoundsMax(0.0f, 0.0f);
    falling->setEdgeAction(1, 0, 5);
    falling->setTop(479.0f);
    falling->setSpeed(2.0f);
    falling->setDirection(150.0f);
    falling->update();
    falling->update();
    EXPECT_EQ(falling->getDirection(), 30.0f);
}

// A locked shot turns to its enemy: atan2 of the centre offsets in double,
// times the one degrees-per-radian constant, plus 90.
TEST_F(BulletMotionTest, HomingShotTurnsToItsLockedEnemy) {
    BulletObject* enemy = manager().createEnemy();
    enemy->setActive(1);
    enemy->setX(130.0f);
    enemy->setY(140.0f);
    BulletObject* shot = manager().createShot();
    shot->setKind(object_kind::kShot);
    shot->setX(100.0f);
    shot->setY(100.0f);
    shot->setSpeed(0.0f);
    const std::uint32_t enemyTag = manager().getEnemyManager()->findAutoTarget(shot->getTag());
    ASSERT_EQ(enemyTag, enemy->getTag());
    EXPECT_EQ(enemy->getTargetTag(), static_cast<std::int32_t>(shot->getTag()));
    shot->setTargetTag(static_cast<std::int32_t>(enemyTag));
    shot->update();
    const float expected = static_cast<float>(std::atan2(40.0, 30.0) * 57.2957763671875 + 90.0);
    EXPECT_EQ(shot->getDirection(), expected);

    // An enemy in revenge mode is not followed.
    enemy->setX(100.0f);
    enemy->addFlags(0x100);
    shot->update();
    EXPECT_EQ(shot->getDirection(), expected);
}

// Following: the parent's displacement this frame (plus its velocity on the
// child's first frame) through moveX; without a parent the last offset.
TEST_F(BulletMotionTest, FollowingTheParentAndThePlayer) {
    BulletObject* parent = manager().createPlainObject();
    parent->setX(100.0f);
    parent->setSpeed(2.0f);
    parent->setDirection(90.0f);
    BulletObject* child = manager().createPlainObject();
    child->setX(50.0f);
    child->setSpeed(0.0f);
    child->setParent(parent);
    child->addFlags(object_flag::kFollowParentX);
    frames(1);
    EXPECT_EQ(parent->getX(), 102.0f);
    EXPECT_EQ(child->getX(), 54.0f);
    EXPECT_EQ(child->getFollowOffsetX(), 4.0f);
    frames(1);
    EXPECT_EQ(child->getX(), 56.0f);
    parent->setState(1);
    frames(1);  // the parent is destroyed: the child keeps the last offset
    EXPECT_EQ(child->getParent(), nullptr);
    frames(1);
    EXPECT_EQ(child->getX(), 60.0f);

    // The player's displacement since the frame counter sampled it.
    BulletObject* player = manager().createPlainObject();
    manager().setPlayer(player);
    player->setX(300.0f);
    g_frameCounter->samplePlayerPosition();
    player->setX(310.0f);
    BulletObject* option = manager().createBullet();
    option->setSpeed(0.0f);
    option->setX(20.0f);
    option->addFlags(object_flag::kFollowPlayerX);
    option->update();
    EXPECT_EQ(option->getX(), 30.0f);
    manager().setPlayer(nullptr);
}

// Values and counters a script may set to anything.
TEST_F(BulletMotionTest, VitalsCountdownsAndRevengeWithoutScript) {
    BulletObject* object = manager().createEnemy();
    struct VitalCase {
        float start, delta, expected;
    };
    for (const VitalCase& c : {VitalCase{5.0f, -7.0f, 0.0f}, VitalCase{-1.0f, -3.0f, -4.0f},
                               VitalCase{0.0f, -1.0f, -1.0f}, VitalCase{2.0f, 1.5f, 3.5f}}) {
        object->setVital(c.start);
        object->addVital(c.delta);
        EXPECT_EQ(object->getVital(), c.expected) << c.start << " + " << c.delta;
    }
    object->setScore(12345);
    EXPECT_EQ(object->getScoreDigits(), 5);
    EXPECT_EQ(object->getScoreMagnitude(), 10000);
    object->setScore(0);
    EXPECT_EQ(object->getScoreDigits(), 1);

    // The countdown steps with wrap-around from the lowest integer.
    object->setCountdown(INT_MIN);
    object->update();
    EXPECT_EQ(object->getCountdown(), INT_MAX);

    // In revenge mode without a revenge script the object vanishes on the
    // first frame its countdown is 0.
    BulletObject* revenge = manager().createEnemy();
    revenge->setMainRuntime(script(nullptr));
    revenge->addFlags(0x100);
    revenge->setCountdown(2);
    object->setState(1);
    frames(2);
    EXPECT_EQ(revenge->getState(), 0u);
    EXPECT_EQ(manager().getEnemyManager()->size(), 1u);
    frames(1);
    EXPECT_EQ(manager().getEnemyManager()->size(), 0u);
}

// Revenge mode spreads to children linked with childLink 1 (plus 0x200);
// init kills the linked parent; replacing a runtime destroys the old one.
TEST_F(BulletMotionTest, FamilyFlagsAndRuntimes) {
    BulletObject* parent = manager().createEnemy();
    BulletObject* child = manager().createBullet();
    BulletObject* other = manager().createBullet();
    child->setParent(parent);
    other->setParent(parent);
    parent->setChildLink(1);
    parent->addFlags(0x100);
    EXPECT_EQ(child->getFlags(), 0x300u);
    EXPECT_EQ(other->getFlags(), 0x300u);
    parent->setChildLink(0);
    parent->clearFlags(0x100);
    EXPECT_EQ(child->getFlags(), 0x300u);
    // No cycles: a parent cannot become its child's child.
    parent->setParent(child);
    EXPECT_EQ(parent->getParent(), nullptr);
    EXPECT_EQ(parent->countChildren(), 2);

    int destroyed = 0;
    child->setMainRuntime(script(nullptr, &destroyed));
    child->setMainRuntime(script(nullptr, &destroyed));
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(child->isRuntimeActive(), 1);
    child->init();
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(parent->getState(), 1u);
    EXPECT_EQ(child->getParent(), nullptr);
    EXPECT_EQ(parent->countChildren(), 1);
    frames(1);
    // The parent's destruction unlinks its remaining child.
    EXPECT_EQ(other->getParent(), nullptr);
}

// A state reaches the main, present and revenge scripts, in that order, each
// handed the state as its stop flag; the damage script is left alone.
TEST_F(BulletMotionTest, AStateStopsTheMainPresentAndRevengeScripts) {
    struct StopRecorder : ScriptedRuntime {
        StopRecorder(std::vector<std::string>* log, const char* name)
            : ScriptedRuntime(nullptr), log_(log), name_(name) {}
        std::int32_t stop(std::int32_t flag) override {
            log_->push_back(std::string(name_) + " " + std::to_string(flag));
            return ExBulletML_Runtime::stop(flag);
        }
        std::vector<std::string>* log_;
        const char* name_;
    };
    std::vector<std::string> stops;
    BulletObject* object = manager().createEnemy();
    object->setMainRuntime(new StopRecorder(&stops, "main"));
    object->setPresentRuntime(new StopRecorder(&stops, "present"));
    object->setRevengeRuntime(new StopRecorder(&stops, "revenge"));
    object->setDamageRuntime(new StopRecorder(&stops, "damage"));
    object->setState(3);
    EXPECT_EQ(stops, (std::vector<std::string>{"main 3", "present 3", "revenge 3"}));
    EXPECT_EQ(object->getState(), 3u);
    EXPECT_EQ(object->isActive(), 0);
}

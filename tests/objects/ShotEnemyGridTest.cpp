// The shots-against-enemies step visits each shot's nearby enemies only:
// on dense random fields (every shape kind, shared vitals running out in the
// middle of the step, piercing and breakable shots, attribute bits, enemies
// out of reach of any test) it must end exactly as the plain walk of every
// enemy for every shot, kept here as the reference.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "objects/CollisionPass.h"
#include "objects/CollisionSceneFixture.h"
#include "objects/ShotEnemyGrid.h"

namespace {
constexpr std::uint32_t kRevenge = object_flag::kRevenge;

class ShotEnemyGridTest : public CollisionScene {
public:
    // What the step leaves: per enemy and shot its flags, vital, armed
    // damage and speed; the shared vitals; the score; the last destroyed
    // enemy's centre.
    struct Outcome {
        std::vector<float> values;
        bool operator==(const Outcome&) const = default;
    };

    std::uint32_t seed = 1;
    std::uint32_t next() {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    }
    float uniform(float low, float high) { return low + (high - low) * float(next() % 10000) / 10000.0f; }

    static constexpr std::uint32_t kKeys = 4;

    // Enemies and shots packed in a 160 x 160 square, so most shots touch
    // several enemies.
    void buildField(std::uint32_t fieldSeed) {
        seed = fieldSeed;
        for (std::uint32_t key = 1; key <= kKeys; ++key) manager().setSharedVital(key, float(next() % 4) * 3.0f);
        setVar("last_enemy_cx", -1.0f);
        setVar("last_enemy_cy", -1.0f);
        for (int i = 0; i < 80; ++i) {
            BulletObject* enemy = makeEnemy(uniform(240, 400), uniform(160, 320), uniform(2, 14), uniform(-2, 12));
            shapeAtRandom(*enemy);
            enemy->setBreakable(next() % 8 != 0);
            if (next() % 5 == 0) enemy->setSharedVitalKey(std::int32_t(1 + next() % kKeys));
            if (next() % 10 == 0) enemy->addFlags(kRevenge);
            if (next() % 10 == 0) enemy->setInvincibleFrames(5);
            enemy->setAttributeBits(next() % 6 == 0 ? 0x10 : next() % 6 == 0 ? 0x20 : 0);
            if (next() % 20 == 0) enemy->setX(2000.0f);  // outside the field
        }
        for (int i = 0; i < 60; ++i) {
            BulletObject* shot = makeShot(uniform(240, 400), uniform(160, 320), uniform(1, 8), uniform(-1, 4));
            shapeAtRandom(*shot);
            shot->setBreakable(next() % 2);
            shot->setAttributeBits(next() % 3 == 0 ? 1 : 0);
            if (next() % 12 == 0) shot->addFlags(kRevenge);
        }
    }

    // Mostly circles (some off the centre) and rectangles (some given edges
    // reversed), a few rotated rectangles and a code no test lists.
    void shapeAtRandom(BulletObject& object) {
        const std::uint32_t kind = next() % 10;
        const float a = uniform(-10, 10), b = uniform(-10, 10), c = uniform(-10, 10), d = uniform(-10, 10);
        if (kind < 4) return object.setHitShape(kShapeCircle, a * 0.3f, b * 0.3f, uniform(0.5f, 12), 0);
        if (kind < 8) object.setHitShape(kShapeRect, a, b, c, d);
        else if (kind < 9) object.setHitShape(next() % 2 ? kShapeRotated : kShapeRotatedEdge, -6, -4, 6, 4);
        else object.setHitShape(999, a, b, c, d);
    }

    Outcome outcome() {
        Outcome o;
        for (IntBulletObjectManager* list : {manager().getEnemyManager(), manager().getShotManager()})
            for (BulletObject* object = list->front(); object; object = IntBulletObjectManager::next(object))
                o.values.insert(o.values.end(), {float(object->getFlags()), object->getVital(),
                                                 float(object->isDamageArmed()), object->getSpeed()});
        for (std::uint32_t key = 1; key <= kKeys; ++key) o.values.push_back(manager().getSharedVital(key));
        o.values.insert(o.values.end(), {float(game().getScore()), var("last_enemy_cx"), var("last_enemy_cy")});
        return o;
    }

    // The plain walk: every enemy for every live shot.
    void referenceStep() {
        auto destroy = [&](BulletObject& enemy) {
            enemy.addFlags(kRevenge);
            game().addScore(std::uint32_t(enemy.getScore()));
            setVar("last_enemy_cx", enemy.getX());
            setVar("last_enemy_cy", enemy.getY());
        };
        auto wound = [](BulletObject& object) {
            if (object.isDamageRuntimeRunning()) return;
            object.setDamageArmed(1);
            object.restartDamageRuntime();
        };
        auto inRevenge = [](BulletObject& object) { return (object.getFlags() & kRevenge) != 0; };
        IntBulletObjectManager* enemies = manager().getEnemyManager();
        for (BulletObject* shot = manager().getShotManager()->front(); shot; shot = IntBulletObjectManager::next(shot)) {
            if (!CollisionPass::isLiveShot(*shot)) continue;
            for (BulletObject* enemy = enemies->front(); enemy; enemy = IntBulletObjectManager::next(enemy)) {
                const std::uint32_t key = enemy->getSharedVitalKey();
                if (!inRevenge(*enemy) && key != 0) {
                    if (manager().getSharedVital(key) <= 0.0f) {
                        destroy(*enemy);
                        continue;
                    }
                    wound(*enemy);
                }
                if (!(CollisionPass::isHittableEnemy(*enemy) && enemy->isBreakable() && shot->hitTest(*enemy, 0)))
                    continue;
                const bool marked = (shot->getAttributeBits() & 1) != 0;
                if ((enemy->getAttributeBits() & 0x10) && marked) continue;
                if ((enemy->getAttributeBits() & 0x20) && !marked) continue;
                if (key == 0) {
                    if (enemy->getVital() >= 0.0f) {
                        enemy->addVital(-shot->getVital());
                        if (enemy->getVital() > 0.0f) wound(*enemy);
                        else destroy(*enemy);
                    }
                } else {
                    manager().addSharedVital(key, -shot->getVital());
                    if (manager().getSharedVital(key) > 0.0f) wound(*enemy);
                    else destroy(*enemy);
                }
                if (shot->isBreakable()) {
                    shot->addFlags(kRevenge);
                    shot->setSpeed(0.0f);
                    break;
                }
                wound(*shot);
            }
        }
    }

    Outcome run(std::uint32_t fieldSeed, bool reference) {
        manager().clearAll();
        game().setScore(0);
        buildField(fieldSeed);
        CollisionPass pass;
        EXPECT_TRUE(CollisionPass::begin(pass));
        if (reference) referenceStep();
        else pass.shotCollisions(false);
        return outcome();
    }
};

TEST_F(ShotEnemyGridTest, DenseRandomFieldsEndAsThePlainWalk) {
    int hits = 0;
    for (std::uint32_t fieldSeed = 1; fieldSeed <= 40; ++fieldSeed) {
        const Outcome plain = run(fieldSeed, true);
        const Outcome grid = run(fieldSeed, false);
        EXPECT_EQ(grid, plain) << "field " << fieldSeed;
        hits += game().getScore() != 0;
    }
    EXPECT_GT(hits, 30);  // the fields are dense: most of them destroy something
}

// The boxes the grid places shapes by hold every overlap the tests find.
TEST_F(ShotEnemyGridTest, BoxesHoldEveryOverlap) {
    BulletObject* a = makeShot(100, 100);
    BulletObject* b = makeEnemy(100, 100);
    seed = 7;
    int overlaps = 0;
    for (int i = 0; i < 20000; ++i) {
        a->setX(uniform(80, 120));
        a->setY(uniform(80, 120));
        shapeAtRandom(*a);
        shapeAtRandom(*b);
        ShotEnemyGrid::Box boxA{}, boxB{};
        if (!ShotEnemyGrid::shapeBox(*a, boxA) || !ShotEnemyGrid::shapeBox(*b, boxB)) continue;
        if (!a->hitTest(*b, 0)) continue;
        ++overlaps;
        EXPECT_TRUE(boxA.left <= boxB.right && boxB.left <= boxA.right && boxA.top <= boxB.bottom &&
                    boxB.top <= boxA.bottom)
            << i;
    }
    EXPECT_GT(overlaps, 1000);
}
}  // namespace

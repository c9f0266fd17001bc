// One collision pass over a full field: a player, 100 live shots against 50
// enemies of circles and rectangles that none touches (so every test runs to
// its end), and bullets with hit and graze circles (grazes left, none near
// the player) filling the rest of the 10,000-object pool. Target: 1.0 ms a
// pass, no allocation.
//
// CollisionPass/ShotsEnemies/N: N live shots against N enemies (circles and
// rectangles) spread at random over the 640 x 480 field, many touching; the
// shots take no vital and pierce, so every pass meets the same field. The
// pass's CPU time; target 1.0 ms at 400 x 400, no allocation.
#include <benchmark/benchmark.h>

#include "ObjectWorld.h"
#include "objects/CollisionPass.h"

namespace {
constexpr int kShots = 100;
constexpr int kEnemies = 50;
// The pool holds 10,000 objects in all.
constexpr int kFieldBullets = static_cast<int>(BulletObjectAllocator::kBlocks) - kShots - kEnemies - 1;

// False when the pool could not give every object the field asks for.
bool buildField(ObjectWorld& world) {
    BulletObjectManager& objects = world.objects();
    BulletObject* player = objects.createPlainObject();
    if (!player) return false;
    player->setActive(1);
    player->setKind(object_kind::kPlayer);
    player->setX(320.0f);
    player->setY(460.0f);
    player->setHitShape(kShapeCircle, 0, 0, 2, 0);
    player->setBuzzShape(kShapeCircle, 0, 0, 20, 0);
    objects.setPlayer(player);
    for (int i = 0; i < kFieldBullets; ++i) {
        BulletObject* bullet = objects.createBullet();
        if (!bullet) return false;
        bullet->setActive(1);
        bullet->setKind(object_kind::kBullet);
        bullet->setX(static_cast<float>(10 + (i * 37) % 620));
        bullet->setY(static_cast<float>(10 + (i * 53) % 380));
        bullet->setHitShape(kShapeCircle, 0, 0, 4, 0);
        bullet->setBuzzShape(kShapeCircle, 0, 0, 6, 0);
        bullet->setBuzzCount(1);
    }
    for (int i = 0; i < kEnemies; ++i) {
        BulletObject* enemy = objects.createEnemy();
        if (!enemy) return false;
        enemy->setActive(1);
        enemy->setKind(object_kind::kEnemy);
        enemy->setVital(100.0f);
        enemy->setX(static_cast<float>(20 + i * 12));
        enemy->setY(60.0f);
        if (i % 2 == 0) {
            enemy->setHitShape(kShapeCircle, 0, 0, 10, 0);
        } else {
            enemy->setHitShape(kShapeRect, -8, -8, 8, 8);
        }
    }
    for (int i = 0; i < kShots; ++i) {
        BulletObject* shot = objects.createShot();
        if (!shot) return false;
        shot->setActive(1);
        shot->setKind(object_kind::kShot);
        shot->setVital(1.0f);
        shot->setX(static_cast<float>(20 + (i * 6) % 600));
        shot->setY(300.0f + static_cast<float>(i % 5) * 10.0f);
        shot->setHitShape(kShapeCircle, 0, 0, 4, 0);
    }
    return true;
}
}  // namespace

static void CollisionPass(benchmark::State& state) {
    ObjectWorld world;
    if (!buildField(world)) {
        state.SkipWithError("the object pool holds fewer than 10,000 objects");
        return;
    }
    runCollisionResponses();  // first-pass set-up (names, sections) outside the count
    const std::uint64_t before = allocationCount();
    for (auto _ : state) runCollisionResponses();
    reportAllocations(state, before);
    state.counters["grazes"] = g_gameInfo->getBuzz();
    state.counters["score"] = g_gameInfo->getScore();
    state.counters["objects"] = world.objects().countObjects();
}
BENCHMARK(CollisionPass)->Unit(benchmark::kMillisecond);

static void ShotsEnemies(benchmark::State& state) {
    ObjectWorld world;
    BulletObjectManager& objects = world.objects();
    const auto count = static_cast<int>(state.range(0));
    std::uint32_t seed = 12345;
    auto next = [&seed](int range) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>((seed >> 8) % static_cast<std::uint32_t>(range));
    };
    for (int i = 0; i < count; ++i) {
        BulletObject* enemy = objects.createEnemy();
        enemy->setActive(1);
        enemy->setKind(object_kind::kEnemy);
        enemy->setVital(100.0f);
        enemy->setBreakable(1);
        enemy->setX(8.0f + next(624));
        enemy->setY(8.0f + next(464));
        if (i % 2 == 0) {
            enemy->setHitShape(kShapeCircle, 0, 0, 12, 0);
        } else {
            enemy->setHitShape(kShapeRect, -10, -10, 10, 10);
        }
    }
    for (int i = 0; i < count; ++i) {
        BulletObject* shot = objects.createShot();
        shot->setActive(1);
        shot->setKind(object_kind::kShot);
        shot->setVital(0.0f);
        shot->setBreakable(0);
        shot->setX(4.0f + next(632));
        shot->setY(4.0f + next(472));
        shot->setHitShape(kShapeCircle, 0, 0, 6, 0);
    }
    runCollisionResponses();
    const std::uint64_t before = allocationCount();
    for (auto _ : state) runCollisionResponses();
    reportAllocations(state, before);
}
BENCHMARK(ShotsEnemies)
    ->Name("CollisionPass/ShotsEnemies")
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Arg(400)
    ->Unit(benchmark::kMicrosecond);

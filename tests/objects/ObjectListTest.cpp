#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "objects/BulletObjectAllocator.h"
#include "objects/ObjectFixture.h"

namespace {
class ObjectListTest : public ObjectTest {
protected:
    // A runtime that appends a word to the trace each frame, then runs body.
    ScriptedRuntime* traced(std::string word, std::function<void()> body = nullptr, int* destroyed = nullptr) {
        return script(
            [this, word, body](ScriptedRuntime&) {
                trace.push_back(word);
                if (body) body();
                return 0;
            },
            destroyed);
    }
    std::vector<std::string> trace;
};
}  // namespace

// Each object runs main, damage, present, then moves; one killed in its own
// main still runs the rest of its turn and is destroyed at its end.
TEST_F(ObjectListTest, SlotOrderAndDeathInItsOwnTurn) {
    BulletObject* enemy = manager().createEnemy();
    int destroyed = 0;
    int frame = 0;
    enemy->setMainRuntime(traced("main", [&] {
        if (++frame == 2) enemy->setState(1);
    }, &destroyed));
    enemy->setDamageRuntime(traced("damage", nullptr, &destroyed));
    enemy->setDamageArmed(1);
    enemy->setPresentRuntime(script([&](ScriptedRuntime&) {
        trace.push_back("present age " + std::to_string(enemy->getAge()));
        return 0;
    }, &destroyed));
    frames(1);
    EXPECT_EQ(trace, (std::vector<std::string>{"main", "damage", "present age 0"}));
    EXPECT_EQ(enemy->getAge(), 1u);
    frames(1);
    EXPECT_EQ(trace, (std::vector<std::string>{"main", "damage", "present age 0", "main", "damage",
                                               "present age 1"}));
    EXPECT_EQ(manager().getEnemyManager()->size(), 0u);
    EXPECT_EQ(destroyed, 3);
}

// An object killed by another earlier in the frame is destroyed when the walk
// reaches it, without running; the target maps forget it.
TEST_F(ObjectListTest, KilledEarlierIsDestroyedWithoutRunning) {
    BulletObject* victim = manager().createBullet();
    BulletObject* killer = manager().createPlainObject();
    BulletObject* sameList = manager().createBullet();
    BulletObject* laterInList = manager().createBullet();
    victim->setMainRuntime(traced("victim"));
    laterInList->setMainRuntime(traced("later"));
    killer->setMainRuntime(traced("killer", [&] { victim->setState(1); }));
    sameList->setMainRuntime(traced("same", [&] { laterInList->setState(1); }));
    frames(1);
    EXPECT_EQ(trace, (std::vector<std::string>{"killer", "same"}));
    EXPECT_EQ(manager().getBulletManager()->size(), 1u);
    EXPECT_EQ(manager().getBulletManager()->front(), sameList);
}

// An object that moves to another list during its own turn: the walk goes on
// with the object that followed it, and each later object runs once (each
// stops itself on its third run, so a walk that repeated one would end).
TEST_F(ObjectListTest, LeavingTheListInItsOwnTurnKeepsTheWalkGoing) {
    BulletObject* leaver = manager().createBullet();
    BulletObject* next = manager().createBullet();
    BulletObject* last = manager().createBullet();
    leaver->setMainRuntime(traced("leaver", [&] {
        if (leaver->getKind() != object_kind::kPlain) return;
        leaver->setKind(object_kind::kBullet);
        manager().getPlainObjectManager()->append(leaver);
    }));
    int runs[2] = {};
    next->setMainRuntime(traced("next", [&] {
        if (++runs[0] == 3) next->setState(1);
    }));
    last->setMainRuntime(traced("last", [&] {
        if (++runs[1] == 3) last->setState(1);
    }));
    frames(1);
    EXPECT_EQ(trace, (std::vector<std::string>{"leaver", "next", "last"}));
    EXPECT_EQ(manager().getBulletManager()->front(), next);
    EXPECT_EQ(manager().getPlainObjectManager()->front(), leaver);
    // Next frame it runs in its new list, which is walked first.
    trace.clear();
    frames(1);
    EXPECT_EQ(trace, (std::vector<std::string>{"leaver", "next", "last"}));
}

// A bullet fired by a bullet runs and moves in its first frame ("bulletmgr_"
// is being walked and the new one is appended to it); one fired by an enemy
// starts the next frame ("bulletmgr_" was walked already).
TEST_F(ObjectListTest, WhichFrameANewBulletFirstMoves) {
    BulletObject* fromBullet = nullptr;
    BulletObject* fromEnemy = nullptr;
    auto fire = [this](BulletObject*& into, const char* word) {
        return [this, &into, word] {
            if (into) return;
            into = manager().createBullet();
            into->setDirection(90.0f);
            into->setMainRuntime(traced(word));
        };
    };
    BulletObject* gun = manager().createBullet();
    gun->setSpeed(0.0f);
    gun->setMainRuntime(traced("gun", fire(fromBullet, "bullet's bullet")));
    BulletObject* enemy = manager().createEnemy();
    enemy->setSpeed(0.0f);
    enemy->setMainRuntime(traced("enemy", fire(fromEnemy, "enemy's bullet")));
    frames(1);
    EXPECT_EQ(trace, (std::vector<std::string>{"gun", "bullet's bullet", "enemy"}));
    EXPECT_EQ(fromBullet->getLeft(), 1.0f);
    EXPECT_EQ(fromEnemy->getLeft(), 0.0f);
    // The enemy's bullet copied the firing object's draw level and kind.
    EXPECT_EQ(fromEnemy->getKind(), enemy->getKind());
    frames(1);
    EXPECT_EQ(fromEnemy->getLeft(), 1.0f);
    EXPECT_EQ(fromBullet->getLeft(), 2.0f);
}

TEST_F(ObjectListTest, EnemyCountIsAskedOncePerFrame) {
    BulletObject* enemy = manager().createEnemy();
    enemy->setKind(object_kind::kEnemy);  // as the enemy command sets it
    enemy->setActive(1);
    manager().resetEnemyCountCache();
    EXPECT_EQ(manager().getEnemyCountCached(), 1);
    enemy->setActive(0);
    EXPECT_EQ(manager().getEnemyCountCached(), 1);  // the cached answer
    manager().resetEnemyCountCache();
    EXPECT_EQ(manager().getEnemyCountCached(), 0);
    // A new enemy marks the count at once.
    manager().createEnemy();
    EXPECT_EQ(manager().getEnemyCountCached(), 1);
    // Every list counts once, the delayed objects included.
    manager().createDelayObject();
    manager().createPauseRunObject();
    manager().createBomb();
    EXPECT_EQ(manager().countObjects(), 5u);
}

// While paused only the pause objects, the pause and game-over top objects
// run; during a cut-in only the pause-run list (and the pause list) move.
TEST_F(ObjectListTest, PauseAndCutInIsolation) {
    BulletObject* bullet = manager().createBullet();
    BulletObject* pauseObject = manager().createPauseObject();
    BulletObject* pauseRun = manager().createPauseRunObject();
    BulletObject* pauseTop = manager().createPlainObject();
    for (BulletObject* object : {bullet, pauseObject, pauseRun, pauseTop}) object->setDirection(90.0f);
    BulletObject* seenCurrent = nullptr;
    pauseTop->setMainRuntime(traced("pause top", [&] { seenCurrent = manager().getCurrent(); }));
    manager().setPauseTop(pauseTop);
    game().requestPauseToggle();
    game().applyPauseToggle();
    frames(1);
    EXPECT_EQ(trace, std::vector<std::string>{"pause top"});
    EXPECT_EQ(seenCurrent, pauseTop);
    EXPECT_EQ(bullet->getLeft(), 0.0f);
    EXPECT_EQ(pauseRun->getLeft(), 0.0f);
    EXPECT_EQ(pauseTop->getLeft(), 0.0f);  // its slot 21 ran, not its motion
    EXPECT_EQ(pauseObject->getLeft(), 1.0f);

    game().requestPauseToggle();
    game().applyPauseToggle();
    game().setCutinMode(1);
    frames(1);
    EXPECT_EQ(bullet->getLeft(), 0.0f);
    EXPECT_EQ(pauseRun->getLeft(), 1.0f);
    EXPECT_EQ(pauseObject->getLeft(), 2.0f);
    game().setCutinMode(0);
    frames(1);
    EXPECT_EQ(bullet->getLeft(), 1.0f);
    EXPECT_EQ(pauseTop->getLeft(), 1.0f);
}

// A script may remove dead objects from, or clear, the very list being
// walked: the running object finishes its turn, the walk goes on, and the
// objects go when the walk reaches them or ends.
TEST_F(ObjectListTest, RemovalsFromARunningScriptWaitForTheWalk) {
    IntBulletObjectManager& bullets = *manager().getBulletManager();
    BulletObject* runner = manager().createBullet();
    BulletObject* victim = manager().createBullet();
    BulletObject* survivor = manager().createBullet();
    std::uint32_t sizeSeen = 0;
    runner->setMainRuntime(traced("runner", [&] {
        victim->setState(1);
        bullets.removeDead();
        runner->setState(1);
        bullets.removeDead();
        sizeSeen = bullets.size();
    }));
    runner->setPresentRuntime(traced("runner present"));
    victim->setMainRuntime(traced("victim"));
    survivor->setMainRuntime(traced("survivor"));
    frames(1);
    EXPECT_EQ(trace, (std::vector<std::string>{"runner", "runner present", "survivor"}));
    EXPECT_EQ(sizeSeen, 1u);
    ASSERT_EQ(bullets.size(), 1u);
    EXPECT_EQ(bullets.front(), survivor);

    // Clearing the list from a script, then firing: the new bullet is the
    // list's only object and moves in this frame.
    trace.clear();
    BulletObject* fired = nullptr;
    survivor->setMainRuntime(traced("clearer", [&] {
        bullets.clear();
        sizeSeen = bullets.size();
        fired = manager().createBullet();
        fired->setDirection(90.0f);
    }));
    frames(1);
    EXPECT_EQ(sizeSeen, 0u);
    ASSERT_EQ(bullets.size(), 1u);
    EXPECT_EQ(bullets.front(), fired);
    EXPECT_EQ(fired->getLeft(), 1.0f);

    // The same from a direct slot call of a top object in another list (its
    // list's walk runs it first: it acts in the call).
    BulletObject* top = manager().createPlainObject();
    int topRuns = 0;
    top->setMainRuntime(traced("top", [&] {
        if (++topRuns < 2) return;
        top->setState(1);
        manager().getPlainObjectManager()->removeDead();
        manager().getPlainObjectManager()->clear();
    }));
    manager().setPauseTop(top);
    frames(1);
    EXPECT_EQ(manager().getPlainObjectManager()->size(), 0u);
    // Gone at the end of the call, not left marked for the next walk.
    EXPECT_EQ(manager().getPlainObjectManager()->front(), nullptr);
    manager().setPauseTop(nullptr);
}

// A vanished player keeps its block and last values while the manager names
// it: aimed bullets keep reading its last position, new objects never take
// its block, and the block goes back when the reference lets go.
TEST_F(ObjectListTest, VanishedPlayerIsNeverReused) {
    BulletObjectAllocator& pool = BulletObjectAllocator::instance();
    BulletObject* player = manager().createPlainObject();
    player->setSpeed(0.0f);
    player->setX(200.0f);
    player->setY(300.0f);
    player->setMainRuntime(script(nullptr));
    manager().setPlayer(player);
    std::vector<float> aimedAt;
    BulletObject* gun = manager().createEnemy();
    gun->setSpeed(0.0f);
    gun->setMainRuntime(script([&](ScriptedRuntime&) {
        aimedAt.push_back(manager().getPlayerX());
        // Churn: every frame 50 short-lived bullets.
        for (int i = 0; i < 50; ++i) {
            BulletObject* bullet = manager().createBullet();
            EXPECT_NE(bullet, manager().getPlayer());
            bullet->setSpeed(0.0f);
            bullet->setState(1);
        }
        return 0;
    }));
    player->setState(1);
    frames(10);
    EXPECT_EQ(manager().getPlayer(), player);
    EXPECT_TRUE(player->isReleased());
    EXPECT_EQ(player->getMainRuntime(), nullptr);
    EXPECT_EQ(manager().getPlainObjectManager()->size(), 0u);
    ASSERT_EQ(aimedAt.size(), 10u);
    for (float x : aimedAt) EXPECT_EQ(x, 200.0f);
    EXPECT_EQ(manager().getPlayerY(), 300.0f);
    const std::int32_t before = pool.outstanding();
    manager().setPlayer(nullptr);
    EXPECT_EQ(pool.outstanding(), before - 1);
    EXPECT_EQ(manager().getPlayerX(), 0.0f);
}

// Whichever list an object dies in, every target-map entry naming it goes.
TEST_F(ObjectListTest, TargetMapForgetsObjectsDyingInAnyList) {
    BulletObject* enemy = manager().createEnemy();
    enemy->setActive(1);
    BulletObject* shot = manager().createShot();
    shot->setKind(object_kind::kShot);
    IntBulletObjectManager& enemies = *manager().getEnemyManager();
    const std::uint32_t tag = enemies.findAutoTarget(shot->getTag());
    ASSERT_EQ(enemies.findTarget(tag), enemy);
    shot->setTargetTag(static_cast<std::int32_t>(tag));
    // Moved to the item list with its tag, and killed there.
    manager().getItemManager()->append(enemy);
    enemy->setState(1);
    frames(2);
    EXPECT_EQ(enemies.findTarget(tag), nullptr);
    EXPECT_EQ(enemies.targetMapSize(), 0u);
}

// Automatic targeting: the first free (or already ours) candidate at once,
// else the last candidate; the other choice takes the first candidate.
TEST_F(ObjectListTest, AutoTargetChoice) {
    IntBulletObjectManager& enemies = *manager().getEnemyManager();
    auto enemy = [&] {
        BulletObject* object = manager().createEnemy();
        object->setActive(1);
        return object;
    };
    BulletObject* lockedByOther = enemy();
    lockedByOther->setTargetTag(99);
    BulletObject* invincible = enemy();
    invincible->setInvincibleFrames(5);
    BulletObject* excluded = enemy();
    excluded->setAttributeBits(16);
    BulletObject* inRevenge = enemy();
    inRevenge->addFlags(0x100);
    BulletObject* lockedToo = enemy();
    lockedToo->setTargetTag(98);
    EXPECT_EQ(enemies.findAutoTarget(7), lockedToo->getTag());  // the last candidate
    EXPECT_EQ(lockedToo->getTargetTag(), 7);
    EXPECT_EQ(enemies.findAutoTarget(7), lockedToo->getTag());  // ours already
    BulletObject* free = enemy();
    EXPECT_EQ(enemies.findAutoTarget(8), free->getTag());
    EXPECT_EQ(enemies.findAutoTargetAlt(9), lockedByOther->getTag());
    EXPECT_EQ(enemies.targetMapSize(), 3u);
    for (BulletObject* object : {lockedByOther, invincible, excluded, inRevenge, lockedToo, free}) object->setState(1);
    EXPECT_EQ(enemies.findAutoTarget(10), 0u);
}

// Without a current object the current-object readings are 0; an object
// destroyed stops being current.
TEST_F(ObjectListTest, CurrentObjectReadings) {
    manager().setCurrent(nullptr);
    EXPECT_EQ(manager().getCurrentX(), 0.0f);
    EXPECT_EQ(manager().getCurrentSpeed(), 0.0f);
    EXPECT_EQ(manager().getDistanceToPlayer(), 0.0f);
    BulletObject* object = manager().createPlainObject();
    object->setX(12.0f);
    manager().setCurrent(object);
    EXPECT_EQ(manager().getCurrentX(), 12.0f);
    object->setState(1);
    frames(1);
    EXPECT_EQ(manager().getCurrent(), nullptr);
    manager().syncCurrentObject();
    EXPECT_EQ(manager().getCurrent(), nullptr);
}

// Names: revenge and vanish by wide name, list by list; clearAll forgets the
// top objects.
TEST_F(ObjectListTest, TargetsByNameAndClearAll) {
    const NameHandle name = internWideName(u"boss");
    BulletObject* boss = manager().createEnemy();
    boss->setWideName(name);
    BulletObject* part = manager().createBullet();
    part->setWideName(name);
    BulletObject* pauseOne = manager().createPauseObject();
    pauseOne->setWideName(name);
    manager().targetRevenge(name);
    EXPECT_EQ(boss->getFlags(), 0x300u);
    EXPECT_EQ(part->getFlags(), 0x300u);
    EXPECT_EQ(pauseOne->getFlags(), 0u);
    manager().targetVanish(name);
    EXPECT_EQ(pauseOne->getState(), 1u);
    BulletObject* top = manager().createPlainObject();
    manager().setPauseTop(top);
    manager().setGameOverTop(top);
    manager().clearAll();
    EXPECT_EQ(manager().countObjects(), 0u);
    EXPECT_EQ(manager().getPauseTop(), nullptr);
    EXPECT_EQ(manager().getGameOverTop(), nullptr);
}

namespace {
// A scene of enemies firing rings of bullets that reflect, wrap and vanish,
// with homing shots: deterministic by construction.
void buildScene(BulletObjectManager& objects, std::vector<std::unique_ptr<Sprite>>& sprites) {
    for (int e = 0; e < 3; ++e) {
        BulletObject* enemy = objects.createEnemy();
        enemy->setActive(1);
        enemy->setX(100.0f + 200.0f * e);
        enemy->setY(80.0f);
        enemy->setSpeed(0.5f);
        enemy->changeDirectionAbsolute(170.0f + 10.0f * e, 30);
        enemy->setMainRuntime(new ScriptedRuntime([&objects, &sprites, e](ScriptedRuntime& self) {
            if (self.runs % 7 != 0) return 0;
            BulletObject* source = objects.getCurrent();
            for (int i = 0; i < 12; ++i) {
                BulletObject* bullet = objects.createBullet();
                if (!bullet) return 0;
                sprites.push_back(std::make_unique<Sprite>());
                sprites.back()->setSize(8.0f, 8.0f);
                bullet->setImage(sprites.back().get());
                bullet->setX(source->getX());
                bullet->setY(source->getY());
                bullet->setSpeed(1.5f + 0.25f * e);
                bullet->setDirection(30.0f * i + 3.7f * self.runs);
                bullet->setAllEdgeActions(i % 3 == 0 ? 5 : i % 3 == 1 ? 1 : 2);
                bullet->setReflectCount(2);
                bullet->changeSpeed(0.5f, 40);
            }
            return 0;
        }));
    }
    for (int s = 0; s < 2; ++s) {
        BulletObject* shot = objects.createShot();
        shot->setKind(object_kind::kShot);
        shot->setX(320.0f + 40.0f * s);
        shot->setY(460.0f);
        shot->setSpeed(3.0f);
        shot->setTargetTag(static_cast<std::int32_t>(objects.getEnemyManager()->findAutoTarget(shot->getTag())));
    }
}
}  // namespace

TEST_F(ObjectListTest, OneSceneRunTwiceHashesAlikeEveryFrame) {
    std::vector<std::uint64_t> first;
    buildScene(manager(), sprites);
    for (int frame = 0; frame < 240; ++frame) {
        frames(1);
        first.push_back(stateHash());
    }
    EXPECT_GT(manager().countObjects(), 20u);
    delete g_bulletObjectManager;
    g_bulletObjectManager = new BulletObjectManager();
    buildScene(manager(), sprites);
    for (int frame = 0; frame < 240; ++frame) {
        frames(1);
        ASSERT_EQ(stateHash(), first[frame]) << "frame " << frame;
    }
}

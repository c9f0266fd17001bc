// The flow, movement and variable commands, one table per family.
#include <cmath>
#include <functional>

#include "RuntimeTestSupport.h"

namespace {

class Handlers : public RuntimeBench {
protected:
    // Loads `body` (the children of "top"), makes the emitter and runs it.
    BulletObject* run(const std::string& body, int n = 1, const std::function<void(BulletObject*)>& prepare = {},
                      const std::string& definitions = "") {
        return runTop(100.0f, 200.0f, body, n, definitions, prepare);
    }
    // The results of the traced runtime, after the "action" line.
    std::string results() const {
        std::string text;
        for (std::size_t i = 1; i < trace_.size(); ++i) text += trace_[i] + "\n";
        return text;
    }
};

TEST_F(Handlers, WalkAndTime) {
    struct Case {
        const char* name;
        const char* body;
        int frames;
        bool enemy;
        const char* expected;
    } cases[] = {
        {"skipwait goes on at once without enemies", "<skipwait>300</skipwait><exit/>", 1, false,
         "1 skipwait 0\n1 exit 2\n"},
        {"skipwait waits while an enemy lives", "<skipwait>2</skipwait><exit/>", 3, true,
         "1 skipwait 2\n2 skipwait 2\n3 skipwait 0\n3 exit 2\n"},
        {"skipwait 0 with an enemy goes on", "<skipwait>0</skipwait><exit/>", 1, true, "1 skipwait 0\n1 exit 2\n"},
        {"skipwait 0 goes on at once without enemies", "<skipwait>0</skipwait><exit/>", 1, false,
         "1 skipwait 0\n1 exit 2\n"},
        {"endless skipwait goes on at once without enemies", "<skipwait>-1</skipwait><exit/>", 1, false,
         "1 skipwait 0\n1 exit 2\n"},
        {"skipbulletwait is the same handler", "<skipbulletwait/><exit/>", 1, true,
         "1 skipbulletwait 0\n1 exit 2\n"},
        {"exit ends the script", "<exit/><wait>1</wait>", 2, false, "1 exit 2\n"},
        {"vanish removes the object", "<vanish/><wait>1</wait>", 2, false, "1 vanish 2\n"},
        {"waitselectable without a selection goes on", "<waitselectable/><exit/>", 1, false,
         "1 waitselectable 0\n1 exit 2\n"},
        {"waitlock waits while the lock is set",
         "<setlock><num>3</num></setlock><waitlock><num>3</num></waitlock>", 2, false,
         "1 setlock 0\n1 waitlock 2\n2 waitlock 2\n"},
        {"releaselock lets waitlock go on",
         "<setlock><num>3</num></setlock><releaselock><num>3</num></releaselock><waitlock><num>3</num></waitlock><exit/>",
         1, false, "1 setlock 0\n1 releaselock 0\n1 waitlock 0\n1 exit 2\n"},
        {"waitdirectionkey without the input object yields", "<waitdirectionkey/><exit/>", 2, false,
         "1 waitdirectionkey 2\n2 waitdirectionkey 2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        run(c.body, c.frames, [&c](BulletObject*) {
            if (!c.enemy) return;
            BulletObject* enemy = g_bulletObjectManager->createEnemy();
            enemy->setKind(2);
            enemy->setActive(1);
        });
        EXPECT_EQ(results(), c.expected);
    }
}

TEST_F(Handlers, WaitDirectionKeyGoesOnOnceADirectionIsHeld) {
    peers.input = true;
    peers.heldKey = 0;
    run("<waitdirectionkey/><exit/>", 2);
    EXPECT_EQ(results(), "1 waitdirectionkey 2\n2 waitdirectionkey 2\n");
    peers.heldKey = 102;
    run("<waitdirectionkey/><exit/>", 1);
    EXPECT_EQ(results(), "1 waitdirectionkey 0\n1 exit 2\n");
}

TEST_F(Handlers, VanishSetsStateOneAndTheListRemovesTheObject) {
    run("<vanish/>", 1);
    EXPECT_EQ(manager().getPlainObjectManager()->size(), 0u);
}

TEST_F(Handlers, EventReferencesSpawnTheObjectsEventRuntimesAndLeave) {
    BulletObject* object = run(R"(<presentref label="p"/><revengeref label="r"><param>4</param></revengeref>
                                  <damageref label="d"/><exit/>)",
                               1, [](BulletObject* o) { o->setDamageArmed(1); },
                               R"(<present label="p"><wait>1</wait></present><revenge label="r"/><damage label="d"/>)");
    // Each leaves its node at once: the next sibling runs in the same frame.
    EXPECT_EQ(results(), "1 presentref 1\n1 revengeref 1\n1 damageref 1\n1 exit 2\n");
    ASSERT_NE(object->getPresentRuntime(), nullptr);
    ASSERT_NE(object->getRevengeRuntime(), nullptr);
    ASSERT_NE(object->getDamageRuntime(), nullptr);
    EXPECT_EQ(object->isDamageArmed(), 0);
    EXPECT_EQ(object->getRevengeRuntime()->getParams()->count, 1u);
    EXPECT_EQ(object->getRevengeRuntime()->getParams()->values[0], 4.0f);
    // The present runtime ran in the same frame's walk, from its block's
    // children.
    EXPECT_EQ(object->getPresentRuntime()->getRestartFlag(), 0);
    EXPECT_TRUE(object->getPresentRuntime()->isActive());
}

TEST_F(Handlers, AnEventBlockSpawnedAtItselfRunsItsChildren) {
    BulletML_Node_Manager& document = load(R"(<action label="top"><wait>1</wait></action>
            <present label="p"><eval name="x">5</eval><wait>3</wait></present>)");
    BulletObject* object = spawn();
    ExBulletML_Runtime* spawned = object->getMainRuntime()->spawnChild(document.findLabel(kPresent, wide("p")));
    ASSERT_NE(spawned, nullptr);
    EXPECT_EQ(spawned->getRestartFlag(), 1);
    object->setPresentRuntime(spawned);
    frames(1);
    EXPECT_EQ(spawned->getRestartFlag(), 0);
    EXPECT_EQ(spawned->getObjectVariables()[internName("x")], 5.0f);
    EXPECT_TRUE(spawned->isActive());
}

TEST_F(Handlers, CancelRevengeClearsTheModeRestartsTheEventsAndYields) {
    BulletObject* object = run(R"(<presentref label="p"/><setrevenge/><cancelrevenge/><exit/>)", 2, {},
                               R"(<present label="p"><wait>1</wait></present>)");
    EXPECT_EQ(results(), "1 presentref 1\n1 setrevenge 0\n1 cancelrevenge 2\n2 cancelrevenge 2\n");
    EXPECT_EQ(object->getFlags() & 0x100u, 0u);
}

TEST_F(Handlers, Motion) {
    struct Case {
        const char* name;
        const char* body;
        std::function<void(BulletObject*)> prepare;
        std::function<void(BulletObject*)> check;
    } cases[] = {
        {"changespeed absolute", "<changespeed><speed>4</speed><term>2</term></changespeed>",
         [](BulletObject* o) { o->setSpeed(1.0f); }, [](BulletObject* o) { EXPECT_EQ(o->getTargetSpeed(), 4.0f); }},
        {"changespeed relative", R"(<changespeed><speed type="relative">2</speed><term>2</term></changespeed>)",
         [](BulletObject* o) { o->setSpeed(1.5f); }, [](BulletObject* o) { EXPECT_EQ(o->getTargetSpeed(), 3.5f); }},
        {"changespeed sequence: speed times term",
         R"(<changespeed><speed type="sequence">0.5</speed><term>4</term></changespeed>)",
         [](BulletObject* o) { o->setSpeed(1.0f); }, [](BulletObject* o) { EXPECT_EQ(o->getTargetSpeed(), 3.0f); }},
        {"changedirection aim: straight below the object is 180",
         "<changedirection><direction>0</direction><term>1</term></changedirection>",
         [](BulletObject*) {
             BulletObject* player = g_bulletObjectManager->createPlainObject();
             player->setX(100.0f);
             player->setY(300.0f);
             g_bulletObjectManager->setPlayer(player);
         },
         [](BulletObject* o) {
             EXPECT_EQ(o->getDirectionType(), kTypeAim);
             EXPECT_FLOAT_EQ(o->getTargetDirection(), 180.0f);
         }},
        {"changedirection relative",
         R"(<changedirection><direction type="relative">30</direction><term>3</term></changedirection>)",
         [](BulletObject* o) { o->setDirection(10.0f); },
         [](BulletObject* o) {
             EXPECT_EQ(o->getDirectionType(), kTypeRelative);
             EXPECT_EQ(o->getTargetDirection(), 40.0f);
         }},
        {"accel sequence multiplies by term, no screen conversion",
         R"(<accel><horizontal type="sequence">0.5</horizontal><vertical>3</vertical><term>4</term></accel>)", {},
         [](BulletObject* o) {
             // (0.5 x 4, 3) over 4 frames: a step of (0.5, 0.75) per frame.
             EXPECT_EQ(o->getAccelX(), 0.5f);
             EXPECT_EQ(o->getAccelY(), 0.75f);
             EXPECT_TRUE(o->isAccelerating());
         }},
        {"accel reads horizontal, its term, then vertical",
         R"(<accel><horizontal type="sequence">$_rand</horizontal><vertical>$_rand</vertical><term>1+$_rand</term></accel>)",
         [](BulletObject*) { ExBulletML_Runtime::reseed(); },
         [](BulletObject* o) {
             // The draws after a reseed are 41, 18467, 6334 (/ 32768): the
             // horizontal value, its term, the vertical value; the last term
             // read, 1 + a fourth draw, truncates to 1.
             EXPECT_FLOAT_EQ(o->getAccelX(), 41 / 32768.0f * (1 + 18467 / 32768.0f));
             EXPECT_FLOAT_EQ(o->getAccelY(), 6334 / 32768.0f);
         }},
        {"setposition centre moves the following children by the shift",
         "<setposition><x>150</x><y>260</y></setposition>",
         [](BulletObject* o) {
             BulletObject* child = g_bulletObjectManager->createBullet();
             child->setX(10.0f);
             child->setY(20.0f);
             child->setSpeed(0.0f);
             child->addFlags(0x40 | 0x80);
             child->setParent(o);
         },
         [](BulletObject* o) {
             EXPECT_EQ(o->getX(), 150.0f);
             EXPECT_EQ(o->getY(), 260.0f);
             BulletObject* child = o->getFirstChild();
             ASSERT_NE(child, nullptr);
             EXPECT_EQ(child->getX(), 60.0f);
             EXPECT_EQ(child->getY(), 80.0f);
         }},
        {"setposition absolute places the corner",
         R"(<setposition type="absolute"><x>150</x><y>260</y></setposition>)", {},
         [](BulletObject* o) {
             EXPECT_EQ(o->getLeft(), 150.0f);
             EXPECT_EQ(o->getTop(), 260.0f);
         }},
        {"changeposition onto the current position arrives at once",
         "<changeposition><x>100</x><y>200</y></changeposition>", [](BulletObject* o) { o->setSpeed(2.0f); },
         [](BulletObject* o) { EXPECT_EQ(o->getX(), 100.0f); }},
        {"edge loop wraps at every side, the size as margins", R"(<edge type="loop"/>)", {},
         [](BulletObject* o) {
             for (int side = 0; side < 4; ++side) EXPECT_EQ(o->getEdgeAction(side), 1);
             EXPECT_EQ(o->getLeftBound(), -o->getWidth());
             EXPECT_EQ(o->getRightBound(), 640.0f + o->getWidth());
         }},
        {"edge stop clamps", R"(<edge type="stop"/>)", {},
         [](BulletObject* o) { EXPECT_EQ(o->getEdgeAction(2), 0); }},
        {"definedaction synctoparenty", R"(<definedaction type="synctoparenty"/>)", {},
         [](BulletObject* o) { EXPECT_EQ(o->getFlags(), 128u); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BulletObject* object = run(std::string(c.body) + "<wait>-1</wait>", 1, c.prepare);
        c.check(object);
    }
}

TEST_F(Handlers, AutoTargetWithoutEnemiesLeavesTheTarget) {
    BulletObject* object = run("<autotarget><num>1</num></autotarget><wait>-1</wait>", 1,
                               [](BulletObject* o) { o->setTargetTag(77); });
    EXPECT_EQ(object->getTargetTag(), 77);
}

TEST_F(Handlers, HitShapesAttributesAndLinks) {
    struct Case {
        const char* name;
        const char* body;
        std::function<void(BulletObject*)> prepare;
        std::function<void(BulletObject*)> check;
    } cases[] = {
        {"collision circle on a bullet also sets the buzz shape",
         "<collision><cx>1</cx><cy>2</cy><radius>5</radius></collision>",
         [](BulletObject* o) { o->setKind(3); },
         [](BulletObject* o) { EXPECT_EQ(o->getBuzzCount(), 1); }},
        {"collision with no radius on a bullet leaves the buzz word",
         "<collision><cx>1</cx><cy>2</cy><radius>0</radius></collision>", [](BulletObject* o) { o->setKind(3); },
         [](BulletObject* o) { EXPECT_EQ(o->getBuzzCount(), 0); }},
        {"collision rect on a plain object leaves the buzz shape",
         R"(<collision type="rect"><left>-2</left><top>-3</top><right>2</right><bottom>3</bottom></collision>)", {},
         [](BulletObject* o) { EXPECT_EQ(o->getBuzzCount(), 0); }},
        {"collision on an enemy of bullets sets the buzz word",
         R"(<collision type="rect"><left>-2</left><top>-3</top><right>2</right><bottom>3</bottom></collision>)",
         [](BulletObject* o) { o->setKind(6); }, [](BulletObject* o) { EXPECT_EQ(o->getBuzzCount(), 1); }},
        {"buzz with a flat rectangle sets the shape but not the word",
         R"(<buzz type="rect"><left>1</left><top>1</top><right>1</right><bottom>4</bottom></buzz>)", {},
         [](BulletObject* o) { EXPECT_EQ(o->getBuzzCount(), 0); }},
        {"buzz with an area sets the word on any kind",
         R"(<buzz type="rect"><left>1</left><top>1</top><right>3</right><bottom>4</bottom></buzz>)", {},
         [](BulletObject* o) { EXPECT_EQ(o->getBuzzCount(), 1); }},
        {"incbuzzcount", "<incbuzzcount/>", {}, [](BulletObject* o) { EXPECT_EQ(o->getBuzzCount(), 1); }},
        {"setinv truncates", R"(<setinv><inv>7.9</inv></setinv><eval name="inv">$_self_inv</eval>)", {},
         [](BulletObject* o) { EXPECT_EQ(o->getMainRuntime()->getObjectVariables()[internName("inv")], 7.0f); }},
        {"setbreakable 0 makes it breakable", "<setbreakable><num>0</num></setbreakable>",
         [](BulletObject* o) { o->setBreakable(0); }, [](BulletObject* o) { EXPECT_EQ(o->isBreakable(), 1); }},
        {"setvital 12.7 stores 12", "<setvital><vital>12.7</vital></setvital>", {},
         [](BulletObject* o) { EXPECT_EQ(o->getVital(), 12.0f); }},
        {"sharevital", "<sharevital><num>9</num></sharevital>", {},
         [](BulletObject* o) { EXPECT_EQ(o->getSharedVitalKey(), 9u); }},
        {"setrevenge", "<setrevenge/>", {}, [](BulletObject* o) { EXPECT_EQ(o->getFlags(), 0x100u); }},
        {"parentrevenge", "<parentrevenge/>",
         [](BulletObject* o) { o->setParent(g_bulletObjectManager->createShot()); },
         [](BulletObject* o) { EXPECT_EQ(o->getParent()->getFlags(), 0x300u); }},
        {"childrevenge", "<childrevenge/>",
         [](BulletObject* o) { g_bulletObjectManager->createShot()->setParent(o); },
         [](BulletObject* o) { EXPECT_EQ(o->getFirstChild()->getFlags(), 0x100u); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BulletObject* object = run(std::string(c.body) + "<wait>-1</wait>", 1, c.prepare);
        c.check(object);
    }
}

TEST_F(Handlers, SharedVitalsGroupsAndThePlayersInvincibility) {
    BulletObject* player = nullptr;
    run(R"(<setsharedvitalnum><num>4</num><vital>33.5</vital></setsharedvitalnum>
           <group><quick>2</quick><score>500</score><num>1</num></group>
           <setplayerinv><inv>60</inv></setplayerinv><wait>-1</wait>)",
        1, [&player](BulletObject*) {
            // A list the normal frame does not walk: the value stays as the
            // command left it.
            player = g_bulletObjectManager->createPauseRunObject();
            g_bulletObjectManager->setPlayer(player);
        });
    EXPECT_EQ(manager().getSharedVital(4), 33.5f);
    BulletObject* group = manager().getGroupManager()->front();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->getGroupId(), 2);
    EXPECT_EQ(group->getScore(), 500);
    EXPECT_EQ(manager().getLastGroupTag(), group->getTag());
    EXPECT_EQ(player->getInvincibleFrames(), 60);
}

TEST_F(Handlers, GameRecordsAndVariables) {
    std::int32_t prate = g_gameInfo->getPrate();
    std::int32_t spirit = g_gameInfo->getSpirit();
    std::int32_t rank = g_gameInfo->getRank();
    run(R"(<eval name="a">3</eval><evaladd name="a">$a*2</evaladd><global name="g">$a+1</global>
           <addscore><score>1234.9</score></addscore><addprate><num>5</num></addprate>
           <addrank><num>7</num></addrank><addspirit><spirit>3</spirit></addspirit>
           <setgameflag><num>4</num><flag>1</flag></setgameflag><setending><num>2</num></setending>
           <wait>-1</wait>)");
    ExBulletML_Runtime* runtime = manager().getPlainObjectManager()->front()->getMainRuntime();
    EXPECT_EQ(runtime->getObjectVariables()[internName("a")], 9.0f);
    EXPECT_EQ(g_gameInfo->getGlobalVar(internName("g")), 10.0f);
    EXPECT_EQ(g_gameInfo->getScore(), 1234u);
    EXPECT_EQ(g_gameInfo->getPrate() - prate, 5);
    EXPECT_EQ(g_gameInfo->getRank() - rank, 7);
    EXPECT_EQ(g_gameInfo->getSpirit() - spirit, 3);
    EXPECT_EQ(g_gameInfo->getGameFlag(4), 1);
    EXPECT_EQ(g_gameInfo->isEndingSeen(2), 1);
}

TEST_F(Handlers, CommandsOfLaterWorkLeaveWhenTheyHoldAScript) {
    // "sound" holds another object's script: leave it; "img" has none: go on.
    run(R"(<sound><wait>5</wait></sound><img/><exit/>)");
    EXPECT_EQ(results(), "1 sound 1\n1 img 0\n1 exit 2\n");
}

}  // namespace

// The object creation commands: the element table, item types and rank
// scores, enemy types, positions and values, results, quiet frames, empty
// pools and a missing reference.
#include <cmath>
#include <functional>
#include <limits>

#include "RuntimeTestSupport.h"
#include "platform/Thread.h"
#include "runtime/RuntimeHandlers.h"
#include "services/FrameCounter.h"
#include "services/SystemInfo.h"

namespace {

class ObjectCommands : public RuntimeBench {
protected:
    ObjectCommands() {
        g_gameInfo->setMinX(100);
        g_gameInfo->setMaxX(400);
        g_gameInfo->setMinY(10);
        g_gameInfo->setMaxY(300);
    }
    ~ObjectCommands() override {
        delete g_frameCounter;
        g_frameCounter = nullptr;
        delete g_systemInfo;
        g_systemInfo = nullptr;
    }

    // Loads `body` as the children of "top" (and `definitions`), makes the
    // creating object at (320, 100) with draw level 4 and runs `n` frames.
    BulletObject* run(const std::string& body, const std::string& definitions = "", int n = 1) {
        trace_.clear();
        frame_ = 0;
        manager().clearAll();
        manager().setPlayer(nullptr);
        load(R"(<action label="top">)" + body + "</action>" + definitions);
        creator_ = spawn("top", 320.0f, 100.0f);
        creator_->setDrawLevel(4);
        traceRuntime(creator_->getMainRuntime());
        frames(n);
        return creator_;
    }
    std::string results() const {
        std::string text;
        for (std::size_t i = 1; i < trace_.size(); ++i) text += trace_[i] + "\n";
        return text;
    }
    // The one object made into `list` (null when it holds none or several).
    static BulletObject* only(IntBulletObjectManager* list) { return list->size() == 1 ? list->front() : nullptr; }
    void setVar(const char* name, float value) { g_gameInfo->setVar(internName(name), value); }

    BulletObject* creator_ = nullptr;
};

TEST_F(ObjectCommands, EachElementMakesItsObjectInItsList) {
    using Lists = BulletObjectManager;
    struct Row {
        const char* element;
        const char* extra;  // further children of the definition
        IntBulletObjectManager* (Lists::*list)();
        std::uint8_t kind;
        std::int32_t level;     // -1: the creating object's (4); -2: as the pool gave it (0)
        bool fieldRange;
        std::int32_t edgeMode;  // -1: as the pool gave it (0)
    } rows[] = {
        {"enemy", "", &Lists::getEnemyManager, 2, 15, true, -1},
        {"shot", "", &Lists::getShotManager, 4, 11, true, 2},
        {"player", "", &Lists::getPlainObjectManager, 1, 13, true, 1},
        {"object", "", &Lists::getPlainObjectManager, 0, -1, false, -1},
        {"object", "<pause>1</pause>", &Lists::getPauseManager, 18, -1, false, -1},
        // The pause-run list moves only during cut-ins: made, not yet started.
        {"object", "<pause>2</pause>", &Lists::getPauseRunManager, 19, -1, false, -1},
        {"dobject", "", &Lists::getDelayObjectManager, 0, -1, false, -1},
        {"dobject", "<pause>1</pause>", &Lists::getPauseManager, 18, -1, false, -1},
        {"item", "<flag>2</flag>", &Lists::getItemManager, 11, 9, true, 4},
        {"bomb", "", &Lists::getBombManager, 9, 22, false, -1},
    };
    for (bool reference : {false, true}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.element << row.extra << (reference ? " ref" : ""));
            const std::string e = row.element;
            const std::string definition = "<" + e + " label=\"d\">" + row.extra + "<wait>-1</wait></" + e + ">";
            if (reference) {
                run("<" + e + "ref label=\"d\"/><wait>-1</wait>", "<action label=\"unused\">" + definition + "</action>");
                EXPECT_EQ(results(), "1 " + e + "ref 0\n1 wait 2\n");
            } else {
                run(definition + "<wait>-1</wait>");
                EXPECT_EQ(results(), "1 " + e + " 1\n1 wait 2\n");
            }
            IntBulletObjectManager* list = (manager().*row.list)();
            // The plain list also holds the creating object.
            BulletObject* made = list->front() == creator_ ? IntBulletObjectManager::next(creator_) : list->front();
            ASSERT_NE(made, nullptr);
            EXPECT_EQ(made->getKind(), row.kind);
            // "objectref" and "dobjectref" set no level.
            const std::int32_t level = row.level == -1 ? (reference ? 0 : 4) : row.level;
            EXPECT_EQ(made->getDrawLevel(), level);
            EXPECT_EQ(made->getFieldLeft(), row.fieldRange ? 100 : 0);
            EXPECT_EQ(made->getFieldRight(), row.fieldRange ? 400 : 640);
            EXPECT_EQ(made->getFieldTop(), row.fieldRange ? 10 : 0);
            EXPECT_EQ(made->getFieldBottom(), row.fieldRange ? 300 : 480);
            EXPECT_EQ(made->getEdgeMode(), row.edgeMode < 0 ? 0 : row.edgeMode);
            EXPECT_EQ(made->getWideName(), wide("d"));
            // Its script started this frame: the restart path made it active.
            const bool started = row.list != &Lists::getPauseRunManager;
            EXPECT_EQ(made->isActive(), started ? 1 : 0);
            EXPECT_TRUE(made->getMainRuntime()->isActive());
            EXPECT_EQ(manager().getPlayer(), e == "player" ? made : nullptr);
        }
    }
}

TEST_F(ObjectCommands, ItemTypesAndTheirCollectDelays) {
    g_systemInfo = new SystemInfo();
    g_frameCounter = new FrameCounter();
    setVar("ttcitemframe", 10);
    setVar("autoitemterm", 50);
    const std::int32_t poolDelay = BulletObject().getCollectDelay();
    struct Row {
        float flag;
        std::uint8_t kind;  // 0: as the pool gave it
        std::uint8_t edgeMode;
        std::int32_t recentDelay, otherDelay;  // -2: not set
    } rows[] = {
        {1, 10, 4, 1, 50},  {2, 11, 4, 1, -2}, {3, 12, 4, 1, -2}, {4, 13, 3, -2, -2}, {5, 14, 3, -2, -2},
        {6, 15, 4, 1, -2},  {7, 16, 4, 7, 50}, {8, 17, 4, -2, -2}, {0, 0, 4, -2, -2},  {9, 0, 4, -2, -2},
        {std::numeric_limits<float>::quiet_NaN(), 0, 4, -2, -2},
    };
    struct When {
        std::uint32_t sinceMagic;
        std::uint32_t systemType;
        bool recent;
    } whens[] = {{9, 0, true}, {10, 0, false}, {0, 3, false}};
    for (const When& when : whens) {
        g_systemInfo->setSystemType(when.systemType);
        g_frameCounter->resetMagicFrames();
        for (std::uint32_t i = 0; i < when.sinceMagic; ++i) g_frameCounter->tickMagicFrames();
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.flag << " at " << when.sinceMagic << " type " << when.systemType);
            g_gameInfo->setGlobalVar(internName("f"), row.flag);
            run(R"(<item><flag>$__f</flag><wait>-1</wait></item><wait>-1</wait>)");
            BulletObject* item = only(manager().getItemManager());
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->getKind(), row.kind);
            EXPECT_EQ(item->getEdgeMode(), row.edgeMode);
            const std::int32_t delay = when.recent ? row.recentDelay : row.otherDelay;
            EXPECT_EQ(item->getCollectDelay(), delay == -2 ? poolDelay : delay);
        }
    }
}

TEST_F(ObjectCommands, ARankedItemTakesTheScoreOfTheGameWideRank) {
    for (int rank = 0; rank <= 5; ++rank)
        setVar(("itemscore_grank" + std::to_string(rank)).c_str(), 100.0f * static_cast<float>(rank + 1));
    struct Row {
        float grank;
        float flag;
        std::int32_t score;
    } rows[] = {
        {2.9f, 3, 300}, {0, 3, 100}, {5, 3, 600}, {7, 3, 100}, {-1, 3, 100},
        {std::numeric_limits<float>::quiet_NaN(), 3, 100},
        // Other item types and the reference keep their own score.
        {2, 2, 77},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.grank << " " << row.flag);
        g_gameInfo->setGlobalVar(internName("grank"), row.grank);
        g_gameInfo->setGlobalVar(internName("f"), row.flag);
        run(R"(<itemref label="i"/><wait>-1</wait>)",
            R"(<action label="x"><item label="i"><flag>$__f</flag><score>77.9</score><wait>-1</wait></item></action>)");
        BulletObject* item = only(manager().getItemManager());
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->getScore(), row.score);
    }
}

TEST_F(ObjectCommands, EnemyTypes) {
    struct Row {
        const char* type;
        std::uint8_t kind;
        std::int32_t level;
    } rows[] = {{"ground", 5, 15}, {"bullet", 6, 18}, {"absolute", 2, 15}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        run(std::string(R"(<enemy type=")") + row.type + R"("><wait>-1</wait></enemy><wait>-1</wait>)");
        BulletObject* enemy = only(manager().getEnemyManager());
        ASSERT_NE(enemy, nullptr);
        EXPECT_EQ(enemy->getKind(), row.kind);
        EXPECT_EQ(enemy->getDrawLevel(), row.level);
    }
}

TEST_F(ObjectCommands, PositionAndValuesFromTheNodeOrTheCreationValues) {
    // An item's x stays inside the field, its y and every other element's
    // position never; "cx" and "cy" are a centre on the screen.
    struct Row {
        const char* element;
        float cx, cy;
        float x, y;
    } rows[] = {
        {"item", 1000, 305, 400, 305}, {"item", -5, 5, 100, 5}, {"item", 250, 20, 250, 20},
        {"enemy", 1000, 305, 1000, 305},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.element << " " << row.cx);
        const std::string e = row.element;
        run("<" + e + "><cx>" + std::to_string(row.cx) + "</cx><cy>" + std::to_string(row.cy) +
            "</cy><speed>0</speed><wait>-1</wait></" + e + "><wait>-1</wait>");
        BulletObject* made = e == "item" ? only(manager().getItemManager()) : only(manager().getEnemyManager());
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->getX(), row.x);
        EXPECT_EQ(made->getY(), row.y);
    }

    // Values of a "create" are the fallbacks; "x" and "y" are never read.
    BulletObject* creator = run(R"(<create><cx>30</cx><cy>40</cy><x>999</x><y>999</y><vital>6</vital>
                                     <score>7.9</score><inv>8</inv><child>1</child><flag>2</flag><prate>1.5</prate>
                                     <spirit>12</spirit></create>
                                   <enemy><speed>0</speed><wait>-1</wait></enemy>
                                   <enemy><cx>1</cx><cy>2</cy><vital>3</vital><score>-4.5</score><inv>5</inv>
                                     <child>0</child><flag>0</flag><prate>6</prate><spirit>7</spirit><speed>0</speed>
                                     <wait>-1</wait></enemy><wait>-1</wait>)");
    ASSERT_EQ(manager().getEnemyManager()->size(), 2u);
    BulletObject* fallback = manager().getEnemyManager()->front();
    BulletObject* own = IntBulletObjectManager::next(fallback);
    EXPECT_EQ(fallback->getX(), 30.0f);
    EXPECT_EQ(fallback->getY(), 40.0f);
    EXPECT_EQ(fallback->getVital(), 6.0f);
    EXPECT_EQ(fallback->getScore(), 7);
    // Invincibility counts down once in the object's first frame.
    EXPECT_EQ(fallback->getInvincibleFrames(), 8 - 1);
    EXPECT_EQ(fallback->getPrateRate(), 1.5f);
    EXPECT_EQ(fallback->getExtraWord(0), 12);
    EXPECT_EQ(fallback->getAttributeBits(), 2);
    EXPECT_EQ(fallback->getParent(), creator);
    EXPECT_EQ(creator->getChildLink(), 1);
    EXPECT_EQ(own->getX(), 1.0f);
    EXPECT_EQ(own->getY(), 2.0f);
    EXPECT_EQ(own->getVital(), 3.0f);
    EXPECT_EQ(own->getScore(), -4);
    EXPECT_EQ(own->getInvincibleFrames(), 5 - 1);
    EXPECT_EQ(own->getPrateRate(), 6.0f);
    EXPECT_EQ(own->getExtraWord(0), 7);
    EXPECT_EQ(own->getAttributeBits(), 0);
    EXPECT_EQ(own->getParent(), nullptr);
}

TEST_F(ObjectCommands, DirectionAndSpeed) {
    // Aimed by default, from the new object's centre at the player.
    run(R"(<enemy><cx>320</cx><cy>100</cy><wait>-1</wait></enemy>
           <enemy><cx>320</cx><cy>100</cy><direction type="sequence">5</direction><speed type="sequence">1</speed>
             <wait>-1</wait></enemy>
           <enemyref label="e"/><wait>-1</wait>)",
        R"(<action label="x"><enemy label="e"><cx>0</cx><cy>0</cy><speed>2</speed><wait>-1</wait></enemy></action>)");
    ASSERT_EQ(manager().getEnemyManager()->size(), 3u);
    BulletObject* first = manager().getEnemyManager()->front();
    BulletObject* second = IntBulletObjectManager::next(first);
    BulletObject* third = IntBulletObjectManager::next(second);
    // No player: aimed at (0, 0).
    EXPECT_EQ(first->getDirection(), static_cast<float>(aimAngle(320.0f, 100.0f, 0.0f, 0.0f)));
    // Without a "fire" before it the runtime's fire type is 0, which aims.
    EXPECT_EQ(first->getDirectionType(), 0);
    EXPECT_EQ(first->getSpeed(), 0.0f);
    EXPECT_EQ(second->getDirection(), first->getDirection() + 5.0f);
    EXPECT_EQ(second->getSpeed(), 1.0f);
    EXPECT_EQ(second->getDirectionType(), kTypeSequence);
    // The reference: the target's speed, the reference node's (absent) direction.
    EXPECT_EQ(third->getSpeed(), 2.0f);
    EXPECT_EQ(third->getDirectionType(), kTypeAim);
    ExBulletML_Runtime* runtime = creator_->getMainRuntime();
    EXPECT_EQ(runtime->getPreviousDirection(), third->getDirection());
    EXPECT_EQ(runtime->getPreviousSpeed(), 2.0f);
}

TEST_F(ObjectCommands, BombsPlayersAndThePlainNodesScript) {
    // Flag 1 of the bomb's own node sets flag 1; a flag from "create" only
    // becomes the attribute bits.
    run(R"(<bomb><flag>1</flag><wait>-1</wait></bomb><create><flag>1</flag></create><bomb><wait>-1</wait></bomb>
           <bombref label="b"><flag>1</flag></bombref><wait>-1</wait>)",
        R"(<action label="x"><bomb label="b"><wait>-1</wait></bomb></action>)");
    ASSERT_EQ(manager().getBombManager()->size(), 3u);
    BulletObject* own = manager().getBombManager()->front();
    BulletObject* fromCreate = IntBulletObjectManager::next(own);
    BulletObject* byRef = IntBulletObjectManager::next(fromCreate);
    EXPECT_EQ(own->getAttributeBits(), 1);
    EXPECT_EQ(own->getFlags() & 1u, 1u);
    EXPECT_EQ(fromCreate->getAttributeBits(), 1);
    EXPECT_EQ(fromCreate->getFlags() & 1u, 0u);
    // The reference node's own flag counts for the bomb's flag.
    EXPECT_EQ(byRef->getFlags() & 1u, 1u);

    // A second player replaces the first.
    run(R"(<player label="p1"><wait>-1</wait></player><player label="p2"><wait>-1</wait></player><wait>-1</wait>)");
    ASSERT_NE(manager().getPlayer(), nullptr);
    EXPECT_EQ(manager().getPlayer()->getWideName(), wide("p2"));

    // The node's children are the new object's script: the creator goes on
    // at once, the enemy waits and vanishes by itself.
    run(R"(<enemy><wait>1</wait><vanish/></enemy><eval name="after">1</eval><wait>-1</wait>)");
    EXPECT_EQ(creator_->getMainRuntime()->getObjectVariables()[internName("after")], 1.0f);
    EXPECT_EQ(manager().getEnemyManager()->size(), 1u);
    frames(2);
    EXPECT_EQ(manager().getEnemyManager()->size(), 0u);
    // Creating an enemy counts as a live enemy for the rest of the frame.
    EXPECT_EQ(manager().getEnemyCountCached(), 0);
}

TEST_F(ObjectCommands, AQuietEnemyWaitsForTheFramesAfterAMiss) {
    g_frameCounter = new FrameCounter();
    g_frameCounter->resetMissFrames();
    setVar("deathnobulletframe", 5);
    run(R"(<enemy><flag>4</flag><direction type="sequence">10</direction><wait>-1</wait></enemy>
           <enemyref label="e"/>
           <enemy><flag>0</flag><direction type="sequence">10</direction><wait>-1</wait></enemy>
           <fire><direction type="sequence">10</direction><bullet/></fire><wait>-1</wait>)",
        R"(<action label="x"><enemy label="e"><flag>4</flag><direction type="sequence">10</direction>
             <wait>-1</wait></enemy></action>)");
    // Only the enemy without bit 4 was made; the held-back ones still turned
    // the sequence, which the bullet continues.
    EXPECT_EQ(manager().getEnemyManager()->size(), 1u);
    EXPECT_EQ(results(), "1 enemy 1\n1 enemyref 1\n1 enemy 1\n1 fire 0\n1 bullet 1\n1 wait 2\n");
    BulletObject* bullet = only(manager().getBulletManager());
    ASSERT_EQ(bullet, nullptr);  // bullets share the quiet frames
    EXPECT_EQ(creator_->getMainRuntime()->getPreviousDirection(), 40.0f);
}

TEST_F(ObjectCommands, EmptyPoolsMakeNothing) {
    std::vector<BulletObject*> held;
    load(R"(<action label="top"><enemy><direction type="sequence">10</direction><wait>-1</wait></enemy>
            <enemyref label="e"/><eval name="after">1</eval><wait>-1</wait></action>
            <action label="x"><enemy label="e"><direction type="sequence">10</direction></enemy></action>)");
    BulletObject* creator = spawn();
    traceRuntime(creator->getMainRuntime());
    while (BulletObject* object = manager().createPlainObject()) held.push_back(object);
    frames(1);
    EXPECT_EQ(manager().getEnemyManager()->size(), 0u);
    EXPECT_EQ(creator->getMainRuntime()->getPreviousDirection(), 20.0f);
    EXPECT_EQ(creator->getMainRuntime()->getObjectVariables()[internName("after")], 1.0f);
    for (BulletObject* object : held) object->setState(1);
    manager().clearAll();

    // No runtime: the object taken goes back before it runs.
    load(R"(<action label="top"><item><wait>-1</wait></item><wait>-1</wait></action>)");
    creator = spawn();
    BMLRuntimeAllocator& pool = BMLRuntimeAllocator::instance();
    std::vector<ExBulletML_Runtime*> runtimes;
    while (ExBulletML_Runtime* taken = pool.get()) runtimes.push_back(taken);
    frames(1);
    EXPECT_EQ(manager().getItemManager()->size(), 0u);
    for (ExBulletML_Runtime* taken : runtimes) taken->destroy();
}

using ObjectCommandsDeathTest = ObjectCommands;

TEST_F(ObjectCommandsDeathTest, AReferenceWithoutATargetLogsItsLabelAndEnds) {
    GTEST_FLAG_SET(death_test_style, "fast");
    for (const char* element : {"enemyref", "itemref", "objectref"}) {
        SCOPED_TRACE(element);
        load(std::string(R"(<action label="top"><)") + element + R"( label="nosuch"/></action>)");
        spawn();
        EXPECT_EXIT(
            {
                markMainThread();
                frames(1);
            },
            ::testing::ExitedWithCode(1), "");
    }
    EXPECT_EQ(countLogLines("ノード nosuch が見つかりません"), 3);
}

}  // namespace

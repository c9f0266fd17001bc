// "fire", "create", "bullet" and "bulletref": where bullets come from, which
// values they take, when they are held back, and what a missing piece does.
#include <cmath>
#include <functional>
#include <limits>
#include <new>

#include "RuntimeTestSupport.h"
#include "platform/Thread.h"
#include "runtime/RuntimeHandlers.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/SystemInfo.h"

namespace {

class BulletCommands : public RuntimeBench {
protected:
    ~BulletCommands() override {
        delete g_frameCounter;
        g_frameCounter = nullptr;
        delete g_systemInfo;
        g_systemInfo = nullptr;
    }

    // Loads `body` as the children of "top" (and `definitions` beside it),
    // makes the emitter at (320, 100) and runs `n` frames.
    BulletObject* run(const std::string& body, int n = 1, const std::string& definitions = "",
                      const std::function<void(BulletObject*)>& prepare = {}) {
        return runTop(320.0f, 100.0f, body, n, definitions, prepare);
    }
    std::vector<BulletObject*> bullets() {
        std::vector<BulletObject*> live;
        IntBulletObjectManager* list = manager().getBulletManager();
        for (BulletObject* b = list->front(); b; b = IntBulletObjectManager::next(b))
            if (b->getState() == 0) live.push_back(b);
        return live;
    }
    std::vector<float> directions() {
        std::vector<float> out;
        for (BulletObject* b : bullets()) out.push_back(b->getDirection());
        return out;
    }
    // The handler results of the traced runtime, without the "action" line.
    std::string results() const {
        std::string text;
        for (std::size_t i = 1; i < trace_.size(); ++i) text += trace_[i] + "\n";
        return text;
    }
    // A frame counter whose last miss was `sinceMiss` frames ago, with
    // "deathnobulletframe" and "ttcnobulletframe" set.
    void missedAgo(std::uint32_t sinceMiss, float death, float ttc) {
        if (!g_frameCounter) g_frameCounter = new FrameCounter();
        g_frameCounter->resetMissFrames();
        for (std::uint32_t i = 0; i < sinceMiss; ++i) g_frameCounter->tickMissFrames();
        g_gameInfo->setVar(internName("deathnobulletframe"), death);
        g_gameInfo->setVar(internName("ttcnobulletframe"), ttc);
    }
};

TEST_F(BulletCommands, FireWritesFiveCreationValuesAndCreateAllThirteen) {
    // The reader moves a fire's (and a create's) direction and speed onto the
    // next object element, so here they reach the bullet and the fire holds 0.
    BulletObject* emitter =
        run(R"(<create><cx>3</cx><cy>4</cy><x>5</x><y>6</y>
                 <vital>7</vital><score>8</score><inv>9</inv><child>10</child><flag>11</flag><prate>12</prate>
                 <spirit>13</spirit></create>
               <fire><direction type="absolute">21</direction><speed type="relative">22</speed>
                 <cx>23</cx><cy>24</cy><child>25</child><bullet/></fire>
               <wait>-1</wait>)");
    ExBulletML_Runtime* runtime = emitter->getMainRuntime();
    const float* cv = runtime->getCreationValues();
    const float expected[13] = {0, 0, 23, 24, 25, 6, 7, 8, 9, 10, 11, 12, 13};
    for (int i = 0; i < 13; ++i) EXPECT_EQ(cv[i], expected[i]) << i;
    // The types stay on the fire; the bullet took the values.
    EXPECT_EQ(runtime->getFireDirectionType(), kTypeAbsolute);
    EXPECT_EQ(runtime->getFireSpeedType(), kTypeRelative);
    ASSERT_EQ(bullets().size(), 1u);
    EXPECT_EQ(bullets()[0]->getDirection(), 21.0f);
    // "create" leaves the fire types alone; "fire" leaves values 5..12.
    run(R"(<create><flag>3</flag></create><fire><direction type="sequence">1</direction><bullet/></fire>
           <create><cx>1</cx></create><wait>-1</wait>)");
    ExBulletML_Runtime* second = manager().getPlainObjectManager()->front()->getMainRuntime();
    EXPECT_EQ(second->getFireDirectionType(), kTypeSequence);
    EXPECT_EQ(second->getCreationValues()[10], 0.0f);
    EXPECT_EQ(second->getCreationValues()[2], 1.0f);
}

TEST_F(BulletCommands, DirectionAndSpeedSources) {
    struct Case {
        const char* body;
        std::vector<float> directions;
        std::vector<float> speeds;
    } cases[] = {
        // The fire's values when the bullet has none; the bullet's own win.
        {R"(<fire><direction type="absolute">30</direction><speed>2</speed><bullet/></fire>)", {30}, {2}},
        {R"(<fire><direction type="absolute">30</direction><speed>2</speed>
              <bullet><direction type="absolute">50</direction><speed>4</speed></bullet></fire>)",
         {50},
         {4}},
        // From a fresh runtime: previous direction 0, previous speed 1.
        {R"(<fire><direction type="sequence">10</direction><speed type="sequence">0.5</speed><bullet/></fire>
            <fire><direction type="sequence">10</direction><speed type="sequence">0.5</speed><bullet/></fire>)",
         {10, 20},
         {1.5f, 2.0f}},
        // Relative to the emitter (facing 90 at speed 0.5 here).
        {R"(<fire><direction type="relative">15</direction><speed type="relative">1</speed><bullet/></fire>)",
         {105},
         {1.5f}},
        // Aimed from the bullet at the player (320, 400): straight down, + value.
        {R"(<fire><speed>1</speed><bullet/></fire><fire><direction>-5</direction><speed>1</speed><bullet/></fire>)",
         {180, 175},
         {1, 1}},
        // Any direction ends up inside one turn.
        {R"(<fire><direction type="absolute">725</direction><bullet/></fire>)", {5}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        run(std::string(c.body) + "<wait>-1</wait>", 1, "", [this](BulletObject* emitter) {
            emitter->setDirection(90.0f);
            emitter->setSpeed(0.5f);
            BulletObject* player = manager().createPlainObject();
            player->setX(320.0f);
            player->setY(400.0f);
            manager().setPlayer(player);
        });
        ASSERT_EQ(bullets().size(), c.directions.size());
        for (std::size_t i = 0; i < c.directions.size(); ++i) {
            EXPECT_NEAR(bullets()[i]->getDirection(), c.directions[i], 1e-4) << i;
            EXPECT_EQ(bullets()[i]->getSpeed(), c.speeds[i]) << i;
        }
    }
}

TEST_F(BulletCommands, ANewBulletsShape) {
    g_gameInfo->setMinX(100);
    g_gameInfo->setMaxX(400);
    BulletObject* emitter = run(R"(<fire><direction type="absolute">90</direction><speed>0</speed><child>1</child>
                                     <bullet label="b"><flag>16</flag><vital>5</vital><wait>-1</wait></bullet></fire>
                                   <fire><direction type="absolute">90</direction><speed>0</speed><cx>9</cx><cy>9</cy>
                                     <bullet><flag>17</flag></bullet></fire><wait>-1</wait>)",
                                1, "", [](BulletObject* e) { e->setDrawLevel(4); });
    ASSERT_EQ(bullets().size(), 2u);
    BulletObject* linked = bullets()[0];
    BulletObject* free = bullets()[1];
    EXPECT_EQ(linked->getKind(), object_kind::kBullet);
    EXPECT_EQ(linked->getDrawLevel(), 18);
    // The bullet's script started this frame: active, its own runtime.
    EXPECT_EQ(linked->isActive(), 1);
    EXPECT_NE(linked->getMainRuntime(), emitter->getMainRuntime());
    EXPECT_EQ(linked->getWideName(), wide("b"));
    EXPECT_EQ(linked->getFieldLeft(), 100);
    EXPECT_EQ(linked->getFieldRight(), 400);
    EXPECT_EQ(linked->getVital(), 5.0f);
    EXPECT_EQ(linked->getAttributeBits(), 16);
    EXPECT_EQ(linked->getDirectionType(), kTypeAbsolute);
    EXPECT_EQ(linked->getParent(), emitter);
    EXPECT_EQ(emitter->getChildLink(), 1);
    // "bullet" ignores the fire's cx and cy: both sit on the emitter.
    EXPECT_EQ(free->getX(), 320.0f);
    EXPECT_EQ(free->getY(), 100.0f);
    EXPECT_EQ(free->getParent(), nullptr);
    EXPECT_EQ(free->getAttributeBits(), 0);
    EXPECT_EQ(emitter->countChildren(), 1);
    EXPECT_EQ(results(), "1 fire 0\n1 bullet 1\n1 fire 0\n1 bullet 1\n1 wait 2\n");
}

TEST_F(BulletCommands, QuietFramesHoldBulletsBackButTurnTheSequence) {
    struct Case {
        std::uint32_t sinceMiss;
        float death, ttc;
        bool fires;
    } cases[] = {
        {4, 5, 0, false}, {5, 5, 0, true}, {4, 0, 5, false}, {5, 5, 5, true},
        // Counts compare unsigned: a negative setting never holds back.
        {0, -1, -1, true},
        // A setting that does not compare holds back.
        {1000, std::numeric_limits<float>::quiet_NaN(), 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.sinceMiss << " " << c.death << " " << c.ttc);
        missedAgo(c.sinceMiss, c.death, c.ttc);
        run(R"(<fire><direction type="sequence">10</direction><bullet/></fire><wait>-1</wait>)");
        EXPECT_EQ(bullets().size(), c.fires ? 1u : 0u);
        ExBulletML_Runtime* runtime = manager().getPlainObjectManager()->front()->getMainRuntime();
        EXPECT_EQ(runtime->getPreviousDirection(), 10.0f);
        EXPECT_EQ(results(), "1 fire 0\n1 bullet 1\n1 wait 2\n");
    }
    // Held back twice, then fired: the third shot flies at 30.
    missedAgo(0, 2, 0);
    run(R"(<repeat><times>3</times><action><fire><direction type="sequence">10</direction><bullet/></fire>
             <wait>1</wait></action></repeat><wait>-1</wait>)",
        1);
    g_frameCounter->tickMissFrames();
    frames(1);
    g_frameCounter->tickMissFrames();
    frames(1);
    EXPECT_EQ(directions(), (std::vector<float>{30}));
    // An aimed shot held back still records where it would have gone.
    missedAgo(0, 5, 0);
    // Without a player the aim is at (0, 0): from (320, 100) that is up-left.
    run(R"(<fire><direction>0</direction><bullet/></fire><wait>-1</wait>)");
    EXPECT_NEAR(manager().getPlainObjectManager()->front()->getMainRuntime()->getPreviousDirection(),
                aimAngle(320.0f, 100.0f, 0.0f, 0.0f), 1e-4);
    // A new game record, beside the old one and then in its very place: the
    // settings of the record in use decide, not what an earlier one held.
    const std::string fire = R"(<fire><direction type="sequence">10</direction><bullet/></fire><wait>-1</wait>)";
    GameInfo* old = g_gameInfo;
    g_gameInfo = new GameInfo();
    missedAgo(0, 0, 0);
    run(fire);
    EXPECT_EQ(bullets().size(), 1u);
    delete old;
    missedAgo(0, 5, 0);
    run(fire);
    EXPECT_EQ(bullets().size(), 0u);
    g_gameInfo->~GameInfo();
    new (g_gameInfo) GameInfo();
    missedAgo(0, 0, 0);
    run(fire);
    EXPECT_EQ(bullets().size(), 1u);
}

TEST_F(BulletCommands, AFirerOutsideTheFieldFiresNothingUnlessSystemTypeThree) {
    g_systemInfo = new SystemInfo();
    for (std::uint32_t type : {0u, 3u}) {
        g_systemInfo->setSystemType(type);
        for (float x : {-1.0f, 640.0f}) {
            SCOPED_TRACE(::testing::Message() << type << " " << x);
            run(R"(<fire><direction type="sequence">10</direction><bullet/></fire><wait>-1</wait>)", 1, "",
                [x](BulletObject* e) { e->setX(x); });
            EXPECT_EQ(bullets().size(), type == 3 ? 1u : 0u);
            // Outside, nothing changes: not even the sequence turns.
            EXPECT_EQ(manager().getPlainObjectManager()->front()->getMainRuntime()->getPreviousDirection(),
                      type == 3 ? 10.0f : 0.0f);
        }
    }
}

TEST_F(BulletCommands, BulletRefTakesTheTargetsValuesAndTheReferencesParameters) {
    const std::string definitions = R"(
        <bullet label="t"><cx>$1</cx><cy>-4</cy><direction type="absolute">$2</direction><speed>3</speed>
          <vital>8</vital><child>1</child><eval name="p">$1</eval><wait>-1</wait></bullet>
        <bullet label="bare"><wait>-1</wait></bullet>)";
    BulletObject* emitter = run(R"(<bulletref label="t"><param>6</param><param>45</param></bulletref>
           <fire><direction type="absolute">90</direction><speed>7</speed><cx>-2</cx><cy>3</cy>
             <bulletref label="bare"/></fire>
           <bulletref label="bare"/>
           <wait>-1</wait>)",
                                1, definitions);
    ASSERT_EQ(bullets().size(), 3u);
    BulletObject* t = bullets()[0];
    // Placed at the firer + the target's (cx, cy) and launched by the
    // target's direction, all evaluated with the firing runtime's parameters
    // (none here: $1 and $2 are 0), then one step up at speed 3.
    EXPECT_EQ(t->getX(), 320.0f);
    EXPECT_EQ(t->getY(), 93.0f);
    EXPECT_EQ(t->getDirection(), 0.0f);
    BulletObject* withFireValues = bullets()[1];
    BulletObject* own = bullets()[2];
    EXPECT_EQ(t->getVital(), 8.0f);
    EXPECT_EQ(t->getParent(), emitter);
    EXPECT_EQ(t->getWideName(), wide("t"));
    EXPECT_EQ(t->getMainRuntime()->getObjectVariables()[internName("p")], 6.0f);
    EXPECT_EQ(t->getSpeed(), 3.0f);
    // No values of its own: the fire's cx, cy as offset, but never the fire's
    // direction or speed: the reference node's own (with the fire's moved onto
    // it by the reader).
    EXPECT_EQ(withFireValues->getX(), 318.0f + 7.0f);
    EXPECT_EQ(withFireValues->getY(), 103.0f);
    EXPECT_EQ(withFireValues->getDirection(), 90.0f);
    EXPECT_EQ(withFireValues->getSpeed(), 7.0f);
    EXPECT_EQ(withFireValues->getParent(), nullptr);
    // No direction or speed anywhere: aimed (at 0, 0 without a player) at
    // speed 0; the fire's direction and speed before it are not a source,
    // though its offset still is.
    EXPECT_EQ(own->getX(), 318.0f);
    EXPECT_EQ(own->getDirection(), static_cast<float>(aimAngle(318.0f, 103.0f, 0.0f, 0.0f)));
    EXPECT_EQ(own->getSpeed(), 0.0f);
    EXPECT_EQ(results(), "1 bulletref 0\n1 fire 0\n1 bulletref 0\n1 bulletref 0\n1 wait 2\n");
}

TEST_F(BulletCommands, EmptyPoolsMakeNothingAndTurnTheSequence) {
    // No object left.
    {
        std::vector<BulletObject*> held;
        load(R"(<action label="top"><fire><direction type="sequence">10</direction><bullet/></fire>
                <wait>-1</wait></action>)");
        BulletObject* emitter = spawn();
        while (BulletObject* o = manager().createPlainObject()) held.push_back(o);
        frames(1);
        EXPECT_EQ(bullets().size(), 0u);
        EXPECT_EQ(emitter->getMainRuntime()->getPreviousDirection(), 10.0f);
        EXPECT_GE(countLogLines("BulletObjectAllocator EMPTY"), 1);
        for (BulletObject* o : held) o->setState(1);
        manager().clearAll();
    }
    // No runtime left: the object taken goes back before it runs.
    {
        load(R"(<action label="top"><fire><direction type="sequence">10</direction><bullet/></fire>
                <wait>-1</wait></action>)");
        BulletObject* emitter = spawn();
        BMLRuntimeAllocator& pool = BMLRuntimeAllocator::instance();
        std::vector<ExBulletML_Runtime*> held;
        while (ExBulletML_Runtime* taken = pool.get()) held.push_back(taken);
        const std::uint32_t objectsBefore = manager().countObjects();
        frames(1);
        EXPECT_EQ(bullets().size(), 0u);
        EXPECT_EQ(manager().countObjects(), objectsBefore);
        EXPECT_EQ(emitter->getMainRuntime()->getPreviousDirection(), 10.0f);
        EXPECT_GE(countLogLines("BMLRuntimeAllocator EMPTY"), 1);
        for (ExBulletML_Runtime* taken : held) taken->destroy();
    }
}

TEST_F(BulletCommands, WithoutACurrentObjectNothingIsMade) {
    load(R"(<action label="top"><fire><bullet/></fire></action>)");
    ExBulletML_Runtime* runtime = manager().getRuntime();
    runtime->setupByLabel(kAction, wide("top"));
    manager().setCurrent(nullptr);
    runtime->run();
    EXPECT_EQ(bullets().size(), 0u);
    runtime->destroy();
}

using BulletCommandsDeathTest = BulletCommands;

TEST_F(BulletCommandsDeathTest, AReferenceWithoutATargetLogsItsLabelAndEnds) {
    GTEST_FLAG_SET(death_test_style, "fast");
    load(R"(<action label="top"><bulletref label="nosuch"/></action>)");
    spawn();
    EXPECT_EXIT(
        {
            markMainThread();
            frames(1);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(countLogLines("ノード nosuch が見つかりません"), 1);
}

}  // namespace

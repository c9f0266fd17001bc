// One fixture per mended fault and per runaway guard.
#include <algorithm>

#include "RuntimeTestSupport.h"

namespace {

class Faults : public RuntimeBench {};

TEST_F(Faults, AnEventScriptThatReplacesItselfIsRetiredNotFreedWhileItRuns) {
    load(R"(<action label="top"><wait>-1</wait></action>
            <present label="p"><eval name="x">1</eval><presentref label="q"/><eval name="after">1</eval></present>
            <present label="q"><eval name="y">2</eval><wait>-1</wait></present>)");
    BulletObject* object = spawn();
    ExBulletML_Runtime* first =
        object->getMainRuntime()->spawnChild(ExBulletML_Runtime::getDocument()->findLabel(kPresent, wide("p")));
    object->setPresentRuntime(first);
    BMLRuntimeAllocator& pool = BMLRuntimeAllocator::instance();
    std::size_t free = pool.rawCount() + pool.readyCount();
    frames(1);
    ExBulletML_Runtime* second = object->getPresentRuntime();
    ASSERT_NE(second, first);
    // One block taken for the new runtime, the old one back in the pool when
    // its run returned; the new runtime starts on the next frame.
    EXPECT_EQ(pool.rawCount() + pool.readyCount(), free);
    EXPECT_EQ(second->getObjectVariables().count(internName("y")), 0u);
    frames(1);
    EXPECT_EQ(second->getObjectVariables()[internName("y")], 2.0f);
}

TEST_F(Faults, EmptyPoolsCreateNothingAndNeverHandOutNull) {
    load(R"(<action label="top"><actionref label="sub"><param>3</param></actionref><eval name="done">1</eval>
            <wait>-1</wait></action>
            <action label="sub"><eval name="inside">$1</eval></action>
            <present label="p"/>)");
    BulletObject* object = spawn();
    ExBulletML_Runtime* runtime = object->getMainRuntime();
    BulletML_Node* present = ExBulletML_Runtime::getDocument()->findLabel(kPresent, wide("p"));

    // No runtime left: spawning gives null.
    BMLRuntimeAllocator& pool = BMLRuntimeAllocator::instance();
    std::vector<ExBulletML_Runtime*> held;
    while (ExBulletML_Runtime* taken = pool.get()) held.push_back(taken);
    EXPECT_EQ(runtime->spawnChild(present), nullptr);
    EXPECT_EQ(runtime->spawnRefRuntime(present, nullptr), nullptr);
    for (ExBulletML_Runtime* taken : held) taken->destroy();

    // No vector left: a new runtime uses a zeroed one of its own, and a
    // reference call is not entered (the walk goes on after it).
    VecParamAllocator& vectors = VecParamAllocator::instance();
    std::vector<VecParam*> taken;
    while (VecParam* vector = vectors.get()) taken.push_back(vector);
    ExBulletML_Runtime* spawned = runtime->spawnChild(present);
    ASSERT_NE(spawned, nullptr);
    ASSERT_NE(spawned->getParams(), nullptr);
    EXPECT_EQ(spawned->getParams()->count, 0u);
    spawned->destroy();
    frames(1);
    EXPECT_EQ(runtime->getObjectVariables().count(internName("inside")), 0u);
    EXPECT_EQ(runtime->getObjectVariables()[internName("done")], 1.0f);
    for (VecParam* vector : taken) vectors.release(vector);
}

TEST_F(Faults, SkipWaitWithoutALimitLeavesTheEnclosingRepeatsCount) {
    for (const char* limit : {"0", "-1"}) {
        SCOPED_TRACE(limit);
        trace_.clear();
        frame_ = 0;
        manager().clearAll();
        load(std::string(R"(<action label="top"><repeat><times>5</times><action><skipwait>)") + limit +
             R"(</skipwait></action></repeat><vanish/></action>)");
        traceRuntime(spawn()->getMainRuntime());
        frames(1);
        EXPECT_EQ(std::count(trace_.begin(), trace_.end(), "1 skipwait 0"), 5);
        EXPECT_EQ(trace_.back(), "1 vanish 2");
    }
}

TEST_F(Faults, ChangePositionArrivesWhenItWouldOvershoot) {
    // The snap radius is the square root of the speed; an object that would
    // pass the target this frame and land outside that radius snaps too.
    struct Case {
        float speed;
        float distance;
        std::int32_t result;  // 0 arrived, 2 still moving
    } cases[] = {
        {9.0f, 5.0f, 0},    // overshoot 4 > 3: used to swing across the target for ever
        {9.0f, 7.0f, 2},    // overshoot 2 lands inside the radius: arrives next frame
        {16.0f, 10.0f, 0},  // overshoot 6 > 4
        {9.0f, 2.0f, 0},    // within the radius: as before
        {4.0f, 1.5f, 0},    // within the radius: as before
        {16.0f, 13.0f, 2},  // overshoot 3 lands inside the radius next frame
        {9.0f, 30.0f, 2},   // far away
        {0.0f, 5.0f, 2},    // no speed: the script's choice, never arrives
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "speed " << c.speed << " distance " << c.distance);
        manager().clearAll();
        trace_.clear();
        frame_ = 0;
        load(R"(<action label="top"><changeposition><x>100</x><y>100</y></changeposition><exit/></action>)");
        BulletObject* object = spawn("top", 100.0f, 100.0f + c.distance);
        object->setSpeed(c.speed);
        traceRuntime(object->getMainRuntime());
        frames(1);
        ASSERT_GE(trace_.size(), 2u);
        EXPECT_EQ(trace_[1], "1 changeposition " + std::to_string(c.result));
    }
}

TEST_F(Faults, AnEndlessRepeatYieldsAfterItsBudgetWithOneLine) {
    load(R"(<action label="top"><repeat><times>-1</times><action/></repeat></action>)");
    BulletObject* object = spawn();
    frames(3);
    EXPECT_TRUE(object->getMainRuntime()->isActive());
    EXPECT_EQ(countLogLines("1000000"), 1);
    EXPECT_EQ(countLogLines(": top"), 1);
}

TEST_F(Faults, ASelfCallingReferenceEndsAtTheNestingCap) {
    load(R"(<action label="top"><actionref label="top"/></action>)");
    BulletObject* object = spawn();
    frames(1);
    EXPECT_FALSE(object->getMainRuntime()->isActive());
    EXPECT_EQ(countLogLines("4096"), 1);
}

TEST_F(Faults, ParametersPastTheFifteenthAreDroppedWithOneLine) {
    std::string params;
    for (int i = 1; i <= 17; ++i) params += "<param>" + std::to_string(i) + "</param>";
    load(R"(<action label="top"><actionref label="sub">)" + params + R"(</actionref></action>
            <action label="sub"><eval name="last">$15</eval><eval name="count">$16</eval></action>)");
    BulletObject* object = spawn();
    ExBulletML_Runtime* runtime = object->getMainRuntime();
    frames(1);
    EXPECT_EQ(runtime->getObjectVariables()[internName("last")], 15.0f);
    EXPECT_EQ(runtime->getObjectVariables()[internName("count")], 0.0f);
    EXPECT_EQ(countLogLines("param"), 1);
    EXPECT_EQ(countLogLines(": sub"), 1);
}

TEST_F(Faults, AReferenceWithoutATargetLeavesTheCallersParameters) {
    load(R"(<action label="top"><actionref label="outer"><param>7</param></actionref></action>
            <action label="outer"><actionref label="missing"><param>99</param></actionref>
              <eval name="p">$1</eval><wait>-1</wait></action>)");
    BulletObject* object = spawn();
    frames(1);
    EXPECT_EQ(object->getMainRuntime()->getObjectVariables()[internName("p")], 7.0f);
}

}  // namespace

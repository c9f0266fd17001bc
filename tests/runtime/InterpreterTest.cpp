// The walk, frame by frame: what the traced runtime executes on each frame
// and with which result.
#include "RuntimeTestSupport.h"

namespace {

class Interpreter : public RuntimeBench {};

struct TraceCase {
    const char* name;
    const char* script;
    int frames;
    const char* expected;  // "<frame> <element> <result>" lines
};

TEST_F(Interpreter, WalksInlineScriptsFrameByFrame) {
    const TraceCase cases[] = {
        {"a count of 3 runs three passes in one frame",
         R"(<action label="top"><repeat><times>3</times><action><eval name="a">$a+1</eval></action></repeat></action>)",
         2,
         "1 action 0\n1 repeat 0\n1 action 0\n1 eval 0\n1 repeat 0\n1 action 0\n1 eval 0\n"
         "1 repeat 0\n1 action 0\n1 eval 0\n"},
        {"wait 2 inside a repeat of 3",
         R"(<action label="top"><repeat><times>3</times><action><wait>2</wait></action></repeat><vanish/></action>)",
         9,
         "1 action 0\n1 repeat 0\n1 action 0\n1 wait 2\n2 wait 2\n3 wait 0\n3 repeat 0\n3 action 0\n"
         "3 wait 2\n4 wait 2\n5 wait 0\n5 repeat 0\n5 action 0\n5 wait 2\n6 wait 2\n7 wait 0\n7 vanish 2\n"},
        {"wait 0 goes on at once; a negative wait never does",
         R"(<action label="top"><wait>0</wait><wait>-1</wait><vanish/></action>)", 3,
         "1 action 0\n1 wait 0\n1 wait 2\n2 wait 2\n3 wait 2\n"},
        {"an action of two children runs both and ends",
         R"(<action label="top"><eval name="a">1</eval><eval name="b">2</eval></action>)", 3,
         "1 action 0\n1 eval 0\n1 eval 0\n"},
        {"repeat 0 skips its children and goes on with the next sibling",
         R"(<action label="top"><repeat><times>0</times><action><wait>5</wait></action></repeat><exit/></action>)",
         2, "1 action 0\n1 repeat 0\n1 exit 2\n"},
        {"a reference call enters its target and comes back",
         R"(<action label="top"><actionref label="sub"><param>2</param></actionref><exit/></action>
            <action label="sub"><wait>$1</wait></action>)",
         4, "1 action 0\n1 actionref 0\n1 action 0\n1 wait 2\n2 wait 2\n3 wait 0\n3 exit 2\n"},
    };
    for (const TraceCase& c : cases) {
        SCOPED_TRACE(c.name);
        trace_.clear();
        frame_ = 0;
        manager().clearAll();
        load(c.script);
        traceRuntime(spawn()->getMainRuntime());
        frames(c.frames);
        EXPECT_EQ(traceText(), c.expected);
    }
}

TEST_F(Interpreter, WaitSixtyGoesOnAtFrameSixtyOne) {
    load(R"(<action label="top"><wait>60</wait><vanish/></action>)");
    BulletObject* object = spawn();
    traceRuntime(object->getMainRuntime());
    frames(61);
    ASSERT_GE(trace_.size(), 3u);
    EXPECT_EQ(trace_[trace_.size() - 3], "60 wait 2");
    EXPECT_EQ(trace_[trace_.size() - 2], "61 wait 0");
    EXPECT_EQ(trace_.back(), "61 vanish 2");
    EXPECT_EQ(std::count_if(trace_.begin(), trace_.end(),
                            [](const std::string& line) { return line.ends_with("wait 2"); }),
              60);
}

TEST_F(Interpreter, TwoRuntimesOnOneNodeKeepTheirOwnPlace) {
    // The second object starts a frame later, so the two stand at different
    // children of the same nodes every frame.
    load(R"(<action label="top"><repeat><times>-1</times><action>
              <eval name="n">$n+1</eval><wait>1</wait><eval name="m">$m+1</eval><wait>1</wait>
            </action></repeat></action>)");
    BulletObject* first = spawn();
    frames(1);
    BulletObject* second = spawn();
    frames(5);
    ObjectVariableMap& a = first->getMainRuntime()->getObjectVariables();
    ObjectVariableMap& b = second->getMainRuntime()->getObjectVariables();
    NameHandle n = internName("n"), m = internName("m");
    // Frames 1..6 for the first: n on 1, 3, 5; m on 2, 4, 6 (the "eval"
    // after a wait runs on the frame the wait ends).
    EXPECT_EQ(a[n], 3.0f);
    EXPECT_EQ(a[m], 3.0f);
    // Frames 2..6 for the second: n on 2, 4, 6; m on 3, 5.
    EXPECT_EQ(b[n], 3.0f);
    EXPECT_EQ(b[m], 2.0f);
}

TEST_F(Interpreter, ParametersAreRestoredAfterAReferenceCall) {
    load(R"(<action label="top"><actionref label="outer"><param>7</param><param>8</param></actionref></action>
            <action label="outer"><eval name="before">$1</eval>
              <actionref label="inner"><param>$2+100</param></actionref>
              <fireref label="f"><param>5</param><param>6</param></fireref>
              <eval name="after">$1+$2</eval></action>
            <action label="inner"><eval name="inside">$1+$2</eval></action>
            <fire label="f"></fire>)");
    BulletObject* object = spawn();
    ExBulletML_Runtime* runtime = object->getMainRuntime();
    frames(1);
    ObjectVariableMap& vars = runtime->getObjectVariables();
    EXPECT_EQ(vars[internName("before")], 7.0f);
    EXPECT_EQ(vars[internName("inside")], 108.0f);  // $1 = 108, $2 absent: 0
    EXPECT_EQ(vars[internName("after")], 15.0f);
    EXPECT_FALSE(runtime->isActive());
}

TEST_F(Interpreter, AMissingSetupLabelLeavesTheRuntimeInactive) {
    load(R"(<action label="top"><wait>1</wait></action>)");
    BulletObject* object = spawn("nosuchlabel");
    EXPECT_FALSE(object->getMainRuntime()->isActive());
    frames(3);
    EXPECT_FALSE(object->getMainRuntime()->isActive());
}

TEST_F(Interpreter, DispatchTableSkipsContainersAndUnknownIds) {
    // "action", "debugstr", "debugval", "setfontshadowcolor" do nothing and
    // go on; so does an id past the table.
    load(R"(<action label="top"><debugstr>x</debugstr><debugval>1</debugval><setfontshadowcolor/><exit/></action>)");
    traceRuntime(spawn()->getMainRuntime());
    frames(1);
    EXPECT_EQ(traceText(), "1 action 0\n1 debugstr 0\n1 debugval 0\n1 setfontshadowcolor 0\n1 exit 2\n");
}

// Between frames an object counts the frames of its main script's wait
// itself; whatever reaches the runtime, even through a pointer kept from
// before, finds it where running every frame would have left it.
TEST_F(Interpreter, WaitFramesCountedByTheObjectAreTheRuntimesOwn) {
    load(R"(<action label="top"><wait>10</wait><eval name="a">$a+1</eval><wait>10</wait><vanish/></action>)");
    BulletObject* watched = spawn();
    BulletObject* counted = spawn();
    ExBulletML_Runtime* reference = watched->getMainRuntime();
    ExBulletML_Runtime* runtime = counted->getMainRuntime();
    // Observed, the reference runs its node loop every frame.
    traceRuntime(reference);
    const NameHandle a = internName("a");
    int frame = 0;
    for (int upTo : {7, 12, 15}) {
        frames(upTo - frame);
        frame = upTo;
        SCOPED_TRACE(frame);
        EXPECT_EQ(runtime->getRepeatCounter(), reference->getRepeatCounter());
        EXPECT_EQ(runtime->getChildCursor(), reference->getChildCursor());
        EXPECT_EQ(runtime->getCurrentNode(), reference->getCurrentNode());
        EXPECT_EQ(runtime->getObjectVariables()[a], reference->getObjectVariables()[a]);
    }
    EXPECT_EQ(runtime->getObjectVariables()[a], 1.0f);
    // An observer set in the middle of the second wait sees every frame left.
    reference->setExecuteObserver(nullptr, nullptr);
    frames(1);
    trace_.clear();
    traceRuntime(runtime);
    frames(6);
    // (The vanished object's runtime has gone back to its pool by now.)
    EXPECT_EQ(traceText(), "17 wait 2\n18 wait 2\n19 wait 2\n20 wait 2\n21 wait 0\n21 vanish 2\n");
}

// An object resting in its main script's wait takes a short turn of the walk
// when nothing else is to be done that frame. Whatever the object carries, it
// ends every frame as its observed twin does, whose runtime runs its node
// loop every frame and so never rests.
TEST_F(Interpreter, AnObjectRestingInAWaitMovesAsItsObservedTwin) {
    struct Case {
        const char* name;
        void (*prepare)(BulletObject& object);
    };
    const Case cases[] = {
        {"straight inside its bounds", [](BulletObject& o) { o.setDirectionAndSpeed(30.0f, 2.5f); }},
        {"with the acceleration of an ended term",
         [](BulletObject& o) {
             o.setSpeed(1.0f);
             o.setAccel(0.25f, -0.5f, 4);
         }},
        {"with a turn under way", [](BulletObject& o) { o.changeDirectionRelative(90.0f, 20); }},
        {"across its right bound",
         [](BulletObject& o) {
             o.setEdgeBoundsMax(0.0f, 0.0f);
             o.setX(630.0f);
             o.setDirectionAndSpeed(90.0f, 3.0f);
         }},
        {"counting down, invincible",
         [](BulletObject& o) {
             o.setCountdown(5);
             o.setInvincibleFrames(8);
         }},
        {"in revenge", [](BulletObject& o) { o.setFlags(object_flag::kRevenge); }},
        {"as a shot", [](BulletObject& o) { o.setKind(object_kind::kShot); }},
        {"as an enemy", [](BulletObject& o) { o.setKind(object_kind::kEnemy); }},
        {"with its scripts switched off", [](BulletObject& o) { o.setRuntimeActive(0); }},
    };
    load(R"(<action label="top"><wait>12</wait><eval name="a">$a+1</eval><wait>20</wait><vanish/></action>)");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        manager().clearAll();
        BulletObject* twin = spawn("top", 320.0f, 240.0f);
        BulletObject* object = spawn("top", 320.0f, 240.0f);
        // Pinned, so their last values can be read once they are gone.
        for (BulletObject* each : {twin, object}) {
            c.prepare(*each);
            each->pin();
        }
        traceRuntime(twin->getMainRuntime());
        for (int frame = 1; frame <= 36; ++frame) {
            frames(1);
            SCOPED_TRACE(frame);
            ASSERT_EQ(object->getState(), twin->getState());
            ASSERT_EQ(object->isReleased(), twin->isReleased());
            if (twin->isReleased()) break;
            // The walk leaves the last object it reached current.
            EXPECT_EQ(manager().getCurrentObject(), object);
            EXPECT_EQ(object->getX(), twin->getX());
            EXPECT_EQ(object->getY(), twin->getY());
            EXPECT_EQ(object->getLeft(), twin->getLeft());
            EXPECT_EQ(object->getTop(), twin->getTop());
            EXPECT_EQ(object->getPreviousX(), twin->getPreviousX());
            EXPECT_EQ(object->getPreviousY(), twin->getPreviousY());
            EXPECT_EQ(object->getVelocityX(), twin->getVelocityX());
            EXPECT_EQ(object->getVelocityY(), twin->getVelocityY());
            EXPECT_EQ(object->getAge(), twin->getAge());
            EXPECT_EQ(object->getCountdown(), twin->getCountdown());
            EXPECT_EQ(object->getInvincibleFrames(), twin->getInvincibleFrames());
            // Asking the runtime takes the frames counted by the object back
            // (which then rests anew from the next frame on): now and then.
            if (frame % 8 == 0) {
                EXPECT_EQ(object->getMainRuntime()->getRepeatCounter(), twin->getMainRuntime()->getRepeatCounter());
                EXPECT_EQ(object->getMainRuntime()->getCurrentNode(), twin->getMainRuntime()->getCurrentNode());
            }
        }
        for (BulletObject* each : {twin, object}) each->unpin();
    }
}

// An ended main script is not run again until something reaches its
// runtime; a restart through a kept pointer runs it on the next frame.
TEST_F(Interpreter, AnEndedScriptRestartedThroughAKeptPointerRunsAgain) {
    load(R"(<action label="top"><eval name="a">$a+1</eval></action>)");
    ExBulletML_Runtime* runtime = spawn()->getMainRuntime();
    const NameHandle a = internName("a");
    frames(4);
    EXPECT_FALSE(runtime->isActive());
    EXPECT_EQ(runtime->getObjectVariables()[a], 1.0f);
    runtime->restart();
    runtime->getObjectVariables()[a] = 5.0f;
    frames(3);
    EXPECT_EQ(runtime->getObjectVariables()[a], 6.0f);
    EXPECT_FALSE(runtime->isActive());
}

TEST_F(Interpreter, RestartStartsAgainWithClearedStacksAndVariables) {
    load(R"(<action label="top"><eval name="a">$a+1</eval><wait>5</wait></action>)");
    BulletObject* object = spawn();
    ExBulletML_Runtime* runtime = object->getMainRuntime();
    frames(2);
    EXPECT_EQ(runtime->getObjectVariables()[internName("a")], 1.0f);
    runtime->restart();
    frames(1);
    EXPECT_EQ(runtime->getObjectVariables()[internName("a")], 1.0f);
    EXPECT_TRUE(runtime->isActive());
    runtime->stop(1);
    EXPECT_FALSE(runtime->isActive());
}

// A runtime class that replaces execute (slot 4): its run has every node go
// through it, though the base class's own execute is inlined into run.
class CountingRuntime : public ExBulletML_Runtime {
public:
    std::int32_t execute() override {
        ++executed;
        return ExBulletML_Runtime::execute();
    }
    void destroy() override { delete this; }
    int executed = 0;
};

TEST_F(Interpreter, ARuntimeClassThatReplacesExecuteHasItCalledAtEveryNode) {
    load(R"(<action label="top"><repeat><times>2</times><action><wait>1</wait></action></repeat><exit/></action>)");
    auto* counting = new CountingRuntime();
    counting->setupByLabel(kAction, wide("top"));
    ExBulletML_Runtime* plain = manager().getRuntime();
    plain->setupByLabel(kAction, wide("top"));
    BulletObject* object = spawn();
    object->setMainRuntime(counting);
    traceRuntime(plain);
    for (int frame = 1; frame <= 3; ++frame) {
        ++frame_;
        counting->run();
        plain->run();
    }
    // top, repeat, action, wait / wait, repeat, action, wait / wait, exit
    EXPECT_EQ(traceText(), "1 action 0\n1 repeat 0\n1 action 0\n1 wait 2\n2 wait 0\n2 repeat 0\n2 action 0\n"
                           "2 wait 2\n3 wait 0\n3 exit 2\n");
    EXPECT_EQ(counting->executed, 10);
    EXPECT_FALSE(counting->isActive());
    plain->destroy();
}

}  // namespace

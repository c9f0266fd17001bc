// Sound objects: the volume mix and fades, channel levels reaching the
// objects, the per-frame labels, the pool, binding tracks, the frame's update
// and sweep, and what happens to objects and direct slots when their track
// or object goes.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "objects/DSoundObject.h"
#include "objects/DSoundObjectAllocator.h"
#include "objects/DSoundObjectManager.h"
#include "platform/Clock.h"
#include "runtime/ExBulletML_Runtime.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "sound/SoundFixtures.h"
#include "support/TestSupport.h"

namespace {

// A runtime whose frame is a test function; slot 0 frees it.
class ScriptedRuntime : public ExBulletML_Runtime {
public:
    explicit ScriptedRuntime(std::function<void()> body) : body_(std::move(body)) {}
    void destroy() override { delete this; }
    std::int32_t run() override {
        body_();
        return 0;
    }

private:
    std::function<void()> body_;
};

class SoundObjects : public ::testing::Test, public LoggedTest {
protected:
    void SetUp() override {
        Clock::setInstance(&clock_);
        g_frameCounter = new FrameCounter();
        DSoundObjectAllocator::instance().prefill();
        g_dsoundObjectManager = new DSoundObjectManager();
        toFrame(10);
    }
    void TearDown() override {
        delete g_dsoundObjectManager;
        g_dsoundObjectManager = nullptr;
        EXPECT_EQ(DSoundObjectAllocator::instance().count(), DSoundObjectAllocator::kBlocks);
        delete g_frameCounter;
        g_frameCounter = nullptr;
        Clock::setInstance(nullptr);
    }
    DSoundObjectManager& sound() { return *g_dsoundObjectManager; }
    void toFrame(std::uint32_t frame) {
        while (g_frameCounter->getFrameNumber() < frame) g_frameCounter->onPresent();
    }
    // A WAV file of `ms` milliseconds in the "sound" folder.
    std::string writeSound(const std::string& name, std::uint32_t ms) {
        root().writeFile("sound/" + name, wavFile(pcmFormat(8000, 1, 16), patternBytes(ms * 16ull, ms)));
        return name;
    }
    // An object playing a sound of `ms` ms on channel `channel`.
    DSoundObject* playing(const std::string& name, std::uint32_t ms, std::int32_t channel = 0) {
        DSoundObject* object = sound().createObject();
        object->setChannel(channel);
        EXPECT_EQ(sound().loadSound(writeSound(name, ms), 1044, object), S_OK);
        object->getTrack()->play();
        return object;
    }
    void frame() {
        clock_.advance(16);
        sound().updateObjects();
        sound().sweepObjects();
    }

    NullAudioBackend backend_;
    FakeClock clock_{1000};
};

TEST_F(SoundObjects, VolumeMixAndFade) {
    struct Case {
        std::int32_t channel, volume, track;
    } cases[] = {
        {-2400, -5000, -6200}, {0, 0, 0},          {-10000, 0, -10000}, {0, -10000, -10000},
        {-500, -500, -975},    {0, 300000, 0},     {0, INT_MIN, -10000}, {INT_MAX, INT_MAX, 0},
        {0, -400000, -10000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DSoundObject::mixVolume(c.channel, c.volume), c.track) << c.channel << " " << c.volume;
    }

    DSoundObject* object = playing("a.wav", 3000);
    DSoundTrack* track = object->getTrack();
    object->setChannelVolume(-2400);
    object->setVolume(-5000);
    EXPECT_EQ(track->getTargetVolume(), -6200);
    object->setChannelVolume(0);
    object->setVolume(0);

    // 0 to -1000 over 3 frames, one step a frame.
    object->fadeVolume(-1000, 3);
    std::vector<std::int32_t> steps;
    for (int i = 0; i < 4; ++i) {
        frame();
        steps.push_back(object->getVolume());
    }
    EXPECT_EQ(steps, (std::vector<std::int32_t>{-333, -666, -1000, -1000}));
    EXPECT_FALSE(object->isFading());
    // 0 frames: at once; negative: never.
    object->fadeVolume(-200, 0);
    EXPECT_EQ(object->getVolume(), -200);
    EXPECT_FALSE(object->isFading());
    object->fadeVolume(-4000, -5);
    for (int i = 0; i < 3; ++i) frame();
    EXPECT_EQ(object->getVolume(), -200);
    // Script values far out of range fade without overflowing, then clamp.
    object->fadeVolume(INT_MAX, 2);
    frame();
    EXPECT_EQ(track->getTargetVolume(), 0);
    frame();
    EXPECT_EQ(object->getVolume(), INT_MAX);
    object->fadeVolume(INT_MIN, 1);
    frame();
    EXPECT_EQ(track->getTargetVolume(), -10000);

    // Without a track the volume is not taken.
    DSoundObject* bare = sound().createObject();
    bare->setVolume(-700);
    EXPECT_EQ(bare->getVolume(), 0);
}

TEST_F(SoundObjects, ChannelLevelsReachTheObjectsOfTheirChannel) {
    DSoundObject* effect = playing("se.wav", 3000, kSoundChannelEffects);
    DSoundObject* music = playing("bgm.wav", 3000, kSoundChannelMusic);
    music->setVolume(-5000);
    EXPECT_EQ(sound().setVolumeLevel(1, kSoundChannelMusic), 1);
    EXPECT_EQ(music->getChannelVolume(), -2400);
    EXPECT_EQ(music->getTrack()->getTargetVolume(), -6200);
    EXPECT_EQ(effect->getChannelVolume(), 0);
    sound().applyChannelVolume(-900, kSoundChannelEffects);
    EXPECT_EQ(effect->getTrack()->getTargetVolume(), -900);
    EXPECT_EQ(sound().getChannelVolume(kSoundChannelEffects), -900);
}

TEST_F(SoundObjects, OneObjectPerLabelAFrameAndAPoolOfSixty) {
    const NameHandle label = internWideName(u"se1");
    const NameHandle empty = WideNamePool::instance().emptyName();
    EXPECT_NE(sound().createFromDefinition(label), nullptr);
    EXPECT_EQ(sound().createFromDefinition(label), nullptr);
    EXPECT_NE(sound().createFromDefinition(internWideName(u"se2")), nullptr);
    EXPECT_NE(sound().createFromDefinition(empty), nullptr);
    EXPECT_NE(sound().createFromDefinition(empty), nullptr);
    frame();
    EXPECT_NE(sound().createFromDefinition(label), nullptr);
    EXPECT_EQ(sound().getObjectCount(), 5u);

    // The pool runs dry quietly; blocks come back first in, first out.
    const std::size_t linesBefore = logLines().size();
    std::vector<DSoundObject*> made;
    while (DSoundObject* object = sound().createObject()) made.push_back(object);
    EXPECT_EQ(made.size() + 5, DSoundObjectAllocator::kBlocks);
    EXPECT_EQ(sound().createFromDefinition(empty), nullptr);
    EXPECT_EQ(logLines().size(), linesBefore);
    made[3]->setState(1);
    made[1]->setState(1);
    frame();  // the sweep gives made[1], then made[3] back
    EXPECT_EQ(sound().getObjectCount(), DSoundObjectAllocator::kBlocks - 2);
    EXPECT_EQ(sound().createObject(), made[1]);
    EXPECT_EQ(sound().createObject(), made[3]);
    sound().vanishAll();
    EXPECT_EQ(sound().getObjectCount(), 0u);
    EXPECT_EQ(DSoundObjectAllocator::instance().count(), DSoundObjectAllocator::kBlocks);
}

TEST_F(SoundObjects, LoadingBindsTheTrackAndFinishesTheObjectPlayingIt) {
    DSoundObject* first = playing("hit.wav", 3000);
    EXPECT_TRUE(first->nameEquals(std::string_view("hit.wav")));
    EXPECT_TRUE(first->getTrack()->nameEquals(std::string_view("sound\\hit.wav")));
    toFrame(13);
    DSoundObject* second = sound().createObject();
    ASSERT_EQ(sound().loadSound("hit.wav", 1044, second), S_OK);
    EXPECT_EQ(second->getTrack(), first->getTrack());
    EXPECT_EQ(first->getState(), 1u);
    EXPECT_EQ(second->getState(), 0u);
    // Within two frames of its start the track is refused: the object finishes.
    DSoundObject* third = sound().createObject();
    EXPECT_EQ(sound().loadSound("hit.wav", 1044, third), E_FAIL);
    EXPECT_EQ(third->getTrack(), nullptr);
    EXPECT_EQ(third->getState(), 1u);
    // Loading the track an object already has finishes that object itself.
    DSoundObject* solo = playing("solo.wav", 3000);
    toFrame(16);
    ASSERT_EQ(sound().loadSound("solo.wav", 1044, solo), S_OK);
    EXPECT_EQ(solo->getState(), 1u);

    // Only once: no other object finishes, a second load is refused.
    DSoundObject* once = sound().createObject();
    ASSERT_EQ(sound().loadSoundOnce(writeSound("once.wav", 500), 1044, once), S_OK);
    DSoundObject* again = sound().createObject();
    EXPECT_EQ(sound().loadSoundOnce("once.wav", 1044, again), E_FAIL);
    EXPECT_EQ(once->getState(), 0u);
    EXPECT_EQ(again->getState(), 1u);
    // Raw names are taken as they are, the prefixed load always adds the folder.
    DSoundObject* raw = sound().createObject();
    ASSERT_EQ(sound().loadSound("x.wav.raw", 1045, raw), S_OK);
    EXPECT_TRUE(raw->getTrack()->nameEquals(std::string_view("x.wav.raw")));
    DSoundObject* prefixed = sound().createObject();
    ASSERT_EQ(sound().loadSoundPrefixed("y.raw", 1045, prefixed), S_OK);
    EXPECT_TRUE(prefixed->getTrack()->nameEquals(std::string_view("sound\\y.raw")));
    // Loading ahead is no start: the sound may start in the next frame.
    sound().preloadSound(writeSound("bgm.wav", 500), 1044, nullptr);
    EXPECT_TRUE(sound().canStartTrack("sound\\bgm.wav"));
}

TEST_F(SoundObjects, TheFrameUpdatesPlayingObjectsAndSweepsFinishedOnes) {
    DSoundObject* object = playing("short.wav", 200);
    int runs = 0;
    DSoundObject* seen = nullptr;
    object->setMainRuntime(new ScriptedRuntime([&] {
        ++runs;
        seen = sound().getCurrentObject();
    }));
    frame();
    EXPECT_EQ(runs, 1);
    // The object's own script finds its object; outside the walks none.
    EXPECT_EQ(seen, object);
    EXPECT_EQ(sound().getCurrentObject(), nullptr);
    // Paused: no fade, no scripts.
    object->fadeVolume(-1000, 2);
    sound().pauseAll();
    frame();
    frame();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(object->getVolume(), 0);
    sound().resumeAll();
    frame();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(object->getVolume(), -500);
    // At its end the object finishes and goes at the sweep.
    for (int i = 0; i < 20 && sound().getObjectCount() != 0; ++i) frame();
    EXPECT_EQ(sound().getObjectCount(), 0u);
    EXPECT_GT(g_frameCounter->getSectionAverage("SoundDecode"), -1.0f);

    // An object finishing in its own script goes in the same sweep; one made
    // by a script joins the walk at once.
    DSoundObject* maker = sound().createObject();
    DSoundObject* made = nullptr;
    int madeRuns = 0;
    maker->setMainRuntime(new ScriptedRuntime([&] {
        made = sound().createObject();
        made->setMainRuntime(new ScriptedRuntime([&] { ++madeRuns; }));
        maker->setState(1);
    }));
    frame();
    EXPECT_EQ(madeRuns, 1);
    EXPECT_EQ(sound().getObjectCount(), 1u);
}

TEST_F(SoundObjects, ObjectsAndSlotsLetGoOfWhatIsDestroyed) {
    // A music clearing destroys the long track: its object loses it and
    // finishes instead of playing freed memory.
    DSoundObject* music = playing("long.wav", 12000, kSoundChannelMusic);
    DSoundObject* effect = playing("fx.wav", 3000);
    DSoundTrack* direct = sound().createDirectTrack(1044);
    ASSERT_EQ(direct->restart("sound\\long.wav"), S_OK);
    ASSERT_EQ(sound().getDirectTrack(0), direct);
    sound().clearBgm();
    EXPECT_EQ(music->getTrack(), nullptr);
    EXPECT_EQ(music->getState(), 1u);
    EXPECT_EQ(effect->getState(), 0u);
    EXPECT_EQ(sound().getDirectTrack(0), nullptr);
    frame();
    EXPECT_EQ(sound().getObjectCount(), 1u);

    // A destroyed direct object empties its slot.
    DSoundObject* voice = sound().createDirectObject(5);
    EXPECT_EQ(sound().getDirectObject(1), voice);
    EXPECT_EQ(sound().getDirectObject(0), nullptr);
    voice->setState(1);
    frame();
    EXPECT_EQ(sound().getDirectObject(1), nullptr);

    // Every object vanishing from an object's own script: each goes when
    // the walk has let go of it; one the script makes afterwards stays.
    DSoundObject* later = playing("later.wav", 3000);
    DSoundObject* fresh = nullptr;
    effect->setMainRuntime(new ScriptedRuntime([&] {
        sound().vanishAll();
        fresh = sound().createObject();
    }));
    int laterRuns = 0;
    later->setMainRuntime(new ScriptedRuntime([&] { ++laterRuns; }));
    frame();
    EXPECT_EQ(laterRuns, 0);
    ASSERT_EQ(sound().getObjectCount(), 1u);
    EXPECT_EQ(sound().getObjects()[0], fresh);
    fresh->setState(1);
    frame();

    // The game reset's steps on live objects.
    DSoundObject* last = playing("last.wav", 3000);
    sound().stopAll();
    EXPECT_FALSE(last->getTrack()->isPlaying());
    sound().vanishAll();
    sound().releaseAllTracks();
    EXPECT_EQ(sound().getObjectCount(), 0u);
    EXPECT_EQ(sound().getTrackCount(), 0u);
}

}  // namespace

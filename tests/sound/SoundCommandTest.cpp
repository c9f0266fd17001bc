// The sound commands run by scripts: sound definitions and their own
// scripts, the start gate of "soundtrack", volumes and fades, preloading,
// the direct-play voice lines and the warnings without a sound object.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "objects/DSoundObject.h"
#include "objects/DSoundObjectAllocator.h"
#include "objects/DSoundObjectManager.h"
#include "platform/Clock.h"
#include "platform/Path.h"
#include "runtime/RuntimeTestSupport.h"
#include "services/ArchiveBuilder.h"
#include "services/ArchiveManager.h"
#include "services/FrameCounter.h"
#include "sound/OggDecoder.h"
#include "sound/RawWavDecoder.h"
#include "sound/SoundFixtures.h"
#include "sound/WavDecoder.h"

namespace {

const std::string kWarning = "  Null Pointer Warning";

class SoundCommands : public RuntimeBench {
protected:
    SoundCommands() {
        Clock::setInstance(&clock_);
        g_frameCounter = new FrameCounter();
        while (g_frameCounter->getFrameNumber() < 10) g_frameCounter->onPresent();
        // Raw entries of 3 s at 8000 Hz, 16-bit mono, in the archive.
        const WAVEFORMATEX format = pcmFormat(8000, 1, 16);
        for (const char* name : {"m.wav.raw", "se.wav.raw", "st.wav.raw"}) {
            Bytes entry(18);
            writeWaveFormat(format, entry.data());
            const Bytes data = patternBytes(48000, 3);
            entry.insert(entry.end(), data.begin(), data.end());
            write(std::string("raw/") + name, entry);
        }
        EXPECT_EQ(archive_builder::build("raw", ArchiveForm::Unchanged), S_OK);
        g_archiveManager = new ArchiveManager();
        DSoundObjectAllocator::instance().prefill();
        g_dsoundObjectManager = new DSoundObjectManager();
    }
    ~SoundCommands() override {
        delete g_dsoundObjectManager;
        g_dsoundObjectManager = nullptr;
        delete g_archiveManager;
        g_archiveManager = nullptr;
        delete g_frameCounter;
        g_frameCounter = nullptr;
        Clock::setInstance(nullptr);
    }
    static void write(const std::string& relative, const Bytes& bytes) {
        const std::filesystem::path target = Path::root() / relative;
        std::filesystem::create_directories(target.parent_path());
        std::ofstream(target, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      static_cast<std::streamsize>(bytes.size()));
    }
    DSoundObjectManager& sound() { return *g_dsoundObjectManager; }
    // n frames as the frame step runs them: scripts, then the sound pair.
    void soundFrames(int n) {
        for (int i = 0; i < n; ++i) {
            frames(1);
            sound().updateObjects();
            sound().sweepObjects();
            clock_.advance(16);
            g_frameCounter->onPresent();
        }
    }
    DSoundTrack* trackNamed(const std::string& name) {
        for (DSoundTrack* track : sound().getSoundManager()->getTracks()) {
            if (track->nameEquals(std::string_view(name))) return track;
        }
        return nullptr;
    }
    std::vector<DSoundObject*> liveObjects() {
        std::vector<DSoundObject*> live;
        for (DSoundObject* object : sound().getObjects()) {
            if (object) live.push_back(object);
        }
        return live;
    }

    NullAudioBackend backend_;
    FakeClock clock_{1000};
};

TEST_F(SoundCommands, DefinitionsMakeObjectsThatPlayOnTheirChannel) {
    load(R"(<sound label="fx2"><track><file>st</file></track><play/></sound>
            <action label="top">
              <sound label="music" type="bgm"><track><file>m</file></track>
                <play><flag>1</flag><loop>5</loop></play></sound>
              <sound label="fx" type="se"><track><file>se</file></track><play><flag>0</flag></play></sound>
              <sound label="fx"><track><file>se</file></track></sound>
              <soundref label="fx2"/>
              <wait>1</wait>
              <changetargetvolume label="music"><num>-2000</num><term>0</term></changetargetvolume>
              <wait>1</wait>
              <changeallvolume><num>-3000</num><term>2</term></changeallvolume>
            </action>)");
    sound().applyChannelVolume(-1200, kSoundChannelMusic);
    sound().applyChannelVolume(-900, kSoundChannelEffects);
    traceRuntime(spawn()->getMainRuntime());
    soundFrames(1);
    // The creating script leaves each definition; the second "fx" this
    // frame makes nothing.
    EXPECT_EQ(traceText(), "1 action 0\n1 sound 1\n1 sound 1\n1 sound 1\n1 soundref 0\n1 wait 2\n");
    ASSERT_EQ(sound().getObjectCount(), 3u);
    DSoundTrack* music = trackNamed("m.wav.raw");
    DSoundTrack* effect = trackNamed("se.wav.raw");
    DSoundTrack* referenced = trackNamed("st.wav.raw");
    ASSERT_TRUE(music && effect && referenced);
    EXPECT_TRUE(music->isPlaying() && effect->isPlaying() && referenced->isPlaying());
    EXPECT_EQ(music->getLoop(), 1u);
    EXPECT_EQ(music->getLoopStart(), 5u);
    EXPECT_EQ(effect->getLoop(), 0u);
    EXPECT_EQ(music->getTargetVolume(), -1200);
    EXPECT_EQ(effect->getTargetVolume(), -900);
    EXPECT_EQ(referenced->getTargetVolume(), -900);
    EXPECT_EQ(liveObjects()[0]->getChannel(), kSoundChannelMusic);
    EXPECT_EQ(liveObjects()[0]->getWideName(), wide("music"));

    soundFrames(1);  // only the music fades, at once
    EXPECT_EQ(music->getTargetVolume(), DSoundObject::mixVolume(-1200, -2000));
    EXPECT_EQ(effect->getTargetVolume(), -900);
    soundFrames(2);  // everything, over two frames
    EXPECT_EQ(music->getTargetVolume(), DSoundObject::mixVolume(-1200, -3000));
    EXPECT_EQ(effect->getTargetVolume(), DSoundObject::mixVolume(-900, -3000));
}

TEST_F(SoundCommands, SoundtrackStartsOnceInThreeFrames) {
    load(R"(<action label="top"><repeat><times>6</times><action>
              <soundtrack><file>st</file></soundtrack><wait>1</wait></action></repeat></action>)");
    spawn();
    std::vector<DSoundObject*> playing;
    for (int i = 0; i < 6; ++i) {
        soundFrames(1);
        ASSERT_EQ(liveObjects().size(), 1u) << i;
        playing.push_back(liveObjects()[0]);
    }
    // Frames 10..15: new sounds at 10 and 13 only, each ending the last.
    EXPECT_EQ(std::set<DSoundObject*>(playing.begin(), playing.begin() + 3).size(), 1u);
    EXPECT_EQ(std::set<DSoundObject*>(playing.begin() + 3, playing.end()).size(), 1u);
    EXPECT_NE(playing[0], playing[3]);
    EXPECT_TRUE(trackNamed("st.wav.raw")->isPlaying());
    EXPECT_EQ(sound().getTrackCount(), 1u);
}

TEST_F(SoundCommands, InTheFirstFramesASoundtrackStillMakesOneObject) {
    // The gate is open in frames 0-2: the new object's own script, which
    // starts at the same node, runs its children instead of starting again.
    delete g_frameCounter;
    g_frameCounter = new FrameCounter();
    load(R"(<action label="top"><soundtrack><file>st</file><wait>1</wait></soundtrack></action>)");
    spawn();
    soundFrames(1);
    EXPECT_EQ(sound().getObjectCount(), 1u);
    EXPECT_TRUE(trackNamed("st.wav.raw")->isPlaying());
}

TEST_F(SoundCommands, ObjectCommandsNeedTheirObject) {
    // Outside a sound object's script: a warning each, nothing else.
    load(R"(<action label="top"><track><file>se</file></track><play><flag>1</flag></play>
              <changevolume><num>-100</num><term>0</term></changevolume>
              <sound label="late"><changevolume><num>-700</num><term>0</term></changevolume>
                <track><file>se</file></track><track><file>se</file></track><play/></sound></action>)");
    spawn();
    soundFrames(1);
    for (int line : {284, 320, 406}) {
        EXPECT_EQ(countLogLines(".\\Src\\ExBulletML_Runtime_Sound:" + std::to_string(line) + kWarning), 1) << line;
    }
    EXPECT_EQ(sound().getTrackCount(), 1u);
    // In the object's script: the second "track" of the same file in one
    // frame is refused: the object goes and its script ends there.
    EXPECT_EQ(sound().getObjectCount(), 0u);
    EXPECT_FALSE(trackNamed("se.wav.raw")->isPlaying());
    EXPECT_EQ(countLogLines(kWarning), 3);
}

TEST_F(SoundCommands, PreloadTrackLoadsByFileTypeAndKeepsNoObject) {
    load(R"(<action label="top"><preloadtrack><file type="raw">p</file></preloadtrack>
              <preloadtrack><file type="wav">w</file></preloadtrack>
              <preloadtrack><file>o</file></preloadtrack></action>)");
    spawn();
    soundFrames(1);
    for (const char* name : {"sound\\p.raw", "sound\\w.wav", "sound\\o.ogg"}) {
        DSoundTrack* track = trackNamed(name);
        ASSERT_NE(track, nullptr) << name;
    }
    EXPECT_NE(dynamic_cast<RawWavDecoder*>(trackNamed("sound\\p.raw")->getDecoder()), nullptr);
    EXPECT_NE(dynamic_cast<WavDecoder*>(trackNamed("sound\\w.wav")->getDecoder()), nullptr);
    EXPECT_NE(dynamic_cast<OggDecoder*>(trackNamed("sound\\o.ogg")->getDecoder()), nullptr);
    EXPECT_EQ(sound().getObjectCount(), 0u);
    EXPECT_EQ(DSoundObjectAllocator::instance().count(), DSoundObjectAllocator::kBlocks);
}

TEST_F(SoundCommands, TheDocumentPreloadsItsTracksWithoutStartingThem) {
    BulletML_Node_Manager& document =
        load(R"(<sound label="a"><track><file>m</file></track></sound>
                <action label="top"><soundtrack><file>st</file></soundtrack></action>)");
    document.preloadResources();
    ASSERT_NE(trackNamed("m.wav.raw"), nullptr);
    ASSERT_NE(trackNamed("st.wav.raw"), nullptr);
    EXPECT_EQ(sound().getObjectCount(), 1u);  // the temporary object, until the sweep
    // The scene starts its music in its first frame.
    spawn();
    soundFrames(1);
    EXPECT_TRUE(trackNamed("st.wav.raw")->isPlaying());
    EXPECT_EQ(sound().getTrackCount(), 2u);
    EXPECT_EQ(sound().getObjectCount(), 1u);
}

TEST_F(SoundCommands, VoicesPlayDirectlyAndSkippingOnlyStops) {
    write("v/hello.wav.raw", oggTone(44100, 2, 1.0));
    load(R"(<action label="top"><playsounddirect><file>hello</file></playsounddirect><wait>1</wait>
              <playsounddirect><file>hello</file></playsounddirect><wait>1</wait>
              <playsounddirect><file>hello</file></playsounddirect><wait>1</wait>
              <stopsounddirect/></action>)");
    sound().applyChannelVolume(-400, kSoundChannelVoice);
    // No direct track yet (a music clearing took it): the voice makes one.
    ASSERT_EQ(sound().getDirectTrack(0), nullptr);
    spawn();
    soundFrames(1);
    DSoundObject* voice = sound().getDirectObject(0);
    DSoundTrack* track = sound().getDirectTrack(0);
    ASSERT_TRUE(voice && track);
    EXPECT_EQ(voice->getChannel(), kSoundChannelVoice);
    EXPECT_EQ(track->getTargetVolume(), -400);
    EXPECT_TRUE(track->isPlaying());
    EXPECT_EQ(track->getDuration(), 1000u);
    // The next voice takes the slot; the last object goes.
    soundFrames(1);
    EXPECT_NE(sound().getDirectObject(0), voice);
    EXPECT_EQ(sound().getObjectCount(), 1u);
    // Skip held: the voice stops, none starts.
    g_gameInfo->setSkipPressed(1);
    soundFrames(1);
    EXPECT_EQ(sound().getDirectObject(0), nullptr);
    EXPECT_EQ(sound().getObjectCount(), 0u);
    EXPECT_FALSE(track->isPlaying());
    g_gameInfo->setSkipPressed(0);
    soundFrames(1);  // "stopsounddirect" with nothing playing
    EXPECT_EQ(sound().getDirectTrack(0), track);
}

}  // namespace

// The device manager's start-up report and failure blocks, its track list
// (the start gate, reuse by name, music clearing), the channel levels of the
// sound-object manager, and sound without a device.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "objects/DSoundObjectManager.h"
#include "platform/Clock.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "sound/DSoundManager.h"
#include "sound/SoundFixtures.h"
#include "support/TestSupport.h"

namespace {

const std::string kStars(79, '*');

std::vector<std::string> tail(const std::vector<std::string>& lines, std::size_t count) {
    return std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(std::min(count, lines.size())),
                                    lines.end());
}

class SoundManagers : public ::testing::Test, public LoggedTest {
protected:
    void SetUp() override {
        Clock::setInstance(&clock_);
        g_frameCounter = new FrameCounter();
    }
    void TearDown() override {
        delete g_frameCounter;
        g_frameCounter = nullptr;
        Clock::setInstance(nullptr);
    }
    void toFrame(std::uint32_t frame) {
        while (g_frameCounter->getFrameNumber() < frame) g_frameCounter->onPresent();
    }
    std::string writeSound(const std::string& name, std::uint32_t ms) {
        root().writeFile(name, wavFile(pcmFormat(8000, 1, 16), patternBytes(ms * 16ull, ms)));
        return name;
    }
    FakeClock clock_{100};
};

TEST_F(SoundManagers, EachInitFailureIsWrittenAsABlock) {
    struct Case {
        const char* what;
        AudioFaults faults;
        std::vector<std::string> lastLines;
    } cases[] = {
        {"no device", {DSERR_NODRIVER},
         {kStars, "DirectSound の初期化に失敗しました。", "", ".\\Src\\DSoundManager:46  FAILED", "DSERR_NODRIVER"}},
        {"cooperative level", {S_OK, DSERR_INVALIDCALL},
         {kStars, "DirectSound の協調レベル設定に失敗しました。", "", ".\\Src\\DSoundManager:54  FAILED",
          "DSERR_INVALIDCALL"}},
        {"capabilities", {S_OK, S_OK, E_FAIL},
         {kStars, "サウンドボードの能力を調査中", "", ".\\Src\\DSoundManager:93  FAILED", "E_FAIL", kStars,
          "DirectSound のデバイス情報取得に失敗しました。", "", ".\\Src\\DSoundManager:62  FAILED", "E_FAIL"}},
        {"primary buffer", {S_OK, S_OK, S_OK, DSERR_ALLOCATED},
         {"", ".\\Src\\DSoundManager:151  FAILED", "DSERR_ALLOCATED", kStars,
          "DirectSound のプライマリバッファの作成に失敗しました。", "", ".\\Src\\DSoundManager:70  FAILED",
          "DSERR_ALLOCATED"}},
        {"primary format", {S_OK, S_OK, S_OK, S_OK, DSERR_BADFORMAT},
         {"", ".\\Src\\DSoundManager:172  FAILED", "DSERR_BADFORMAT", kStars,
          "DirectSound のプライマリバッファの設定に失敗しました。", "", ".\\Src\\DSoundManager:78  FAILED",
          "DSERR_BADFORMAT"}},
        {"primary play", {S_OK, S_OK, S_OK, S_OK, S_OK, DSERR_BUFFERLOST},
         {"", ".\\Src\\DSoundManager:175  FAILED", "DSERR_BUFFERLOST", kStars,
          "DirectSound のプライマリバッファの設定に失敗しました。", "", ".\\Src\\DSoundManager:78  FAILED",
          "DSERR_BUFFERLOST"}},
    };
    for (const Case& c : cases) {
        NullAudioBackend backend(c.faults);
        {
            DSoundObjectManager manager;
            std::vector<std::string> expected = c.lastLines;
            expected.push_back(".\\Src\\DSoundObjectManager:17  FAILED");
            expected.push_back(expected[expected.size() - 2]);
            EXPECT_EQ(tail(logLines(), expected.size()), expected) << c.what;
            // Whatever failed, tracks can be had and played.
            DSoundTrack* track = manager.getSoundManager()->getOrCreateTrack(writeSound("a.wav", 100), 1044);
            ASSERT_NE(track, nullptr) << c.what;
            EXPECT_EQ(track->play(), S_OK) << c.what;
        }
    }
}

TEST_F(SoundManagers, TheCapabilityReport) {
    struct Case {
        std::uint32_t flags;
        std::vector<std::string> lines;
    } cases[] = {
        {0x1F,
         {"Device is NOT certified", "Continuous rate", "DirectSound driver found", "Primary 16bit supported",
          "Primary 8bit supported", "Primary Mono supported", "Primary Stereo supported"}},
        // Without stereo: the other six lines and none for stereo.
        {DSCAPS_CERTIFIED | DSCAPS_EMULDRIVER,
         {"Device is certified", "NOT continuous rate", "No DirectSound driver", "Primary 16bit NOT supported",
          "Primary 8bit NOT supported", "Primary Mono NOT supported"}},
    };
    for (const Case& c : cases) {
        NullAudioBackend backend;
        backend.setCapsFlags(c.flags);
        const std::size_t before = logLines().size();
        DSoundManager manager;
        ASSERT_EQ(manager.init(), S_OK);
        std::vector<std::string> expected = {kStars, "サウンドボードの能力を調査中", ""};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        for (const char* line : {"Max Secondary Buffer Sample Rate : 200000", "Min Secondary Buffer Sample Rate : 100",
                                 "Max H/W Mixing All Buffer : 0", "Max H/W Mixing Static Buffers : 0",
                                 "Sound Memory : 0/0", ""}) {
            expected.push_back(line);
        }
        std::vector<std::string> lines = logLines();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()), expected);
    }
}

TEST_F(SoundManagers, TheStartGateReuseAndTheTrackList) {
    NullAudioBackend backend;
    DSoundManager manager;
    ASSERT_EQ(manager.init(), S_OK);
    const std::string name = writeSound("se.wav", 300);
    // Frames 0 to 2 grant every request.
    for (std::uint32_t frame : {0u, 1u, 2u}) {
        toFrame(frame);
        EXPECT_NE(manager.getOrCreateTrack(name, 1044), nullptr) << frame;
    }
    EXPECT_EQ(manager.getTrackCount(), 1u);
    toFrame(10);
    DSoundTrack* first = manager.getOrCreateTrack(name, 1044);
    ASSERT_NE(first, nullptr);
    first->play();
    clock_.advance(100);
    toFrame(12);
    EXPECT_EQ(manager.getOrCreateTrack(name, 1044), nullptr);
    EXPECT_FALSE(manager.canStartTrack(name));
    toFrame(13);
    EXPECT_TRUE(manager.canStartTrack(name));
    // The same track, rewound to its start.
    EXPECT_EQ(manager.getOrCreateTrack(name, 1044), first);
    std::uint32_t cursor = 1;
    first->getBuffer()->getCurrentPosition(&cursor, nullptr);
    EXPECT_EQ(cursor, 0u);
    EXPECT_EQ(manager.getTrackCount(), 1u);

    // Only when absent; the start map is not touched.
    EXPECT_EQ(manager.createTrackIfAbsent(name, 1044), nullptr);
    DSoundTrack* other = manager.createTrackIfAbsent(writeSound("b.wav", 200), 1044);
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(other->nameEquals(std::string_view("b.wav")));
    EXPECT_TRUE(manager.canStartTrack("b.wav"));
    EXPECT_EQ(manager.getTrackCount(), 2u);

    // A file that does not open: logged, kept in the list, safe to use.
    DSoundTrack* broken = manager.getOrCreateTrack("sound\\none.ogg", 1043);
    ASSERT_NE(broken, nullptr);
    std::vector<std::string> lines = logLines();
    EXPECT_EQ(tail(lines, 2), (std::vector<std::string>{".\\Src\\DSoundManager:253  FAILED", "DSERR_BADFORMAT"}));
    EXPECT_EQ(broken->play(), E_FAIL);
    EXPECT_EQ(manager.getTrackCount(), 3u);
    EXPECT_EQ(manager.createTrackIfAbsent("sound\\gone.ogg", 1043)->getBuffer(), nullptr);
    EXPECT_EQ(tail(logLines(), 2), (std::vector<std::string>{".\\Src\\DSoundManager:296  FAILED", "DSERR_BADFORMAT"}));
    manager.releaseAllTracks();
    EXPECT_EQ(manager.getTrackCount(), 0u);
}

TEST_F(SoundManagers, ClearBgmEndsTracksFrom10001Ms) {
    NullAudioBackend backend;
    DSoundObjectManager objects;
    DSoundManager& manager = *objects.getSoundManager();
    DSoundTrack* direct = objects.createDirectTrack(1043);
    ASSERT_NE(direct, nullptr);
    DSoundTrack* shorter = manager.getOrCreateTrack(writeSound("m10000.wav", 10000), 1044);
    manager.getOrCreateTrack(writeSound("m10001.wav", 10001), 1044);
    DSoundTrack* effect = manager.getOrCreateTrack(writeSound("e.wav", 50), 1044);
    objects.clearBgm();
    ASSERT_EQ(manager.getTrackCount(), 3u);
    EXPECT_EQ(manager.getTracks(), (std::list<DSoundTrack*>{direct, shorter, effect}));
    EXPECT_EQ(objects.getDirectTrack(0), direct);
    // Every track goes; the direct slot does not keep a destroyed one.
    objects.releaseAllTracks();
    EXPECT_EQ(objects.getTrackCount(), 0u);
    EXPECT_EQ(objects.getDirectTrack(0), nullptr);
    EXPECT_EQ(objects.getDirectTrack(-3), nullptr);
}

TEST_F(SoundManagers, ChannelLevels) {
    NullAudioBackend backend;
    DSoundObjectManager objects;
    struct Case {
        std::int32_t level, channel, inForce, volume;
    } cases[] = {
        {0, 0, 0, -10000}, {1, 0, 1, -2400}, {2, 0, 2, -1500}, {3, 0, 3, -1200}, {4, 0, 4, -900},
        {5, 0, 5, -500},   {0, 1, 0, -10000}, {1, 1, 1, -2400}, {2, 1, 2, -1200}, {3, 2, 3, -800},
        {4, 2, 4, -400},   {7, 1, 5, 0},      {-3, 2, 0, -10000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(objects.setVolumeLevel(c.level, c.channel), c.inForce) << c.level << " " << c.channel;
        EXPECT_EQ(objects.getVolumeLevel(c.channel), c.inForce);
        EXPECT_EQ(objects.getChannelVolume(c.channel), c.volume) << c.level << " " << c.channel;
    }
    // A request equal to the stored level changes nothing.
    objects.applyChannelVolume(-777, 1);
    EXPECT_EQ(objects.setVolumeLevel(5, 1), 5);
    EXPECT_EQ(objects.getChannelVolume(1), -777);
}

TEST_F(SoundManagers, WithoutADeviceTracksKeepTheirTimeSilently) {
    NullAudioBackend backend(AudioFaults{DSERR_NODRIVER});
    DSoundObjectManager objects;
    DSoundTrack* track = objects.getSoundManager()->getOrCreateTrack(writeSound("v.wav", 2000), 1044);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->getDuration(), 2000u);
    ASSERT_EQ(track->play(), S_OK);
    for (int i = 0; i < 124; ++i) {
        clock_.advance(16);
        track->update();
    }
    EXPECT_TRUE(track->isPlaying());
    clock_.advance(20);
    track->update();
    EXPECT_FALSE(track->isPlaying());
    EXPECT_EQ(backend.devicesMade(), 0u);
}

}  // namespace

// The platform sound device: formats it refuses, the mixer's levels and
// resampling, lock/unlock through the staging memory, cursors on the fake
// clock, and the SDL backend on the dummy driver.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/Audio.h"
#include "platform/Clock.h"
#include "sound/SoundFixtures.h"

namespace {

class AudioMixer : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::setInstance(&clock_);
        ASSERT_EQ(AudioDevice::create(&device_), DS_OK);
        null_ = backend_.device();
        null_->startCapture();
    }
    void TearDown() override {
        device_->release();
        Clock::setInstance(nullptr);
    }
    // A buffer of `frames` frames of the format, every sample `value` (a
    // signed 16-bit value, or the 8-bit byte).
    AudioBuffer* constantBuffer(const WAVEFORMATEX& format, std::uint32_t frames, int value) {
        DSBUFFERDESC description{36, DSBCAPS_CTRLVOLUME, frames * format.nBlockAlign, 0, &format};
        AudioBuffer* buffer = nullptr;
        EXPECT_EQ(device_->createSoundBuffer(&description, &buffer), DS_OK);
        void* region = nullptr;
        std::uint32_t bytes = 0;
        EXPECT_EQ(buffer->lock(0, 0, &region, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
        auto* p = static_cast<std::uint8_t*>(region);
        for (std::uint32_t i = 0; i < bytes; i += format.wBitsPerSample / 8) {
            if (format.wBitsPerSample == 8) {
                p[i] = static_cast<std::uint8_t>(value);
            } else {
                p[i] = static_cast<std::uint8_t>(value & 0xFF);
                p[i + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
            }
        }
        EXPECT_EQ(buffer->unlock(region, bytes, nullptr, 0), DS_OK);
        return buffer;
    }

    FakeClock clock_{1000};
    NullAudioBackend backend_;
    AudioDevice* device_ = nullptr;
    NullAudioDevice* null_ = nullptr;
};

TEST_F(AudioMixer, RefusesFormatsItCannotPlay) {
    struct Case {
        const char* what;
        WAVEFORMATEX format;
        HRESULT expected;
    } cases[] = {
        {"16-bit stereo", pcmFormat(44100, 2, 16), DS_OK},
        {"8-bit mono", pcmFormat(11025, 1, 8), DS_OK},
        {"lowest rate", pcmFormat(100, 1, 16), DS_OK},
        {"highest rate", pcmFormat(200000, 2, 16), DS_OK},
        {"not PCM", [] { auto f = pcmFormat(44100, 2, 16); f.wFormatTag = 3; return f; }(), DSERR_BADFORMAT},
        {"24 bits", [] { auto f = pcmFormat(44100, 2, 16); f.wBitsPerSample = 24; f.nBlockAlign = 6;
                          f.nAvgBytesPerSec = 264600; return f; }(), DSERR_BADFORMAT},
        {"three channels", [] { auto f = pcmFormat(44100, 2, 16); f.nChannels = 3; f.nBlockAlign = 6;
                                 f.nAvgBytesPerSec = 264600; return f; }(), DSERR_BADFORMAT},
        {"rate 99", pcmFormat(99, 1, 16), DSERR_BADFORMAT},
        {"rate 200001", pcmFormat(200001, 1, 16), DSERR_BADFORMAT},
        {"block alignment", [] { auto f = pcmFormat(44100, 2, 16); f.nBlockAlign = 2; return f; }(), DSERR_BADFORMAT},
        {"bytes per second", [] { auto f = pcmFormat(44100, 2, 16); f.nAvgBytesPerSec = 0; return f; }(),
         DSERR_BADFORMAT},
        {"empty record", WAVEFORMATEX{}, DSERR_BADFORMAT},
    };
    for (const Case& c : cases) {
        DSBUFFERDESC description{36, 0x58080, 4096, 0, &c.format};
        AudioBuffer* buffer = nullptr;
        EXPECT_EQ(device_->createSoundBuffer(&description, &buffer), c.expected) << c.what;
        EXPECT_EQ(buffer != nullptr, c.expected == DS_OK) << c.what;
        if (buffer) buffer->release();
    }
}

TEST_F(AudioMixer, LevelsFollowTheVolume) {
    struct Case {
        std::int32_t volume;
        std::int32_t expected;  // of a constant 20000
    } cases[] = {
        {0, 20000},      // exactly 1
        {-600, 10024},   // 10^(-0.3): about half the amplitude
        {-2000, 2000},   // a tenth
        {-10000, 0},     // exactly silent
    };
    for (const Case& c : cases) {
        AudioBuffer* buffer = constantBuffer(pcmFormat(44100, 2, 16), 4410, 20000);
        ASSERT_EQ(buffer->setVolume(c.volume), DS_OK);
        ASSERT_EQ(buffer->play(0, 0, DSBPLAY_LOOPING), DS_OK);
        clock_.advance(10);
        std::vector<std::int16_t> mix = null_->takeCapture();
        ASSERT_EQ(mix.size(), 441u * 2);
        for (std::int16_t sample : mix) ASSERT_NEAR(sample, c.expected, 1) << c.volume;
        if (c.volume == 0 || c.volume == -10000) {
            EXPECT_EQ(mix[0], c.expected);
        }
        buffer->release();
    }
    AudioBuffer* buffer = constantBuffer(pcmFormat(44100, 2, 16), 4410, 0);
    EXPECT_EQ(buffer->setVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->setVolume(-10001), DSERR_INVALIDPARAM);
    buffer->release();
}

TEST_F(AudioMixer, MonoGoesToBothSidesAndSumsSaturate) {
    // 8-bit mono: byte 192 is +64, scaled to 16 bits.
    AudioBuffer* mono = constantBuffer(pcmFormat(44100, 1, 8), 4410, 192);
    mono->play(0, 0, DSBPLAY_LOOPING);
    clock_.advance(1);
    std::vector<std::int16_t> mix = null_->takeCapture();
    ASSERT_EQ(mix.size(), 44u * 2);
    for (std::int16_t sample : mix) ASSERT_EQ(sample, 16384);
    mono->release();

    AudioBuffer* a = constantBuffer(pcmFormat(22050, 1, 16), 2205, 30000);
    AudioBuffer* b = constantBuffer(pcmFormat(44100, 2, 16), 4410, -30000);
    AudioBuffer* c = constantBuffer(pcmFormat(44100, 2, 16), 4410, -30000);
    a->play(0, 0, DSBPLAY_LOOPING);
    b->play(0, 0, DSBPLAY_LOOPING);
    clock_.advance(1);
    mix = null_->takeCapture();
    for (std::int16_t sample : mix) ASSERT_EQ(sample, 0);
    a->stop();
    c->play(0, 0, DSBPLAY_LOOPING);
    clock_.advance(1);
    mix = null_->takeCapture();
    for (std::int16_t sample : mix) ASSERT_EQ(sample, -32768);
    a->release();
    b->release();
    c->release();
}

TEST_F(AudioMixer, OtherRatesAreResampledToTheRightLengthAndOneShotsEndAtCursorZero) {
    // 0.1 s at 48 kHz, played once: 4410 output frames of sound, then silence.
    AudioBuffer* buffer = constantBuffer(pcmFormat(48000, 2, 16), 4800, 1000);
    ASSERT_EQ(buffer->setCurrentPosition(4), DS_OK);
    ASSERT_EQ(buffer->setCurrentPosition(0), DS_OK);
    buffer->play(0, 0, 0);
    clock_.advance(50);
    std::uint32_t play = 1, write = 1;
    ASSERT_EQ(buffer->getCurrentPosition(&play, &write), DS_OK);
    EXPECT_NEAR(play / 4.0, 2400.0, 1.0);  // 50 ms at 48 kHz
    clock_.advance(150);
    std::vector<std::int16_t> mix = null_->takeCapture();
    ASSERT_EQ(mix.size(), 8820u * 2);
    size_t sounding = 0;
    for (size_t i = 0; i < mix.size(); i += 2) sounding += mix[i] != 0;
    EXPECT_NEAR(static_cast<double>(sounding), 4410.0, 1.0);
    EXPECT_FALSE(buffer->isPlaying());
    ASSERT_EQ(buffer->getCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 0u);
    buffer->release();

    // A ramp at 22050 Hz interpolates the frame between two samples.
    WAVEFORMATEX half = pcmFormat(22050, 1, 16);
    DSBUFFERDESC description{36, 0, 8, 0, &half};
    AudioBuffer* ramp = nullptr;
    ASSERT_EQ(device_->createSoundBuffer(&description, &ramp), DS_OK);
    void* region = nullptr;
    std::uint32_t bytes = 0;
    ASSERT_EQ(ramp->lock(0, 8, &region, &bytes, nullptr, nullptr, 0), DS_OK);
    const std::uint8_t samples[8] = {0x00, 0x00, 0xE8, 0x03, 0xD0, 0x07, 0xB8, 0x0B};  // 0, 1000, 2000, 3000
    std::memcpy(region, samples, 8);
    ramp->unlock(region, bytes, nullptr, 0);
    ramp->play(0, 0, 0);
    clock_.advance(1);
    mix = null_->takeCapture();
    const std::int16_t expected[] = {0, 500, 1000, 1500, 2000, 2500, 3000, 3000, 0};
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(mix[2 * i], expected[i]) << i;
    ramp->release();
}

TEST_F(AudioMixer, LockHandsOutStagingMemoryThatUnlockPublishes) {
    WAVEFORMATEX format = pcmFormat(44100, 2, 16);
    DSBUFFERDESC description{36, 0, 4000, 0, &format};
    AudioBuffer* buffer = nullptr;
    ASSERT_EQ(device_->createSoundBuffer(&description, &buffer), DS_OK);
    void *r1 = nullptr, *r2 = nullptr;
    std::uint32_t n1 = 0, n2 = 0;
    // A range across the end comes in two regions.
    ASSERT_EQ(buffer->lock(3000, 2000, &r1, &n1, &r2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 1000u);
    EXPECT_EQ(n2, 1000u);
    EXPECT_EQ(static_cast<std::uint8_t*>(r1) - static_cast<std::uint8_t*>(r2), 3000);
    EXPECT_EQ(buffer->lock(4000, 4, &r1, &n1, &r2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->lock(0, 4001, &r1, &n1, &r2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->unlock(&format, 4, nullptr, 0), DSERR_INVALIDPARAM);

    // Written but not unlocked: the mixer still plays the old (silent) ring.
    ASSERT_EQ(buffer->lock(0, 4000, &r1, &n1, &r2, &n2, 0), DS_OK);
    std::memset(r1, 0x40, n1);
    buffer->play(0, 0, DSBPLAY_LOOPING);
    clock_.advance(2);
    for (std::int16_t sample : null_->takeCapture()) ASSERT_EQ(sample, 0);
    buffer->unlock(r1, n1, r2, n2);
    clock_.advance(2);
    for (std::int16_t sample : null_->takeCapture()) ASSERT_EQ(sample, 0x4040);
    buffer->release();
}

TEST_F(AudioMixer, CursorsFollowTheClockAndStopKeepsThem) {
    AudioBuffer* buffer = constantBuffer(pcmFormat(44100, 2, 16), 44100, 1);
    std::uint32_t play = 0;
    buffer->play(0, 0, DSBPLAY_LOOPING);
    clock_.advance(600);
    buffer->getCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 26460u * 4);
    buffer->stop();
    clock_.advance(300);
    buffer->getCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 26460u * 4);
    // Setting the cursor takes at once, also while playing; looping wraps.
    buffer->play(0, 0, DSBPLAY_LOOPING);
    ASSERT_EQ(buffer->setCurrentPosition(44000 * 4 + 3), DS_OK);
    clock_.advance(10);
    buffer->getCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, (44000u + 441u - 44100u) * 4);
    EXPECT_TRUE(buffer->isPlaying());
    buffer->release();
}

TEST_F(AudioMixer, CapabilitiesAndThePrimaryBuffer) {
    DSCAPS caps;
    EXPECT_EQ(device_->getCaps(&caps), DSERR_INVALIDPARAM);  // size not set
    caps.dwSize = 96;
    ASSERT_EQ(device_->getCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwFlags, 0x1Fu);  // continuous rate, 16/8-bit, mono, stereo
    EXPECT_EQ(caps.dwMinSecondarySampleRate, 100u);
    EXPECT_EQ(caps.dwMaxSecondarySampleRate, 200000u);
    EXPECT_EQ(caps.dwMaxHwMixingAllBuffers, 0u);
    EXPECT_EQ(caps.dwMaxHwMixingStaticBuffers, 0u);
    EXPECT_EQ(caps.dwFreeHwMemBytes, 0u);
    EXPECT_EQ(caps.dwTotalHwMemBytes, 0u);

    EXPECT_EQ(device_->setCooperativeLevel(nullptr, 2), DS_OK);
    EXPECT_EQ(device_->setCooperativeLevel(nullptr, 5), DSERR_INVALIDPARAM);
    DSBUFFERDESC primaryDescription{36, DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME, 0, 0, nullptr};
    AudioBuffer* primary = nullptr;
    ASSERT_EQ(device_->createSoundBuffer(&primaryDescription, &primary), DS_OK);
    WAVEFORMATEX format = pcmFormat(44100, 2, 16);
    EXPECT_EQ(primary->setFormat(&format), DS_OK);
    WAVEFORMATEX bad{};
    EXPECT_EQ(primary->setFormat(&bad), DSERR_BADFORMAT);
    EXPECT_EQ(primary->play(0, 0, DSBPLAY_LOOPING), DS_OK);
    primary->stop();
    primary->release();
}

TEST_F(AudioMixer, WaveFormatRecordLayout) {
    std::uint8_t bytes[18];
    writeWaveFormat(pcmFormat(44100, 2, 16), bytes);
    const std::uint8_t expected[18] = {0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10,
                                       0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(bytes, expected, 18), 0);
    WAVEFORMATEX back = readWaveFormat(expected);
    EXPECT_EQ(back.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(back.nBlockAlign, 4);
}

// The SDL backend on SDL's dummy driver: its own thread mixes while the main
// thread refills through lock and unlock.
TEST(AudioThreads, SdlDeviceMixesWhileTheMainThreadRefills) {
    AudioDevice* device = nullptr;
    ASSERT_EQ(AudioDevice::create(&device), DS_OK) << "SDL_AUDIODRIVER=" << (std::getenv("SDL_AUDIODRIVER") ?: "");
    WAVEFORMATEX format = pcmFormat(44100, 2, 16);
    DSBUFFERDESC description{36, 0x58080, 17640, 0, &format};
    AudioBuffer* buffer = nullptr;
    ASSERT_EQ(device->createSoundBuffer(&description, &buffer), DS_OK);
    ASSERT_EQ(buffer->play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::uint32_t first = 0, moved = 0, last = 0;
    buffer->getCurrentPosition(&first, nullptr);
    for (int i = 0; i < 200; ++i) {
        void *r1 = nullptr, *r2 = nullptr;
        std::uint32_t n1 = 0, n2 = 0;
        ASSERT_EQ(buffer->lock(static_cast<std::uint32_t>(i % 10) * 1764, 1764, &r1, &n1, &r2, &n2, 0), DS_OK);
        std::memset(r1, i, n1);
        ASSERT_EQ(buffer->unlock(r1, n1, r2, n2), DS_OK);
        buffer->setVolume(-(i * 37 % 10000));
        std::uint32_t cursor = 0;
        buffer->getCurrentPosition(&cursor, nullptr);
        moved += cursor != last;
        last = cursor;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_GT(moved, 0u);
    buffer->stop();
    buffer->release();
    device->release();
}

TEST(AudioDeviceCreation, NoDriverIsRefused) {
    const char* previous = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = previous ? previous : "";
    setenv("SDL_AUDIODRIVER", "nosuchdriver", 1);
    AudioDevice* device = reinterpret_cast<AudioDevice*>(1);
    EXPECT_EQ(AudioDevice::create(&device), DSERR_NODRIVER);
    EXPECT_EQ(device, nullptr);
    if (previous) {
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    } else {
        unsetenv("SDL_AUDIODRIVER");
    }
}

}  // namespace

// Streaming tracks on the null device and the fake clock: when sounds end,
// when segments are refilled, volumes, pauses, loops set after opening, the
// direct-play track, and what reaches the mix.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/Clock.h"
#include "sound/DSoundTrack.h"
#include "sound/SoundFixtures.h"
#include "support/TestSupport.h"

namespace {

class Tracks : public ::testing::Test, public LoggedTest {
protected:
    void SetUp() override {
        Clock::setInstance(&clock_);
        ASSERT_EQ(AudioDevice::create(&device_), DS_OK);
    }
    void TearDown() override {
        tracks_.clear();
        device_->release();
        Clock::setInstance(nullptr);
    }
    // A WAV sound of `ms` milliseconds (8000 Hz mono unless told).
    std::string writeSound(const std::string& name, std::uint32_t ms, WAVEFORMATEX format = pcmFormat(8000, 1, 16)) {
        const std::size_t bytes = static_cast<std::size_t>(ms) * format.nAvgBytesPerSec / 1000;
        root().writeFile(name, wavFile(format, patternBytes(bytes, ms)));
        return name;
    }
    DSoundTrack& openTrack(const std::string& name, std::uint32_t kind = kSoundKindWav) {
        tracks_.push_back(std::make_unique<DSoundTrack>());
        EXPECT_EQ(tracks_.back()->open(name, kind, device_), S_OK) << logText();
        return *tracks_.back();
    }
    // Frames of `step` ms with one update each, until `until` ms after now.
    void run(DSoundTrack& track, std::uint32_t ms, std::uint32_t step = 16) {
        for (std::uint32_t done = 0; done < ms; done += step) {
            clock_.advance(std::min(step, ms - done));
            track.update();
        }
    }
    // The staging bytes of the whole buffer (what the decoder last wrote).
    Bytes bufferBytes(DSoundTrack& track) {
        void *r1 = nullptr, *r2 = nullptr;
        std::uint32_t n1 = 0, n2 = 0;
        EXPECT_EQ(track.getBuffer()->lock(0, 0, &r1, &n1, &r2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
        Bytes out(static_cast<std::uint8_t*>(r1), static_cast<std::uint8_t*>(r1) + n1);
        track.getBuffer()->unlock(r1, n1, r2, n2);
        return out;
    }

    FakeClock clock_{5000};
    NullAudioBackend backend_;
    AudioDevice* device_ = nullptr;
    std::vector<std::unique_ptr<DSoundTrack>> tracks_;
};

TEST_F(Tracks, ShortSoundsEndByTheClock) {
    struct Case {
        std::uint32_t ms;
        std::uint32_t fits;
        std::uint32_t muteAt;  // ms after play
    } cases[] = {{4999, 1, 4979}, {5000, 0, 4900}, {10000, 0, 9900}};
    for (const Case& c : cases) {
        DSoundTrack& track = openTrack(writeSound("s" + std::to_string(c.ms) + ".wav", c.ms));
        EXPECT_EQ(track.getDuration(), c.ms);
        EXPECT_EQ(track.fits(), c.fits) << c.ms;
        EXPECT_EQ(track.getFillCount(), 50u);
        ASSERT_EQ(track.play(), S_OK);
        run(track, c.muteAt - 1, 1);
        EXPECT_EQ(track.getCurrentVolume(), 0) << c.ms;
        run(track, 1, 1);
        EXPECT_EQ(track.getCurrentVolume(), -10000) << c.ms;
        run(track, c.ms - c.muteAt - 1, 1);
        EXPECT_TRUE(track.isPlaying()) << c.ms;
        run(track, 1, 1);
        EXPECT_FALSE(track.isPlaying()) << c.ms;
        EXPECT_FALSE(track.getBuffer()->isPlaying()) << c.ms;
        // Up to 5000 ms nothing is ever refilled; longer sounds stream.
        if (c.ms <= 5000) {
            EXPECT_EQ(track.getFillCount(), 50u) << c.ms;
        } else {
            // A crossing each 100 ms, the last on the frame that stops it.
            EXPECT_EQ(track.getFillCount(), 50u + 100u) << c.ms;
        }
        // play restores the volume the end muted.
        ASSERT_EQ(track.rewind(), S_OK);
        ASSERT_EQ(track.play(), S_OK);
        EXPECT_EQ(track.getCurrentVolume(), 0);
    }
}

TEST_F(Tracks, LongSoundsEndByTheFillCountAndRefillOnlyOnASegmentChange) {
    DSoundTrack& track = openTrack(writeSound("long.wav", 10001));
    EXPECT_EQ(track.getSegmentSize(), 1600u);
    ASSERT_EQ(track.play(), S_OK);
    // Within segment 0 nothing is refilled; each crossing refills one.
    run(track, 99, 1);
    EXPECT_EQ(track.getFillCount(), 50u);
    run(track, 1, 1);
    EXPECT_EQ(track.getFillCount(), 51u);
    EXPECT_EQ(track.getNextSegment(), 1u);
    run(track, 150, 50);
    EXPECT_EQ(track.getFillCount(), 52u);
    std::uint32_t mutedAt = 0;
    std::uint32_t stoppedAt = 0;
    while (track.isPlaying() && clock_.timeGetTime() < 30000) {
        run(track, 16);
        if (!mutedAt && track.getCurrentVolume() == -10000) mutedAt = track.getFillCount();
        if (!track.isPlaying()) stoppedAt = track.getFillCount();
    }
    EXPECT_EQ(mutedAt, 148u);
    EXPECT_EQ(stoppedAt, 149u);
}

TEST_F(Tracks, VolumesAreClampedAndTheBufferCalledOnlyOnAChange) {
    DSoundTrack& track = openTrack(writeSound("v.wav", 1000));
    struct Case {
        std::int32_t request;
        std::int32_t target;
    } cases[] = {{500, 0}, {-20000, -10000}, {-600, -600}, {-600, -600}, {0, 0}};
    for (const Case& c : cases) {
        ASSERT_EQ(track.setVolume(c.request), S_OK);
        EXPECT_EQ(track.getTargetVolume(), c.target) << c.request;
        std::int32_t onBuffer = 1;
        track.getBuffer()->getVolume(&onBuffer);
        EXPECT_EQ(onBuffer, c.target) << c.request;
    }
    EXPECT_EQ(track.applyVolume(-700), S_OK);
    EXPECT_EQ(track.getCurrentVolume(), -700);
    EXPECT_EQ(track.applyVolume(5), S_OK);
    EXPECT_EQ(track.getCurrentVolume(), 0);
}

TEST_F(Tracks, SegmentsAreWholeSampleFramesAndHoldTheStreamWithoutGaps) {
    // 11025 Hz mono 16-bit: 2205 bytes would split a frame; 2204 do not.
    root().writeFile("odd.ogg", oggTone(11025, 1, 6.0));
    const Bytes reference = plainOggDecode((root().path() / "odd.ogg").string());
    DSoundTrack& track = openTrack("odd.ogg", kSoundKindOgg);
    EXPECT_EQ(track.getSegmentSize(), 2204u);
    EXPECT_EQ(track.getBufferBytes(), 110250u);
    EXPECT_EQ(track.getFillCount(), 50u);
    const Bytes held = bufferBytes(track);
    ASSERT_GE(reference.size(), held.size());
    EXPECT_EQ(held, Bytes(reference.begin(), reference.begin() + static_cast<std::ptrdiff_t>(held.size())));
}

TEST_F(Tracks, WhatTheDecoderLeavesUnwrittenIsSilence) {
    DSoundTrack& track = openTrack(writeSound("six.wav", 6000));
    ASSERT_EQ(track.play(), S_OK);
    // Segment 10 is refilled when the cursor leaves it, past the data's end.
    run(track, 1150, 16);
    const Bytes held = bufferBytes(track);
    const Bytes segment10(held.begin() + 10 * 1600, held.begin() + 11 * 1600);
    EXPECT_EQ(segment10, Bytes(1600, 0));
    EXPECT_NE(Bytes(held.begin() + 9 * 1600, held.begin() + 10 * 1600), Bytes(1600, 0));
}

TEST_F(Tracks, ALongSoundPlayedAgainAfterStopIsNotMutedAtOnce) {
    DSoundTrack& track = openTrack(writeSound("twelve.wav", 12000));
    ASSERT_EQ(track.play(), S_OK);
    run(track, 11000);
    EXPECT_GT(track.getFillCount(), 150u);
    ASSERT_EQ(track.stop(), S_OK);
    EXPECT_EQ(track.getFillCount(), 50u);
    ASSERT_EQ(track.play(), S_OK);
    run(track, 1000);
    EXPECT_TRUE(track.isPlaying());
    EXPECT_EQ(track.getCurrentVolume(), 0);
    // resetPosition (before a direct restart) starts the count again too.
    ASSERT_EQ(track.resetPosition(), S_OK);
    EXPECT_EQ(track.getFillCount(), 0u);
}

TEST_F(Tracks, APauseDoesNotCountTowardsTheLengthAndResumePlaysOnce) {
    DSoundTrack& track = openTrack(writeSound("three.wav", 3000));
    ASSERT_TRUE(track.fits());
    ASSERT_EQ(track.play(), S_OK);
    run(track, 1000);
    ASSERT_EQ(track.pause(), S_OK);
    EXPECT_TRUE(track.isPaused());
    run(track, 10000);
    EXPECT_TRUE(track.isPlaying());
    ASSERT_EQ(track.resume(), S_OK);
    run(track, 1950);
    EXPECT_TRUE(track.isPlaying());
    // Resumed once from the buffer, not looping: left alone, the buffer
    // stops at its end with its cursor at 0.
    clock_.advance(4000);
    std::uint32_t cursor = 1;
    track.getBuffer()->getCurrentPosition(&cursor, nullptr);
    EXPECT_EQ(cursor, 0u);
    EXPECT_FALSE(track.getBuffer()->isPlaying());
    run(track, 16);
    EXPECT_FALSE(track.isPlaying());
}

TEST_F(Tracks, ALoopSetAfterOpenStreamsTheShortSoundForEver) {
    const std::string name = writeSound("two.wav", 2000, pcmFormat(44100, 1, 16));
    DSoundTrack& track = openTrack(name);
    ASSERT_TRUE(track.fits());
    track.setLoop(1);
    track.setLoopStart(0);
    static_cast<NullAudioDevice*>(device_)->startCapture();
    ASSERT_EQ(track.play(), S_OK);
    EXPECT_FALSE(track.fits());
    run(track, 7000);
    EXPECT_TRUE(track.isPlaying());
    EXPECT_TRUE(track.getBuffer()->isPlaying());
    // The mix at 2.0 s and at 4.0 s is the sound's start again.
    std::vector<std::int16_t> mix = static_cast<NullAudioDevice*>(device_)->takeCapture();
    const Bytes data = patternBytes(2000 * 88200 / 1000, 2000);
    auto sampleAt = [&data](std::size_t frame) {
        return static_cast<std::int16_t>(data[2 * frame] | (data[2 * frame + 1] << 8));
    };
    ASSERT_GE(mix.size(), 7u * 44100 * 2);
    for (std::size_t second : {0u, 2u, 4u, 6u}) {
        for (std::size_t k : {0u, 1u, 1000u, 44099u}) {
            const std::size_t out = second * 44100 + k;
            EXPECT_EQ(mix[2 * out], sampleAt(k)) << second << " " << k;
            EXPECT_EQ(mix[2 * out + 1], sampleAt(k)) << second << " " << k;
        }
    }
}

TEST_F(Tracks, TheDirectTrackPlaysOggFilesNamedAsRawWav) {
    root().writeFile("v/voice.wav.raw", oggTone(44100, 2, 1.0));
    tracks_.push_back(std::make_unique<DSoundTrack>());
    DSoundTrack& track = *tracks_.back();
    ASSERT_EQ(track.openWithoutSource(1043, device_), S_OK);
    EXPECT_EQ(track.getFillCount(), 0u);
    EXPECT_EQ(track.getBufferBytes(), 882000u);
    ASSERT_EQ(track.resetPosition(), S_OK);
    ASSERT_EQ(track.restart("v\\voice.wav.raw"), S_OK);
    EXPECT_EQ(track.getDuration(), 1000u);
    EXPECT_EQ(track.getFillCount(), 1u);
    ASSERT_EQ(track.play(), S_OK);
    run(track, 500);
    EXPECT_GT(track.getFillCount(), 1u);  // the rest streams in, a segment a frame
    run(track, 600);
    EXPECT_FALSE(track.isPlaying());
}

TEST_F(Tracks, ATrackWithoutASourceOrBufferFailsCleanly) {
    tracks_.push_back(std::make_unique<DSoundTrack>());
    DSoundTrack& track = *tracks_.back();
    EXPECT_EQ(track.open("sound\\missing.ogg", kSoundKindOgg, device_), DSERR_BADFORMAT);
    std::vector<std::string> lines = logLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], ".\\Src\\DSoundTrack:224  Arg:sound\\missing.ogg  FAILED");
    EXPECT_EQ(lines.back(), "DSERR_BADFORMAT");
    EXPECT_EQ(track.getBuffer(), nullptr);
    EXPECT_EQ(track.play(), E_FAIL);
    EXPECT_EQ(track.stop(), E_FAIL);
    EXPECT_EQ(track.pause(), E_FAIL);
    EXPECT_EQ(track.resume(), S_OK);
    EXPECT_EQ(track.setVolume(-100), S_OK);
    EXPECT_EQ(track.rewind(), S_OK);
    EXPECT_EQ(track.resetPosition(), S_OK);
    EXPECT_EQ(track.update(), S_OK);
    EXPECT_EQ(track.getFillCount(), 0u);
}

TEST_F(Tracks, PlayedAtVolumeZeroTheMixIsTheSoundSampleForSample) {
    const WAVEFORMATEX format = pcmFormat(44100, 2, 16);
    const std::string name = writeSound("music.wav", 12000, format);
    const Bytes data = patternBytes(12000 * 176400 / 1000, 12000);
    struct Case {
        std::int32_t volume;
    } cases[] = {{0}, {-600}, {-10000}};
    double rmsAtZero = 0.0;
    for (const Case& c : cases) {
        DSoundTrack& track = openTrack(name);
        track.setVolume(c.volume);
        auto* null = static_cast<NullAudioDevice*>(device_);
        null->startCapture();
        ASSERT_EQ(track.play(), S_OK);
        for (int frame = 0; frame < 9 * 60; ++frame) {
            clock_.advance(frame % 3 == 2 ? 16 : 17);
            track.update();
        }
        std::vector<std::int16_t> mix = null->takeCapture();
        ASSERT_GE(mix.size(), 9u * 44100 * 2);
        mix.resize(9u * 44100 * 2);
        if (c.volume == 0) {
            ASSERT_EQ(std::memcmp(mix.data(), data.data(), mix.size() * 2), 0);
            rmsAtZero = rms(mix);
        } else if (c.volume == -600) {
            EXPECT_NEAR(rms(mix) / rmsAtZero, 0.5, 0.005);
        } else {
            EXPECT_EQ(peak(mix), 0);
        }
        track.stop();
    }
}

}  // namespace

namespace {
// A stream that gives nothing (here a voice file that is missing) plays
// silence, not what the buffer held before, and its failed reads cost one line.
TEST_F(Tracks, AFailedStreamIsSilenceWithOneLogLine) {
    root().writeFile("v/a.wav.raw", oggTone(44100, 2, 3.0));
    tracks_.push_back(std::make_unique<DSoundTrack>());
    DSoundTrack& track = *tracks_.back();
    ASSERT_EQ(track.openWithoutSource(1043, device_), S_OK);
    track.resetPosition();
    ASSERT_EQ(track.restart("v\\a.wav.raw"), S_OK);
    ASSERT_EQ(track.play(), S_OK);
    run(track, 1000);
    track.resetPosition();
    EXPECT_EQ(track.restart("v\\missing.wav.raw"), E_FAIL);
    EXPECT_EQ(track.getDuration(), 0u);
    auto* null = static_cast<NullAudioDevice*>(device_);
    null->startCapture();
    ASSERT_EQ(track.play(), S_OK);
    run(track, 3000);
    EXPECT_FALSE(track.isPlaying());
    EXPECT_EQ(peak(null->takeCapture()), 0);
    std::size_t failedReads = 0;
    for (const std::string& line : logLines()) failedReads += line == ".\\Src\\DSoundTrack:289  FAILED";
    EXPECT_EQ(failedReads, 1u) << logText();
}
}  // namespace

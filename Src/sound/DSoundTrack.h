// One sound streamed through one device buffer of 5 seconds in 50 segments.
// Opening fills the whole buffer; afterwards `update`, once a frame, refills
// at most the one segment the play cursor has just left. A sound shorter
// than the buffer plays once from it without refills. The end of a sound is
// found by the clock up to 10 seconds and by counting segment fills beyond.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/Audio.h"
#include "services/ResourceObject.h"
#include "sound/SoundDecoder.h"

class DSoundTrack : public ResourceObject {
public:
    static constexpr std::uint32_t kBufferSeconds = 5;
    static constexpr std::uint32_t kSegmentCount = 50;

    DSoundTrack();
    ~DSoundTrack() override;
    DSoundTrack(const DSoundTrack&) = delete;
    DSoundTrack& operator=(const DSoundTrack&) = delete;

    // In init's place: back to the start of the sound (reuse by name).
    void init() override { rewind(); }
    // Once a frame while playing: ends the sound when due, refills a segment.
    virtual HRESULT update();

    HRESULT open(std::string_view name, std::uint32_t kind, AudioDevice* device);
    // Whether a track opened on `name`, whose decoder gave `format`, gets
    // its buffer on `device`: makes and releases the buffer `open` makes, and
    // fails, logged the same way, where `open` fails.
    static HRESULT checkBuffer(std::string_view name, const WAVEFORMATEX& format, AudioDevice* device);
    // A buffer of the default format and a decoder of the kind with no file
    // yet (the direct-play track); `restart` gives it its files.
    HRESULT openWithoutSource(std::uint32_t kind, AudioDevice* device);
    HRESULT play();
    HRESULT stop();
    HRESULT pause();
    HRESULT resume();
    HRESULT resetPosition();
    HRESULT rewind();
    HRESULT restart(std::string_view name);
    HRESULT setVolume(std::int32_t volume);
    HRESULT applyVolume(std::int32_t volume);
    void setLoop(std::uint32_t loop);
    void setLoopStart(std::uint32_t bytes);

    std::uint32_t getDuration() const { return duration_; }
    std::uint32_t isPlaying() const { return playing_; }
    std::uint32_t isPaused() const { return paused_; }
    std::uint32_t getLoop() const { return loop_; }
    std::uint32_t getLoopStart() const { return loopStart_; }
    std::uint32_t fits() const { return fits_; }
    std::int32_t getTargetVolume() const { return targetVolume_; }
    std::int32_t getCurrentVolume() const { return currentVolume_; }
    std::uint32_t getFillCount() const { return fillCount_; }
    std::uint32_t getNextSegment() const { return nextSegment_; }
    std::uint32_t getSegmentSize() const { return segmentSize_; }
    std::uint32_t getBufferBytes() const { return bufferBytes_; }
    const WAVEFORMATEX& getFormat() const { return format_; }
    AudioBuffer* getBuffer() const { return buffer_; }
    SoundDecoder* getDecoder() const { return decoder_; }

private:
    // A failure is logged at `failureLine`, naming `fileName` when given.
    HRESULT createBuffer(int failureLine, std::string_view fileName = {});
    HRESULT fillSegment();
    // All 50 segments from the start of the sound.
    void refillAll();
    void computeDuration();
    static HRESULT fail(int line, HRESULT result, std::string_view fileName = {});

    AudioDevice* device_ = nullptr;
    AudioBuffer* buffer_ = nullptr;
    WAVEFORMATEX format_{};
    std::uint32_t bufferBytes_ = 0;
    std::uint32_t bufferSeconds_ = kBufferSeconds;
    std::uint32_t segmentCount_ = kSegmentCount;
    std::uint32_t nextSegment_ = 0;
    std::uint32_t duration_ = 0;
    std::uint32_t fillCount_ = 0;
    SoundDecoder* decoder_ = nullptr;
    std::uint32_t loop_ = 0;
    std::uint32_t startTime_ = 0;
    std::int32_t targetVolume_ = 0;
    std::int32_t currentVolume_ = 0;
    std::uint32_t playing_ = 0;
    std::uint32_t fits_ = 0;
    std::uint32_t paused_ = 0;
    std::uint32_t noSource_ = 0;
    std::uint32_t loopStart_ = 0;
    // Whole sample frames per segment (the last one also takes the rest).
    std::uint32_t segmentSize_ = 0;
    // When the running pause began: the clock's time is moved on by it.
    std::uint32_t pauseStart_ = 0;
    // A failed read is logged once per stream; silence plays from there.
    bool readFailureLogged_ = false;
};

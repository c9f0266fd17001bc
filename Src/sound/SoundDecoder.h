// A source of 16-bit little-endian PCM for a streaming track. The kind of a
// sound chooses the decoder: 1044 a WAV file, 1045 a raw PCM entry of the
// archive's "raw" folder, any other an Ogg Vorbis file. Every decoder loops:
// a looping decoder that reaches the end of its data inside a read goes on
// from the loop start within the same read.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Audio.h"
#include "platform/HResult.h"

enum SoundKind : std::uint32_t {
    kSoundKindOgg = 1043,
    kSoundKindWav = 1044,
    kSoundKindRaw = 1045,
};

class SoundDecoder {
public:
    SoundDecoder() = default;
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;
    virtual ~SoundDecoder() = default;

    // Opens the source and writes the format `read` delivers; 0 or E_FAIL.
    virtual HRESULT open(std::string_view name, WAVEFORMATEX* format);
    // Writes up to `bytes` bytes; 0 also when fewer were available.
    virtual HRESULT read(void* destination, std::uint32_t bytes);
    virtual HRESULT close();
    // Back to the first byte of the sound data.
    virtual HRESULT rewind();
    virtual double tellTime();
    virtual double getTotalTime();
    // To a byte offset of the sound data.
    virtual HRESULT seekPcm(std::uint32_t bytes);

    void setLoop(std::uint32_t loop) { loop_ = loop; }
    void setLoopStart(std::uint32_t bytes) { loopStart_ = bytes; }
    std::uint32_t getLoop() const { return loop_; }
    std::uint32_t getLoopStart() const { return loopStart_; }
    std::uint32_t getDataSize() const { return dataSize_; }
    const std::string& getFileName() const { return fileName_; }
    // Set once a non-looping Ogg or raw decoder has delivered its last byte.
    std::uint32_t isEnded() const { return end_; }

    // The decoder of a sound kind.
    static SoundDecoder* create(std::uint32_t kind);

protected:
    std::uint32_t loop_ = 0;
    std::uint32_t dataSize_ = 0;
    std::string fileName_;
    double totalSeconds_ = 0.0;
    std::uint32_t loopStart_ = 0;
    std::uint32_t end_ = 0;
};

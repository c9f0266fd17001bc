// RIFF WAVE files read through the platform's RIFF reader. Opening one
// also writes its raw PCM cache beside it: "<name>.raw", the 18-byte format
// and the data chunk's bytes, the form of the archive's "raw" entries.
#pragma once
#include "platform/RiffFile.h"
#include "sound/SoundDecoder.h"

class WavDecoder : public SoundDecoder {
public:
    WavDecoder() = default;
    ~WavDecoder() override;

    HRESULT open(std::string_view name, WAVEFORMATEX* format) override;
    HRESULT read(void* destination, std::uint32_t bytes) override;
    HRESULT close() override;
    HRESULT rewind() override;
    double tellTime() override;
    double getTotalTime() override;
    HRESULT seekPcm(std::uint32_t bytes) override;
    // Whether `open` writes the raw cache (the engine's decoders do; a tool
    // that only inspects a file leaves nothing beside it).
    void setWritesRawCache(bool writes) { writesRawCache_ = writes; }

private:
    HRESULT fail(int line);
    void writeRawCache();
    // Reads up to `bytes` bytes, never past the data chunk; -1 on an error.
    std::int64_t readData(std::uint8_t* destination, std::uint32_t bytes);

    RiffFile file_;
    WAVEFORMATEX format_{};
    std::uint32_t position_ = 0;
    std::uint32_t dataStart_ = 0;
    bool writesRawCache_ = true;
};

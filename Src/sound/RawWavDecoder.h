// Raw PCM entries of the archive's "raw" folder: the 18-byte format, then
// the sound data (the cache a WAV file's first open writes).
#pragma once
#include "platform/File.h"
#include "sound/SoundDecoder.h"

class RawWavDecoder : public SoundDecoder {
public:
    RawWavDecoder() = default;
    ~RawWavDecoder() override = default;

    HRESULT open(std::string_view name, WAVEFORMATEX* format) override;
    HRESULT read(void* destination, std::uint32_t bytes) override;
    HRESULT close() override;
    HRESULT rewind() override;
    double tellTime() override;
    double getTotalTime() override;
    HRESULT seekPcm(std::uint32_t bytes) override;

private:
    // Reads up to `bytes`, never past the data end.
    std::uint32_t readData(std::uint8_t* destination, std::uint32_t bytes);

    File file_;
    WAVEFORMATEX format_{};
    std::uint32_t position_ = 0;
    std::uint32_t dataStart_ = 0;
    std::uint32_t dataEnd_ = 0;
};

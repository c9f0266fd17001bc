// Ogg Vorbis files decoded by libvorbisfile, read through the platform's
// file calls so sound paths resolve as every other path does.
#pragma once
#include <vorbis/vorbisfile.h>

#include "platform/File.h"
#include "sound/SoundDecoder.h"

class OggDecoder : public SoundDecoder {
public:
    OggDecoder() = default;
    ~OggDecoder() override;

    HRESULT open(std::string_view name, WAVEFORMATEX* format) override;
    HRESULT read(void* destination, std::uint32_t bytes) override;
    HRESULT close() override;
    HRESULT rewind() override;
    double tellTime() override;
    double getTotalTime() override;
    // Seeks to bytes / 4 samples, four bytes a sample of 16-bit stereo,
    // whatever the channel count: scripts' loop values count that way.
    HRESULT seekPcm(std::uint32_t bytes) override;

private:
    // ov_read until `bytes` are delivered, the stream ends or it breaks;
    // the bytes delivered.
    std::uint32_t readStream(std::uint8_t* destination, std::uint32_t bytes);

    OggVorbis_File stream_{};
    File file_;
    vorbis_info* info_ = nullptr;
    ogg_int64_t totalSamples_ = 0;
    bool streamOpen_ = false;
    // A read error other than a hole: the stream gives nothing more.
    bool broken_ = false;
};

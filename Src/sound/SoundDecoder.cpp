#include "sound/SoundDecoder.h"

#include "sound/OggDecoder.h"
#include "sound/RawWavDecoder.h"
#include "sound/WavDecoder.h"

HRESULT SoundDecoder::open(std::string_view, WAVEFORMATEX*) { return S_OK; }
HRESULT SoundDecoder::read(void*, std::uint32_t) { return S_OK; }
HRESULT SoundDecoder::close() { return S_OK; }
HRESULT SoundDecoder::rewind() { return S_OK; }
double SoundDecoder::tellTime() { return 0.0; }
double SoundDecoder::getTotalTime() { return 0.0; }
HRESULT SoundDecoder::seekPcm(std::uint32_t) { return S_OK; }

SoundDecoder* SoundDecoder::create(std::uint32_t kind) {
    switch (kind) {
        case kSoundKindWav:
            return new WavDecoder();
        case kSoundKindRaw:
            return new RawWavDecoder();
        default:
            return new OggDecoder();
    }
}

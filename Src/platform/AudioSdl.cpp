#include <SDL.h>

#include "platform/Audio.h"

HRESULT SdlAudioDevice::open(AudioDevice** device) {
    // No driver (or SDL_AUDIODRIVER naming none) and no card both mean no
    // DirectSound driver.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return DSERR_NODRIVER;
    auto* self = new SdlAudioDevice();
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(kAudioOutputRate);
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(kAudioOutputChannels);
    want.samples = static_cast<Uint16>(kAudioChunkFrames);
    want.callback = &SdlAudioDevice::callback;
    want.userdata = self;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts whatever the hardware wants.
    self->deviceId_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (self->deviceId_ == 0) {
        delete self;  // quits the subsystem again
        return DSERR_NODRIVER;
    }
    SDL_PauseAudioDevice(self->deviceId_, 0);
    *device = self;
    return DS_OK;
}

SdlAudioDevice::~SdlAudioDevice() {
    // Closing waits for a running callback; no callback runs afterwards.
    if (deviceId_) SDL_CloseAudioDevice(deviceId_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlAudioDevice::callback(void* self, std::uint8_t* stream, int length) {
    auto* device = static_cast<SdlAudioDevice*>(self);
    const std::uint32_t frames = static_cast<std::uint32_t>(length) / (kAudioOutputChannels * 2);
    std::lock_guard<std::mutex> guard(device->lock_);
    device->mixLocked(reinterpret_cast<std::int16_t*>(stream), frames);
}

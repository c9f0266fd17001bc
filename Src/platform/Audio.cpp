#include "platform/Audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/Clock.h"

namespace {
AudioDevice::Factory& factory() {
    static AudioDevice::Factory installed;
    return installed;
}
std::mutex& factoryLock() {
    static std::mutex lock;
    return lock;
}

std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The capabilities every device reports: continuous rates, 8- and 16-bit,
// mono and stereo primary formats; not certified; a driver (not emulated);
// no hardware mixing or memory.
constexpr std::uint32_t kCapsFlags =
    DSCAPS_CONTINUOUSRATE | DSCAPS_PRIMARY16BIT | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO;
constexpr std::uint32_t kMinRate = 100;
constexpr std::uint32_t kMaxRate = 200000;

void fillCaps(DSCAPS* caps, std::uint32_t flags) {
    const std::uint32_t size = caps->dwSize;
    *caps = DSCAPS{};
    caps->dwSize = size;
    caps->dwFlags = flags;
    caps->dwMinSecondarySampleRate = kMinRate;
    caps->dwMaxSecondarySampleRate = kMaxRate;
    caps->dwPrimaryBuffers = 1;
}

std::int16_t saturate(std::int32_t sum) {
    return static_cast<std::int16_t>(std::clamp(sum, -32768, 32767));
}
}  // namespace

void writeWaveFormat(const WAVEFORMATEX& f, std::uint8_t* out) {
    put16(out + 0, f.wFormatTag);
    put16(out + 2, f.nChannels);
    put32(out + 4, f.nSamplesPerSec);
    put32(out + 8, f.nAvgBytesPerSec);
    put16(out + 12, f.nBlockAlign);
    put16(out + 14, f.wBitsPerSample);
    put16(out + 16, f.cbSize);
}

WAVEFORMATEX readWaveFormat(const std::uint8_t* in) {
    WAVEFORMATEX f;
    f.wFormatTag = get16(in + 0);
    f.nChannels = get16(in + 2);
    f.nSamplesPerSec = get32(in + 4);
    f.nAvgBytesPerSec = get32(in + 8);
    f.nBlockAlign = get16(in + 12);
    f.wBitsPerSample = get16(in + 14);
    f.cbSize = get16(in + 16);
    return f;
}

bool isPlayableFormat(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
    if (f.nChannels != 1 && f.nChannels != 2) return false;
    if (f.nSamplesPerSec < kMinRate || f.nSamplesPerSec > kMaxRate) return false;
    const std::uint32_t align = f.nChannels * (f.wBitsPerSample / 8u);
    return f.nBlockAlign == align && f.nAvgBytesPerSec == f.nSamplesPerSec * align;
}

std::int32_t volumeToGain(std::int32_t volume) {
    if (volume >= 0) return 65536;
    if (volume <= DSBVOLUME_MIN) return 0;
    return static_cast<std::int32_t>(std::lround(std::pow(10.0, volume / 2000.0) * 65536.0));
}

// ---------------------------------------------------------------------------
// Buffers

AudioBuffer::AudioBuffer(AudioDevice* device, bool primary, const WAVEFORMATEX& format, std::uint32_t bytes)
    : device_(device),
      primary_(primary),
      format_(format),
      bytes_(bytes),
      frames_(primary ? 0 : bytes / format.nBlockAlign),
      ring_(bytes, 0),
      staging_(bytes, 0) {
    if (!primary) {
        stepFrames_ = format.nSamplesPerSec / kAudioOutputRate;
        stepPhase_ = format.nSamplesPerSec % kAudioOutputRate;
    }
}

HRESULT AudioBuffer::lock(std::uint32_t offset, std::uint32_t bytes, void** region1, std::uint32_t* bytes1,
                          void** region2, std::uint32_t* bytes2, std::uint32_t flags) {
    if (!device_ || primary_) return DSERR_INVALIDCALL;
    if (!region1 || !bytes1) return DSERR_INVALIDPARAM;
    if (flags & DSBLOCK_ENTIREBUFFER) {
        offset = 0;
        bytes = bytes_;
    } else if (flags & DSBLOCK_FROMWRITECURSOR) {
        getCurrentPosition(nullptr, &offset);
    }
    if (offset >= bytes_ || bytes == 0 || bytes > bytes_) return DSERR_INVALIDPARAM;
    const std::uint32_t first = std::min(bytes, bytes_ - offset);
    const std::uint32_t second = bytes - first;
    if (second && (!region2 || !bytes2)) return DSERR_INVALIDPARAM;
    *region1 = staging_.data() + offset;
    *bytes1 = first;
    if (region2) *region2 = second ? staging_.data() : nullptr;
    if (bytes2) *bytes2 = second;
    return DS_OK;
}

HRESULT AudioBuffer::unlock(void* region1, std::uint32_t bytes1, void* region2, std::uint32_t bytes2) {
    if (!device_ || primary_) return DSERR_INVALIDCALL;
    const std::uint8_t* base = staging_.data();
    auto inside = [&](const void* region, std::uint32_t count) {
        if (!region || count == 0) return true;
        const auto* p = static_cast<const std::uint8_t*>(region);
        return p >= base && p < base + bytes_ && count <= static_cast<std::uint32_t>(base + bytes_ - p);
    };
    if (!inside(region1, bytes1) || !inside(region2, bytes2)) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(device_->lock_);
    device_->catchUpLocked();
    for (auto [region, count] : {std::pair{region1, bytes1}, std::pair{region2, bytes2}}) {
        if (!region || count == 0) continue;
        const std::size_t at = static_cast<const std::uint8_t*>(region) - base;
        std::memcpy(ring_.data() + at, base + at, count);
    }
    return DS_OK;
}

HRESULT AudioBuffer::play(std::uint32_t, std::uint32_t, std::uint32_t flags) {
    if (!device_) return DSERR_INVALIDCALL;
    if (primary_) {
        if (HRESULT fault = device_->primaryFault(true); FAILED(fault)) return fault;
    }
    std::lock_guard<std::mutex> guard(device_->lock_);
    device_->catchUpLocked();
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
    playing_ = true;
    return DS_OK;
}

HRESULT AudioBuffer::stop() {
    if (!device_) return DSERR_INVALIDCALL;
    std::lock_guard<std::mutex> guard(device_->lock_);
    device_->catchUpLocked();
    playing_ = false;
    return DS_OK;
}

HRESULT AudioBuffer::setCurrentPosition(std::uint32_t position) {
    if (!device_ || primary_) return DSERR_INVALIDCALL;
    if (position >= bytes_) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(device_->lock_);
    device_->catchUpLocked();
    frame_ = position / format_.nBlockAlign;
    phase_ = 0;
    return DS_OK;
}

HRESULT AudioBuffer::getCurrentPosition(std::uint32_t* playCursor, std::uint32_t* writeCursor) {
    if (!device_ || primary_) return DSERR_INVALIDCALL;
    std::lock_guard<std::mutex> guard(device_->lock_);
    device_->catchUpLocked();
    const std::uint32_t cursor = frame_ * format_.nBlockAlign;
    if (playCursor) *playCursor = cursor;
    if (writeCursor) *writeCursor = cursor;
    return DS_OK;
}

HRESULT AudioBuffer::setVolume(std::int32_t volume) {
    if (!device_) return DSERR_INVALIDCALL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    const std::int32_t gain = volumeToGain(volume);
    std::lock_guard<std::mutex> guard(device_->lock_);
    device_->catchUpLocked();
    volume_ = volume;
    gain_ = gain;
    return DS_OK;
}

HRESULT AudioBuffer::getVolume(std::int32_t* volume) {
    if (!device_) return DSERR_INVALIDCALL;
    if (!volume) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(device_->lock_);
    *volume = volume_;
    return DS_OK;
}

HRESULT AudioBuffer::setFormat(const WAVEFORMATEX* format) {
    if (!device_ || !primary_) return DSERR_INVALIDCALL;
    if (!format) return DSERR_INVALIDPARAM;
    if (!isPlayableFormat(*format)) return DSERR_BADFORMAT;
    if (HRESULT fault = device_->primaryFault(false); FAILED(fault)) return fault;
    std::lock_guard<std::mutex> guard(device_->lock_);
    format_ = *format;
    return DS_OK;
}

bool AudioBuffer::isPlaying() {
    if (!device_) return false;
    std::lock_guard<std::mutex> guard(device_->lock_);
    device_->catchUpLocked();
    return playing_;
}

void AudioBuffer::release() {
    if (device_) device_->forget(this);
    delete this;
}

template <int Bits, int Channels>
void AudioBuffer::mixFormat(std::int32_t* sums, std::uint32_t frames) {
    const std::uint8_t* data = ring_.data();
    auto sample = [data](std::uint32_t frame, int channel) -> std::int32_t {
        if constexpr (Bits == 8) {
            return (static_cast<std::int32_t>(data[frame * Channels + channel]) - 128) * 256;
        } else {
            const std::uint8_t* p = data + (frame * Channels + channel) * 2;
            return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
        }
    };
    const std::int64_t gain = gain_;
    const std::uint32_t stepFrames = stepFrames_;
    const std::uint32_t stepPhase = stepPhase_;
    // The position in locals: the sums written are int32 and could alias
    // the members, which would keep them in memory.
    std::uint32_t frame = frame_;
    std::uint32_t phase = phase_;
    // One output frame from `at` and the frame after it.
    auto mixOne = [&](std::int32_t* out, std::uint32_t at, std::uint32_t next) {
        // phase / 44100 in 1/65536 units, by a multiplication (2^32 / 44100
        // rounded up keeps half a frame at exactly 32768).
        const std::int32_t fraction = static_cast<std::int32_t>((static_cast<std::uint64_t>(phase) * 97392u) >> 16);
        std::int32_t left = sample(at, 0);
        std::int32_t right = Channels == 2 ? sample(at, 1) : left;
        const std::int32_t nextLeft = sample(next, 0);
        const std::int32_t nextRight = Channels == 2 ? sample(next, 1) : nextLeft;
        left += static_cast<std::int32_t>((static_cast<std::int64_t>(nextLeft - left) * fraction) >> 16);
        right += static_cast<std::int32_t>((static_cast<std::int64_t>(nextRight - right) * fraction) >> 16);
        out[0] += static_cast<std::int32_t>((left * gain) >> 16);
        out[1] += static_cast<std::int32_t>((right * gain) >> 16);
        // The phase is a loop-carried chain: a select keeps it short.
        phase += stepPhase;
        const bool carry = phase >= kAudioOutputRate;
        const std::uint32_t wrapped = phase - kAudioOutputRate;
        phase = carry ? wrapped : phase;
        frame += stepFrames + (carry ? 1u : 0u);
    };
    const std::uint64_t rate = static_cast<std::uint64_t>(stepFrames) * kAudioOutputRate + stepPhase;
    std::uint32_t i = 0;
    while (i < frames) {
        std::uint32_t run = 1;
        if (frame + 1 < frames_) {
            // The output frames whose source frame has a next one inside the
            // buffer: no end to watch for while mixing them.
            const std::uint64_t limit = static_cast<std::uint64_t>(frames_ - 1) * kAudioOutputRate;
            const std::uint64_t position = static_cast<std::uint64_t>(frame) * kAudioOutputRate + phase;
            run = static_cast<std::uint32_t>(std::min<std::uint64_t>((limit - position + rate - 1) / rate, frames - i));
            std::int32_t* out = sums + 2 * i;
            if (stepPhase == 0 && phase == 0) {
                // Whole frames at a time (44100 Hz): nothing to interpolate.
                for (std::uint32_t k = 0; k < run; ++k, out += 2, frame += stepFrames) {
                    const std::int32_t left = sample(frame, 0);
                    const std::int32_t right = Channels == 2 ? sample(frame, 1) : left;
                    out[0] += static_cast<std::int32_t>((left * gain) >> 16);
                    out[1] += static_cast<std::int32_t>((right * gain) >> 16);
                }
            } else {
                for (std::uint32_t k = 0; k < run; ++k, out += 2) mixOne(out, frame, frame + 1);
            }
        } else {
            // The last frame: the next is the first again when looping, the
            // same one at the end of a one-shot buffer.
            mixOne(sums + 2 * i, frame, looping_ ? 0 : frame);
        }
        i += run;
        if (frame >= frames_) {
            if (!looping_) {
                // A one-shot buffer stops at its end with its cursor at 0.
                playing_ = false;
                frame_ = 0;
                phase_ = 0;
                return;
            }
            frame %= frames_;
        }
    }
    frame_ = frame;
    phase_ = phase;
}

void AudioBuffer::mixInto(std::int32_t* sums, std::uint32_t frames) {
    if (!playing_ || primary_ || frames_ == 0) return;
    const bool stereo = format_.nChannels == 2;
    if (format_.wBitsPerSample == 16) {
        stereo ? mixFormat<16, 2>(sums, frames) : mixFormat<16, 1>(sums, frames);
    } else {
        stereo ? mixFormat<8, 2>(sums, frames) : mixFormat<8, 1>(sums, frames);
    }
}

// ---------------------------------------------------------------------------
// Devices

AudioDevice::AudioDevice() : sums_(kAudioChunkFrames * kAudioOutputChannels, 0) {}

AudioDevice::~AudioDevice() {
    for (AudioBuffer* buffer : buffers_) buffer->device_ = nullptr;
}

HRESULT AudioDevice::create(AudioDevice** device) {
    if (!device) return DSERR_INVALIDPARAM;
    *device = nullptr;
    Factory installed;
    {
        std::lock_guard<std::mutex> guard(factoryLock());
        installed = factory();
    }
    return installed ? installed(device) : SdlAudioDevice::open(device);
}

void AudioDevice::setFactory(Factory f) {
    std::lock_guard<std::mutex> guard(factoryLock());
    factory() = std::move(f);
}

HRESULT AudioDevice::setCooperativeLevel(void*, std::uint32_t level) {
    if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    return DS_OK;
}

HRESULT AudioDevice::getCaps(DSCAPS* caps) {
    if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    fillCaps(caps, kCapsFlags);
    return DS_OK;
}

HRESULT AudioDevice::createSoundBuffer(const DSBUFFERDESC* description, AudioBuffer** buffer) {
    if (!description || !buffer) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (description->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        if (description->dwBufferBytes != 0 || description->lpwfxFormat) return DSERR_INVALIDPARAM;
        WAVEFORMATEX output{WAVE_FORMAT_PCM, 2, kAudioOutputRate, kAudioOutputRate * 4, 4, 16, 0};
        *buffer = new AudioBuffer(this, true, output, 0);
    } else {
        if (!description->lpwfxFormat) return DSERR_INVALIDPARAM;
        if (!isPlayableFormat(*description->lpwfxFormat)) return DSERR_BADFORMAT;
        const std::uint32_t bytes = description->dwBufferBytes;
        if (bytes < DSBSIZE_MIN || bytes > DSBSIZE_MAX || bytes < description->lpwfxFormat->nBlockAlign) {
            return DSERR_INVALIDPARAM;
        }
        *buffer = new AudioBuffer(this, false, *description->lpwfxFormat, bytes);
    }
    std::lock_guard<std::mutex> guard(lock_);
    buffers_.push_back(*buffer);
    return DS_OK;
}

void AudioDevice::release() { delete this; }

void AudioDevice::forget(AudioBuffer* buffer) {
    std::lock_guard<std::mutex> guard(lock_);
    buffers_.erase(std::remove(buffers_.begin(), buffers_.end(), buffer), buffers_.end());
}

void AudioDevice::mixLocked(std::int16_t* out, std::uint32_t frames) {
    while (frames > 0) {
        const std::uint32_t count = std::min(frames, kAudioChunkFrames);
        std::fill(sums_.begin(), sums_.begin() + count * kAudioOutputChannels, 0);
        for (AudioBuffer* buffer : buffers_) buffer->mixInto(sums_.data(), count);
        if (out) {
            for (std::uint32_t i = 0; i < count * kAudioOutputChannels; ++i) out[i] = saturate(sums_[i]);
            out += count * kAudioOutputChannels;
        }
        frames -= count;
    }
}

// ---------------------------------------------------------------------------
// The null device

NullAudioDevice::NullAudioDevice(Faults faults)
    : faults_(faults),
      capsFlags_(kCapsFlags),
      lastTime_(Clock::instance().timeGetTime()),
      chunk_(kAudioChunkFrames * kAudioOutputChannels, 0) {}

NullAudioDevice::~NullAudioDevice() {
    if (releaseHook_) releaseHook_();
}

HRESULT NullAudioDevice::setCooperativeLevel(void* window, std::uint32_t level) {
    if (FAILED(faults_.cooperativeLevel)) return faults_.cooperativeLevel;
    return AudioDevice::setCooperativeLevel(window, level);
}

HRESULT NullAudioDevice::getCaps(DSCAPS* caps) {
    if (FAILED(faults_.getCaps)) return faults_.getCaps;
    if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    fillCaps(caps, capsFlags_);
    return DS_OK;
}

HRESULT NullAudioDevice::createSoundBuffer(const DSBUFFERDESC* description, AudioBuffer** buffer) {
    if (description && (description->dwFlags & DSBCAPS_PRIMARYBUFFER) && FAILED(faults_.createPrimary)) {
        if (buffer) *buffer = nullptr;
        return faults_.createPrimary;
    }
    return AudioDevice::createSoundBuffer(description, buffer);
}

void NullAudioDevice::catchUpLocked() {
    const std::uint32_t now = Clock::instance().timeGetTime();
    elapsedMs_ += static_cast<std::uint32_t>(now - lastTime_);
    lastTime_ = now;
    const std::uint64_t due = elapsedMs_ * kAudioOutputRate / 1000;
    while (framesMixed_ < due) {
        const std::uint32_t count = static_cast<std::uint32_t>(std::min<std::uint64_t>(due - framesMixed_, kAudioChunkFrames));
        mixLocked(chunk_.data(), count);
        if (capturing_) capture_.insert(capture_.end(), chunk_.begin(), chunk_.begin() + count * kAudioOutputChannels);
        framesMixed_ += count;
    }
}

void NullAudioDevice::pump() {
    std::lock_guard<std::mutex> guard(lock_);
    catchUpLocked();
}

void NullAudioDevice::startCapture() {
    std::lock_guard<std::mutex> guard(lock_);
    catchUpLocked();
    capturing_ = true;
}

std::vector<std::int16_t> NullAudioDevice::takeCapture() {
    std::lock_guard<std::mutex> guard(lock_);
    catchUpLocked();
    return std::exchange(capture_, {});
}

std::uint64_t NullAudioDevice::framesMixed() {
    std::lock_guard<std::mutex> guard(lock_);
    catchUpLocked();
    return framesMixed_;
}

NullAudioBackend::NullAudioBackend(NullAudioDevice::Faults faults) : faults_(faults), capsFlags_(kCapsFlags) {
    AudioDevice::setFactory([this](AudioDevice** out) -> HRESULT {
        if (FAILED(faults_.create)) return faults_.create;
        auto* device = new NullAudioDevice(faults_);
        device->setCapsFlags(capsFlags_);
        device->setReleaseHook([this, device] {
            if (device_ == device) device_ = nullptr;
        });
        device_ = device;
        ++made_;
        *out = device;
        return DS_OK;
    });
}

NullAudioBackend::~NullAudioBackend() {
    AudioDevice::setFactory({});
    if (device_) device_->setReleaseHook({});
}

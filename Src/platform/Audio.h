// The sound device and its buffers in the shape of the DirectSound calls the
// engine makes: a device (cooperative level, capabilities, a primary buffer
// with its format, secondary buffers) and ring buffers that are locked,
// written, unlocked and played once or looping, with a play cursor and a
// volume in hundredths of a decibel.
//
// One mixer serves both backends. Every secondary buffer plays at its own
// format's rate, resampled linearly to the output's 44100 Hz 16-bit stereo;
// 8- or 16-bit samples, mono to both sides or stereo; gain 10^(v/2000), 0
// exactly at -10000 and 1 exactly at 0; the 32-bit sums saturated to 16 bits.
// Lock hands out the buffer's own staging memory and unlock copies it into
// the ring under the mixer's lock, so the writer never touches memory the
// mixer reads and neither side allocates while playing.
//
// Backends: SdlAudioDevice mixes in SDL's audio callback (the real program);
// NullAudioDevice has no thread, mixes whatever the platform clock says is
// due whenever it is called, and can keep the mix for tests and tools.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/HResult.h"

// The 18-byte PCM format record, stored little-endian in that order.
struct WAVEFORMATEX {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
};
inline constexpr std::uint32_t kWaveFormatBytes = 18;
inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;
void writeWaveFormat(const WAVEFORMATEX& format, std::uint8_t* out);  // 18 bytes
WAVEFORMATEX readWaveFormat(const std::uint8_t* in);                   // 18 bytes

// The capability record (96 bytes, its size field set by the caller).
struct DSCAPS {
    std::uint32_t dwSize = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwMinSecondarySampleRate = 0;
    std::uint32_t dwMaxSecondarySampleRate = 0;
    std::uint32_t dwPrimaryBuffers = 0;
    std::uint32_t dwMaxHwMixingAllBuffers = 0;
    std::uint32_t dwMaxHwMixingStaticBuffers = 0;
    std::uint32_t dwMaxHwMixingStreamingBuffers = 0;
    std::uint32_t dwFreeHwMixingAllBuffers = 0;
    std::uint32_t dwFreeHwMixingStaticBuffers = 0;
    std::uint32_t dwFreeHwMixingStreamingBuffers = 0;
    std::uint32_t dwMaxHw3DAllBuffers = 0;
    std::uint32_t dwMaxHw3DStaticBuffers = 0;
    std::uint32_t dwMaxHw3DStreamingBuffers = 0;
    std::uint32_t dwFreeHw3DAllBuffers = 0;
    std::uint32_t dwFreeHw3DStaticBuffers = 0;
    std::uint32_t dwFreeHw3DStreamingBuffers = 0;
    std::uint32_t dwTotalHwMemBytes = 0;
    std::uint32_t dwFreeHwMemBytes = 0;
    std::uint32_t dwMaxContigFreeHwMemBytes = 0;
    std::uint32_t dwUnlockTransferRateHwBuffers = 0;
    std::uint32_t dwPlayCpuOverheadSwBuffers = 0;
    std::uint32_t dwReserved1 = 0;
    std::uint32_t dwReserved2 = 0;
};
static_assert(sizeof(DSCAPS) == 96);

inline constexpr std::uint32_t DSCAPS_PRIMARYMONO = 0x00000001;
inline constexpr std::uint32_t DSCAPS_PRIMARYSTEREO = 0x00000002;
inline constexpr std::uint32_t DSCAPS_PRIMARY8BIT = 0x00000004;
inline constexpr std::uint32_t DSCAPS_PRIMARY16BIT = 0x00000008;
inline constexpr std::uint32_t DSCAPS_CONTINUOUSRATE = 0x00000010;
inline constexpr std::uint32_t DSCAPS_EMULDRIVER = 0x00000020;
inline constexpr std::uint32_t DSCAPS_CERTIFIED = 0x00000040;

inline constexpr std::uint32_t DSBCAPS_PRIMARYBUFFER = 0x00000001;
inline constexpr std::uint32_t DSBCAPS_CTRLVOLUME = 0x00000080;
inline constexpr std::uint32_t DSBCAPS_STICKYFOCUS = 0x00004000;
inline constexpr std::uint32_t DSBCAPS_GETCURRENTPOSITION2 = 0x00010000;
inline constexpr std::uint32_t DSBCAPS_LOCDEFER = 0x00040000;

inline constexpr std::uint32_t DSSCL_NORMAL = 1;
inline constexpr std::uint32_t DSSCL_PRIORITY = 2;
inline constexpr std::uint32_t DSSCL_EXCLUSIVE = 3;
inline constexpr std::uint32_t DSSCL_WRITEPRIMARY = 4;

inline constexpr std::uint32_t DSBPLAY_LOOPING = 0x00000001;
inline constexpr std::uint32_t DSBLOCK_FROMWRITECURSOR = 0x00000001;
inline constexpr std::uint32_t DSBLOCK_ENTIREBUFFER = 0x00000002;

inline constexpr std::int32_t DSBVOLUME_MIN = -10000;
inline constexpr std::int32_t DSBVOLUME_MAX = 0;
inline constexpr std::uint32_t DSBSIZE_MIN = 4;
inline constexpr std::uint32_t DSBSIZE_MAX = 0x0FFFFFFF;
inline constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;

// The buffer description (36 bytes in its original form; the size field is
// checked as the caller sets it).
struct DSBUFFERDESC {
    std::uint32_t dwSize = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwBufferBytes = 0;
    std::uint32_t dwReserved = 0;
    const WAVEFORMATEX* lpwfxFormat = nullptr;
};

// The output every mix produces.
inline constexpr std::uint32_t kAudioOutputRate = 44100;
inline constexpr std::uint32_t kAudioOutputChannels = 2;
inline constexpr std::uint32_t kAudioChunkFrames = 512;

// D3D-style checks of a PCM format the mixer can play.
bool isPlayableFormat(const WAVEFORMATEX& format);
// The gain of a volume in hundredths of a decibel, in 1/65536 units: 0 at
// -10000 (and below), 65536 at 0.
std::int32_t volumeToGain(std::int32_t volume);

class AudioDevice;

class AudioBuffer {
public:
    AudioBuffer(const AudioBuffer&) = delete;
    AudioBuffer& operator=(const AudioBuffer&) = delete;

    // One or two regions of the staging memory (the second when the range
    // wraps past the buffer's end). The region stays the writer's until unlock.
    HRESULT lock(std::uint32_t offset, std::uint32_t bytes, void** region1, std::uint32_t* bytes1, void** region2,
                 std::uint32_t* bytes2, std::uint32_t flags);
    // Copies the regions written into the ring the mixer plays.
    HRESULT unlock(void* region1, std::uint32_t bytes1, void* region2, std::uint32_t bytes2);
    HRESULT play(std::uint32_t reserved, std::uint32_t priority, std::uint32_t flags);
    // Stops where it is; the cursor stays.
    HRESULT stop();
    // Moves the play cursor at once, also while playing (rounded down to a
    // whole sample frame).
    HRESULT setCurrentPosition(std::uint32_t position);
    // The play cursor; the write cursor, where nothing is played yet, is the
    // play cursor too (either may be null).
    HRESULT getCurrentPosition(std::uint32_t* playCursor, std::uint32_t* writeCursor);
    HRESULT setVolume(std::int32_t volume);
    HRESULT getVolume(std::int32_t* volume);
    // The primary buffer's format (accepted when playable; the output stays
    // 44100 Hz 16-bit stereo).
    HRESULT setFormat(const WAVEFORMATEX* format);
    bool isPlaying();
    // Frees the buffer (nothing after this).
    void release();

private:
    friend class AudioDevice;
    AudioBuffer(AudioDevice* device, bool primary, const WAVEFORMATEX& format, std::uint32_t bytes);
    ~AudioBuffer() = default;
    // Mixes `frames` frames into the stereo sums; under the device's lock.
    void mixInto(std::int32_t* sums, std::uint32_t frames);
    template <int Bits, int Channels>
    void mixFormat(std::int32_t* sums, std::uint32_t frames);

    AudioDevice* device_;
    bool primary_;
    WAVEFORMATEX format_;
    std::uint32_t bytes_;
    std::uint32_t frames_;
    std::vector<std::uint8_t> ring_;
    std::vector<std::uint8_t> staging_;
    bool playing_ = false;
    bool looping_ = false;
    // Play position: a whole frame and the phase past it in 1/44100 frame
    // units, so positions at whole output times are exact; the step per
    // output frame is the buffer's rate in the same units.
    std::uint32_t frame_ = 0;
    std::uint32_t phase_ = 0;
    std::uint32_t stepFrames_ = 0;
    std::uint32_t stepPhase_ = 0;
    std::int32_t volume_ = 0;
    std::int32_t gain_ = 65536;
};

class AudioDevice {
public:
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    // DirectSoundCreate8 on the default device: the installed backend (SDL
    // unless a test installed another). DSERR_NODRIVER when there is none.
    static HRESULT create(AudioDevice** device);
    using Factory = std::function<HRESULT(AudioDevice**)>;
    // Installs a backend for the whole process; an empty factory restores SDL.
    static void setFactory(Factory factory);

    // The window is not used on this platform; the level must be one of the four.
    virtual HRESULT setCooperativeLevel(void* window, std::uint32_t level);
    virtual HRESULT getCaps(DSCAPS* caps);
    virtual HRESULT createSoundBuffer(const DSBUFFERDESC* description, AudioBuffer** buffer);
    // Frees the device; buffers still alive are left without one (their calls
    // then fail).
    void release();

protected:
    AudioDevice();
    virtual ~AudioDevice();
    // Mixes frames into `out` (stereo, interleaved), advancing every playing
    // buffer; `out` may be null (the mix is dropped). Under lock_.
    void mixLocked(std::int16_t* out, std::uint32_t frames);
    // Brings the buffers up to now before a call looks at them; under lock_.
    virtual void catchUpLocked() {}
    // A failure the device gives the primary buffer's SetFormat or Play (tests).
    virtual HRESULT primaryFault(bool play) { (void)play; return S_OK; }

    std::mutex lock_;

private:
    friend class AudioBuffer;
    void forget(AudioBuffer* buffer);

    std::vector<AudioBuffer*> buffers_;
    std::vector<std::int32_t> sums_;
};

// SDL2's audio device: 44100 Hz, signed 16-bit, stereo, 512 frames a
// callback (SDL converts when the hardware wants another format).
class SdlAudioDevice : public AudioDevice {
public:
    static HRESULT open(AudioDevice** device);

private:
    SdlAudioDevice() = default;
    ~SdlAudioDevice() override;
    static void callback(void* self, std::uint8_t* stream, int length);
    std::uint32_t deviceId_ = 0;
};

// Failures the null device gives its calls (tests of the start-up report).
struct AudioFaults {
    HRESULT create = S_OK;
    HRESULT cooperativeLevel = S_OK;
    HRESULT getCaps = S_OK;
    HRESULT createPrimary = S_OK;
    HRESULT setFormat = S_OK;
    HRESULT playPrimary = S_OK;
};

// The device without a thread: buffers advance by the platform clock (the
// fake clock in tests) whenever the device or a buffer is called or pump()
// runs. Failures can be injected for the device calls.
class NullAudioDevice : public AudioDevice {
public:
    using Faults = AudioFaults;
    explicit NullAudioDevice(Faults faults = {});

    HRESULT setCooperativeLevel(void* window, std::uint32_t level) override;
    HRESULT getCaps(DSCAPS* caps) override;
    HRESULT createSoundBuffer(const DSBUFFERDESC* description, AudioBuffer** buffer) override;
    // The capability flags the device reports (tests of devices without one).
    void setCapsFlags(std::uint32_t flags) { capsFlags_ = flags; }
    const Faults& faults() const { return faults_; }
    // Called once when the device is released.
    void setReleaseHook(std::function<void()> hook) { releaseHook_ = std::move(hook); }

    // Mixes up to the clock's now.
    void pump();
    // Keeps every frame mixed from now on (stereo, interleaved).
    void startCapture();
    std::vector<std::int16_t> takeCapture();
    // Output frames mixed since the device was made.
    std::uint64_t framesMixed();

protected:
    void catchUpLocked() override;
    HRESULT primaryFault(bool play) override { return play ? faults_.playPrimary : faults_.setFormat; }

private:
    ~NullAudioDevice() override;
    Faults faults_;
    std::function<void()> releaseHook_;
    std::uint32_t capsFlags_;
    std::uint32_t lastTime_;
    std::uint64_t elapsedMs_ = 0;
    std::uint64_t framesMixed_ = 0;
    bool capturing_ = false;
    std::vector<std::int16_t> capture_;
    std::vector<std::int16_t> chunk_;
};

// Installs the null backend for the life of the object (tests, tools): every
// AudioDevice::create makes a NullAudioDevice with the given faults, and the
// last one made is kept for inspection.
class NullAudioBackend {
public:
    explicit NullAudioBackend(NullAudioDevice::Faults faults = {});
    ~NullAudioBackend();
    NullAudioBackend(const NullAudioBackend&) = delete;
    NullAudioBackend& operator=(const NullAudioBackend&) = delete;
    // The last device made (null when none or it was released).
    NullAudioDevice* device() const { return device_; }
    std::uint32_t devicesMade() const { return made_; }
    void setCapsFlags(std::uint32_t flags) { capsFlags_ = flags; }

private:
    NullAudioDevice::Faults faults_;
    NullAudioDevice* device_ = nullptr;
    std::uint32_t made_ = 0;
    std::uint32_t capsFlags_;
};

#include "sound/DSoundTrack.h"

#include <algorithm>
#include <cstring>

#include "platform/Clock.h"
#include "platform/Text.h"
#include "services/DebugInfo.h"

namespace {
constexpr const char* kSource = "DSoundTrack";
constexpr std::uint32_t kBufferFlags =
    DSBCAPS_CTRLVOLUME | DSBCAPS_STICKYFOCUS | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_LOCDEFER;
// Up to this length a sound that does not loop ends by the clock and, with
// a source, is never refilled; beyond the long one it ends by fill counts.
constexpr std::uint32_t kShortSoundMs = 5000;
constexpr std::uint32_t kLongSoundMs = 10000;

// The failure lines of `open` name the file, as the decoders' lines do.
constexpr int kOpenBufferLine = 224;
constexpr int kOpenVolumeLine = 227;

std::uint32_t now() { return Clock::instance().timeGetTime(); }

// The streaming buffer of `format`: 5 seconds of its bytes.
HRESULT makeBuffer(AudioDevice* device, WAVEFORMATEX& format, std::uint32_t bytes, AudioBuffer** buffer) {
    DSBUFFERDESC description{36, kBufferFlags, bytes, 0, &format};
    return device ? device->createSoundBuffer(&description, buffer) : E_FAIL;
}
}  // namespace

DSoundTrack::DSoundTrack() { active_ = 1; }

DSoundTrack::~DSoundTrack() {
    delete decoder_;
    decoder_ = nullptr;
    if (buffer_) {
        buffer_->stop();
        buffer_->release();
        buffer_ = nullptr;
    }
}

HRESULT DSoundTrack::fail(int line, HRESULT result, std::string_view fileName) {
    if (fileName.empty()) {
        logFailure(kSource, line, result);
    } else {
        logFailure(kSource, line, result, text::cp932ToUtf8(fileName));
    }
    return result;
}

HRESULT DSoundTrack::checkBuffer(std::string_view name, const WAVEFORMATEX& format, AudioDevice* device) {
    WAVEFORMATEX copy = format;
    AudioBuffer* buffer = nullptr;
    HRESULT result = makeBuffer(device, copy, format.nAvgBytesPerSec * kBufferSeconds, &buffer);
    if (buffer) buffer->release();
    return FAILED(result) ? fail(kOpenBufferLine, result, name) : S_OK;
}

HRESULT DSoundTrack::createBuffer(int failureLine, std::string_view fileName) {
    if (buffer_) {
        buffer_->release();
        buffer_ = nullptr;
    }
    // Segments are whole sample frames, so no read ever asks the decoder for
    // part of a frame (11025 Hz mono would otherwise get 2205-byte segments).
    const std::uint32_t align = std::max<std::uint32_t>(format_.nBlockAlign, 1);
    segmentSize_ = bufferBytes_ / segmentCount_ / align * align;
    HRESULT result = makeBuffer(device_, format_, bufferBytes_, &buffer_);
    if (FAILED(result)) {
        buffer_ = nullptr;
        return fail(failureLine, result, fileName);
    }
    return S_OK;
}

HRESULT DSoundTrack::open(std::string_view name, std::uint32_t kind, AudioDevice* device) {
    device_ = device;
    paused_ = 0;
    setName(name);
    delete decoder_;
    decoder_ = SoundDecoder::create(kind);
    decoder_->setLoop(loop_);
    decoder_->setLoopStart(loopStart_);
    readFailureLogged_ = false;
    // A decoder that failed has logged why and leaves the format as it was:
    // the buffer cannot be made for it and the track stays silent.
    decoder_->open(name, &format_);
    bufferBytes_ = format_.nAvgBytesPerSec * bufferSeconds_;
    if (HRESULT result = createBuffer(kOpenBufferLine, name); FAILED(result)) return result;
    if (HRESULT result = setVolume(0); FAILED(result)) return fail(kOpenVolumeLine, result, name);
    fillCount_ = 0;
    for (std::uint32_t i = 0; i < segmentCount_; ++i) fillSegment();
    computeDuration();
    fits_ = duration_ < bufferSeconds_ * 1000 ? 1 : 0;
    return S_OK;
}

HRESULT DSoundTrack::openWithoutSource(std::uint32_t kind, AudioDevice* device) {
    device_ = device;
    delete decoder_;
    decoder_ = SoundDecoder::create(kind);
    decoder_->setLoop(loop_);
    decoder_->setLoopStart(loopStart_);
    format_ = WAVEFORMATEX{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    bufferBytes_ = format_.nAvgBytesPerSec * bufferSeconds_;
    if (HRESULT result = createBuffer(135); FAILED(result)) return result;
    if (HRESULT result = setVolume(0); FAILED(result)) return fail(138, result);
    noSource_ = 1;
    return S_OK;
}

void DSoundTrack::computeDuration() {
    const double ms = decoder_ ? decoder_->getTotalTime() * 1000.0 : 0.0;
    duration_ = ms >= 4294967295.0 ? 0xFFFFFFFFu : ms > 0.0 ? static_cast<std::uint32_t>(ms) : 0u;
}

HRESULT DSoundTrack::fillSegment() {
    if (!buffer_) return S_OK;
    ++fillCount_;
    const std::uint32_t offset = nextSegment_ * segmentSize_;
    const std::uint32_t length =
        nextSegment_ == segmentCount_ - 1 ? bufferBytes_ - offset : segmentSize_;
    void* region1 = nullptr;
    void* region2 = nullptr;
    std::uint32_t bytes1 = 0;
    std::uint32_t bytes2 = 0;
    HRESULT result = buffer_->lock(offset, length, &region1, &bytes1, &region2, &bytes2, 0);
    if (FAILED(result)) return fail(286, result);
    // What the decoder leaves unwritten (the end of a sound) is silence, not
    // the sound that was there before.
    std::memset(region1, 0, bytes1);
    if (region2 && bytes2) std::memset(region2, 0, bytes2);
    HRESULT readResult = decoder_ ? decoder_->read(region1, bytes1) : S_OK;
    if (SUCCEEDED(readResult) && region2 && bytes2 && decoder_) decoder_->read(region2, bytes2);
    if (FAILED(readResult) && !readFailureLogged_) {
        readFailureLogged_ = true;
        logFailure(kSource, 289, readResult);
    }
    // A failed read still publishes its silence and moves on, so the
    // segment does not go on playing the sound it held.
    result = buffer_->unlock(region1, bytes1, region2, bytes2);
    if (FAILED(result)) return fail(296, result);
    nextSegment_ = (nextSegment_ + 1) % segmentCount_;
    return readResult;
}

void DSoundTrack::refillAll() {
    nextSegment_ = 0;
    fillCount_ = 0;
    for (std::uint32_t i = 0; i < segmentCount_; ++i) fillSegment();
}

HRESULT DSoundTrack::update() {
    if (!playing_) return S_OK;
    const std::uint32_t margin = fits_ ? 20 : 100;
    if (!loop_) {
        if (duration_ > kLongSoundMs) {
            if (fillCount_ >= duration_ / 100 + 48) applyVolume(DSBVOLUME_MIN);
            if (fillCount_ >= duration_ / 100 + 49) {
                if (buffer_) buffer_->stop();
                playing_ = 0;
            }
        } else {
            // The clock stands still for a paused sound.
            const std::uint32_t elapsed = (paused_ ? pauseStart_ : now()) - startTime_;
            if (static_cast<std::uint64_t>(elapsed) + margin >= duration_) applyVolume(DSBVOLUME_MIN);
            if (elapsed >= duration_) {
                if (buffer_) buffer_->stop();
                playing_ = 0;
            }
            if (duration_ <= kShortSoundMs && !noSource_) return S_OK;
        }
    }
    if (fits_ || !buffer_) return S_OK;
    std::uint32_t cursor = 0;
    HRESULT result = buffer_->getCurrentPosition(&cursor, nullptr);
    // Without a cursor nothing is refilled this frame.
    if (FAILED(result)) return fail(355, result);
    const std::uint32_t playSegment = std::min(cursor / std::max(segmentSize_, 1u), segmentCount_ - 1);
    if (playSegment != nextSegment_) fillSegment();
    return S_OK;
}

HRESULT DSoundTrack::play() {
    if (!buffer_) return E_FAIL;
    // A loop flag set after open decides whether the sound plays once from
    // the buffer or streams looping; a change starts it again from the top.
    if (!noSource_) {
        const std::uint32_t fits = duration_ < bufferSeconds_ * 1000 && !loop_ ? 1 : 0;
        if (fits != fits_) {
            fits_ = fits;
            buffer_->stop();
            buffer_->setCurrentPosition(0);
            if (decoder_) decoder_->rewind();
            refillAll();
        }
    }
    applyVolume(targetVolume_);
    HRESULT result = buffer_->play(0, 0, fits_ ? 0 : DSBPLAY_LOOPING);
    if (FAILED(result)) return fail(257, result);
    startTime_ = now();
    playing_ = 1;
    paused_ = 0;
    return S_OK;
}

HRESULT DSoundTrack::stop() {
    playing_ = 0;
    if (!buffer_) return E_FAIL;
    HRESULT result = buffer_->stop();
    if (FAILED(result)) return fail(374, result);
    if (FAILED(result = buffer_->setCurrentPosition(0))) return fail(377, result);
    if (decoder_ && FAILED(result = decoder_->rewind())) return fail(381, result);
    // The stream starts again from its beginning: so does its fill count.
    if (!fits_) refillAll();
    return S_OK;
}

HRESULT DSoundTrack::pause() {
    if (!buffer_) return E_FAIL;
    HRESULT result = buffer_->stop();
    if (FAILED(result)) return fail(398, result);
    if (!paused_) pauseStart_ = now();
    paused_ = 1;
    return S_OK;
}

HRESULT DSoundTrack::resume() {
    if (!paused_) return S_OK;
    if (!buffer_) return E_FAIL;
    // Once from the buffer for a sound that fits, as play does.
    HRESULT result = buffer_->play(0, 0, fits_ ? 0 : DSBPLAY_LOOPING);
    if (FAILED(result)) return fail(413, result);
    paused_ = 0;
    // The paused time does not count towards the sound's length.
    startTime_ += now() - pauseStart_;
    return S_OK;
}

HRESULT DSoundTrack::resetPosition() {
    if (buffer_) {
        buffer_->stop();
        buffer_->setCurrentPosition(0);
    }
    paused_ = 0;
    if (decoder_ && !fits_) {
        if (HRESULT result = decoder_->rewind(); FAILED(result)) logFailure(kSource, 82, result);
    }
    nextSegment_ = 0;
    fillCount_ = 0;
    return S_OK;
}

HRESULT DSoundTrack::rewind() {
    if (buffer_) buffer_->setCurrentPosition(0);
    paused_ = 0;
    if (decoder_ && !fits_) {
        if (HRESULT result = decoder_->rewind(); FAILED(result)) logFailure(kSource, 56, result);
    }
    fillCount_ = 0;
    if (!fits_) refillAll();
    return S_OK;
}

HRESULT DSoundTrack::restart(std::string_view name) {
    if (!decoder_) return E_FAIL;
    readFailureLogged_ = false;
    // The buffer keeps its size and format (the direct-play track's default).
    HRESULT result = decoder_->open(name, &format_);
    fillCount_ = 0;
    fillSegment();
    computeDuration();
    fits_ = 0;
    return result;
}

HRESULT DSoundTrack::setVolume(std::int32_t volume) {
    const bool changed = volume != targetVolume_;
    if (changed) targetVolume_ = volume;
    targetVolume_ = std::clamp(targetVolume_, DSBVOLUME_MIN, DSBVOLUME_MAX);
    if (!changed || !buffer_) return S_OK;
    currentVolume_ = targetVolume_;
    HRESULT result = buffer_->setVolume(currentVolume_);
    if (FAILED(result)) return fail(439, result);
    return result;
}

HRESULT DSoundTrack::applyVolume(std::int32_t volume) {
    volume = std::clamp(volume, DSBVOLUME_MIN, DSBVOLUME_MAX);
    if (volume == currentVolume_) return S_OK;
    currentVolume_ = volume;
    return buffer_ ? buffer_->setVolume(volume) : S_OK;
}

void DSoundTrack::setLoop(std::uint32_t loop) {
    loop_ = loop;
    if (decoder_) decoder_->setLoop(loop);
}

void DSoundTrack::setLoopStart(std::uint32_t bytes) {
    loopStart_ = bytes;
    if (decoder_) decoder_->setLoopStart(bytes);
}

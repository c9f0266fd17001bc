#include "sound/DSoundManager.h"

#include <string>

#include "platform/Window.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"

namespace {
constexpr const char* kSource = "DSoundManager";
// Tracks of this length and more are music that clearBgm ends.
constexpr std::uint32_t kBgmMinMs = 10001;

std::uint32_t frameNumber() { return g_frameCounter ? g_frameCounter->getFrameNumber() : 0; }

// The block every init failure writes.
HRESULT initFailure(std::string_view message, int line, HRESULT result) {
    logLine(kAsterisks79);
    logLine(message);
    logLine("");
    logFailure(kSource, line, result);
    return result;
}

void flagLine(const DSCAPS& caps, std::uint32_t flag, const char* set, const char* clear) {
    if (caps.dwFlags & flag) {
        logLine(set);
    } else if (clear) {
        logLine(clear);
    }
}
}  // namespace

DSoundManager::DSoundManager() { caps_.dwSize = sizeof(DSCAPS); }

DSoundManager::~DSoundManager() {
    for (DSoundTrack* track : tracks_) destroyTrack(track);
    tracks_.clear();
    if (primary_) {
        primary_->stop();
        primary_->release();
        primary_ = nullptr;
    }
    if (device_) device_->release();
    device_ = nullptr;
    if (fallback_) fallback_->release();
    fallback_ = nullptr;
}

HRESULT DSoundManager::init() {
    HRESULT result = AudioDevice::create(&device_);
    if (FAILED(result)) {
        device_ = nullptr;
        initFailure("DirectSound の初期化に失敗しました。", 46, result);
        return result;
    }
    Window* window = Window::instance();
    result = device_->setCooperativeLevel(window ? window->nativeHandle() : nullptr, DSSCL_PRIORITY);
    if (FAILED(result)) return initFailure("DirectSound の協調レベル設定に失敗しました。", 54, result);
    if (FAILED(result = logCapabilities())) {
        return initFailure("DirectSound のデバイス情報取得に失敗しました。", 62, result);
    }
    if (FAILED(result = createPrimaryBuffer())) {
        return initFailure("DirectSound のプライマリバッファの作成に失敗しました。", 70, result);
    }
    if (FAILED(result = setPrimaryFormat())) {
        return initFailure("DirectSound のプライマリバッファの設定に失敗しました。", 78, result);
    }
    return S_OK;
}

HRESULT DSoundManager::logCapabilities() {
    logLine(kAsterisks79);
    logLine("サウンドボードの能力を調査中");
    logLine("");
    HRESULT result = device_ ? device_->getCaps(&caps_) : E_FAIL;
    if (FAILED(result)) {
        logFailure(kSource, 93, result);
        return result;
    }
    flagLine(caps_, DSCAPS_CERTIFIED, "Device is certified", "Device is NOT certified");
    flagLine(caps_, DSCAPS_CONTINUOUSRATE, "Continuous rate", "NOT continuous rate");
    flagLine(caps_, DSCAPS_EMULDRIVER, "No DirectSound driver", "DirectSound driver found");
    flagLine(caps_, DSCAPS_PRIMARY16BIT, "Primary 16bit supported", "Primary 16bit NOT supported");
    flagLine(caps_, DSCAPS_PRIMARY8BIT, "Primary 8bit supported", "Primary 8bit NOT supported");
    flagLine(caps_, DSCAPS_PRIMARYMONO, "Primary Mono supported", "Primary Mono NOT supported");
    flagLine(caps_, DSCAPS_PRIMARYSTEREO, "Primary Stereo supported", nullptr);
    logLine("Max Secondary Buffer Sample Rate : " + std::to_string(caps_.dwMaxSecondarySampleRate));
    logLine("Min Secondary Buffer Sample Rate : " + std::to_string(caps_.dwMinSecondarySampleRate));
    logLine("Max H/W Mixing All Buffer : " + std::to_string(caps_.dwMaxHwMixingAllBuffers));
    logLine("Max H/W Mixing Static Buffers : " + std::to_string(caps_.dwMaxHwMixingStaticBuffers));
    logLine("Sound Memory : " + std::to_string(caps_.dwFreeHwMemBytes) + "/" + std::to_string(caps_.dwTotalHwMemBytes));
    logLine("");
    return S_OK;
}

HRESULT DSoundManager::createPrimaryBuffer() {
    DSBUFFERDESC description{36, DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME, 0, 0, nullptr};
    HRESULT result = device_->createSoundBuffer(&description, &primary_);
    if (FAILED(result)) {
        primary_ = nullptr;
        logFailure(kSource, 151, result);
    }
    return result;
}

HRESULT DSoundManager::setPrimaryFormat() {
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    HRESULT result = primary_->setFormat(&format);
    if (FAILED(result)) {
        logFailure(kSource, 172, result);
        return result;
    }
    if (FAILED(result = primary_->play(0, 0, DSBPLAY_LOOPING))) logFailure(kSource, 175, result);
    return result;
}

AudioDevice* DSoundManager::trackDevice() {
    if (device_) return device_;
    // No sound device: silent tracks on the clock (made once, on first use).
    if (!fallback_) fallback_ = new NullAudioDevice();
    return fallback_;
}

bool DSoundManager::canStartTrack(std::string_view name) {
    const std::uint32_t frame = frameNumber();
    if (frame <= 2) return true;
    auto found = lastStartFrame_.find(internName(name));
    const std::uint32_t last = found == lastStartFrame_.end() ? 0 : found->second;
    return last + 2 < frame;
}

void DSoundManager::forgetStart(std::string_view name) { lastStartFrame_.erase(internName(name)); }

DSoundTrack* DSoundManager::appendTrack() {
    tracks_.push_back(new DSoundTrack());
    return tracks_.back();
}

DSoundTrack* DSoundManager::getOrCreateTrack(std::string_view name, std::uint32_t kind) {
    const NameHandle pooled = internName(name);
    if (!canStartTrack(name)) return nullptr;
    for (DSoundTrack* track : tracks_) {
        if (track->nameEquals(pooled)) {
            track->rewind();
            lastStartFrame_[pooled] = frameNumber();
            return track;
        }
    }
    DSoundTrack* track = appendTrack();
    // A track that did not open stays in the list: it plays nothing and
    // accepts every call.
    if (HRESULT result = track->open(name, kind, trackDevice()); FAILED(result)) logFailure(kSource, 253, result);
    lastStartFrame_[pooled] = frameNumber();
    return track;
}

DSoundTrack* DSoundManager::createTrackIfAbsent(std::string_view name, std::uint32_t kind) {
    const NameHandle pooled = internName(name);
    for (DSoundTrack* track : tracks_) {
        if (track->nameEquals(pooled)) return nullptr;
    }
    DSoundTrack* track = appendTrack();
    track->setName(pooled);
    if (HRESULT result = track->open(name, kind, trackDevice()); FAILED(result)) logFailure(kSource, 296, result);
    return track;
}

DSoundTrack* DSoundManager::createTrack(std::uint32_t kind) {
    DSoundTrack* track = appendTrack();
    track->openWithoutSource(kind, trackDevice());
    return track;
}

void DSoundManager::destroyTrack(DSoundTrack* track) {
    if (trackReleaseHook_) trackReleaseHook_(track);
    track->destroy(1);
}

void DSoundManager::clearBgm() {
    for (auto it = tracks_.begin(); it != tracks_.end();) {
        if ((*it)->getDuration() >= kBgmMinMs) {
            destroyTrack(*it);
            it = tracks_.erase(it);
        } else {
            ++it;
        }
    }
}

void DSoundManager::releaseAllTracks() {
    for (DSoundTrack* track : tracks_) destroyTrack(track);
    tracks_.clear();
}

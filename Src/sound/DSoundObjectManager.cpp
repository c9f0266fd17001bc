#include "sound/DSoundObjectManager.h"

#include <algorithm>

#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"

namespace {
constexpr const char* kSource = "DSoundObjectManager";
constexpr const char* kSection = "SoundDecode";
constexpr std::int32_t kMaxLevel = 5;
// Volumes of the levels 0..5: sound effects, and music and voice.
constexpr std::int32_t kEffectVolumes[] = {-10000, -2400, -1500, -1200, -900, -500};
constexpr std::int32_t kOtherVolumes[] = {-10000, -2400, -1200, -800, -400, 0};

std::int32_t slotIndex(std::int32_t slot) { return std::clamp(slot, 0, 1); }
}  // namespace

DSoundObjectManager::DSoundObjectManager() : soundManager_(std::make_unique<DSoundManager>()) {
    for (std::int32_t channel : {kSoundChannelEffects, kSoundChannelMusic, kSoundChannelVoice}) {
        channelVolume_[channel] = 0;
        channelLevel_[channel] = kMaxLevel;
    }
    // The direct-play slot lets go of a track its manager destroys.
    soundManager_->setTrackReleaseHook([this](DSoundTrack* track) {
        for (DSoundTrack*& slot : directTracks_) {
            if (slot == track) slot = nullptr;
        }
    });
    if (HRESULT result = soundManager_->init(); FAILED(result)) logFailure(kSource, 17, result);
}

DSoundObjectManager::~DSoundObjectManager() = default;

DSoundTrack* DSoundObjectManager::createDirectTrack(std::uint32_t kind) {
    directTracks_[0] = soundManager_->createTrack(kind);
    return directTracks_[0];
}

DSoundTrack* DSoundObjectManager::getDirectTrack(std::int32_t slot) const { return directTracks_[slotIndex(slot)]; }

std::int32_t DSoundObjectManager::levelVolume(std::int32_t level, std::int32_t channel) {
    level = std::clamp(level, 0, kMaxLevel);
    return channel == kSoundChannelEffects ? kEffectVolumes[level] : kOtherVolumes[level];
}

std::int32_t DSoundObjectManager::setVolumeLevel(std::int32_t level, std::int32_t channel) {
    auto stored = channelLevel_.find(channel);
    if (stored != channelLevel_.end() && stored->second == level) return level;
    level = std::clamp(level, 0, kMaxLevel);
    channelLevel_[channel] = level;
    applyChannelVolume(levelVolume(level, channel), channel);
    return level;
}

std::int32_t DSoundObjectManager::getVolumeLevel(std::int32_t channel) const {
    auto stored = channelLevel_.find(channel);
    return stored == channelLevel_.end() ? 0 : std::max(stored->second, 0);
}

void DSoundObjectManager::applyChannelVolume(std::int32_t volume, std::int32_t channel) {
    channelVolume_[channel] = volume;
}

std::int32_t DSoundObjectManager::getChannelVolume(std::int32_t channel) const {
    auto stored = channelVolume_.find(channel);
    return stored == channelVolume_.end() ? 0 : stored->second;
}

void DSoundObjectManager::updateObjects() {
    if (g_frameCounter) g_frameCounter->beginSection(kSection);
}

void DSoundObjectManager::sweepObjects() {
    if (g_frameCounter) g_frameCounter->endSection(kSection);
}

void DSoundObjectManager::clearBgm() { soundManager_->clearBgm(); }

void DSoundObjectManager::releaseAllTracks() { soundManager_->releaseAllTracks(); }

#include "objects/DSoundObjectManager.h"

#include <algorithm>
#include <new>
#include <string>

#include "objects/DSoundObject.h"
#include "objects/DSoundObjectAllocator.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "sound/SoundDecoder.h"

namespace {
constexpr const char* kSource = "DSoundObjectManager";
constexpr const char* kSection = "SoundDecode";
constexpr std::string_view kSoundFolder = "sound\\";
constexpr std::int32_t kMaxLevel = 5;
// Volumes of the levels 0..5: sound effects, and music and voice.
constexpr std::int32_t kEffectVolumes[] = {-10000, -2400, -1500, -1200, -900, -500};
constexpr std::int32_t kOtherVolumes[] = {-10000, -2400, -1200, -800, -400, 0};

std::int32_t slotIndex(std::int32_t slot) { return std::clamp(slot, 0, 1); }

std::string inSoundFolder(std::string_view name) {
    std::string path(kSoundFolder);
    path += name;
    return path;
}
}  // namespace

DSoundObjectManager::DSoundObjectManager() : soundManager_(std::make_unique<DSoundManager>()) {
    objects_.reserve(kListCapacity);
    labelsThisFrame_.reserve(DSoundObjectAllocator::kBlocks);
    for (std::int32_t channel : {kSoundChannelEffects, kSoundChannelMusic, kSoundChannelVoice}) {
        channelVolume_[channel] = 0;
        channelLevel_[channel] = kMaxLevel;
    }
    soundManager_->setTrackReleaseHook([this](DSoundTrack* track) { onTrackReleased(track); });
    if (HRESULT result = soundManager_->init(); FAILED(result)) logFailure(kSource, 17, result);
}

DSoundObjectManager::~DSoundObjectManager() {
    walking_ = false;
    destroyEveryObject();
    soundManager_.reset();
}

void DSoundObjectManager::onTrackReleased(DSoundTrack* track) {
    // Whoever holds a track its manager destroys lets go of it: the objects
    // on it finish, a direct slot becomes empty.
    for (DSoundObject* object : objects_) {
        if (object && object->track_ == track) {
            object->track_ = nullptr;
            object->setState(1);
        }
    }
    for (DSoundTrack*& slot : directTracks_) {
        if (slot == track) slot = nullptr;
    }
}

HRESULT DSoundObjectManager::bindTrack(DSoundTrack* track, std::string_view name, DSoundObject* object,
                                       bool finishOthers) {
    if (!track) {
        if (object) object->setState(1);
        return E_FAIL;
    }
    if (finishOthers) {
        // One track sounds through one object: the first one on it finishes
        // (the object itself when it already had this track).
        for (DSoundObject* other : objects_) {
            if (other && other->track_ == track) {
                other->setState(1);
                break;
            }
        }
    }
    if (object) {
        object->setTrack(track);
        object->setName(name);
    }
    return S_OK;
}

HRESULT DSoundObjectManager::loadSound(std::string_view name, std::uint32_t kind, DSoundObject* object) {
    if (kind == kSoundKindRaw) return bindTrack(soundManager_->getOrCreateTrack(name, kind), name, object, true);
    return bindTrack(soundManager_->getOrCreateTrack(inSoundFolder(name), kind), name, object, true);
}

HRESULT DSoundObjectManager::loadSoundOnce(std::string_view name, std::uint32_t kind, DSoundObject* object) {
    if (kind == kSoundKindRaw) return bindTrack(soundManager_->createTrackIfAbsent(name, kind), name, object, false);
    return bindTrack(soundManager_->createTrackIfAbsent(inSoundFolder(name), kind), name, object, false);
}

HRESULT DSoundObjectManager::loadSoundPrefixed(std::string_view name, std::uint32_t kind, DSoundObject* object) {
    return bindTrack(soundManager_->getOrCreateTrack(inSoundFolder(name), kind), name, object, true);
}

HRESULT DSoundObjectManager::preloadSound(std::string_view name, std::uint32_t kind, DSoundObject* object) {
    const std::string path = kind == kSoundKindRaw ? std::string(name) : inSoundFolder(name);
    const bool gateWasOpen = soundManager_->canStartTrack(path);
    HRESULT result = loadSound(name, kind, object);
    // Loading ahead starts nothing: a scene may start the sound in its first
    // frames.
    if (gateWasOpen) soundManager_->forgetStart(path);
    return result;
}

DSoundTrack* DSoundObjectManager::createDirectTrack(std::uint32_t kind) {
    directTracks_[0] = soundManager_->createTrack(kind);
    return directTracks_[0];
}

DSoundObject* DSoundObjectManager::createObject() {
    void* block = DSoundObjectAllocator::instance().get();
    if (!block) return nullptr;
    DSoundObject* object = new (block) DSoundObject();
    objects_.push_back(object);
    return object;
}

DSoundObject* DSoundObjectManager::createFromDefinition(NameHandle wideLabel) {
    if (wideLabel != WideNamePool::instance().emptyName()) {
        if (std::find(labelsThisFrame_.begin(), labelsThisFrame_.end(), wideLabel) != labelsThisFrame_.end()) {
            return nullptr;
        }
        labelsThisFrame_.push_back(wideLabel);
    }
    return createObject();
}

DSoundObject* DSoundObjectManager::createDirectObject(std::int32_t slot) {
    DSoundObject* object = createObject();
    directObjects_[slotIndex(slot)] = object;
    return object;
}

DSoundObject* DSoundObjectManager::getDirectObject(std::int32_t slot) const { return directObjects_[slotIndex(slot)]; }

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
    for (DSoundObject* object : objects_) {
        if (object && object->getChannel() == channel) object->setChannelVolume(volume);
    }
    channelVolume_[channel] = volume;
}

std::int32_t DSoundObjectManager::getChannelVolume(std::int32_t channel) const {
    auto stored = channelVolume_.find(channel);
    return stored == channelVolume_.end() ? 0 : stored->second;
}

std::uint32_t DSoundObjectManager::getObjectCount() const {
    return static_cast<std::uint32_t>(std::count_if(objects_.begin(), objects_.end(), [](DSoundObject* object) {
        return object != nullptr;
    }));
}

void DSoundObjectManager::destroyObject(DSoundObject* object) {
    for (DSoundObject*& slot : directObjects_) {
        if (slot == object) slot = nullptr;
    }
    if (current_ == object) current_ = nullptr;
    object->destroy(0);
}

void DSoundObjectManager::destroyEveryObject() {
    // Taken out of the list first: a destroyed object's runtimes may not
    // reach back into it.
    std::vector<DSoundObject*> doomed;
    doomed.swap(objects_);
    for (DSoundObject* object : doomed) {
        if (object) destroyObject(object);
    }
    doomed.clear();
    objects_.swap(doomed);
    labelsThisFrame_.clear();
}

void DSoundObjectManager::compact() {
    objects_.erase(std::remove(objects_.begin(), objects_.end(), nullptr), objects_.end());
}

void DSoundObjectManager::updateObjects() {
    if (g_frameCounter) g_frameCounter->beginSection(kSection);
    walking_ = true;
    // By index: nothing here adds objects, but the list is never walked by
    // iterators that an addition would invalidate.
    for (std::size_t i = 0; i < objects_.size(); ++i) {
        if (DSoundObject* object = objects_[i]) {
            current_ = object;
            object->update();
        }
    }
    walking_ = false;
    current_ = nullptr;
    compact();
}

void DSoundObjectManager::sweepObjects() {
    walking_ = true;
    // Scripts may make new objects: they join this walk at the end.
    for (std::size_t i = 0; i < objects_.size(); ++i) {
        DSoundObject* object = objects_[i];
        if (!object) continue;
        if (object->getState() == 0) {
            // The sound commands of the object's own script act on it.
            current_ = object;
            object->runMainOrRevenge();
            current_ = nullptr;
            if (object->getState() == 0) continue;
        }
        objects_[i] = nullptr;
        destroyObject(object);
    }
    walking_ = false;
    current_ = nullptr;
    if (vanishPending_) {
        // What a script's vanishAll finished and the walk had passed; the
        // objects made after it stay.
        vanishPending_ = false;
        const std::size_t end = std::min(vanishEnd_, objects_.size());
        for (std::size_t i = 0; i < end; ++i) {
            if (DSoundObject* object = objects_[i]) {
                objects_[i] = nullptr;
                destroyObject(object);
            }
        }
    }
    compact();
    labelsThisFrame_.clear();
    if (g_frameCounter) g_frameCounter->endSection(kSection);
}

void DSoundObjectManager::stopAll() {
    for (DSoundObject* object : objects_) {
        if (object) object->stop();
    }
}

void DSoundObjectManager::pauseAll() {
    for (DSoundObject* object : objects_) {
        if (object) object->pause();
    }
}

void DSoundObjectManager::resumeAll() {
    for (DSoundObject* object : objects_) {
        if (object) object->resume();
    }
}

void DSoundObjectManager::vanishByLabel(NameHandle wideLabel) {
    for (DSoundObject* object : objects_) {
        if (object && object->getWideName() == wideLabel) object->setState(1);
    }
}

void DSoundObjectManager::vanishAll() {
    if (walking_) {
        // An object's own script asked: the walk holds its objects, which
        // finish now and are destroyed by the walk or when it ends.
        for (DSoundObject* object : objects_) {
            if (object) object->setState(1);
        }
        vanishPending_ = true;
        vanishEnd_ = objects_.size();
        labelsThisFrame_.clear();
        return;
    }
    destroyEveryObject();
}

void DSoundObjectManager::fadeVolumeByLabel(std::int32_t target, std::int32_t frames, NameHandle wideLabel) {
    for (DSoundObject* object : objects_) {
        if (object && object->getWideName() == wideLabel) object->fadeVolume(target, frames);
    }
}

void DSoundObjectManager::fadeAllVolume(std::int32_t target, std::int32_t frames) {
    for (DSoundObject* object : objects_) {
        if (object) object->fadeVolume(target, frames);
    }
}

void DSoundObjectManager::clearBgm() { soundManager_->clearBgm(); }

void DSoundObjectManager::releaseAllTracks() { soundManager_->releaseAllTracks(); }

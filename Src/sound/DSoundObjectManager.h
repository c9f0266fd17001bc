// The sound side the rest of the engine talks to: it owns the sound device
// manager, the volume level and volume of each channel (0 effects, 1 music,
// 2 voice) and the direct-play track, and brackets the frame's sound work
// in the profiler section "SoundDecode".
//
// Sound objects (script objects bound to tracks) join this manager with the
// script objects; until then its object operations have no objects to act on.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>

#include "sound/DSoundManager.h"

enum SoundChannel : std::int32_t {
    kSoundChannelEffects = 0,
    kSoundChannelMusic = 1,
    kSoundChannelVoice = 2,
};

class DSoundObjectManager {
public:
    // Creates and initialises the device manager; a failed init is logged
    // and the manager goes on without sound.
    DSoundObjectManager();
    virtual ~DSoundObjectManager();
    DSoundObjectManager(const DSoundObjectManager&) = delete;
    DSoundObjectManager& operator=(const DSoundObjectManager&) = delete;

    // Direct track slot 0: a new track without a source.
    virtual DSoundTrack* createDirectTrack(std::uint32_t kind);
    DSoundTrack* getDirectTrack(std::int32_t slot) const;

    // The level 0..5 in force for the channel; a request equal to the stored
    // level (before clamping) changes nothing.
    std::int32_t setVolumeLevel(std::int32_t level, std::int32_t channel);
    std::int32_t getVolumeLevel(std::int32_t channel) const;
    void applyChannelVolume(std::int32_t volume, std::int32_t channel);
    std::int32_t getChannelVolume(std::int32_t channel) const;
    // The volume of a level on a channel (hundredths of a decibel).
    static std::int32_t levelVolume(std::int32_t level, std::int32_t channel);

    // The frame's pair: the profiler section spans both.
    void updateObjects();
    void sweepObjects();
    // The game reset's steps and the system commands.
    void stopAll() {}
    void vanishAll() {}
    void pauseAll() {}
    void resumeAll() {}
    void clearBgm();
    void releaseAllTracks();

    bool canStartTrack(std::string_view name) { return soundManager_->canStartTrack(name); }
    std::uint32_t getTrackCount() const { return soundManager_ ? soundManager_->getTrackCount() : 0; }
    std::uint32_t getObjectCount() const { return 0; }
    DSoundManager* getSoundManager() const { return soundManager_.get(); }

private:
    std::unique_ptr<DSoundManager> soundManager_;
    std::map<std::int32_t, std::int32_t> channelVolume_;
    std::map<std::int32_t, std::int32_t> channelLevel_;
    DSoundTrack* directTracks_[2] = {nullptr, nullptr};
};

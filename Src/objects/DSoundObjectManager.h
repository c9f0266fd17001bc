// The sound side the rest of the engine talks to: it owns the sound device
// manager, the sound objects (script objects bound to tracks) in creation
// order, the volume level and volume of each channel (0 effects, 1 music,
// 2 voice) and the direct-play slots of the voice commands. The frame's
// pair, `updateObjects` then `sweepObjects`, spans the profiler section
// "SoundDecode". Everything runs on the main thread.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "services/NamePool.h"
#include "sound/DSoundManager.h"

class DSoundObject;

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
    // Destroys every object, then the device manager.
    virtual ~DSoundObjectManager();
    DSoundObjectManager(const DSoundObjectManager&) = delete;
    DSoundObjectManager& operator=(const DSoundObjectManager&) = delete;

    // Binds the object to the track of the file, made or reused (rewound);
    // the first object already on that track finishes. Kind 1045 takes the
    // name as it is, every other kind looks in "sound\". 0, or E_FAIL with
    // the object finished when no track could be had. A null object only
    // loads the track.
    virtual HRESULT loadSound(std::string_view name, std::uint32_t kind, DSoundObject* object);
    // The same with a track made only when none of that name exists; no
    // other object finishes.
    virtual HRESULT loadSoundOnce(std::string_view name, std::uint32_t kind, DSoundObject* object);
    // As loadSound, always in "sound\".
    HRESULT loadSoundPrefixed(std::string_view name, std::uint32_t kind, DSoundObject* object);
    // Loads a track ahead of its use (the document's preloading): as
    // loadSound, but not counted as a start by the start gate.
    HRESULT preloadSound(std::string_view name, std::uint32_t kind, DSoundObject* object);
    // The object whose update or scripts run; null outside the walks.
    virtual DSoundObject* getCurrentObject() const { return current_; }
    // Direct track slot 0: a new track without a source.
    virtual DSoundTrack* createDirectTrack(std::uint32_t kind);

    // A new object from the pool in the list; null when the pool is empty.
    DSoundObject* createObject();
    // As createObject, but null when the (non-empty) label already made an
    // object this frame.
    DSoundObject* createFromDefinition(NameHandle wideLabel);
    DSoundObject* createDirectObject(std::int32_t slot);
    DSoundObject* getDirectObject(std::int32_t slot) const;
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
    // Every object's stop, pause, resume.
    void stopAll();
    void pauseAll();
    void resumeAll();
    // Every object named `wideLabel` finishes (state 1).
    void vanishByLabel(NameHandle wideLabel);
    // Destroys every object at once (at the end of a walk in progress).
    void vanishAll();
    void fadeVolumeByLabel(std::int32_t target, std::int32_t frames, NameHandle wideLabel);
    void fadeAllVolume(std::int32_t target, std::int32_t frames);
    void clearBgm();
    void releaseAllTracks();

    bool canStartTrack(std::string_view name) { return soundManager_->canStartTrack(name); }
    std::uint32_t getTrackCount() const { return soundManager_ ? soundManager_->getTrackCount() : 0; }
    std::uint32_t getObjectCount() const;
    // The objects in creation order (entries removed during a walk are null).
    const std::vector<DSoundObject*>& getObjects() const { return objects_; }
    DSoundManager* getSoundManager() const { return soundManager_.get(); }

private:
    // Objects a frame's walk may meet: the pool's blocks, and as many
    // entries removed during the walk.
    static constexpr std::size_t kListCapacity = 128;

    HRESULT bindTrack(DSoundTrack* track, std::string_view name, DSoundObject* object, bool finishOthers);
    // Lets go of the direct slot naming the object, then destroys it.
    void destroyObject(DSoundObject* object);
    void destroyEveryObject();
    // Drops the entries removed during a walk.
    void compact();
    void onTrackReleased(DSoundTrack* track);

    std::unique_ptr<DSoundManager> soundManager_;
    std::map<std::int32_t, std::int32_t> channelVolume_;
    std::map<std::int32_t, std::int32_t> channelLevel_;
    // Labels that made an object this frame (few: searched in order).
    std::vector<NameHandle> labelsThisFrame_;
    DSoundObject* current_ = nullptr;
    // Creation order; a removed entry is null until the walk ends.
    std::vector<DSoundObject*> objects_;
    bool walking_ = false;
    bool vanishPending_ = false;
    // The list's length when a walk's vanishAll came.
    std::size_t vanishEnd_ = 0;
    DSoundObject* directObjects_[2] = {nullptr, nullptr};
    DSoundTrack* directTracks_[2] = {nullptr, nullptr};
};

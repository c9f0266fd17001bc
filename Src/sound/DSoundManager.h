// The sound device, its primary buffer and the list of streaming tracks.
// Owned and called only by the sound-object manager, on the main thread.
// Without a device the tracks are made on a null device that follows the
// clock, so sounds keep their lengths and scripts their timing, silently.
#pragma once
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <string_view>

#include "platform/Audio.h"
#include "services/NamePool.h"
#include "sound/DSoundTrack.h"

class DSoundManager {
public:
    DSoundManager();
    // Destroys every track, then the primary buffer and the device.
    virtual ~DSoundManager();
    DSoundManager(const DSoundManager&) = delete;
    DSoundManager& operator=(const DSoundManager&) = delete;

    // Device, cooperative level, capabilities, primary buffer and its format;
    // the first failure is logged as a block and returned.
    virtual HRESULT init();
    // The track for a sound file, reused (rewound) by name; null when the
    // name was started in the last two frames.
    virtual DSoundTrack* getOrCreateTrack(std::string_view name, std::uint32_t kind);
    // A new track for the name, or null when one of that name exists.
    virtual DSoundTrack* createTrackIfAbsent(std::string_view name, std::uint32_t kind);
    // A new track without a source (the direct-play track).
    virtual DSoundTrack* createTrack(std::uint32_t kind);

    bool canStartTrack(std::string_view name);
    // The name counts as never started (a track loaded ahead of its use).
    void forgetStart(std::string_view name);
    std::uint32_t getTrackCount() const { return static_cast<std::uint32_t>(tracks_.size()); }
    // Destroys the tracks of 10001 ms and more.
    void clearBgm();
    void releaseAllTracks();
    // Told of every track just before it is destroyed, so whoever holds it
    // lets go.
    void setTrackReleaseHook(std::function<void(DSoundTrack*)> hook) { trackReleaseHook_ = std::move(hook); }

    HRESULT logCapabilities();
    const DSCAPS& getCaps() const { return caps_; }
    AudioDevice* getDevice() const { return device_; }
    const std::list<DSoundTrack*>& getTracks() const { return tracks_; }

private:
    HRESULT createPrimaryBuffer();
    HRESULT setPrimaryFormat();
    // The device tracks are made on: the real one, or the null fallback.
    AudioDevice* trackDevice();
    DSoundTrack* appendTrack();
    void destroyTrack(DSoundTrack* track);

    AudioDevice* device_ = nullptr;
    AudioBuffer* primary_ = nullptr;
    DSCAPS caps_;
    std::map<NameHandle, std::uint32_t> lastStartFrame_;
    std::list<DSoundTrack*> tracks_;
    AudioDevice* fallback_ = nullptr;
    std::function<void(DSoundTrack*)> trackReleaseHook_;
};

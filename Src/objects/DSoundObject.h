// A sound as a script object: a BulletObject bound to one streaming track,
// with its own volume, a volume fade and a channel (0 effects, 1 music,
// 2 voice) whose volume is mixed into what the track plays. Sound objects
// come from DSoundObjectAllocator and live in DSoundObjectManager's list;
// their scripts run in the manager's sweep.
#pragma once
#include <cstdint>

#include "objects/BulletObject.h"

class DSoundTrack;

class DSoundObject : public BulletObject {
public:
    DSoundObject();

    // Slot 2: no track, volumes 0, no fade, channel 0; then the BulletObject
    // init.
    void init() override;
    // Slot 21: the scripts, except while the track is paused; 1 when nothing
    // ran.
    std::int32_t runMainOrRevenge() override;
    // Slot 24: motion, the fade step and the track's update; the object
    // finishes (state 1) when its track stops playing.
    void update() override;
    // Slots 25-27: forwarded to the track; nothing without one.
    virtual void stop();
    virtual void pause();
    virtual void resume();

    // Binds the track (not owned) and gives it the object volume alone.
    void setTrack(DSoundTrack* track);
    DSoundTrack* getTrack() const { return track_; }
    // The object volume, mixed with the channel volume into the track's:
    // (channel + 10000) * (volume + 10000) / 10000 - 10000, clamped to
    // -10000..0. Nothing without a track.
    void setVolume(std::int32_t volume);
    std::int32_t getVolume() const { return volume_; }
    void setChannelVolume(std::int32_t volume);
    std::int32_t getChannelVolume() const { return channelVolume_; }
    // Moves the object volume to `target` over `frames` frames: 0 at once,
    // a negative count never.
    void fadeVolume(std::int32_t target, std::int32_t frames);
    bool isFading() const { return fading_ != 0; }
    std::int32_t getChannel() const { return channel_; }
    void setChannel(std::int32_t channel) { channel_ = channel; }

    // The track volume for an object volume on a channel volume.
    static std::int32_t mixVolume(std::int32_t channelVolume, std::int32_t volume);

protected:
    // Slot 0 ends here: the destructor, then the block goes back to the
    // sound-object pool.
    void giveBlockBack() override;

private:
    friend class DSoundObjectManager;
    void stepFade();

    DSoundTrack* track_ = nullptr;
    std::int32_t volume_ = 0;
    std::int32_t fadeTarget_ = 0;
    std::int32_t fadeStep_ = 0;
    std::int32_t channelVolume_ = 0;
    std::uint32_t fading_ = 0;
    std::int32_t fadeFramesLeft_ = 1;
    std::int32_t channel_ = 0;
};

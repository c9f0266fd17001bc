#include "objects/DSoundObject.h"

#include <algorithm>
#include <limits>

#include "objects/DSoundObjectAllocator.h"
#include "sound/DSoundTrack.h"

namespace {
// Script values may be anything: the arithmetic runs in 64 bits and lands in
// the 32-bit range before the volume clamps.
std::int32_t saturate(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}
}  // namespace

DSoundObject::DSoundObject() = default;

void DSoundObject::giveBlockBack() {
    void* block = this;
    this->~DSoundObject();
    DSoundObjectAllocator::instance().release(block);
}

void DSoundObject::init() {
    track_ = nullptr;
    volume_ = 0;
    fadeTarget_ = 0;
    fadeStep_ = 0;
    channelVolume_ = 0;
    fading_ = 0;
    fadeFramesLeft_ = 1;
    channel_ = 0;
    BulletObject::init();
}

std::int32_t DSoundObject::mixVolume(std::int32_t channelVolume, std::int32_t volume) {
    const std::int64_t mixed =
        (static_cast<std::int64_t>(channelVolume) + 10000) * (static_cast<std::int64_t>(volume) + 10000) / 10000 -
        10000;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(mixed, -10000, 0));
}

void DSoundObject::setTrack(DSoundTrack* track) {
    track_ = track;
    if (track_) track_->setVolume(volume_);
}

void DSoundObject::setVolume(std::int32_t volume) {
    if (!track_) return;
    volume_ = volume;
    track_->setVolume(mixVolume(channelVolume_, volume_));
}

void DSoundObject::setChannelVolume(std::int32_t volume) {
    channelVolume_ = volume;
    setVolume(volume_);
}

void DSoundObject::fadeVolume(std::int32_t target, std::int32_t frames) {
    fadeTarget_ = target;
    fading_ = 1;
    fadeFramesLeft_ = frames;
    if (frames == 0) {
        setVolume(target);
        fading_ = 0;
        fadeFramesLeft_ = 1;
    }
    fadeStep_ = saturate((static_cast<std::int64_t>(target) - volume_) / fadeFramesLeft_);
}

void DSoundObject::stepFade() {
    if (!fading_) return;
    // A negative count never reaches 0: the fade does nothing (wrapping as
    // the processor would after 2^31 frames).
    fadeFramesLeft_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(fadeFramesLeft_) - 1u);
    if (fadeFramesLeft_ < 0) return;
    if (fadeFramesLeft_ == 0) {
        setVolume(fadeTarget_);
        fading_ = 0;
        return;
    }
    setVolume(saturate(static_cast<std::int64_t>(volume_) + fadeStep_));
}

void DSoundObject::update() {
    if (getState() != 0) return;
    BulletObject::update();
    if (!track_ || track_->isPaused()) return;
    stepFade();
    track_->update();
    if (!track_->isPlaying()) setState(1);
}

std::int32_t DSoundObject::runMainOrRevenge() {
    if (getState() != 0) return 1;
    if (track_ && track_->isPaused()) return 1;
    return BulletObject::runMainOrRevenge();
}

void DSoundObject::stop() {
    if (track_) track_->stop();
}

void DSoundObject::pause() {
    if (track_) track_->pause();
}

void DSoundObject::resume() {
    if (track_) track_->resume();
}

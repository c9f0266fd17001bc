// One float that can move to a target over a number of frames: the camera's
// per-axis speeds are made of these.
#pragma once
#include <cstdint>

class ValueInterpolator {
public:
    // Takes the value at once and stops any move.
    void set(float v) {
        value_ = v;
        target_ = v;
        framesLeft_ = 0;
        active_ = false;
    }

    // Starts a move to `target` over `frames` frames. A count of 0 or less
    // ends the move at the next step, so no division by it ever happens.
    void change(float target, std::int32_t frames) {
        target_ = target;
        if (frames <= 0) frames = 1;
        framesLeft_ = frames;
        step_ = (target_ - value_) / static_cast<float>(frames);
        active_ = true;
    }

    // One frame of a running move.
    void step() {
        if (!active_) return;
        --framesLeft_;
        if (framesLeft_ < 0) {
            framesLeft_ = 0;
            return;
        }
        if (framesLeft_ == 0) {
            value_ = target_;
            active_ = false;
        } else {
            value_ += step_;
        }
    }

    float value() const { return value_; }
    bool active() const { return active_; }

private:
    float value_ = 0.0f;
    float step_ = 0.0f;
    float target_ = 0.0f;
    std::int32_t framesLeft_ = 0;
    bool active_ = false;
};

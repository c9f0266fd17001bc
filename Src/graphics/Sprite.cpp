#include "graphics/Sprite.h"

#include "services/Truncate.h"

void Sprite::changeSize(float width, float height, std::int32_t frames) {
    sizeFrames_ = frames;
    sizeChanging_ = 1;
    targetWidth_ = width;
    targetHeight_ = height;
    stepWidth_ = (width - width_) / static_cast<float>(frames);
    stepHeight_ = (height - height_) / static_cast<float>(frames);
}

std::int32_t Sprite::stepSize() {
    if (!sizeChanging_) return 0;
    --sizeFrames_;
    if (sizeFrames_ < 0) return 0;
    if (sizeFrames_ == 0) {
        width_ = targetWidth_;
        height_ = targetHeight_;
        sizeChanging_ = 0;
    } else {
        width_ += stepWidth_;
        height_ += stepHeight_;
    }
    return 1;
}

void Sprite::changeColor(std::uint32_t packed, std::int32_t frames) {
    if (frames == 0) frames = 1;
    colorFrames_ = frames;
    colorChanging_ = 1;
    for (int channel = 0; channel < 4; ++channel) {
        targetColor_[channel] = static_cast<float>((packed >> (24 - 8 * channel)) & 0xFF);
        stepColor_[channel] = (targetColor_[channel] - color_[channel]) / static_cast<float>(frames);
    }
}

void Sprite::stepColor() {
    if (!colorChanging_) return;
    --colorFrames_;
    if (colorFrames_ < 0) return;
    for (int channel = 0; channel < 4; ++channel) {
        if (colorFrames_ == 0) {
            color_[channel] = targetColor_[channel];
        } else {
            float value = color_[channel] + stepColor_[channel];
            color_[channel] = value < 0.0f ? 0.0f : value > 255.0f ? 255.0f : value;
        }
    }
    if (colorFrames_ == 0) colorChanging_ = 0;
}

std::uint32_t Sprite::getPackedColor() const {
    std::uint32_t packed = 0;
    for (int channel = 0; channel < 4; ++channel) {
        packed = (packed << 8) | (static_cast<std::uint32_t>(truncateToInt32(color_[channel])) & 0xFF);
    }
    return packed;
}

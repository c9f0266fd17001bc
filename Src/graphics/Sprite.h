// One image quad as the game objects drive it: position and size in device
// pixels, layer, angle, and the per-frame size and colour changes. This is a
// logical stand-in with that state and no drawing; the sprites work replaces
// it (pool, vertices, textures, layers) behind the same operations.
#pragma once
#include <cstdint>

#include "services/ResourceObject.h"

class Sprite : public ResourceObject {
public:
    Sprite() = default;

    void setX(float x) { x_ = x; }
    void setY(float y) { y_ = y; }
    float getX() const { return x_; }
    float getY() const { return y_; }
    // Device pixels.
    void setSize(float width, float height) {
        width_ = width;
        height_ = height;
    }
    float getWidth() const { return width_; }
    float getHeight() const { return height_; }

    // Negative layers become 0.
    void setLayer(std::int32_t layer) { layer_ = layer < 0 ? 0 : layer; }
    std::int32_t getLayer() const { return layer_; }

    void setAngle(std::uint32_t mode, float angle) {
        rotationMode_ = mode;
        angle_ = angle;
    }
    void addAngle(std::uint32_t mode, float delta) {
        rotationMode_ = mode;
        angle_ += delta;
    }
    float getAngle() const { return angle_; }
    std::uint32_t getRotationMode() const { return rotationMode_; }

    // A size change to (width, height) device pixels over frames; frames 0
    // never changes the size.
    void changeSize(float width, float height, std::int32_t frames);
    // One frame of a size change: 1 when a change ran this frame.
    std::int32_t stepSize();

    // A colour change to a packed ARGB colour over frames (0 counts as 1).
    void changeColor(std::uint32_t packed, std::int32_t frames);
    // One frame of a colour change.
    void stepColor();
    std::uint32_t getPackedColor() const;

private:
    float x_ = 0.0f;
    float y_ = 0.0f;
    float width_ = 64.0f;
    float height_ = 64.0f;
    std::int32_t layer_ = 0;
    std::uint32_t rotationMode_ = 1024;
    float angle_ = 0.0f;
    std::int32_t sizeFrames_ = -1;
    std::uint8_t sizeChanging_ = 0;
    std::uint8_t colorChanging_ = 0;
    float targetWidth_ = 64.0f;
    float targetHeight_ = 64.0f;
    float stepWidth_ = 0.0f;
    float stepHeight_ = 0.0f;
    std::int32_t colorFrames_ = -1;
    float color_[4] = {255.0f, 255.0f, 255.0f, 255.0f};  // a, r, g, b
    float targetColor_[4] = {255.0f, 255.0f, 255.0f, 255.0f};
    float stepColor_[4] = {};
};

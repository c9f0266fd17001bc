// One textured, coloured quad drawn in screen space: a bullet's, enemy's or
// menu item's image, a text line, or the picture of a render target. Sprites
// come from SpriteAllocator's fixed pool; a sprite manager files them by
// layer and blend group and gives them back when they die (destroy). Game
// objects and the image commands drive them through the setters below.
#pragma once
#include <cstdint>
#include <memory>

#include "services/ResourceObject.h"

class Texture;

// The pre-transformed vertex of every sprite: XYZRHW | DIFFUSE | TEX1.
struct SpriteVertex {
    float x, y, z, rhw;
    std::uint32_t color;  // ARGB
    float u, v;
};
static_assert(sizeof(SpriteVertex) == 28, "sprite vertices are 28 bytes");
inline constexpr std::uint32_t kSpriteFvf = 0x144;

class Sprite : public ResourceObject {
public:
    static constexpr std::int32_t kLayers = 40;
    static constexpr std::uint32_t kBlendGroups = 8;
    // Rotation modes: 1024 axis-aligned; any other value rotated (1026 with
    // an angle of exactly 0 axis-aligned).
    static constexpr std::uint32_t kAxisAligned = 1024;
    static constexpr std::uint32_t kRotatedUnlessZero = 1026;

    // The defaults of reset, active (a constructed object is).
    Sprite();
    ~Sprite() override;

    // Slot 0: the destructor, then the block goes back to SpriteAllocator.
    // Only sprites the pool made may be destroyed this way.
    ResourceObject* destroy(std::uint32_t flags) override;
    // Slot 1: the defaults, inactive; returns -1.
    std::int32_t reset(std::int32_t ignored) override;

    // What SpriteAllocator::make writes: place, size (device pixels), the
    // texture rectangle as fractions, the texture's size in texels. The
    // colour stays as it was.
    void setup(float x, float y, float width, float height, float u0, float v0, float du, float dv,
               float textureWidth, float textureHeight);

    // Device pixels, stored as given.
    void setX(float x) { x_ = x; }
    void setY(float y) { y_ = y; }
    float getX() const { return x_; }
    float getY() const { return y_; }
    // Virtual pixels, converted to device pixels.
    void setWidth(float width);
    void setHeight(float height);
    void addWidth(float width);
    void addHeight(float height);
    // Device pixels, stored as given.
    void setSize(float width, float height) {
        width_ = width;
        height_ = height;
    }
    float getWidth() const { return width_; }
    float getHeight() const { return height_; }

    // Texels of the sprite's texture; a texture size of 0 gives fractions 0.
    void setUV(float left, float top, float right, float bottom);
    float getU0() const { return u0_; }
    float getV0() const { return v0_; }
    float getDu() const { return du_; }
    float getDv() const { return dv_; }
    float getTextureWidth() const { return textureWidth_; }
    float getTextureHeight() const { return textureHeight_; }

    // Channels 0 to 255 (clamped when packed).
    void setColor(float a, float r, float g, float b);
    void setPackedColor(std::uint32_t argb);
    std::uint32_t getPackedColor() const;
    // The current float channel (0 a, 1 r, 2 g, 3 b).
    float getChannel(int channel) const { return color_[channel]; }
    // A change to the colour over frames (0 counts as 1).
    void changeColor(float a, float r, float g, float b, std::int32_t frames);
    void changeColor(std::uint32_t argb, std::int32_t frames);
    void changeAlpha(float alpha, std::int32_t frames);
    // One frame of a colour change.
    void stepColor();

    // A size change to (width, height) virtual pixels over frames; frames 0
    // or below never changes the size.
    void changeSize(float width, float height, std::int32_t frames);
    // One frame of a size change: 1 when a change ran this frame.
    std::int32_t stepSize();

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

    // Kept within 0..39: negative layers become 0, layers above 39 become 39.
    void setLayer(std::int32_t layer);
    std::int32_t getLayer() const { return layer_; }
    // A group above 7 is filed nowhere (never drawn).
    void setBlend(std::uint8_t blend) { blend_ = blend; }
    std::uint8_t getBlend() const { return blend_; }
    void setTargetFlag(std::uint8_t flag) { targetFlag_ = flag; }
    std::uint8_t getTargetFlag() const { return targetFlag_; }

    // A texture that belongs to this sprite alone (text and surfaces).
    void setTexture(const std::shared_ptr<Texture>& texture);
    const std::shared_ptr<Texture>& getTexture() const { return ownTexture_; }

    // Rebuilds the positions (rotation included) and returns the four
    // vertices: top-left, top-right, bottom-left, bottom-right.
    const SpriteVertex* getVertices();

    // The sprite manager's intrusive list of its sprites.
    Sprite* nextInManager = nullptr;

private:
    void setDefaults();
    void writeColor(const float* channels);
    void writeUVs();

    SpriteVertex vertices_[4];
    std::uint32_t rotationMode_;
    std::shared_ptr<Texture> ownTexture_;
    std::int32_t layer_;
    std::int32_t colorFrames_;
    std::int32_t sizeFrames_;
    float x_, y_;
    float width_, height_;
    float u0_, v0_, du_, dv_;
    float color_[4];  // a, r, g, b
    float targetColor_[4];
    float stepColor_[4];
    float angle_;
    float textureWidth_, textureHeight_;
    float targetWidth_, targetHeight_, stepWidth_, stepHeight_;
    std::uint8_t colorChanging_;
    std::uint8_t sizeChanging_;
    std::uint8_t blend_;
    std::uint8_t targetFlag_;
};

// Packs four float channels into ARGB: each truncated toward zero and kept
// within 0..255 (NaN as 0).
std::uint32_t packSpriteColor(const float* argb);

#include "graphics/Sprite.h"


#include "graphics/D3DObject.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/Texture.h"
#include "services/Managers.h"
#include "services/SineTable.h"
#include "services/Truncate.h"

namespace {
// Virtual to device pixels; the identity without a device object.
float deviceX(float x) { return g_d3dObject ? g_d3dObject->toDeviceX(x) : x; }
float deviceY(float y) { return g_d3dObject ? g_d3dObject->toDeviceY(y) : y; }

std::uint32_t packChannel(float value) {
    if (!(value > 0.0f)) return 0;  // NaN as well
    if (value >= 255.0f) return 255;
    return static_cast<std::uint32_t>(truncateToInt32(value));
}

float unpackChannel(std::uint32_t argb, int channel) {
    return static_cast<float>((argb >> (24 - 8 * channel)) & 0xFF);
}
}  // namespace

std::uint32_t packSpriteColor(const float* argb) {
    return (packChannel(argb[0]) << 24) | (packChannel(argb[1]) << 16) | (packChannel(argb[2]) << 8) |
           packChannel(argb[3]);
}

Sprite::Sprite() { setDefaults(); }

Sprite::~Sprite() {
    if (ownTexture_) {
        ownTexture_->releaseAll();
        ownTexture_.reset();
    }
}

ResourceObject* Sprite::destroy(std::uint32_t) {
    SpriteAllocator::instance().release(this);
    return this;
}

std::int32_t Sprite::reset(std::int32_t) {
    ResourceObject::init();
    setDefaults();
    return -1;
}

void Sprite::setDefaults() {
    x_ = y_ = 0.0f;
    blend_ = 3;
    layer_ = 0;
    width_ = height_ = 64.0f;
    rotationMode_ = kAxisAligned;
    u0_ = v0_ = 0.0f;
    du_ = dv_ = 1.0f;
    colorFrames_ = sizeFrames_ = -1;
    colorChanging_ = sizeChanging_ = 0;
    targetFlag_ = 0;
    angle_ = 0.0f;
    textureWidth_ = textureHeight_ = 0.0f;
    targetWidth_ = targetHeight_ = 64.0f;
    stepWidth_ = stepHeight_ = 0.0f;
    for (int c = 0; c < 4; ++c) {
        color_[c] = targetColor_[c] = 255.0f;
        stepColor_[c] = 0.0f;
    }
    for (SpriteVertex& v : vertices_) v = {0.0f, 0.0f, 0.0f, 1.0f, 0xFFFFFFFFu, 0.0f, 0.0f};
    writeUVs();
}

void Sprite::setup(float x, float y, float width, float height, float u0, float v0, float du, float dv,
                   float textureWidth, float textureHeight) {
    x_ = x;
    y_ = y;
    width_ = targetWidth_ = width;
    height_ = targetHeight_ = height;
    u0_ = u0;
    v0_ = v0;
    du_ = du;
    dv_ = dv;
    textureWidth_ = textureWidth;
    textureHeight_ = textureHeight;
    rotationMode_ = kAxisAligned;
    angle_ = 0.0f;
    colorChanging_ = sizeChanging_ = 0;
    colorFrames_ = sizeFrames_ = -1;
    stepWidth_ = stepHeight_ = 0.0f;
    for (SpriteVertex& v : vertices_) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    writeUVs();
    getVertices();
}

void Sprite::setWidth(float width) { width_ = deviceX(width); }
void Sprite::setHeight(float height) { height_ = deviceY(height); }
void Sprite::addWidth(float width) { width_ += deviceX(width); }
void Sprite::addHeight(float height) { height_ += deviceY(height); }

void Sprite::setUV(float left, float top, float right, float bottom) {
    // A texture of size 0 (none, or a failed load) gives fractions 0 rather
    // than infinities.
    const float w = textureWidth_, h = textureHeight_;
    u0_ = w != 0.0f ? left / w : 0.0f;
    v0_ = h != 0.0f ? top / h : 0.0f;
    du_ = w != 0.0f ? (right - left) / w : 0.0f;
    dv_ = h != 0.0f ? (bottom - top) / h : 0.0f;
    writeUVs();
}

void Sprite::writeUVs() {
    vertices_[0].u = u0_;
    vertices_[0].v = v0_;
    vertices_[1].u = u0_ + du_;
    vertices_[1].v = v0_;
    vertices_[2].u = u0_;
    vertices_[2].v = v0_ + dv_;
    vertices_[3].u = u0_ + du_;
    vertices_[3].v = v0_ + dv_;
}

void Sprite::writeColor(const float* channels) {
    const std::uint32_t packed = packSpriteColor(channels);
    for (SpriteVertex& v : vertices_) v.color = packed;
}

void Sprite::setColor(float a, float r, float g, float b) {
    color_[0] = a;
    color_[1] = r;
    color_[2] = g;
    color_[3] = b;
    writeColor(color_);
}

void Sprite::setPackedColor(std::uint32_t argb) {
    for (int c = 0; c < 4; ++c) color_[c] = unpackChannel(argb, c);
    writeColor(color_);
}

std::uint32_t Sprite::getPackedColor() const { return vertices_[0].color; }

void Sprite::changeColor(float a, float r, float g, float b, std::int32_t frames) {
    if (frames == 0) frames = 1;
    colorFrames_ = frames;
    colorChanging_ = 1;
    const float targets[4] = {a, r, g, b};
    for (int c = 0; c < 4; ++c) {
        targetColor_[c] = targets[c];
        stepColor_[c] = (targets[c] - color_[c]) / static_cast<float>(frames);
    }
}

void Sprite::changeColor(std::uint32_t argb, std::int32_t frames) {
    changeColor(unpackChannel(argb, 0), unpackChannel(argb, 1), unpackChannel(argb, 2), unpackChannel(argb, 3),
                frames);
}

void Sprite::changeAlpha(float alpha, std::int32_t frames) {
    changeColor(alpha, color_[1], color_[2], color_[3], frames);
}

void Sprite::stepColor() {
    if (!colorChanging_) return;
    --colorFrames_;
    if (colorFrames_ < 0) return;
    if (colorFrames_ == 0) {
        for (int c = 0; c < 4; ++c) color_[c] = targetColor_[c];
        writeColor(color_);
        colorChanging_ = 0;
        return;
    }
    float next[4];
    for (int c = 0; c < 4; ++c) next[c] = color_[c] + stepColor_[c];
    writeColor(next);
    for (int c = 0; c < 4; ++c) {
        const float value = next[c];
        color_[c] = value < 0.0f ? 0.0f : value > 255.0f ? 255.0f : value;
    }
}

void Sprite::changeSize(float width, float height, std::int32_t frames) {
    sizeFrames_ = frames;
    sizeChanging_ = 1;
    targetWidth_ = deviceX(width);
    targetHeight_ = deviceY(height);
    // No steps for a change that never runs (frames 0 or below): no
    // division by zero.
    if (frames > 0) {
        stepWidth_ = (targetWidth_ - width_) / static_cast<float>(frames);
        stepHeight_ = (targetHeight_ - height_) / static_cast<float>(frames);
    } else {
        stepWidth_ = stepHeight_ = 0.0f;
    }
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

void Sprite::setLayer(std::int32_t layer) { layer_ = layer < 0 ? 0 : layer >= kLayers ? kLayers - 1 : layer; }

void Sprite::setTexture(const std::shared_ptr<Texture>& texture) { ownTexture_ = texture; }

const SpriteVertex* Sprite::getVertices() {
    // The -0.5 shift puts texel centres on pixel centres.
    const float left = x_ - 0.5f, top = y_ - 0.5f;
    const bool axisAligned =
        rotationMode_ == kAxisAligned || (rotationMode_ == kRotatedUnlessZero && angle_ == 0.0f);
    if (axisAligned) {
        vertices_[0].x = left;
        vertices_[0].y = top;
        vertices_[1].x = left + width_;
        vertices_[1].y = top;
        vertices_[2].x = left;
        vertices_[2].y = top + height_;
        vertices_[3].x = left + width_;
        vertices_[3].y = top + height_;
        return vertices_;
    }
    const float halfW = width_ / 2.0f, halfH = height_ / 2.0f;
    const float cx = left + halfW, cy = top + halfH;
    const float s = sine_table::sinDeg(angle_), c = sine_table::cosDeg(angle_);
    const float dx[4] = {-halfW, halfW, -halfW, halfW};
    const float dy[4] = {-halfH, -halfH, halfH, halfH};
    for (int i = 0; i < 4; ++i) {
        vertices_[i].x = cx + dx[i] * c - dy[i] * s;
        vertices_[i].y = cy + dx[i] * s + dy[i] * c;
    }
    return vertices_;
}

#include "graphics/RenderTarget.h"

#include "graphics/D3DDevice.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteManager.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/Texture.h"
#include "graphics/TextureManager.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"

namespace {
constexpr const char* kSource = "RenderManager";
constexpr const char* kFullName = "RenderTarget_Full";
constexpr const char* kEffectName = "RenderTarget_Effect";
constexpr std::int32_t kFullBlend = 6;
}  // namespace

RenderTarget::RenderTarget(const RenderTargetDevice& device) : device_(device) { setActive(1); }

RenderTarget::~RenderTarget() { release(); }

std::int32_t RenderTarget::setActive(std::int32_t flag) {
    if (sprite_) sprite_->setActive(flag);
    active_ = flag != 0 ? 1 : 0;
    return flag;
}

HRESULT RenderTarget::configure(std::uint32_t width, std::uint32_t height, D3DFORMAT colourFormat,
                                D3DFORMAT depthFormat, std::uint32_t mode) {
    width_ = width;
    height_ = height;
    colourFormat_ = colourFormat;
    depthFormat_ = depthFormat;
    mode_ = mode;
    return S_OK;
}

// The same conversion as the device object's (extended precision, rounded
// once), so that at the virtual size every value stays exact.
float RenderTarget::deviceX(float x) const {
    return static_cast<float>(static_cast<long double>(device_.backBufferWidth) * x / device_.virtualWidth);
}
float RenderTarget::deviceY(float y) const {
    return static_cast<float>(static_cast<long double>(device_.backBufferHeight) * y / device_.virtualHeight);
}

HRESULT RenderTarget::setup() {
    GfxDevice* device = g_d3dDevice;
    if (!device) return E_FAIL;
    if (mode_ != kModeBackBuffer) return setupTexture();
    sprite_ = nullptr;
    spriteManager_.reset();
    HRESULT result = device->getRenderTarget(0, colour_.put());
    if (FAILED(result)) {
        logFailure(kSource, 158, result);
        return result;
    }
    if (device_.useDepthStencil) {
        result = device->getDepthStencilSurface(depth_.put());
        if (FAILED(result)) {
            logFailure(kSource, 162, result);
            return result;
        }
    }
    return S_OK;
}

HRESULT RenderTarget::setupTexture() {
    GfxDevice* device = g_d3dDevice;
    const bool full = mode_ == kModeFull;
    // A setup over a live one lets the old objects go first.
    if (colour_ || texture_) release();
    if (full) logLine("RenderTarget::setup() SURFACE_FULL");
    GfxRef<GfxTexture> deviceTexture;
    HRESULT result = device->createTexture(width_, height_, 1, D3DUSAGE_RENDERTARGET, colourFormat_, D3DPOOL_DEFAULT,
                                           deviceTexture.put());
    if (FAILED(result)) {
        logFailure(kSource, full ? 173 : 227, result);
        return result;
    }
    result = deviceTexture->getSurfaceLevel(0, colour_.put());
    if (FAILED(result)) {
        logFailure(kSource, full ? 177 : 231, result);
        return result;
    }
    if (device_.useDepthStencil) {
        result = device->createDepthStencilSurface(width_, height_, depthFormat_, D3DMULTISAMPLE_NONE, 0, 1,
                                                   depth_.put());
        if (FAILED(result)) {
            colour_.reset();
            logFailure(kSource, full ? 183 : 237, result);
            return result;
        }
    }

    const char* name = full ? kFullName : kEffectName;
    if (TextureManager* textures = g_textureManager) {
        texture_ = textures->create();
    } else {
        texture_ = std::make_shared<Texture>();
    }
    texture_->setD3DTexture(deviceTexture.get());
    texture_->setWidth(width_);
    texture_->setHeight(height_);
    texture_->setName(name);

    SpriteManagerManager* sprites = g_spriteManagerManager;
    if (!sprites) return S_OK;
    // Only the name cache: findByName would load a texture of this name
    // from the archive.
    spriteManager_ = sprites->findCachedByName(name);
    if (!spriteManager_) {
        if (full) logLine("RenderTarget::setup() RenderTarget_Full Not Found");
        spriteManager_ = sprites->createNamed(internName(name));
    }
    spriteManager_->setTexture(texture_);
    const float w = static_cast<float>(width_), h = static_cast<float>(height_);
    if (full) {
        // The frame's 640 virtual columns take 1 / 1.236 of the sprite's
        // width: x 70 to 587.8 of the screen.
        sprite_ = spriteManager_->createSprite(0.0f, 0.0f, w, h, 0.0f, 0.0f, 1.236f, 1.0f);
    } else {
        sprite_ = spriteManager_->createSprite(0.0f, 0.0f, deviceX(360.0f), deviceY(480.0f), 0.2734375f, 0.0f,
                                               0.703125f, 0.9375f);
    }
    if (!sprite_) return S_OK;  // the sprite pool is empty: nothing to show
    sprite_->setLayer(0);
    sprite_->setX(deviceX(full ? 70.0f : 140.0f));
    sprite_->setY(0.0f);
    sprite_->setActive(active_);
    sprite_->setColor(static_cast<float>(colorA_), static_cast<float>(colorR_), static_cast<float>(colorG_),
                      static_cast<float>(colorB_));
    sprite_->setBlend(static_cast<std::uint8_t>(full ? kFullBlend : displayBlendMode_));
    if (fullView_) setFullView(1);
    return detachSprites();
}

void RenderTarget::setFullView(std::uint32_t flag) {
    fullView_ = flag;
    if (mode_ != kModeEffect || !sprite_) return;
    if (flag) {
        sprite_->setSize(deviceX(640.0f), deviceY(480.0f));
        sprite_->setX(0.0f);
        sprite_->setUV(0.0f, 0.0f, 512.0f, 480.0f);
    } else {
        sprite_->setSize(deviceX(360.0f), deviceY(480.0f));
        sprite_->setX(deviceX(140.0f));
        sprite_->setUV(140.0f, 0.0f, 500.0f, 480.0f);
    }
    sprite_->setY(0.0f);
}

void RenderTarget::setSpriteTargetIndex(std::uint32_t index) {
    if (sprite_) sprite_->setTargetFlag(static_cast<std::uint8_t>(index));
}

HRESULT RenderTarget::select() {
    GfxDevice* device = g_d3dDevice;
    if (!device || !colour_) return E_FAIL;
    HRESULT result = device->setRenderTarget(0, colour_.get());
    if (FAILED(result)) {
        logFailure(kSource, 400, result);
        return result;
    }
    result = device->setDepthStencilSurface(depth_.get());
    if (FAILED(result)) {
        logFailure(kSource, 403, result);
        return result;
    }
    return S_OK;
}

HRESULT RenderTarget::draw() {
    if (!spriteManager_ || !texture_) return S_OK;
    SpriteManagerManager* batch = g_spriteManagerManager;
    if (!batch) return S_OK;
    spriteManager_->rebuildLists();
    for (std::int32_t layer = 0; layer < 40; ++layer) spriteManager_->drawLayer(layer, *batch);
    return S_OK;
}

HRESULT RenderTarget::release() {
    // References are dropped here; the surfaces' own release cannot fail on
    // this platform, so lines 345 and 352 have nothing to report.
    depth_.reset();
    colour_.reset();
    if (texture_) {
        if (GfxDevice* device = g_d3dDevice; device && texture_->getD3DTexture()) {
            // The device's binding would keep the texture alive through a
            // reset.
            device->setTexture(0, nullptr);
        }
        // The cached sprite manager keeps the Texture object until the next
        // setup; the device texture goes now.
        texture_->setD3DTexture(nullptr);
        if (TextureManager* textures = g_textureManager) textures->remove(texture_);
        texture_.reset();
    }
    if (sprite_) {
        sprite_->setState(1);
        sprite_ = nullptr;
    }
    if (spriteManager_) {
        if (SpriteManagerManager* sprites = g_spriteManagerManager) sprites->removeById(spriteManager_->getId());
        spriteManager_.reset();
    }
    return S_OK;
}

HRESULT RenderTarget::detachSprites() {
    if (!spriteManager_) return S_OK;
    if (SpriteManagerManager* sprites = g_spriteManagerManager) sprites->removeById(spriteManager_->getId());
    return S_OK;
}

#include "graphics/SpriteManagerManager.h"

#include <cstring>

#include "graphics/D3DObject.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/TextureManager.h"
#include "platform/gfx/D3DXImage.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"

namespace {
constexpr const char* kSource = "SpriteManagerManager";

// Quad q's two triangles over its vertices top-left, top-right, bottom-left,
// bottom-right.
void writeIndexPattern(std::uint16_t* indices) {
    for (std::uint32_t q = 0; q < SpriteManagerManager::kQuads; ++q) {
        const auto base = static_cast<std::uint16_t>(q * 4);
        std::uint16_t* out = indices + std::size_t(q) * 6;
        out[0] = base;
        out[1] = std::uint16_t(base + 1);
        out[2] = std::uint16_t(base + 2);
        out[3] = std::uint16_t(base + 2);
        out[4] = std::uint16_t(base + 1);
        out[5] = std::uint16_t(base + 3);
    }
}

float fraction(float texels, float size) { return size != 0.0f ? texels / size : 0.0f; }
}  // namespace

SpriteManagerManager::SpriteManagerManager() {
    imgSpriteManager_ = create();
    imgSpriteManager_->setName(internName("imgsprite_mgr_sptr"));
    useVertexBuffer();
}

SpriteManagerManager::~SpriteManagerManager() {
    byTexture_.clear();
    imgSpriteManager_.reset();
}

SpriteManagerManager::Pointer SpriteManagerManager::findOrCreate(std::string_view textureName) {
    if (Pointer cached = findCachedByName(textureName)) return cached;
    const NameHandle name = internName(textureName);
    Pointer manager = createNamed(name);
    std::shared_ptr<Texture> texture;
    if (TextureManager* textures = g_textureManager)
        texture = textures->loadTextureEx(textureName, D3DX_FILTER_POINT, 1);
    manager->setTexture(texture);
    byTexture_[name] = manager;
    return manager;
}

void SpriteManagerManager::retireAll() {
    ResourceManager::retireAll();
    byTexture_.clear();
}

void SpriteManagerManager::clearAll() {
    ResourceManager::clearAll();
    byTexture_.clear();
}

Sprite* SpriteManagerManager::createSpriteForTexture(float width, float height, float left, float top, float right,
                                                     float bottom, std::string_view textureName) {
    const NameHandle name = internName(textureName);
    Pointer manager = findByTexture(name);
    if (!manager) manager = findCachedByHandle(name);
    if (!manager) manager = findOrCreate(textureName);
    const float w = manager->getTextureWidth(), h = manager->getTextureHeight();
    return manager->createSprite(0.0f, 0.0f, width, height, fraction(left, w), fraction(top, h),
                                 fraction(right - left, w), fraction(bottom - top, h));
}

Sprite* SpriteManagerManager::createSpriteIn(float x, float y, float width, float height, float u0, float v0, float du,
                                             float dv, std::string_view textureName) {
    return findOrCreate(textureName)->createSprite(x, y, width, height, u0, v0, du, dv);
}

void SpriteManagerManager::freeSystemIndices() { systemIndices_.reset(); }

void SpriteManagerManager::releaseBuffers() {
    // Unbound too: the device's own references would keep them alive
    // through a reset.
    if (GfxDevice* device = g_d3dDevice; device && vertexBuffer_) {
        device->setStreamSource(0, nullptr, 0, 0);
        device->setIndices(nullptr);
    }
    vertexBuffer_ = GfxRef<GfxVertexBuffer>();
    indexBuffer_ = GfxRef<GfxIndexBuffer>();
}

void SpriteManagerManager::useSystemMemory() {
    logLine("頂点バッファを使用しません");
    systemIndices_ = std::make_unique<std::uint16_t[]>(std::size_t(kQuads) * 6);
    writeIndexPattern(systemIndices_.get());
}

HRESULT SpriteManagerManager::useVertexBuffer() {
    logLine("頂点バッファを使用します");
    releaseBuffers();
    GfxDevice* device = g_d3dDevice;
    if (!device) return E_FAIL;
    HRESULT hr = device->createVertexBuffer(kVertexBufferBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kSpriteFvf,
                                            D3DPOOL_DEFAULT, vertexBuffer_.put());
    if (FAILED(hr)) {
        logFailure(kSource, 460, hr);
        return hr;
    }
    hr = device->createIndexBuffer(kIndexBufferBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                   D3DPOOL_DEFAULT, indexBuffer_.put());
    if (FAILED(hr)) {
        logFailure(kSource, 464, hr);
        releaseBuffers();
        return hr;
    }
    void* data = nullptr;
    hr = indexBuffer_->lock(0, kIndexBufferBytes, &data, D3DLOCK_DISCARD);
    if (FAILED(hr)) {
        logFailure(kSource, 468, hr);
        releaseBuffers();
        return hr;
    }
    writeIndexPattern(static_cast<std::uint16_t*>(data));
    indexBuffer_->unlock();
    device->setIndices(indexBuffer_.get());
    device->setStreamSource(0, vertexBuffer_.get(), 0, sizeof(SpriteVertex));
    return S_OK;
}

void SpriteManagerManager::update() {
    // The last text-owning manager without sprites (so the highest id) goes
    // from the id map; at most one a frame.
    std::uint32_t spent = 0;
    bool noted = false;
    for (auto& [id, manager] : resources_) {
        if (!manager) continue;
        manager->rebuildLists();
        if (manager->getTextOwner() && manager->getSpriteCount() == 0) {
            spent = id;
            noted = true;
        }
    }
    if (noted) resources_.erase(spent);
}

void SpriteManagerManager::textWalk0() {
    for (auto& [id, manager] : resources_)
        if (manager && manager->isEnabled() && manager->isVisible()) manager->updateTextIfLock0();
    for (auto& [id, manager] : resources_)
        if (manager && manager->isEnabled() && manager->isVisible()) manager->copyTextIfLock0();
}

void SpriteManagerManager::textWalk1() {
    for (auto& [id, manager] : resources_)
        if (manager && manager->isEnabled() && manager->isVisible()) manager->updateTextIfLock1();
    for (auto& [id, manager] : resources_)
        if (manager && manager->isEnabled() && manager->isVisible()) manager->copyTextIfLock1();
}

HRESULT SpriteManagerManager::prepare() {
    SpriteAllocator::instance().refill();
    if (D3DObject* d3d = g_d3dObject) d3d->setRenderMode(1);
    if (GfxDevice* device = g_d3dDevice) {
        device->setIndices(indexBuffer_.get());
        device->setStreamSource(0, vertexBuffer_.get(), 0, sizeof(SpriteVertex));
    }
    return S_OK;
}

HRESULT SpriteManagerManager::drawLayer(std::int32_t layer) {
    prepare();
    for (auto& [id, manager] : resources_) {
        if (!manager || !manager->isEnabled() || !manager->isVisible()) continue;
        const HRESULT hr = manager->drawLayer(layer, *this);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT SpriteManagerManager::drawAll() {
    for (std::int32_t layer = 0; layer < Sprite::kLayers; ++layer) {
        const HRESULT hr = drawLayer(layer);
        if (FAILED(hr)) {
            // The rest of this frame's sprites are dropped.
            logFailure(kSource, 276, hr);
            return hr;
        }
    }
    return S_OK;
}

HRESULT SpriteManagerManager::drawBatch(std::uint32_t count, Sprite* const* sprites) {
    if (g_frameCounter && g_frameCounter->isSkippedFrame()) return S_OK;
    while (count > 0) {
        const std::uint32_t chunk = count < kQuads ? count : kQuads;
        const HRESULT hr = drawChunk(chunk, sprites);
        if (FAILED(hr)) return hr;
        sprites += chunk;
        count -= chunk;
    }
    return S_OK;
}

HRESULT SpriteManagerManager::drawChunk(std::uint32_t count, Sprite* const* sprites) {
    GfxDevice* device = g_d3dDevice;
    // Without buffers (their creation failed and was logged, and a half
    // made pair was let go) nothing is drawn.
    if (!device || !vertexBuffer_) return S_OK;
    // What does not fit behind the quads already written starts the buffer
    // again (the display sprites of render targets can come on top of a
    // full pool).
    if (quadCursor_ + count > kQuads) quadCursor_ = 0;
    void* data = nullptr;
    HRESULT hr = vertexBuffer_->lock(quadCursor_ * kQuadBytes, count * kQuadBytes, &data,
                                     quadCursor_ == 0 ? D3DLOCK_DISCARD : D3DLOCK_NOOVERWRITE);
    if (FAILED(hr)) {
        logFailure(kSource, 388, hr);
        return hr;
    }
    auto* out = static_cast<std::uint8_t*>(data);
    for (std::uint32_t i = 0; i < count; ++i)
        std::memcpy(out + std::size_t(i) * kQuadBytes, sprites[i]->getVertices(), kQuadBytes);
    vertexBuffer_->unlock();
    hr = device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, quadCursor_ * 4, count * 4, quadCursor_ * 6, count * 2);
    if (FAILED(hr)) {
        logFailure(kSource, 404, hr);
        return hr;
    }
    quadCursor_ += count;
    return S_OK;
}

std::uint32_t SpriteManagerManager::totalSpriteCount() {
    std::uint32_t total = 0;
    for (auto& [id, manager] : resources_)
        if (manager) total += manager->getSpriteCount();
    return total;
}

SpriteManagerManager::Pointer SpriteManagerManager::findByTexture(NameHandle textureName) {
    auto found = byTexture_.find(textureName);
    return found == byTexture_.end() ? nullptr : found->second;
}

void SpriteManagerManager::purgeFlagged() {
    TextureManager* textures = g_textureManager;
    if (!textures) return;
    // A manager made by findOrCreate carries its texture's file name.
    auto flagged = [textures](const Pointer& manager) {
        return manager && textures->getFlags(manager->getName()) != 0;
    };
    for (auto it = byTexture_.begin(); it != byTexture_.end();)
        it = flagged(it->second) ? byTexture_.erase(it) : std::next(it);
    for (auto it = nameCache_.begin(); it != nameCache_.end();)
        it = flagged(it->second) ? nameCache_.erase(it) : std::next(it);
}

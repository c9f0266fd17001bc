// The owner of every sprite manager and of the one dynamic vertex buffer and
// index buffer through which all sprites are batched. Each frame: beginFrame,
// update (lists rebuilt, one spent text manager let go), a text walk,
// prepare, drawAll (layers 0 to 39; per layer the managers in id order; per
// manager blend groups 3, 5, 2, 6, 7; per group creation order). Main thread.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>

#include "graphics/ResourceManager.h"
#include "graphics/SpriteManager.h"
#include "platform/HResult.h"
#include "platform/gfx/GfxDevice.h"

class SpriteManagerManager : public ResourceManager<SpriteManager> {
public:
    static constexpr std::uint32_t kQuads = 10000;
    static constexpr std::uint32_t kQuadBytes = 4 * sizeof(SpriteVertex);  // 112
    static constexpr std::uint32_t kVertexBufferBytes = kQuads * kQuadBytes;  // 1,120,000
    static constexpr std::uint32_t kIndexBufferBytes = kQuads * 6 * 2;  // 120,000

    // Makes the "imgsprite_mgr_sptr" manager, then the buffers.
    SpriteManagerManager();
    ~SpriteManagerManager() override;

    // Replaces findByName: the manager of that texture file, from the name
    // cache, else made under the name with the texture loaded (point filter,
    // one level; a failed load leaves it textureless) and entered in byTexture.
    Pointer findByName(std::string_view textureName) override { return findOrCreate(textureName); }
    Pointer findOrCreate(std::string_view textureName);
    void retireAll() override;
    void clearAll() override;

    // A sprite at (0, 0) of that device size whose rectangle is the given
    // texels of the named texture; null when the pool is empty.
    Sprite* createSpriteForTexture(float width, float height, float left, float top, float right, float bottom,
                                   std::string_view textureName);
    Sprite* createSpriteByTexture(float width, float height, float left, float top, float right, float bottom,
                                  std::string_view textureName) {
        return createSpriteForTexture(width, height, left, top, right, bottom, textureName);
    }
    // A sprite of the named texture's manager with the rectangle as fractions.
    Sprite* createSpriteIn(float x, float y, float width, float height, float u0, float v0, float du, float dv,
                           std::string_view textureName);

    void freeSystemIndices();
    // Lets go of both buffers (before a device reset).
    void releaseBuffers();
    // The index pattern in memory, no device buffers.
    void useSystemMemory();
    // Creates, fills and binds both buffers (start-up and after a reset).
    HRESULT useVertexBuffer();

    void beginFrame() { quadCursor_ = 0; }
    void update();
    void textWalk0();
    void textWalk1();
    HRESULT prepare();
    HRESULT drawLayer(std::int32_t layer);
    HRESULT drawAll();
    // count sprites' quads into the vertex buffer and one indexed draw; a
    // batch that does not fit in what is left of the buffer starts again at
    // quad 0, one larger than the buffer goes in chunks.
    HRESULT drawBatch(std::uint32_t count, Sprite* const* sprites);
    std::uint32_t totalSpriteCount();
    Pointer findByTexture(NameHandle textureName);
    // Erases from byTexture and the name cache every manager whose texture
    // name has a non-zero flag word at the texture manager.
    void purgeFlagged();
    void purgeMarked() { purgeFlagged(); }

    const Pointer& getImgSpriteManager() const { return imgSpriteManager_; }
    std::uint32_t getQuadCursor() const { return quadCursor_; }
    GfxVertexBuffer* getVertexBuffer() const { return vertexBuffer_.get(); }
    GfxIndexBuffer* getIndexBuffer() const { return indexBuffer_.get(); }
    const std::uint16_t* getSystemIndices() const { return systemIndices_.get(); }

private:
    HRESULT drawChunk(std::uint32_t count, Sprite* const* sprites);

    Pointer imgSpriteManager_;
    std::map<NameHandle, Pointer> byTexture_;
    GfxRef<GfxVertexBuffer> vertexBuffer_;
    GfxRef<GfxIndexBuffer> indexBuffer_;
    std::unique_ptr<std::uint16_t[]> systemIndices_;
    std::uint32_t quadCursor_ = 0;
};

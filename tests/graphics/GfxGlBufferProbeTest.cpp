// Pixel probes of the OpenGL backend's streaming paths: the sprite batcher's
// dynamic buffers (DISCARD then NOOVERWRITE locks, indexed draws with a base
// vertex), the engine's blend modes set through the render manager, and a
// partial texture lock.
#include <gtest/gtest.h>

#include <cstring>

#include "graphics/D3DDevice.h"
#include "graphics/DeviceChecks.h"
#include "graphics/GlTestDevice.h"
#include "graphics/RenderManager.h"
#include "platform/gfx/GlCallCount.h"

namespace {

class GfxGlBufferProbe : public GlTestDevice {
protected:
    // The sprite batcher's buffers in small: room for 8 quads of four
    // SpriteVertex each, and the index pattern 4q, 4q+1, 4q+2, 4q+2, 4q+1, 4q+3.
    void makeBuffers() {
        ASSERT_EQ(device->createVertexBuffer(8 * 4 * sizeof(SpriteVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                             0x144, D3DPOOL_DEFAULT, vertices.put()),
                  D3D_OK);
        ASSERT_EQ(device->createIndexBuffer(8 * 6 * 2, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                            D3DPOOL_DEFAULT, indices.put()),
                  D3D_OK);
        void* data = nullptr;
        ASSERT_EQ(indices->lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
        auto* index = static_cast<std::uint16_t*>(data);
        for (std::uint16_t q = 0; q < 8; ++q) {
            const std::uint16_t pattern[6] = {0, 1, 2, 2, 1, 3};
            for (int i = 0; i < 6; ++i) index[q * 6 + i] = std::uint16_t(4 * q + pattern[i]);
        }
        ASSERT_EQ(indices->unlock(), D3D_OK);
        ASSERT_EQ(device->setIndices(indices.get()), D3D_OK);
        ASSERT_EQ(device->setStreamSource(0, vertices.get(), 0, sizeof(SpriteVertex)), D3D_OK);
    }

    // Writes quads of the given places and colours at quad `first` with one lock.
    struct Quad {
        float x, y, w, h;
        std::uint32_t colour;
    };
    void writeQuads(std::uint32_t first, std::initializer_list<Quad> quads, std::uint32_t flags) {
        void* data = nullptr;
        const std::uint32_t size = std::uint32_t(quads.size() * 4 * sizeof(SpriteVertex));
        ASSERT_EQ(vertices->lock(first * 4 * sizeof(SpriteVertex), size, &data, flags), D3D_OK);
        auto* v = static_cast<SpriteVertex*>(data);
        for (const Quad& q : quads) {
            const float x0 = q.x - 0.5f, y0 = q.y - 0.5f, x1 = q.x + q.w - 0.5f, y1 = q.y + q.h - 0.5f;
            *v++ = {x0, y0, 0, 1, q.colour, 0, 0};
            *v++ = {x1, y0, 0, 1, q.colour, 1, 0};
            *v++ = {x0, y1, 0, 1, q.colour, 0, 1};
            *v++ = {x1, y1, 0, 1, q.colour, 1, 1};
        }
        ASSERT_EQ(vertices->unlock(), D3D_OK);
    }

    GfxRef<GfxVertexBuffer> vertices;
    GfxRef<GfxIndexBuffer> indices;
};

std::uint32_t rgb(std::uint32_t pixel) { return pixel & 0xFFFFFF; }

// The render manager alone, without the device object around it.
class BareRenderManager : public RenderManager {
protected:
    const D3DCAPS9& adapterCaps() const override { return caps_; }
    std::uint32_t getMultiSampleLevel() const override { return 0; }
    RenderTargetDevice renderTargetDevice() const override { return {}; }

private:
    D3DCAPS9 caps_{};
};

}  // namespace

TEST_F(GfxGlBufferProbe, NoOverwriteBatchAfterDiscardAndBaseVertexDrawTheirOwnVertices) {
    makeBuffers();
    // Vertex colours only.
    stage(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE);
    ASSERT_EQ(device->beginScene(), D3D_OK);
    // Frame one: two quads with DISCARD, one appended with NOOVERWRITE, then
    // one more drawn from index 0 with a base vertex of 12.
    writeQuads(0, {{10, 10, 8, 8, 0xFFFF0000}, {30, 10, 8, 8, 0xFF00FF00}}, D3DLOCK_DISCARD);
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 4), D3D_OK);
    writeQuads(2, {{50, 10, 8, 8, 0xFF0000FF}}, D3DLOCK_NOOVERWRITE);
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 8, 4, 12, 2), D3D_OK);
    writeQuads(3, {{70, 10, 8, 8, 0xFFFFFF00}}, D3DLOCK_NOOVERWRITE);
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 12, 0, 4, 0, 2), D3D_OK);
    // Frame two: DISCARD again with fewer quads, then a NOOVERWRITE batch.
    writeQuads(0, {{10, 30, 8, 8, 0xFF00FFFF}}, D3DLOCK_DISCARD);
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    writeQuads(1, {{30, 30, 8, 8, 0xFFFF00FF}}, D3DLOCK_NOOVERWRITE);
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 4, 6, 2), D3D_OK);
    ASSERT_EQ(device->endScene(), D3D_OK);

    const std::vector<std::uint32_t> pixels = readTarget();
    auto at = [&](int x, int y) { return rgb(pixels[std::size_t(y) * 640 + std::size_t(x)]); };
    const struct {
        int x, y;
        std::uint32_t colour;
    } expected[] = {
        {10, 10, 0xFF0000}, {17, 17, 0xFF0000}, {30, 10, 0x00FF00}, {37, 17, 0x00FF00},
        {50, 10, 0x0000FF}, {57, 17, 0x0000FF}, {70, 10, 0xFFFF00}, {77, 17, 0xFFFF00},
        {10, 30, 0x00FFFF}, {17, 37, 0x00FFFF}, {30, 30, 0xFF00FF}, {37, 37, 0xFF00FF},
        {9, 10, 0},         {18, 10, 0},        {58, 10, 0},        {78, 17, 0},
        {50, 30, 0},        {70, 30, 0},        {10, 29, 0},        {10, 38, 0},
    };
    for (const auto& e : expected) EXPECT_EQ(at(e.x, e.y), e.colour) << e.x << "," << e.y;
}

TEST_F(GfxGlBufferProbe, DiscardedLockUploadsWhatTheCallerWrote) {
    // The mesh passes' case: a 2 MB dynamic vertex buffer and a dynamic index
    // buffer locked DISCARD for a small part each frame. Only the locked
    // bytes go to the driver, never the whole length.
    GfxRef<GfxVertexBuffer> big;
    GfxRef<GfxIndexBuffer> bigIndices;
    ASSERT_EQ(device->createVertexBuffer(2u << 20, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0x144, D3DPOOL_DEFAULT,
                                         big.put()),
              D3D_OK);
    ASSERT_EQ(device->createIndexBuffer(128u << 10, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                        D3DPOOL_DEFAULT, bigIndices.put()),
              D3D_OK);
    const struct {
        std::uint32_t offset, size, flags;
    } locks[] = {
        {0, 960, D3DLOCK_DISCARD},
        {960, 480, D3DLOCK_NOOVERWRITE},
        {0, 24000, D3DLOCK_DISCARD},
        {4096, 120, 0},
    };
    for (const auto& l : locks) {
        for (bool index : {false, true}) {
            void* data = nullptr;
            const std::uint64_t before = GlCallCount::bufferUploadBytes;
            if (index) {
                ASSERT_EQ(bigIndices->lock(l.offset, l.size, &data, l.flags), D3D_OK);
                std::memset(data, 1, l.size);
                ASSERT_EQ(bigIndices->unlock(), D3D_OK);
            } else {
                ASSERT_EQ(big->lock(l.offset, l.size, &data, l.flags), D3D_OK);
                std::memset(data, 1, l.size);
                ASSERT_EQ(big->unlock(), D3D_OK);
            }
            EXPECT_EQ(GlCallCount::bufferUploadBytes - before, l.size) << l.offset << (index ? " index" : " vertex");
        }
    }
}

TEST_F(GfxGlBufferProbe, EngineBlendModesGiveDirect3DPixels) {
    // Mode numbers through the render manager, drawn with a texel of colour
    // (200, 100, 40) and alpha 160 and a vertex colour (255, 128, 255) with
    // alpha 200 over the background (60, 120, 240). The expected pixels are
    // Direct3D 9's arithmetic worked by hand, e.g. mode 3 (alpha blend of
    // texture x vertex colour): alpha 160 x 200 / 255 = 125.5, red
    // 200 x 125.5 / 255 + 60 x 129.5 / 255 = 128.9.
    g_d3dDevice = device.get();
    BareRenderManager render;
    GfxRef<GfxTexture> texture = makeTexture(1, 1, {0xA0C86428});
    device->setTexture(0, texture.get());
    const struct {
        int mode;
        std::uint32_t pixel;
    } cases[] = {
        {1, 0x946B73},  // alpha blend of the texture alone
        {2, 0x9E91FF},  // additive
        {3, 0x81568E},  // alpha blend modulated by the vertex colour
        {4, 0x005FDC},  // reverse subtract
        {5, 0x9CADF7},  // colours added, then alpha blended
        {6, 0xC86428},  // opaque: the texel
        {7, 0xFFAAFF},  // plain additive
    };
    int x = 0;
    for (const auto& c : cases) {
        D3DRECT rect{x, 0, x + 4, 4};
        device->clear(1, &rect, D3DCLEAR_TARGET, 0xFF3C78F0, 1.0f, 0);
        EXPECT_EQ(render.setBlendMode(c.mode), S_OK);
        drawQuad(float(x), 0, 4, 4, 0xC8FF80FF);
        const std::uint32_t got = pixel(x + 1, 1) | 0xFF000000;
        EXPECT_LE(channelDistance(got, c.pixel | 0xFF000000), 1)
            << "mode " << c.mode << std::hex << " got " << got << " expected " << c.pixel;
        x += 8;
    }
    g_d3dDevice = nullptr;
}

TEST_F(GfxGlBufferProbe, PartialTextureLockLeavesTheRestIntact) {
    // A 32 x 32 texture of distinct texels, drawn once, then one 8 x 8
    // rectangle locked and rewritten.
    std::vector<std::uint32_t> texels(32 * 32);
    for (std::uint32_t i = 0; i < texels.size(); ++i) texels[i] = 0xFF000000u | (i * 2654435761u >> 8);
    GfxRef<GfxTexture> texture = makeTexture(32, 32, texels);
    device->setTexture(0, texture.get());
    stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    device->setSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->setSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    drawQuad(0, 0, 32, 32, 0xFFFFFFFF);

    D3DLOCKED_RECT locked;
    const D3DRECT rect{12, 4, 20, 12};
    ASSERT_EQ(texture->lockRect(0, &locked, &rect, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 32 * 4);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const std::uint32_t value = 0xFF102030u + std::uint32_t(y * 8 + x);
            std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, &value, 4);
        }
    ASSERT_EQ(texture->unlockRect(0), D3D_OK);
    drawQuad(100, 0, 32, 32, 0xFFFFFFFF);

    const std::vector<std::uint32_t> pixels = readTarget();
    int wrong = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool inside = x >= 12 && x < 20 && y >= 4 && y < 12;
            const std::uint32_t want = inside ? 0xFF102030u + std::uint32_t((y - 4) * 8 + (x - 12)) : texels[y * 32 + x];
            EXPECT_EQ(pixels[std::size_t(y) * 640 + std::size_t(x)], texels[y * 32 + x]) << x << "," << y;
            if (pixels[std::size_t(y) * 640 + 100 + std::size_t(x)] != want && ++wrong <= 5)
                ADD_FAILURE() << "texel " << x << "," << y << std::hex << " got "
                              << pixels[std::size_t(y) * 640 + 100 + std::size_t(x)] << " expected " << want;
        }
    EXPECT_EQ(wrong, 0);
}

// New buffers lock to zeros, the large dynamic size the mesh passes make
// included (their copies come from zeroed memory that is mapped lazily).
TEST_F(GfxGlBufferProbe, NewBuffersLockToZeros) {
    for (std::uint32_t size : {64u, 2097120u}) {
        SCOPED_TRACE(size);
        GfxRef<GfxVertexBuffer> buffer;
        ASSERT_EQ(device->createVertexBuffer(size, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0x112, D3DPOOL_DEFAULT,
                                             buffer.put()),
                  D3D_OK);
        void* data = nullptr;
        ASSERT_EQ(buffer->lock(0, 0, &data, 0), D3D_OK);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        std::size_t nonZero = 0;
        for (std::uint32_t i = 0; i < size; ++i) nonZero += bytes[i] != 0;
        EXPECT_EQ(nonZero, 0u);
        // A write lands in the copy the next lock sees.
        static_cast<std::uint8_t*>(data)[size - 1] = 7;
        ASSERT_EQ(buffer->unlock(), D3D_OK);
        ASSERT_EQ(buffer->lock(size - 1, 1, &data, D3DLOCK_READONLY), D3D_OK);
        EXPECT_EQ(*static_cast<const std::uint8_t*>(data), 7);
        ASSERT_EQ(buffer->unlock(), D3D_OK);
    }
}

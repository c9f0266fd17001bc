// Sprite managers on the recording device: buffers and their index pattern,
// the draw order of a small scene with its locks and draw arguments, skipped
// and empty frames, failures, the overflow past 10,000 quads, text managers,
// the bound texture id and both purges.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graphics/RenderFrame.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "graphics/TextureTestSupport.h"
#include "objects/BulletObjectAllocator.h"
#include "objects/BulletObjectManager.h"
#include "objects/IntBulletObjectManager.h"
#include "SkippingPeers.h"
#include "services/FrameCounter.h"

namespace {
std::vector<SpriteVertex> verticesOf(const GfxDrawRecord& draw) {
    std::vector<SpriteVertex> out(draw.vertices.size() / sizeof(SpriteVertex));
    if (!out.empty()) std::memcpy(out.data(), draw.vertices.data(), out.size() * sizeof(SpriteVertex));
    return out;
}

class SpriteManagerTest : public TextureTest {
protected:
    SpriteManagerTest() {
        SpriteAllocator::instance().fill();
        g_textureManager = &textures;
        pack({{"a.bmp", files::bmp(8, 8, Pixels(64, 0xFFFF0000), 32)},
              {"b.bmp", files::bmp(16, 16, Pixels(256, 0xFF00FF00), 32)},
              {"bad.png", FileBytes(64, 0x11)}});
        sprites = std::make_unique<SpriteManagerManager>();
        g_spriteManagerManager = sprites.get();
        // As the frame does with the background off: mode 2, so that the
        // sprites' mode 1 is applied in full by prepare.
        object->setRenderMode(2);
    }
    ~SpriteManagerTest() override {
        sprites.reset();
        g_spriteManagerManager = nullptr;
        g_textureManager = nullptr;
        SpriteAllocator::instance().freeBlocks();
    }
    // The frame's sprite section inside a scene.
    void frame() {
        device().beginScene();
        sprites->beginFrame();
        sprites->update();
        sprites->prepare();
        sprites->drawAll();
        device().endScene();
    }
    // A sprite of the texture at x, in that layer and blend group.
    Sprite* sprite(const char* texture, float x, int layer, int blend) {
        Sprite* s = sprites->createSpriteIn(x, 0, 8, 8, 0, 0, 1, 1, texture);
        if (s) {
            s->setLayer(layer);
            s->setBlend(std::uint8_t(blend));
        }
        return s;
    }
    // The sprites of each draw, by their x.
    std::vector<std::vector<float>> drawnXs() const {
        std::vector<std::vector<float>> out;
        for (const GfxDrawRecord& draw : gfx.draws()) {
            out.emplace_back();
            const std::vector<SpriteVertex> v = verticesOf(draw);
            for (std::size_t i = 0; i + 3 < v.size(); i += 4) out.back().push_back(v[i].x + 0.5f);
        }
        return out;
    }
    int logCount(const std::string& line) const {
        int n = 0;
        for (const std::string& l : log.logLines()) n += l == line;
        return n;
    }
    TextureManager textures;
    std::unique_ptr<SpriteManagerManager> sprites;
};

}  // namespace

TEST_F(SpriteManagerTest, BuffersAndTheirIndexPattern) {
    EXPECT_TRUE(log.logContains("頂点バッファを使用します"));
    const std::vector<std::string> vb = gfx.callsOf("CreateVertexBuffer");
    const std::vector<std::string> ib = gfx.callsOf("CreateIndexBuffer");
    ASSERT_EQ(vb.size(), 1u);
    ASSERT_EQ(ib.size(), 1u);
    EXPECT_EQ(vb[0].rfind("CreateVertexBuffer(1120000, 0x208, 0x144, 0 -> ", 0), 0u) << vb[0];
    EXPECT_EQ(ib[0].rfind("CreateIndexBuffer(120000, 0x208, ", 0), 0u) << ib[0];
    EXPECT_EQ(sprites->getImgSpriteManager()->getId(), 1u);
    EXPECT_EQ(sprites->getImgSpriteManager()->getName(), internName("imgsprite_mgr_sptr"));
    void* data = nullptr;
    ASSERT_EQ(sprites->getIndexBuffer()->lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    const auto* indices = static_cast<const std::uint16_t*>(data);
    const std::uint16_t quad0[6] = {0, 1, 2, 2, 1, 3}, quad9999[6] = {39996, 39997, 39998, 39998, 39997, 39999};
    EXPECT_EQ(std::memcmp(indices, quad0, sizeof quad0), 0);
    EXPECT_EQ(std::memcmp(indices + 9999 * 6, quad9999, sizeof quad9999), 0);
    sprites->getIndexBuffer()->unlock();
    // Released before a reset, made again after it.
    const std::uint32_t live = gfx.liveResources(D3DPOOL_DEFAULT);
    sprites->releaseBuffers();
    EXPECT_EQ(gfx.liveResources(D3DPOOL_DEFAULT), live - 2);
    EXPECT_EQ(sprites->useVertexBuffer(), S_OK);
    EXPECT_EQ(gfx.liveResources(D3DPOOL_DEFAULT), live);
    // The same pattern in memory without device buffers.
    sprites->useSystemMemory();
    EXPECT_TRUE(log.logContains("頂点バッファを使用しません"));
    EXPECT_EQ(std::memcmp(sprites->getSystemIndices() + 9999 * 6, quad9999, sizeof quad9999), 0);
}

TEST_F(SpriteManagerTest, ASceneDrawsByLayerManagerBlendGroupAndCreation) {
    sprite("a.bmp", 10, 2, 3);
    sprite("a.bmp", 20, 2, 2);
    sprite("a.bmp", 30, 2, 3);
    sprite("a.bmp", 40, 0, 5);
    sprite("b.bmp", 50, 2, 3);
    sprite("b.bmp", 60, 1, 6);
    sprite("a.bmp", 70, 3, 4);  // groups 0, 1 and 4 are filed, never drawn
    sprite("a.bmp", 80, 3, 0);
    sprite("a.bmp", 90, 3, 1);
    sprite("a.bmp", 100, 3, 3)->setActive(0);  // inactive: kept, not filed
    sprite("a.bmp", 110, 45, 7);               // layer 45 is layer 39
    sprite("a.bmp", 120, 3, 9);                // no group 9: filed nowhere
    gfx.clearCalls();
    frame();
    const std::vector<std::vector<float>> expected = {{40}, {60}, {10, 30}, {20}, {50}, {110}};
    EXPECT_EQ(drawnXs(), expected);
    const std::vector<GfxDrawRecord>& draws = gfx.draws();
    ASSERT_EQ(draws.size(), 6u);
    const std::string a = draws[0].texture, b = draws[1].texture;
    EXPECT_NE(a, b);
    const struct {
        std::string texture;
        std::uint32_t alphaBlend, src, dest, colorOp;
    } states[] = {
        {a, 1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_ADD},        // 5
        {b, 0, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_SELECTARG1},  // 6
        {a, 1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_MODULATE},   // 3
        {a, 1, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DTOP_MODULATE},           // 2
        {b, 1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_MODULATE},   // 3
        {a, 1, D3DBLEND_ONE, D3DBLEND_ONE, D3DTOP_MODULATE},                // 7
    };
    for (std::size_t i = 0; i < draws.size(); ++i) {
        EXPECT_EQ(draws[i].texture, states[i].texture) << i;
        EXPECT_EQ(draws[i].fvf, 0x144u) << i;
        EXPECT_EQ(draws[i].alphaBlendEnable, states[i].alphaBlend) << i;
        if (states[i].alphaBlend) {
            EXPECT_EQ(draws[i].srcBlend, states[i].src) << i;
            EXPECT_EQ(draws[i].destBlend, states[i].dest) << i;
        }
        EXPECT_EQ(draws[i].colorOp, states[i].colorOp) << i;
    }
    // One vertex exactly: the half-pixel shift, white, the texture's UVs.
    const std::vector<SpriteVertex> v = verticesOf(draws[0]);
    EXPECT_EQ(v[3].x, 47.5f);
    EXPECT_EQ(v[3].y, 7.5f);
    EXPECT_EQ(v[3].color, 0xFFFFFFFFu);
    EXPECT_EQ(v[3].u, 1.0f);
    // Locks front to back, DISCARD first; draw arguments follow the cursor.
    std::vector<std::string> locks;
    for (const std::string& call : gfx.callsOf("Lock"))
        if (call.find("vertexbuffer") != std::string::npos) locks.push_back(call.substr(call.find(", ") + 2));
    const std::vector<std::string> expectedLocks = {"0, 112, 0x2000)", "112, 112, 0x1000)", "224, 224, 0x1000)",
                                                    "448, 112, 0x1000)", "560, 112, 0x1000)", "672, 112, 0x1000)"};
    EXPECT_EQ(locks, expectedLocks);
    const std::vector<std::string> drawCalls = gfx.callsOf("DrawIndexedPrimitive");
    ASSERT_EQ(drawCalls.size(), 6u);
    EXPECT_EQ(drawCalls[0], "DrawIndexedPrimitive(4, 0, 0, 4, 0, 2)");
    EXPECT_EQ(drawCalls[2], "DrawIndexedPrimitive(4, 0, 8, 8, 12, 4)");
    EXPECT_EQ(drawCalls[5], "DrawIndexedPrimitive(4, 0, 24, 4, 36, 2)");
    EXPECT_EQ(sprites->getQuadCursor(), 7u);
    // The texture is set for every list, and its id is not kept as bound.
    EXPECT_EQ(gfx.callsOf("SetTexture").size(), 6u);
    EXPECT_EQ(object->getBoundTextureId(), 0u);
    EXPECT_EQ(sprites->totalSpriteCount(), 12u);
}

TEST_F(SpriteManagerTest, EmptySkippedAndFailedFrames) {
    // Nothing to draw: no lock, no draw, the cursor stays 0.
    gfx.clearCalls();
    frame();
    EXPECT_TRUE(gfx.callsOf("DrawIndexedPrimitive").empty());
    EXPECT_TRUE(gfx.callsOf("Lock").empty());
    EXPECT_EQ(sprites->getQuadCursor(), 0u);

    sprite("a.bmp", 10, 0, 3);
    sprite("b.bmp", 20, 5, 3);
    // A skipped frame (fast replay) draws nothing and succeeds.
    SkippingPeers peers;
    g_frameCounter = new FrameCounter(peers);
    g_frameCounter->onPresent();  // frame 1 of speed 2
    gfx.clearCalls();
    frame();
    EXPECT_TRUE(gfx.draws().empty());
    delete g_frameCounter;
    g_frameCounter = nullptr;

    // A failed lock: its line, the layer's line, and the rest of the frame dropped.
    gfx.faults.failNext("Lock", D3DERR_DEVICELOST);
    gfx.clearCalls();
    frame();
    EXPECT_TRUE(gfx.draws().empty());
    std::vector<std::string> lines = log.logLines();
    ASSERT_GE(lines.size(), 4u);
    const std::vector<std::string> tail(lines.end() - 4, lines.end());
    const std::vector<std::string> expected = {".\\Src\\SpriteManagerManager:388  FAILED", "D3DERR_DEVICELOST",
                                               ".\\Src\\SpriteManagerManager:276  FAILED", "D3DERR_DEVICELOST"};
    EXPECT_EQ(tail, expected);
    // A failed draw: line 404; the next frame draws everything again.
    gfx.faults.failNext("DrawIndexedPrimitive", D3DERR_DEVICELOST);
    frame();
    EXPECT_EQ(logCount(".\\Src\\SpriteManagerManager:404  FAILED"), 1);
    gfx.clearCalls();
    frame();
    EXPECT_EQ(gfx.draws().size(), 2u);
}

TEST_F(SpriteManagerTest, BatchesPastTheBufferStartAgainOrGoInChunks) {
    Sprite* s = sprite("a.bmp", 0, 0, 3);
    device().beginScene();
    sprites->beginFrame();
    sprites->prepare();
    object->bindTexture(sprites->findOrCreate("a.bmp")->getTexture()->getD3DTexture(), 0);
    gfx.clearCalls();
    // 9,998 quads, then 5 that do not fit behind them: back to quad 0.
    std::vector<Sprite*> many(10005, s);
    ASSERT_EQ(sprites->drawBatch(9998, many.data()), S_OK);
    ASSERT_EQ(sprites->drawBatch(5, many.data()), S_OK);
    EXPECT_EQ(sprites->getQuadCursor(), 5u);
    // One batch larger than the buffer: 10,000 then 5.
    ASSERT_EQ(sprites->drawBatch(10005, many.data()), S_OK);
    device().endScene();
    const std::vector<std::string> expected = {
        "DrawIndexedPrimitive(4, 0, 0, 39992, 0, 19996)", "DrawIndexedPrimitive(4, 0, 0, 20, 0, 10)",
        "DrawIndexedPrimitive(4, 0, 0, 40000, 0, 20000)", "DrawIndexedPrimitive(4, 0, 0, 20, 0, 10)"};
    EXPECT_EQ(gfx.callsOf("DrawIndexedPrimitive"), expected);
    int discards = 0;
    for (const std::string& call : gfx.callsOf("Lock")) discards += call.find("0x2000") != std::string::npos;
    EXPECT_EQ(discards, 4);
    EXPECT_EQ(gfx.draws().size(), 4u);
}

TEST_F(SpriteManagerTest, CreationFindsManagersAndAnEmptyPoolFilesNothing) {
    Sprite* s = sprites->createSpriteForTexture(8, 4, 4, 8, 12, 16, "b.bmp");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->getX(), 0.0f);
    EXPECT_EQ(s->getU0(), 0.25f);
    EXPECT_EQ(s->getV0(), 0.5f);
    EXPECT_EQ(s->getDu(), 0.5f);
    EXPECT_EQ(s->getDv(), 0.5f);
    EXPECT_EQ(s->getBlend(), 3);
    const auto b = sprites->findByTexture(internName("b.bmp"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(sprites->findOrCreate("b.bmp"), b);
    EXPECT_EQ(sprites->findByName("b.bmp"), b);
    EXPECT_EQ(gfx.callsOf("CreateTexture").size(), 1u);
    // A texture that does not load: its manager has none, its sprites are
    // kept (UVs 0) and never drawn.
    Sprite* lost = sprites->createSpriteForTexture(8, 8, 0, 0, 8, 8, "bad.png");
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->getDu(), 0.0f);
    EXPECT_EQ(sprites->findOrCreate("bad.png")->getTexture(), nullptr);
    gfx.clearCalls();
    frame();
    EXPECT_EQ(gfx.draws().size(), 1u);
    EXPECT_EQ(sprites->totalSpriteCount(), 2u);
    // An empty pool: null, and nothing filed.
    std::vector<Sprite*> all;
    while (Sprite* more = sprites->createSpriteIn(0, 0, 1, 1, 0, 0, 1, 1, "a.bmp")) all.push_back(more);
    const std::uint32_t total = sprites->totalSpriteCount();
    EXPECT_EQ(total, 10000u);
    EXPECT_EQ(sprites->createSpriteForTexture(1, 1, 0, 0, 1, 1, "b.bmp"), nullptr);
    EXPECT_EQ(sprites->findOrCreate("b.bmp")->createSprite(0, 0, 1, 1, 0, 0, 1, 1), nullptr);
    EXPECT_EQ(sprites->totalSpriteCount(), total);
    EXPECT_TRUE(log.logContains("SpriteAllocator EMPTY"));
}

TEST_F(SpriteManagerTest, ASpentTextManagerGoesOneAFrameHighestIdFirst) {
    std::shared_ptr<Texture> texts[2];
    std::shared_ptr<SpriteManager> managers[2];
    Sprite* lines[2];
    for (int i = 0; i < 2; ++i) {
        texts[i] = textures.create();
        ASSERT_EQ(texts[i]->createEmpty(16, 16, D3DFMT_A8R8G8B8), S_OK);
        managers[i] = sprites->create();
        managers[i]->setTextOwner(1);
        managers[i]->setTexture(texts[i]);
        lines[i] = managers[i]->createSprite(0, 0, 16, 16, 0, 0, 1, 1);
        lines[i]->setTexture(texts[i]);
    }
    const std::uint32_t low = managers[0]->getId(), high = managers[1]->getId();
    ASSERT_LT(low, high);
    lines[0]->setState(1);
    lines[1]->setState(1);
    managers[0].reset();
    managers[1].reset();
    const std::uint32_t handedOut = SpriteAllocator::instance().handedOut();
    sprites->update();
    EXPECT_EQ(SpriteAllocator::instance().handedOut(), handedOut - 2);
    EXPECT_NE(sprites->findById(low), nullptr);
    EXPECT_EQ(sprites->findById(high), nullptr);
    EXPECT_EQ(texts[1]->getState(), 1u);  // the texture manager lets it go after Present
    EXPECT_EQ(texts[0]->getState(), 0u);
    sprites->update();
    EXPECT_EQ(sprites->findById(low), nullptr);
    EXPECT_EQ(texts[0]->getState(), 1u);
}

TEST_F(SpriteManagerTest, PurgesAndClears) {
    sprite("a.bmp", 0, 0, 3);
    sprite("b.bmp", 0, 0, 3);
    textures.setFlags(internName("a.bmp"), 1);  // any non-zero word purges a manager
    sprites->purgeFlagged();
    EXPECT_EQ(sprites->findByTexture(internName("a.bmp")), nullptr);
    EXPECT_EQ(sprites->findCachedByName("a.bmp"), nullptr);
    EXPECT_NE(sprites->findByTexture(internName("b.bmp")), nullptr);
    EXPECT_EQ(sprites->size(), 3u);  // still registered and drawn
    sprites->retireAll();
    EXPECT_EQ(sprites->findByTexture(internName("b.bmp")), nullptr);
    sprite("b.bmp", 0, 0, 3);
    EXPECT_NE(sprites->findByTexture(internName("b.bmp")), nullptr);
    sprites->clearAll();
    EXPECT_EQ(sprites->findByTexture(internName("b.bmp")), nullptr);
    EXPECT_EQ(sprites->size(), 0u);
    EXPECT_EQ(SpriteAllocator::instance().handedOut(), 0u);
}

TEST_F(SpriteManagerTest, ADeviceResetReleasesTheBuffersBeforeAndMakesThemAfter) {
    ASSERT_EQ(object->createRenderTarget(0, 0, 0, RenderTarget::kModeBackBuffer), S_OK);
    sprite("a.bmp", 10, 0, 3);
    gfx.clearCalls();
    ASSERT_EQ(object->resetDevice(0), S_OK);
    const std::vector<std::string> calls = gfx.callTexts();
    auto at = [&calls](const std::string& prefix) {
        for (std::size_t i = 0; i < calls.size(); ++i)
            if (calls[i].rfind(prefix, 0) == 0) return i;
        return calls.size();
    };
    EXPECT_LT(at("SetStreamSource(0, null"), at("Reset("));
    EXPECT_LT(at("Reset("), at("CreateVertexBuffer(1120000"));
    EXPECT_LT(at("CreateIndexBuffer(120000"), calls.size());
    EXPECT_TRUE(log.logContains("頂点バッファを使用します"));
    gfx.clearCalls();
    frame();
    EXPECT_EQ(gfx.draws().size(), 1u);
}

TEST_F(SpriteManagerTest, FailedBufferCreationIsLoggedOnceAndDrawsNothing) {
    const struct {
        const char* method;
        const char* line;
    } cases[] = {{"CreateVertexBuffer", ".\\Src\\SpriteManagerManager:460  FAILED"},
                 {"CreateIndexBuffer", ".\\Src\\SpriteManagerManager:464  FAILED"},
                 {"Lock", ".\\Src\\SpriteManagerManager:468  FAILED"}};
    sprite("a.bmp", 10, 0, 3);
    for (const auto& c : cases) {
        gfx.faults.failNext(c.method, D3DERR_OUTOFVIDEOMEMORY);
        EXPECT_EQ(sprites->useVertexBuffer(), D3DERR_OUTOFVIDEOMEMORY) << c.method;
        EXPECT_EQ(logCount(c.line), 1) << c.method;
        EXPECT_EQ(sprites->getVertexBuffer(), nullptr) << c.method;
        gfx.clearCalls();
        frame();
        EXPECT_TRUE(gfx.draws().empty()) << c.method;
        EXPECT_FALSE(log.logContains(":276  FAILED")) << c.method;
    }
    ASSERT_EQ(sprites->useVertexBuffer(), S_OK);
    frame();
    EXPECT_EQ(gfx.draws().size(), 1u);
}

TEST_F(SpriteManagerTest, TheFrameWalksTextByThePauseState) {
    ASSERT_EQ(object->createRenderTarget(0, 0, 0, RenderTarget::kModeBackBuffer), S_OK);
    std::shared_ptr<Texture> texts[2];
    for (std::uint32_t lock = 0; lock < 2; ++lock) {
        texts[lock] = textures.create();
        ASSERT_EQ(texts[lock]->createEmpty(64, 32, D3DFMT_A8R8G8B8), S_OK);
        texts[lock]->setTextBoxSize(64, 32);
        texts[lock]->setFontSize(24);
        texts[lock]->setStringWait(0);
        texts[lock]->setUpdateLock(lock);
        ASSERT_EQ(texts[lock]->setString("AB"), S_OK);
        auto manager = sprites->create();
        manager->setTextOwner(1);
        manager->setTexture(texts[lock]);
        manager->createSprite(0, 0, 64, 32, 0, 0, 1, 1);
    }
    // No object manager to ask: no walk.
    renderFrame();
    EXPECT_EQ(texts[0]->getDrawnBytes(), 0u);
    EXPECT_EQ(texts[1]->getDrawnBytes(), 0u);
    // No pause objects: walk 0 (lock 0 texts).
    BulletObjectAllocator::instance().fill();
    g_bulletObjectManager = new BulletObjectManager();
    renderFrame();
    EXPECT_GT(texts[0]->getDrawnBytes(), 0u);
    EXPECT_EQ(texts[1]->getDrawnBytes(), 0u);
    // Pause objects: walk 1; also on a frame that is not drawn.
    ASSERT_NE(g_bulletObjectManager->getPauseManager()->create(), nullptr);
    SkippingPeers peers;
    g_frameCounter = new FrameCounter(peers);
    g_frameCounter->onPresent();
    gfx.clearCalls();
    renderFrame();
    EXPECT_TRUE(gfx.draws().empty());
    EXPECT_GT(texts[1]->getDrawnBytes(), 0u);
    delete g_frameCounter;
    g_frameCounter = nullptr;
    delete g_bulletObjectManager;
    g_bulletObjectManager = nullptr;
    BulletObjectAllocator::instance().freeBlocks();
}

// Render targets on the recording device: the effect and full-frame
// textures with their display sprites, the sizes the device and the back
// buffer ask for, replacement, release and restore, and the failure lines.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/Sprite.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "graphics/TextureTestSupport.h"

namespace {
using Lines = std::vector<std::string>;

class RenderTargetTest : public GfxTest {
protected:
    RenderTargetTest() { SpriteAllocator::instance().fill(); }
    ~RenderTargetTest() override {
        destroy();
        sprites.reset();
        g_spriteManagerManager = nullptr;
        g_textureManager = nullptr;
        SpriteAllocator::instance().freeBlocks();
    }
    using GfxTest::device;
    D3DObject& withTargets(std::uint32_t width, std::uint32_t height) {
        D3DObject& d3d = created(width, height);
        g_textureManager = &textures;
        sprites = std::make_unique<SpriteManagerManager>();
        g_spriteManagerManager = sprites.get();
        EXPECT_EQ(d3d.createRenderTarget(0, 0, 0, RenderTarget::kModeBackBuffer), S_OK);
        baseline = gfx.liveResources(D3DPOOL_DEFAULT);
        return d3d;
    }
    Lines failureLines() const {
        Lines out;
        for (const std::string& line : log.logLines())
            if (line.rfind(".\\Src\\RenderManager:", 0) == 0) out.push_back(line);
        return out;
    }
    // Default-pool objects made since the targets' device was set up.
    std::uint32_t liveDefault() const { return gfx.liveResources(D3DPOOL_DEFAULT) - baseline; }

    TextureManager textures;
    std::unique_ptr<SpriteManagerManager> sprites;
    std::uint32_t baseline = 0;
};

D3DSURFACE_DESC descOf(GfxSurface* surface) {
    D3DSURFACE_DESC desc{};
    if (surface) surface->getDesc(&desc);
    return desc;
}
}  // namespace

TEST_F(RenderTargetTest, EffectAndFullTargetsWithTheirDisplaySprites) {
    D3DObject& d3d = withTargets(640, 480);
    gfx.clearCalls();
    ASSERT_EQ(d3d.createRenderTarget(1, 512, 512, RenderTarget::kModeEffect), S_OK);
    ASSERT_EQ(d3d.createRenderTarget(2, 1024, 1024, RenderTarget::kModeFull), S_OK);
    const Lines created = gfx.callsOf("CreateTexture");
    ASSERT_EQ(created.size(), 2u);
    EXPECT_NE(created[0].find("512, 512, 1, 0x1"), std::string::npos) << created[0];
    EXPECT_NE(created[1].find("1024, 1024, 1, 0x1"), std::string::npos) << created[1];
    EXPECT_EQ(gfx.callsOf("CreateDepthStencilSurface").size(), 2u);
    // Texture, its level and depth surface of each.
    EXPECT_EQ(liveDefault(), 6u);

    RenderTarget* effect = d3d.getRenderTarget(1);
    Sprite* sprite = effect->getSprite();
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(descOf(effect->colourSurface()).Usage & D3DUSAGE_RENDERTARGET, D3DUSAGE_RENDERTARGET);
    EXPECT_EQ(descOf(effect->depthSurface()).Width, 512u);
    EXPECT_FLOAT_EQ(sprite->getX(), 140.0f);
    EXPECT_FLOAT_EQ(sprite->getY(), 0.0f);
    EXPECT_FLOAT_EQ(sprite->getWidth(), 360.0f);
    EXPECT_FLOAT_EQ(sprite->getHeight(), 480.0f);
    EXPECT_FLOAT_EQ(sprite->getU0(), 0.2734375f);
    EXPECT_FLOAT_EQ(sprite->getDu(), 0.703125f);
    EXPECT_FLOAT_EQ(sprite->getDv(), 0.9375f);
    EXPECT_EQ(sprite->getBlend(), 2);
    EXPECT_EQ(sprite->getLayer(), 0);
    EXPECT_EQ(sprite->getTargetFlag(), 1);
    EXPECT_EQ(effect->getTexture()->getName(), internName("RenderTarget_Effect"));
    EXPECT_FLOAT_EQ(effect->getSpriteManager()->getTextureWidth(), 512.0f);

    RenderTarget* full = d3d.getRenderTarget(2);
    Sprite* fullSprite = full->getSprite();
    ASSERT_NE(fullSprite, nullptr);
    EXPECT_FLOAT_EQ(fullSprite->getX(), 70.0f);
    EXPECT_FLOAT_EQ(fullSprite->getWidth(), 1024.0f);
    EXPECT_FLOAT_EQ(fullSprite->getDu(), 1.236f);
    EXPECT_FLOAT_EQ(fullSprite->getDv(), 1.0f);
    EXPECT_EQ(fullSprite->getBlend(), 6);
    EXPECT_EQ(fullSprite->getTargetFlag(), 2);
    EXPECT_EQ(log.logLines().back(), "RenderTarget::setup() RenderTarget_Full Not Found");
    EXPECT_TRUE(log.logContains("RenderTarget::setup() SURFACE_FULL"));
    EXPECT_FALSE(log.logContains("RenderTarget_Effect Not Found"));

    // Neither manager is in the sprite managers' table (only the target's
    // own draw shows it), both are in their name cache.
    EXPECT_EQ(sprites->findById(effect->getSpriteManager()->getId()), nullptr);
    EXPECT_EQ(sprites->findById(full->getSpriteManager()->getId()), nullptr);
    EXPECT_EQ(sprites->findCachedByName("RenderTarget_Full"), full->getSpriteManager());

    // Active flag and full view reach the display sprite.
    d3d.setRenderTargetActive(1, 0);
    EXPECT_EQ(sprite->isActive(), 0);
    effect->setFullView(1);
    EXPECT_FLOAT_EQ(sprite->getX(), 0.0f);
    EXPECT_FLOAT_EQ(sprite->getWidth(), 640.0f);
    EXPECT_FLOAT_EQ(sprite->getU0(), 0.0f);
    EXPECT_FLOAT_EQ(sprite->getDu(), 1.0f);
    EXPECT_FLOAT_EQ(sprite->getDv(), 0.9375f);
    effect->setFullView(0);
    EXPECT_FLOAT_EQ(sprite->getX(), 140.0f);
    EXPECT_FLOAT_EQ(sprite->getU0(), 0.2734375f);

    // Release lets every default-pool object go; restore brings them back
    // with the cached managers (no second "Not Found").
    const std::size_t notFound = log.logLines().size();
    EXPECT_EQ(d3d.releaseRenderTargets(), S_OK);
    EXPECT_EQ(liveDefault(), 0u);
    EXPECT_EQ(d3d.restoreRenderTargets(), S_OK);
    EXPECT_EQ(liveDefault(), 6u);
    Lines after = log.logLines();
    after.erase(after.begin(), after.begin() + static_cast<std::ptrdiff_t>(notFound));
    EXPECT_EQ(after, (Lines{"RenderTarget::setup() SURFACE_FULL"}));
    EXPECT_EQ(full->getSpriteManager(), sprites->findCachedByName("RenderTarget_Full"));
    ASSERT_NE(full->getSprite(), nullptr);
    EXPECT_EQ(full->getSprite()->getTargetFlag(), 2);
    // Inactive before the reset, inactive after it.
    EXPECT_EQ(effect->getSprite()->isActive(), 0);
    // A setup over a live one lets the old objects go first.
    ASSERT_EQ(full->setup(), S_OK);
    EXPECT_EQ(liveDefault(), 6u);
    EXPECT_EQ(textures.size(), 2u);
}

TEST_F(RenderTargetTest, SizesModesReplacementAndAbsentTargets) {
    struct Case {
        std::uint32_t backWidth, backHeight, mode, width, height;
        bool squareOnly;
        std::uint32_t madeMode, madeWidth, madeHeight;
    } cases[] = {
        {640, 480, 0, 512, 256, true, 0, 512, 512},       // square textures only
        {640, 480, 2, 512, 256, true, 2, 1024, 1024},     // never below 1024
        {640, 480, 5, 256, 128, false, 0, 256, 128},      // any other mode is mode 0
        {1280, 960, 2, 1024, 1024, false, 2, 2048, 1024}, // holds the whole back buffer
        {1280, 960, 2, 1024, 1024, true, 2, 2048, 2048},
        {1280, 960, 0, 512, 512, false, 0, 512, 512},
    };
    const AdapterSurvey standard = gfx.survey;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.backWidth << " mode " << c.mode << " square " << c.squareOnly);
        gfx.survey = standard;
        if (c.squareOnly) gfx.survey.caps.TextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
        D3DObject& d3d = withTargets(c.backWidth, c.backHeight);
        ASSERT_EQ(d3d.createRenderTarget(1, c.width, c.height, c.mode), S_OK);
        RenderTarget* target = d3d.getRenderTarget(1);
        EXPECT_EQ(target->getMode(), c.madeMode);
        EXPECT_EQ(descOf(target->colourSurface()).Width, c.madeWidth);
        EXPECT_EQ(descOf(target->colourSurface()).Height, c.madeHeight);
        ASSERT_NE(target->getSprite(), nullptr);
        if (c.madeMode == 0) {
            // Virtual 140 and 360 x 480 on the device.
            const float scale = c.backWidth / 640.0f;
            EXPECT_FLOAT_EQ(target->getSprite()->getX(), 140.0f * scale);
            EXPECT_FLOAT_EQ(target->getSprite()->getWidth(), 360.0f * scale);
        } else {
            EXPECT_FLOAT_EQ(target->getSprite()->getX(), 70.0f * (c.backWidth / 640.0f));
            EXPECT_FLOAT_EQ(target->getSprite()->getWidth(), float(c.madeWidth));
        }
        sprites.reset();
        g_spriteManagerManager = nullptr;
    }

    D3DObject& d3d = withTargets(640, 480);
    ASSERT_EQ(d3d.createRenderTarget(1, 512, 512, 0), S_OK);
    EXPECT_EQ(liveDefault(), 3u);
    // Replacing: the old target's surfaces go first.
    ASSERT_EQ(d3d.createRenderTarget(1, 256, 256, 0), S_OK);
    EXPECT_EQ(liveDefault(), 3u);
    EXPECT_EQ(descOf(d3d.getRenderTarget(1)->colourSurface()).Width, 256u);

    // setFullView on the back-buffer target only keeps the flag.
    d3d.getRenderTarget(0)->setFullView(1);
    EXPECT_EQ(d3d.getRenderTarget(0)->getFullView(), 1u);
    EXPECT_EQ(d3d.getRenderTarget(0)->getSprite(), nullptr);

    // An absent index: E_FAIL, no device call, no line, target unchanged.
    d3d.selectRenderTarget(0);
    GfxRef<GfxSurface> before;
    device().getRenderTarget(0, before.put());
    gfx.clearCalls();
    EXPECT_EQ(d3d.selectRenderTarget(3), E_FAIL);
    EXPECT_EQ(d3d.drawRenderTarget(3), E_FAIL);
    EXPECT_EQ(d3d.setRenderTargetActive(3, 1), E_FAIL);
    EXPECT_TRUE(calls().empty());
    GfxRef<GfxSurface> now;
    device().getRenderTarget(0, now.put());
    EXPECT_EQ(now.get(), before.get());
    EXPECT_TRUE(failureLines().empty());
}

TEST_F(RenderTargetTest, FailingDeviceCallsAreLoggedWithTheirLines) {
    struct Case {
        const char* method;
        std::uint32_t mode;
        const char* line;
    } cases[] = {
        {"GetRenderTarget", 1, ".\\Src\\RenderManager:158  FAILED"},
        {"GetDepthStencilSurface", 1, ".\\Src\\RenderManager:162  FAILED"},
        {"CreateTexture", 2, ".\\Src\\RenderManager:173  FAILED"},
        {"GetSurfaceLevel", 2, ".\\Src\\RenderManager:177  FAILED"},
        {"CreateDepthStencilSurface", 2, ".\\Src\\RenderManager:183  FAILED"},
        {"CreateTexture", 0, ".\\Src\\RenderManager:227  FAILED"},
        {"GetSurfaceLevel", 0, ".\\Src\\RenderManager:231  FAILED"},
        {"CreateDepthStencilSurface", 0, ".\\Src\\RenderManager:237  FAILED"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.method << " mode " << c.mode);
        D3DObject& d3d = withTargets(640, 480);
        const std::size_t before = failureLines().size();
        gfx.faults.failNext(c.method, D3DERR_OUTOFVIDEOMEMORY);
        const HRESULT result = d3d.createRenderTarget(1, 512, 512, c.mode);
        Lines lines = failureLines();
        ASSERT_EQ(lines.size(), before + 1);
        EXPECT_EQ(lines.back(), c.line);
        if (c.mode != 1) {
            // A failed texture target is not kept, and leaves nothing behind.
            EXPECT_EQ(result, D3DERR_OUTOFVIDEOMEMORY);
            EXPECT_EQ(d3d.getRenderTarget(1), nullptr);
            EXPECT_EQ(liveDefault(), 0u);
        }
        sprites.reset();
        g_spriteManagerManager = nullptr;
    }
    EXPECT_TRUE(log.logContains("D3DERR_OUTOFVIDEOMEMORY"));

    D3DObject& d3d = withTargets(640, 480);
    ASSERT_EQ(d3d.createRenderTarget(1, 512, 512, 0), S_OK);
    for (const auto& [method, line] : {std::pair{"SetRenderTarget", ".\\Src\\RenderManager:400  FAILED"},
                                       std::pair{"SetDepthStencilSurface", ".\\Src\\RenderManager:403  FAILED"}}) {
        gfx.faults.failNext(method, D3DERR_INVALIDCALL);
        EXPECT_EQ(d3d.selectRenderTarget(1), D3DERR_INVALIDCALL);
        EXPECT_EQ(failureLines().back(), line);
    }

    // A target whose surfaces are gone (a setup after a reset failed)
    // answers E_FAIL quietly, every frame.
    const std::size_t before = log.logLines().size();
    d3d.releaseRenderTargets();
    gfx.faults.failNext("CreateTexture", D3DERR_OUTOFVIDEOMEMORY);
    d3d.restoreRenderTargets();
    EXPECT_EQ(log.logLines().size(), before + 2);  // the failure and its HRESULT
    gfx.clearCalls();
    for (int frame = 0; frame < 3; ++frame) EXPECT_EQ(d3d.selectRenderTarget(1), E_FAIL);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(log.logLines().size(), before + 2);
    // The next successful restore brings it back.
    d3d.releaseRenderTargets();
    d3d.restoreRenderTargets();
    EXPECT_EQ(d3d.selectRenderTarget(1), S_OK);
}

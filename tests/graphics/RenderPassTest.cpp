// The frame render pass and present on the recording device: the order of
// targets, clears, draws and the effect drawer over the switches that shape
// the frame, skipped and failed frames, a lost device and a failed reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "graphics/ParticleManager.h"
#include "graphics/PresentFrame.h"
#include "graphics/RenderFrame.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "graphics/TextureTestSupport.h"
#include "platform/Clock.h"
#include "records/GameInfo.h"
#include "SkippingPeers.h"
#include "services/FrameCounter.h"

namespace {
using Lines = std::vector<std::string>;

class RenderPassTest : public TextureTest {
protected:
    RenderPassTest() {
        SpriteAllocator::instance().fill();
        g_textureManager = &textures;
        pack({{"a.bmp", files::bmp(8, 8, Pixels(64, 0xFFFF0000), 32)}});
        sprites = std::make_unique<SpriteManagerManager>();
        g_spriteManagerManager = sprites.get();
        g_systemInfo = new SystemInfo();
        g_gameInfo = new GameInfo();
        object->setProjectionMode(1);
        object->createRenderTarget(0, 0, 0, RenderTarget::kModeBackBuffer);
        object->createRenderTarget(1, 512, 512, RenderTarget::kModeEffect);
        object->createRenderTarget(2, 1024, 1024, RenderTarget::kModeFull);
        sprites->createSpriteIn(0, 0, 8, 8, 0, 0, 1, 1, "a.bmp");
        setEffectPassDrawer([this] { gfx.log("EffectDrawer", ""); });
        rememberSelections();
    }
    ~RenderPassTest() override {
        setEffectPassDrawer(nullptr);
        delete g_frameCounter;
        g_frameCounter = nullptr;
        delete g_gameInfo;
        g_gameInfo = nullptr;
        destroy();
        sprites.reset();
        g_spriteManagerManager = nullptr;
        g_textureManager = nullptr;
        SpriteAllocator::instance().freeBlocks();
    }
    void configure(bool drawBg, bool effectMesh, bool wide) {
        g_systemInfo->setDrawBg(drawBg);
        g_systemInfo->setWideCompress(wide);
        g_gameInfo->setVar(internName("effectmesh"), effectMesh ? 1.0f : 0.0f);
    }
    // The argument a selection of that target logs.
    std::string selectionOf(std::uint32_t index) {
        gfx.clearCalls();
        object->selectRenderTarget(index);
        const Lines selected = gfx.callsOf("SetRenderTarget");
        return selected.empty() ? std::string() : selected.back();
    }
    // The frame's calls that shape the picture, the targets by number.
    Lines trace() {
        Lines out;
        for (const GfxCall& call : gfx.calls()) {
            const std::string& m = call.method;
            if (m == "SetRenderTarget") {
                const std::string text = call.text();
                for (std::uint32_t i = 0; i < 3; ++i)
                    if (text == selections[i]) out.push_back("target " + std::to_string(i));
            } else if (m == "Clear") {
                out.push_back("Clear " + call.arguments.substr(0, call.arguments.find(']') + 1));
            } else if (m == "DrawIndexedPrimitive") {
                out.push_back("Draw");
            } else if (m == "BeginScene" || m == "EndScene" || m == "EffectDrawer" || m == "Present") {
                out.push_back(m);
            }
        }
        return out;
    }
    void rememberSelections() {
        for (std::uint32_t i = 0; i < 3; ++i) selections[i] = selectionOf(i);
        object->selectRenderTarget(0);
        gfx.clearCalls();
    }

    TextureManager textures;
    std::unique_ptr<SpriteManagerManager> sprites;
    std::string selections[3];
};
}  // namespace

TEST_F(RenderPassTest, CallOrderOverTheFrameSwitches) {
    const std::string field = "Clear 1, [(140, 0)-(500, 480)]", screen = "Clear 1, [(0, 0)-(640, 480)]";
    const std::string band = "Clear 1, [(587, 0)-(640, 480)]";
    enum Extra { kNone, kPaused, kSkipped, kBeginFails, kEffectDisabled, kEffectTargetLost, kFullTargetLost };
    struct Case {
        const char* name;
        bool drawBg, effect, wide;
        Extra extra;
        Lines expected;
    } cases[] = {
        {"effect", true, true, false, kNone,
         {"BeginScene", "target 1", field, "EffectDrawer", "target 0", field, "Draw", "Draw", "EndScene"}},
        {"effectmesh 0", true, false, false, kNone, {"BeginScene", "target 0", field, "Draw", "EndScene"}},
        {"background off", false, true, false, kNone, {"BeginScene", "target 0", screen, "Draw", "EndScene"}},
        {"wide", true, true, true, kNone,
         {"BeginScene", "target 1", field, "EffectDrawer", "target 2", field, "Draw", "Draw", "target 0", screen,
          "Draw", band, "EndScene"}},
        {"wide, background off", false, false, true, kNone,
         {"BeginScene", "target 2", screen, "Draw", "target 0", screen, "Draw", band, "EndScene"}},
        // Paused: the effect pass still draws (particles only copied).
        {"paused", true, true, false, kPaused,
         {"BeginScene", "target 1", field, "EffectDrawer", "target 0", field, "Draw", "Draw", "EndScene"}},
        {"skipped", true, true, true, kSkipped, {}},
        {"BeginScene fails", true, true, true, kBeginFails, {"BeginScene"}},
        {"effect target disabled", true, true, false, kEffectDisabled,
         {"BeginScene", "target 0", field, "Draw", "EndScene"}},
        // A target without surfaces is passed over: no effect pass, no
        // composite.
        {"effect target lost", true, true, false, kEffectTargetLost,
         {"BeginScene", "target 0", field, "Draw", "EndScene"}},
        {"full target lost", false, false, true, kFullTargetLost,
         {"BeginScene", "target 0", screen, "Draw", "EndScene"}},
    };
    SkippingPeers peers;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        configure(c.drawBg, c.effect, c.wide);
        g_gameInfo->setFullDraw(0);
        g_systemInfo->setEffectTargetEnabled(c.extra == kEffectDisabled ? 0 : 1);
        if (c.extra == kPaused) {
            g_gameInfo->requestPauseToggle();
            g_gameInfo->applyPauseToggle();
        }
        if (c.extra == kSkipped) {
            g_frameCounter = new FrameCounter(peers);
            g_frameCounter->onPresent();  // frame 1: odd, skipped at double speed
        }
        if (c.extra == kBeginFails) gfx.faults.failNext("BeginScene", D3DERR_INVALIDCALL);
        if (c.extra == kEffectTargetLost) object->getRenderTarget(1)->release();
        if (c.extra == kFullTargetLost) object->getRenderTarget(2)->release();
        gfx.clearCalls();
        EXPECT_EQ(renderFrame(), S_OK);
        EXPECT_EQ(trace(), c.expected);

        if (c.extra == kPaused) {
            g_gameInfo->requestPauseToggle();
            g_gameInfo->applyPauseToggle();
        }
        delete g_frameCounter;
        g_frameCounter = nullptr;
        if (c.extra == kEffectTargetLost || c.extra == kFullTargetLost) {
            object->releaseRenderTargets();
            object->restoreRenderTargets();
            rememberSelections();
        }
    }
    // Nothing of the effect pass went to any other target, and no line was
    // written for the targets without surfaces.
    EXPECT_FALSE(log.logContains(".\\Src\\RenderManager:400"));
}

// The particles move in the effect pass and are drawn there; paused they are
// drawn where they stand; a skipped frame moves them without drawing; with
// the effect off they neither move nor draw.
TEST_F(RenderPassTest, TheParticlesMoveAndDrawInTheEffectPass) {
    ParticleManager particles;
    particles.init();
    g_particleManager = &particles;
    particles.setTexture(textures.loadTexture("a.bmp"), 1, 1);
    particles.setWorldMin(-100, -100, -100);
    particles.setWorldMax(100, 100, 100);
    particles.setVelocity(1, 0, 0);
    particles.emit(0, 0, 0);
    g_systemInfo->setEffectTargetEnabled(1);
    SkippingPeers peers;
    struct Case {
        const char* name;
        bool effect, paused, skipped;
        float x;  // after the frame
        int particleDraws;
    } cases[] = {{"running", true, false, false, 1, 1},
                 {"paused", true, true, false, 1, 1},
                 {"skipped", true, false, true, 2, 0},
                 {"effect off", false, false, false, 2, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        configure(true, c.effect, false);
        if (c.paused) {
            g_gameInfo->requestPauseToggle();
            g_gameInfo->applyPauseToggle();
        }
        if (c.skipped) {
            g_frameCounter = new FrameCounter(peers);
            g_frameCounter->onPresent();
        }
        gfx.clearCalls();
        EXPECT_EQ(renderFrame(), S_OK);
        int draws = 0;
        for (const GfxDrawRecord& d : gfx.draws()) draws += d.fvf == kParticleFvf;
        EXPECT_EQ(draws, c.particleDraws);
        particles.forEachLive([&](const ParticleQuad& q) { EXPECT_EQ(q.v[0].x, c.x); });
        if (c.paused) {
            g_gameInfo->requestPauseToggle();
            g_gameInfo->applyPauseToggle();
        }
        delete g_frameCounter;
        g_frameCounter = nullptr;
    }
    g_particleManager = nullptr;
}

TEST_F(RenderPassTest, NoInputManagerNoFrame) {
    g_dinputObject = nullptr;
    gfx.clearCalls();
    EXPECT_EQ(renderFrame(), S_OK);
    EXPECT_TRUE(calls().empty());
}

TEST_F(RenderPassTest, ALostDeviceShowsInPresentsResult) {
    EXPECT_EQ(presentFrame(), S_OK);
    gfx.loseDevice();
    EXPECT_EQ(presentFrame(), HRESULT(0x88760868));
}

// A reset that fails leaves the default-pool objects released: frames draw
// nothing and Present is not called (the frame step pauses as for a lost
// device) until a reset succeeds; one failure line, nothing per frame.
TEST_F(RenderPassTest, AfterAFailedResetNothingIsDrawnUntilOneSucceeds) {
    configure(true, true, true);
    gfx.faults.failAlways("Reset", D3DERR_DEVICELOST);
    EXPECT_EQ(object->resetDevice(0), D3DERR_DEVICELOST);
    gfx.faults.clear();
    const std::size_t lines = log.logLines().size();
    gfx.clearCalls();
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_EQ(renderFrame(), S_OK);
        EXPECT_EQ(presentFrame(), D3DERR_DEVICELOST);
    }
    EXPECT_TRUE(trace().empty());
    EXPECT_EQ(log.logLines().size(), lines);
    int failures = 0;
    for (const std::string& line : log.logLines()) failures += line.find(":1050  Arg:Reset 失敗") != std::string::npos;
    EXPECT_EQ(failures, 1);

    // The next focus event's reset brings everything back.
    EXPECT_EQ(object->resetDevice(0), S_OK);
    rememberSelections();
    EXPECT_EQ(renderFrame(), S_OK);
    EXPECT_EQ(presentFrame(), S_OK);
    const Lines frame = trace();
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(frame.back(), "Present");
    EXPECT_EQ(std::count(frame.begin(), frame.end(), "Draw"), 3);
}

// At a back buffer of 1280 x 960 the effect target is drawn in its own
// texels: its play field is texels 140..500 whatever the back buffer.
TEST_F(RenderPassTest, TheEffectTargetIsDrawnInItsTexelsAtAnyBackBuffer) {
    destroy();
    created(1280, 960);
    sprites = std::make_unique<SpriteManagerManager>();
    g_spriteManagerManager = sprites.get();
    object->createRenderTarget(0, 0, 0, RenderTarget::kModeBackBuffer);
    object->createRenderTarget(1, 512, 512, RenderTarget::kModeEffect);
    configure(true, true, false);
    for (std::int32_t fullDraw : {0, 1}) {
        SCOPED_TRACE(fullDraw);
        g_gameInfo->setFullDraw(fullDraw);
        Lines viewports;
        setEffectPassDrawer([&] {
            D3DVIEWPORT9 viewport{};
            device().getViewport(&viewport);
            viewports.push_back(std::to_string(viewport.X) + " " + std::to_string(viewport.Width) + " " +
                                std::to_string(viewport.Height));
        });
        gfx.clearCalls();
        renderFrame();
        const Lines clears = gfx.callsOf("Clear");
        ASSERT_GE(clears.size(), 2u);
        if (fullDraw) {
            EXPECT_EQ(viewports, Lines{"0 512 480"});
            EXPECT_EQ(clears[0].rfind("Clear(1, [(0, 0)-(640, 480)]", 0), 0u) << clears[0];
            EXPECT_EQ(clears[1].rfind("Clear(1, [(0, 0)-(1280, 960)]", 0), 0u) << clears[1];
        } else {
            EXPECT_EQ(viewports, Lines{"140 360 480"});
            EXPECT_EQ(clears[0].rfind("Clear(1, [(140, 0)-(500, 480)]", 0), 0u) << clears[0];
            // The back buffer's play field in its own pixels.
            EXPECT_EQ(clears[1].rfind("Clear(1, [(280, 0)-(1000, 960)]", 0), 0u) << clears[1];
        }
    }
    // The sprites' conversions are the back buffer's again after the pass.
    EXPECT_FLOAT_EQ(object->toDeviceX(70.0f), 140.0f);
}

namespace {
struct PlainPeers : SkippingPeers {
    std::optional<ReplayState> replay() override { return std::nullopt; }
};
}  // namespace

// Time spent in the effect pass counts in "RenderMesh1" and "Render", not in
// the other sections; Present's own section holds only Present.
TEST_F(RenderPassTest, TheEffectPassIsTimedInsideRenderMesh1) {
    FakeClock clock(1000);
    Clock::setInstance(&clock);
    PlainPeers peers;
    g_frameCounter = new FrameCounter(peers);
    g_frameCounter->start();
    configure(true, true, false);
    setEffectPassDrawer([&clock] { clock.advance(7); });
    renderFrame();
    clock.advance(600);  // the profile folds at the next Present
    presentFrame();
    EXPECT_FLOAT_EQ(g_frameCounter->getSectionAverage("RenderMesh1"), 7.0f);
    EXPECT_FLOAT_EQ(g_frameCounter->getSectionAverage("Render"), 7.0f);
    for (const char* other : {"RenderMesh2", "RenderMesh3", "RenderSprite", "Present"})
        EXPECT_FLOAT_EQ(g_frameCounter->getSectionAverage(other), 0.0f) << other;
    Clock::setInstance(nullptr);
}

// Blend modes with their state cache, fog, ambient and light with their timed
// changes, as the recording device sees them.
#include <string>
#include <vector>

#include "GfxTestSupport.h"

namespace {
using Calls = std::vector<std::string>;

const std::string kEnable = "SetRenderState(D3DRS_ALPHABLENDENABLE, 1)";
const std::string kDisable = "SetRenderState(D3DRS_ALPHABLENDENABLE, 0)";
const std::string kOpAdd = "SetRenderState(D3DRS_BLENDOP, 1)";
const std::string kOpRevSubtract = "SetRenderState(D3DRS_BLENDOP, 3)";
const std::string kSrcAlpha = "SetRenderState(D3DRS_SRCBLEND, 5)";
const std::string kSrcOne = "SetRenderState(D3DRS_SRCBLEND, 2)";
const std::string kDestInvSrcAlpha = "SetRenderState(D3DRS_DESTBLEND, 6)";
const std::string kDestOne = "SetRenderState(D3DRS_DESTBLEND, 2)";

// The stage states of the table's rows.
const Calls kSelectTexture = {"SetTextureStageState(0, D3DTSS_COLOROP, 2)",
                              "SetTextureStageState(0, D3DTSS_COLORARG1, 2)",
                              "SetTextureStageState(0, D3DTSS_ALPHAOP, 2)",
                              "SetTextureStageState(0, D3DTSS_ALPHAARG1, 2)"};
const Calls kSelectColour = {"SetTextureStageState(0, D3DTSS_COLOROP, 2)",
                             "SetTextureStageState(0, D3DTSS_COLORARG1, 2)"};
Calls stageOp(int colourOp) {
    return {"SetTextureStageState(0, D3DTSS_COLOROP, " + std::to_string(colourOp) + ")",
            "SetTextureStageState(0, D3DTSS_COLORARG1, 2)",
            "SetTextureStageState(0, D3DTSS_COLORARG2, 0)",
            "SetTextureStageState(0, D3DTSS_ALPHAOP, 4)",
            "SetTextureStageState(0, D3DTSS_ALPHAARG1, 2)",
            "SetTextureStageState(0, D3DTSS_ALPHAARG2, 0)"};
}
const Calls kModulate = stageOp(4);

Calls join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const Calls& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

class BlendMode : public GfxTest {};
class FogSteps : public GfxTest {};
class AmbientSteps : public GfxTest {};
class LightSteps : public GfxTest {};
}  // namespace

TEST_F(BlendMode, TransitionTable) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    const Calls full1 = join({{kEnable, kOpAdd, kSrcAlpha, kDestInvSrcAlpha}, kSelectTexture});
    const Calls full2 = join({{kEnable, kOpAdd, kSrcAlpha, kDestOne}, kModulate});
    const Calls full3 = join({{kEnable, kOpAdd, kSrcAlpha, kDestInvSrcAlpha}, kModulate});
    struct Case {
        int from, to;
        Calls calls;
    } cases[] = {
        // A repeat issues no call.
        {3, 3, {}},
        {0, 0, {}},
        // Between 1, 2 and 3 only what differs.
        {3, 1, kSelectTexture},
        {2, 1, join({{kDestInvSrcAlpha}, kSelectTexture})},
        {1, 2, join({{kDestOne}, kModulate})},
        {2, 3, {kDestInvSrcAlpha}},
        {1, 3, kModulate},
        // Every other transition sets the whole row.
        {3, 2, full2},
        {0, 1, full1},
        {0, 3, full3},
        {5, 3, full3},
        {4, 4, {}},
        {3, 4, join({{kEnable, kOpRevSubtract, kSrcAlpha, kDestOne}, kModulate})},
        {3, 5, join({{kEnable, kOpAdd, kSrcAlpha, kDestInvSrcAlpha}, stageOp(7)})},
        // Opaque: blending off and the texture colour; the rest stays.
        {3, 6, join({{kDisable}, kSelectColour})},
        {3, 7, join({{kEnable, kOpAdd, kSrcOne, kDestOne}, kModulate})},
        // Any other value turns blending off.
        {3, 0, join({{kDisable, kOpAdd, kSrcAlpha, kDestInvSrcAlpha}, kSelectColour})},
        {0, 8, join({{kDisable, kOpAdd, kSrcAlpha, kDestInvSrcAlpha}, kSelectColour})},
        {3, -1, join({{kDisable, kOpAdd, kSrcAlpha, kDestInvSrcAlpha}, kSelectColour})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
        d3d.setBlendMode(c.from);
        gfx.clearCalls();
        EXPECT_EQ(d3d.setBlendMode(c.to), S_OK);
        EXPECT_EQ(calls(), c.calls);
        EXPECT_EQ(d3d.cachedBlendMode(0), c.to);
    }
}

TEST_F(BlendMode, OpaqueKeepsTheAlphaOperationsOfThePreviousMode) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    d3d.setBlendMode(1);
    d3d.setBlendMode(6);
    std::uint32_t alphaOp = 0;
    device().getTextureStageState(0, D3DTSS_ALPHAOP, &alphaOp);
    EXPECT_EQ(alphaOp, D3DTOP_SELECTARG1);
    d3d.setBlendMode(2);
    d3d.setBlendMode(6);
    device().getTextureStageState(0, D3DTSS_ALPHAOP, &alphaOp);
    EXPECT_EQ(alphaOp, D3DTOP_MODULATE);
    std::uint32_t destination = 0;
    device().getRenderState(D3DRS_DESTBLEND, &destination);
    EXPECT_EQ(destination, D3DBLEND_ONE);
}

TEST_F(BlendMode, TextureBindingAndAntialiasSwitch) {
    gfx.survey = minimalAdapter();
    // Before the device exists a binding neither happens nor is remembered.
    D3DObject& bare = surveyed();
    EXPECT_EQ(bare.bindTexture(nullptr, 17), E_FAIL);
    EXPECT_EQ(bare.getBoundTextureId(), 0u);
    D3DObject& d3d = created();
    GfxRef<GfxTexture> texture;
    ASSERT_EQ(device().createTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.put()), S_OK);
    EXPECT_EQ(d3d.bindTexture(texture.get(), 17), S_OK);
    EXPECT_EQ(d3d.getBoundTextureId(), 17u);
    d3d.invalidateStateCache();
    EXPECT_EQ(d3d.getBoundTextureId(), 0u);

    // Without multisampling the switch is only remembered.
    gfx.clearCalls();
    EXPECT_EQ(d3d.setMultiSampleAntialias(1), 1u);
    EXPECT_EQ(d3d.setMultiSampleAntialias(0), 0u);
    EXPECT_TRUE(gfx.callsOf("SetRenderState").empty());
}

namespace {
struct FogValues {
    float start, end, a, r, g, b;
};
FogValues fogOf(const RenderManager& render) {
    const FogInfo& f = render.currentFog();
    return {f.start, f.end, f.a, f.r, f.g, f.b};
}
}  // namespace

TEST_F(FogSteps, SetFogEnablesLinearVertexFog) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    gfx.clearCalls();
    EXPECT_EQ(d3d.setFog(30.0f, 80.0f, 0xFF000000u), S_OK);
    EXPECT_EQ(calls(), (Calls{"SetRenderState(D3DRS_FOGENABLE, 1)", "SetRenderState(D3DRS_FOGCOLOR, 4278190080)",
                              "SetRenderState(D3DRS_FOGVERTEXMODE, 3)",
                              "SetRenderState(D3DRS_FOGSTART, " + std::to_string(floatBits(30.0f)) + ")",
                              "SetRenderState(D3DRS_FOGEND, " + std::to_string(floatBits(80.0f)) + ")"}));
    EXPECT_EQ(d3d.currentFog().supported, 1u);

    // A reapply after a reset sets everything but the enable state.
    gfx.clearCalls();
    d3d.applyFog();
    EXPECT_EQ(gfx.callsOf("SetRenderState").size(), 4u);
    EXPECT_TRUE(gfx.callsOf("SetRenderState")[0].find("FOGCOLOR") != std::string::npos);
}

TEST_F(FogSteps, WithoutVertexFogFogStaysOffAndSetFogStillSucceeds) {
    gfx.survey = minimalAdapter();
    gfx.survey.caps.RasterCaps &= ~D3DPRASTERCAPS_FOGVERTEX;
    D3DObject& d3d = created();
    gfx.clearCalls();
    EXPECT_EQ(d3d.setFog(30.0f, 80.0f, 0xFF000000u), S_OK);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(d3d.currentFog().supported, 0u);
    d3d.changeFog(10.0f, 20.0f, 0xFFFFFFFFu, 1);
    d3d.stepFog();
    EXPECT_TRUE(calls().empty());
    d3d.applyFog();
    EXPECT_TRUE(calls().empty());
}

TEST_F(FogSteps, ChangeOverFramesStepsThenLandsOnTheTarget) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    d3d.setFog(0.0f, 100.0f, 0x00000000u);
    // From (0, 100, black, alpha 0) to (40, 60, a 200, r 100, g 20, b 0) over 4 frames.
    d3d.changeFog(40.0f, 60.0f, 0xC8641400u, 4);
    const FogValues expected[] = {
        {10.0f, 90.0f, 50.0f, 25.0f, 5.0f, 0.0f},
        {20.0f, 80.0f, 100.0f, 50.0f, 10.0f, 0.0f},
        {30.0f, 70.0f, 150.0f, 75.0f, 15.0f, 0.0f},
        {40.0f, 60.0f, 200.0f, 100.0f, 20.0f, 0.0f},
    };
    for (int frame = 0; frame < 4; ++frame) {
        SCOPED_TRACE(frame);
        gfx.clearCalls();
        d3d.stepFog();
        FogValues v = fogOf(d3d);
        EXPECT_FLOAT_EQ(v.start, expected[frame].start);
        EXPECT_FLOAT_EQ(v.end, expected[frame].end);
        EXPECT_FLOAT_EQ(v.a, expected[frame].a);
        EXPECT_FLOAT_EQ(v.r, expected[frame].r);
        EXPECT_FLOAT_EQ(v.g, expected[frame].g);
        EXPECT_FLOAT_EQ(v.b, expected[frame].b);
        // The steps set colour, start and end; the last frame enables the target.
        EXPECT_EQ(calls().size(), frame < 3 ? 3u : 5u);
    }
    EXPECT_EQ(d3d.currentFog().colour, 0xC8641400u);
    EXPECT_FALSE(d3d.fogChanging());
    gfx.clearCalls();
    d3d.stepFog();
    EXPECT_TRUE(calls().empty());
}

TEST_F(FogSteps, ZeroFramesReachesTheTargetAtTheFirstStepAndClearStops) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    d3d.setFog(30.0f, 80.0f, 0xFF000000u);
    for (int frames : {0, 1}) {
        d3d.changeFog(5.0f, 15.0f, 0xFF102030u, frames);
        d3d.stepFog();
        EXPECT_FLOAT_EQ(d3d.currentFog().start, 5.0f);
        EXPECT_EQ(d3d.currentFog().colour, 0xFF102030u);
        EXPECT_FALSE(d3d.fogChanging());
        d3d.setFog(30.0f, 80.0f, 0xFF000000u);
    }
    d3d.changeFog(5.0f, 15.0f, 0xFF102030u, 10);
    d3d.clearLightChange();
    d3d.stepFog();
    EXPECT_FLOAT_EQ(d3d.currentFog().start, 30.0f);
}

TEST_F(AmbientSteps, AmbientZeroReachesTheDeviceAmbientOneWaitsForTheEffectPass) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    d3d.setAmbient(0.0f, 255.0f, 255.0f, 255.0f, 0);
    d3d.setAmbient(0.0f, 255.0f, 255.0f, 255.0f, 1);
    d3d.changeAmbient(255.0f, 0.0f, 51.0f, 255.0f, 5, 0);
    d3d.changeAmbient(100.0f, 100.0f, 100.0f, 100.0f, 0, 1);
    const std::uint32_t expected[] = {0x33CCD6FF, 0x6699ADFF, 0x996684FF, 0xCC335BFF, 0xFF0033FF};
    for (int frame = 0; frame < 5; ++frame) {
        SCOPED_TRACE(frame);
        gfx.clearCalls();
        d3d.updateLighting();
        // Only ambient 0 touches the device.
        EXPECT_EQ(calls(), Calls{"SetRenderState(D3DRS_AMBIENT, " + std::to_string(expected[frame]) + ")"});
    }
    // Ambient 1 took its target at the first step (0 frames acts as 1) and
    // is applied by the effect pass only.
    EXPECT_FLOAT_EQ(d3d.ambient(1)[0], 100.0f);
    gfx.clearCalls();
    d3d.beginEffectLighting();
    EXPECT_EQ(calls(), Calls{"SetRenderState(D3DRS_AMBIENT, 1684300900)"});  // 0x64646464
    gfx.clearCalls();
    d3d.endEffectLighting();
    EXPECT_EQ(calls(), Calls{"SetRenderState(D3DRS_AMBIENT, " + std::to_string(0xFF0033FFu) + ")"});
}

TEST_F(AmbientSteps, PackingTruncatesEachChannel) {
    struct Case {
        float a, r, g, b;
        std::uint32_t packed;
    } cases[] = {
        {255.0f, 255.0f, 255.0f, 255.0f, 0xFFFFFFFFu},
        {0.9f, 127.99f, 1.5f, 0.0f, 0x007F0100u},
        {-0.5f, 255.4f, 64.0f, 32.7f, 0x00FF4020u},
        {256.0f, 0.0f, 0.0f, 0.0f, 0x00000000u},  // the low eight bits of 256
    };
    for (const Case& c : cases) EXPECT_EQ(packColor(c.a, c.r, c.g, c.b), c.packed) << c.a << " " << c.r;
}

TEST_F(LightSteps, SetLightThenAColourChangeOverFrames) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    gfx.clearCalls();
    d3d.setLight(3, 255.0f, 255.0f, 0.0f, 51.0f, 0.0f, -3.0f, 4.0f);
    EXPECT_EQ(calls(), (Calls{"SetLight(0, type 3 diffuse (1, 0, 0.2, 1) direction (0, -0.6, 0.8))",
                              "LightEnable(0, 1)"}));
    EXPECT_TRUE(d3d.lightInUse());

    // To red 0, green 255 over 3 frames; the direction given is not used.
    d3d.changeLightColor(0, 255.0f, 0.0f, 255.0f, 51.0f, 9.0f, 9.0f, 9.0f, 3);
    const float red[] = {2.0f / 3.0f, 1.0f / 3.0f, 0.0f};
    const float green[] = {1.0f / 3.0f, 2.0f / 3.0f, 1.0f};
    for (int frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE(frame);
        gfx.clearCalls();
        d3d.updateLighting();
        EXPECT_NEAR(d3d.light().Diffuse.r, red[frame], 1e-6);
        EXPECT_NEAR(d3d.light().Diffuse.g, green[frame], 1e-6);
        EXPECT_FLOAT_EQ(d3d.light().Direction.y, -0.6f);
        EXPECT_EQ(gfx.callsOf("SetLight").size(), 1u);
    }
    EXPECT_EQ(d3d.light().Diffuse.r, 0.0f);
    EXPECT_EQ(d3d.light().Diffuse.g, 1.0f);
    gfx.clearCalls();
    d3d.updateLighting();
    EXPECT_TRUE(gfx.callsOf("SetLight").empty());
}

TEST_F(LightSteps, EffectPassAndResetsOfTheLight) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    // Without a light in use the effect pass leaves light 0 alone.
    gfx.clearCalls();
    d3d.beginEffectLighting();
    EXPECT_TRUE(gfx.callsOf("LightEnable").empty());

    d3d.setLight(0, 255.0f, 128.0f, 128.0f, 128.0f, 1.0f, 0.0f, 0.0f);
    gfx.clearCalls();
    d3d.beginEffectLighting();
    d3d.endEffectLighting();
    EXPECT_EQ(gfx.callsOf("LightEnable"), (Calls{"LightEnable(0, 0)", "LightEnable(0, 1)"}));

    // The game reset's default light: white, set (it is in use), then off.
    d3d.changeLightColor(0, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 10);
    gfx.clearCalls();
    d3d.resetLighting();
    EXPECT_EQ(calls(), (Calls{"SetLight(0, type 3 diffuse (1, 1, 1, 1) direction (0, 0, 0))", "LightEnable(0, 0)",
                              "SetRenderState(D3DRS_AMBIENT, 16777215)", "SetRenderState(D3DRS_LIGHTING, 1)",
                              "SetRenderState(D3DRS_DITHERENABLE, 1)"}));
    gfx.clearCalls();
    d3d.updateLighting();
    EXPECT_TRUE(gfx.callsOf("SetLight").empty());  // the change was cleared

    // After a device reset the light in use is set and enabled again.
    gfx.clearCalls();
    d3d.restoreLighting();
    EXPECT_EQ(gfx.callsOf("LightEnable"), Calls{"LightEnable(0, 1)"});
}

TEST_F(LightSteps, FailingLightCallsAreLoggedWithTheirLines) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    gfx.faults.failNext("SetLight", D3DERR_INVALIDCALL);
    gfx.faults.failNext("LightEnable", D3DERR_INVALIDCALL);
    d3d.setLight(0, 255.0f, 255.0f, 255.0f, 255.0f, 0.0f, -1.0f, 0.0f);
    gfx.faults.failNext("SetRenderState", D3DERR_INVALIDCALL);
    d3d.setAmbient(0.0f, 1.0f, 2.0f, 3.0f, 0);
    d3d.changeLightColor(0, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 2);
    gfx.faults.failAlways("SetLight", D3DERR_INVALIDCALL);
    d3d.updateLighting();
    d3d.updateLighting();
    gfx.faults.clear();
    std::vector<std::string> failures;
    for (const std::string& line : log.logLines()) {
        if (line.rfind(".\\Src\\RenderManager:", 0) == 0) failures.push_back(line);
    }
    EXPECT_EQ(failures, (Calls{".\\Src\\RenderManager:718  FAILED", ".\\Src\\RenderManager:721  FAILED",
                               ".\\Src\\RenderManager:858  FAILED", ".\\Src\\RenderManager:821  FAILED",
                               ".\\Src\\RenderManager:812  FAILED"}));
    EXPECT_TRUE(log.logContains("D3DERR_INVALIDCALL"));
}

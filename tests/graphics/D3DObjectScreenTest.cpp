// The virtual screen: conversions, viewports and clears at two back-buffer
// sizes, the debug font, and the state modes.
#include <cstring>

#include "GfxTestSupport.h"
#include "platform/gfx/GlContext.h"

namespace {
class VirtualScreen : public GfxTest {};
class StateModes : public GfxTest {};
class DebugText : public GfxTest {};

// The colour of one back-buffer pixel (A8R8G8B8 bytes B, G, R, A).
std::uint32_t backBufferPixel(RecordingDevice& device, int x, int y) {
    GfxRef<GfxSurface> surface;
    EXPECT_EQ(device.getBackBuffer(surface.put()), S_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(surface->lockRect(&locked, nullptr, D3DLOCK_READONLY), S_OK);
    std::uint32_t pixel = *reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(locked.pBits) +
                                                                  y * locked.Pitch + x * 4);
    surface->unlockRect();
    return pixel & 0x00FFFFFFu;
}
}  // namespace

TEST_F(VirtualScreen, ConversionsAt640By480And1280By960) {
    gfx.survey = AdapterSurvey::standard();
    struct Case {
        std::uint32_t width, height;
        float x, y;                // virtual
        float deviceX, deviceY;    // their device values
        float pixelX, pixelY;      // device values
        float virtualX, virtualY;  // their virtual values
    } cases[] = {
        {640, 480, 140.0f, 479.5f, 140.0f, 479.5f, 333.3f, 0.25f, 333.3f, 0.25f},
        {1280, 960, 140.0f, 240.0f, 280.0f, 480.0f, 960.0f, 1.0f, 480.0f, 0.5f},
        {1280, 960, 0.1f, 1.0f / 3.0f, 0.2f, 2.0f / 3.0f, 1279.0f, 3.0f, 639.5f, 1.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " " + std::to_string(c.x));
        D3DObject& d3d = created(c.width, c.height);
        EXPECT_FLOAT_EQ(d3d.toDeviceX(c.x), c.deviceX);
        EXPECT_FLOAT_EQ(d3d.toDeviceY(c.y), c.deviceY);
        EXPECT_FLOAT_EQ(d3d.toVirtualX(c.pixelX), c.virtualX);
        EXPECT_FLOAT_EQ(d3d.toVirtualY(c.pixelY), c.virtualY);
        D3DObject::FloatRect rect = d3d.toDeviceRect(c.x, c.y, c.x, c.y);
        EXPECT_FLOAT_EQ(rect.x, c.deviceX);
        EXPECT_FLOAT_EQ(rect.y, c.deviceY);
        EXPECT_FLOAT_EQ(rect.width, c.deviceX);
        EXPECT_FLOAT_EQ(rect.height, c.deviceY);
    }
}

TEST_F(VirtualScreen, ExtendedPrecisionRoundsOnce) {
    gfx.survey = AdapterSurvey::standard();
    D3DObject& d3d = created(1024, 768);
    // 1024 x 0.3 / 640 computed in float would round twice.
    const float x = 0.3f;
    const float once = static_cast<float>(1024.0L * static_cast<long double>(x) / 640.0L);
    EXPECT_EQ(d3d.toDeviceX(x), once);
    // The scale factors 1.6 are not exact in float. Multiplying by a float
    // factor would give 0x1.47ae16p-3 for x = 0.1; rounding 768 x y before the
    // division would give 0x1.eb851ep-2 for this y; rounded once they are:
    EXPECT_EQ(d3d.toDeviceX(0x1.99999ap-4f), 0x1.47ae14p-3f);
    EXPECT_EQ(d3d.toDeviceY(0x1.333332p-2f), 0x1.eb851cp-2f);
    EXPECT_EQ(d3d.toDeviceRect(0x1.99999ap-4f, 0x1.333332p-2f, 1.0f, 1.0f).y, 0x1.eb851cp-2f);
    // With a 1024 x 768 back buffer the font is 32 pixels high.
    EXPECT_EQ(d3d.createFont(), S_OK);
    ASSERT_EQ(glyphs.created.size(), 1u);
    EXPECT_EQ(glyphs.created[0].height, 32);
    EXPECT_EQ(glyphs.created[0].weight, 700);
    EXPECT_EQ(glyphs.created[0].charSet, 128);
    EXPECT_TRUE(glyphs.created[0].faceName.empty());
}

TEST_F(VirtualScreen, ViewportsAndClearsInVirtualUnits) {
    gfx.survey = AdapterSurvey::standard();
    D3DObject& d3d = created(1280, 960);
    gfx.clearCalls();
    EXPECT_EQ(d3d.setViewport(), S_OK);
    EXPECT_EQ(d3d.setVirtualViewport(140, 0, 360, 480), S_OK);
    EXPECT_EQ(calls(), (std::vector<std::string>{"SetViewport(0, 0, 1280, 960, 0, 1)",
                                                 "SetViewport(280, 0, 720, 960, 0, 1)"}));

    // The play field cleared to the clear colour: 0x00RRGGBB, depth 1.
    d3d.setViewport();
    d3d.setClearColor(0x110, 0x20, 0x30);  // only the low byte counts
    gfx.clearCalls();
    EXPECT_EQ(d3d.clearRect(140, 0, 500, 480), S_OK);
    EXPECT_EQ(calls(), std::vector<std::string>{"Clear(1, [(280, 0)-(1000, 960)], 0x3, 0x102030, 1, 0)"});
    EXPECT_EQ(backBufferPixel(device(), 280, 5), 0x102030u);
    EXPECT_EQ(backBufferPixel(device(), 279, 5), 0u);

    // Clearing switched off: nothing, 0; the colour clear works regardless;
    // setting the colour turns clearing on again.
    d3d.setClearEnabled(0);
    gfx.clearCalls();
    EXPECT_EQ(d3d.clearRect(0, 0, 640, 480), S_OK);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(d3d.clearRectColor(587, 0, 640, 480, 0, 0, 0), S_OK);
    EXPECT_EQ(calls(), std::vector<std::string>{"Clear(1, [(1174, 0)-(1280, 960)], 0x3, 0x0, 1, 0)"});
    d3d.setClearColor(0, 0, 0);
    EXPECT_EQ(d3d.isClearEnabled(), 1u);
}

TEST_F(StateModes, ModesApplyTheirRowsOnceEach) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    gfx.clearCalls();
    // Mode 1 is the cached mode at construction.
    d3d.setRenderMode(1);
    EXPECT_TRUE(calls().empty());
    d3d.setRenderMode(2);
    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "SetFVF(0x112)", "SetRenderState(D3DRS_ZENABLE, 1)", "SetRenderState(D3DRS_ZWRITEENABLE, 1)",
                           "SetRenderState(D3DRS_LIGHTING, 1)", "SetRenderState(D3DRS_FOGENABLE, 1)",
                           "SetSamplerState(0, D3DSAMP_ADDRESSU, 1)", "SetSamplerState(0, D3DSAMP_ADDRESSV, 1)"}));
    gfx.clearCalls();
    d3d.setRenderMode(2);
    EXPECT_TRUE(calls().empty());
    d3d.setRenderMode(3);
    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "SetFVF(0x102)", "SetRenderState(D3DRS_ZENABLE, 1)", "SetRenderState(D3DRS_ZWRITEENABLE, 1)",
                           "SetRenderState(D3DRS_LIGHTING, 0)", "SetRenderState(D3DRS_FOGENABLE, 1)",
                           "SetSamplerState(0, D3DSAMP_ADDRESSU, 3)", "SetSamplerState(0, D3DSAMP_ADDRESSV, 3)"}));
    gfx.clearCalls();
    d3d.setRenderMode(9);
    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "SetFVF(0x144)", "SetRenderState(D3DRS_ZENABLE, 0)", "SetRenderState(D3DRS_ZWRITEENABLE, 0)",
                           "SetRenderState(D3DRS_LIGHTING, 0)", "SetRenderState(D3DRS_FOGENABLE, 0)",
                           "SetSamplerState(0, D3DSAMP_ADDRESSU, 3)", "SetSamplerState(0, D3DSAMP_ADDRESSV, 3)"}));
}

TEST_F(StateModes, OpaqueModeTogglesTheAlphaTest) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    gfx.clearCalls();
    d3d.setOpaqueMode(0);  // the first call applies
    EXPECT_EQ(calls(), (std::vector<std::string>{"SetRenderState(D3DRS_ALPHATESTENABLE, 1)",
                                                 "SetRenderState(D3DRS_ALPHAREF, 128)",
                                                 "SetRenderState(D3DRS_ALPHAFUNC, 7)"}));
    gfx.clearCalls();
    d3d.setOpaqueMode(0);
    EXPECT_TRUE(calls().empty());
    d3d.setOpaqueMode(1);
    EXPECT_EQ(calls(), (std::vector<std::string>{"SetRenderState(D3DRS_ALPHATESTENABLE, 0)",
                                                 "SetRenderState(D3DRS_ZENABLE, 1)",
                                                 "SetRenderState(D3DRS_ZWRITEENABLE, 1)"}));
}

TEST_F(StateModes, DeviceStartsWithTheInitialStates) {
    gfx.survey = minimalAdapter();
    created();
    const DeviceState& s = device().state();
    EXPECT_EQ(s.renderStates[D3DRS_ALPHABLENDENABLE], 0u);
    EXPECT_EQ(s.renderStates[D3DRS_MULTISAMPLEANTIALIAS], 0u);
    EXPECT_EQ(s.renderStates[D3DRS_STENCILENABLE], 0u);
    EXPECT_EQ(s.renderStates[D3DRS_CULLMODE], static_cast<std::uint32_t>(D3DCULL_CCW));
    EXPECT_EQ(s.stageStates[0][D3DTSS_COLOROP], static_cast<std::uint32_t>(D3DTOP_SELECTARG1));
    EXPECT_EQ(s.stageStates[0][D3DTSS_COLORARG1], D3DTA_TEXTURE);
    EXPECT_EQ(s.samplerStates[0][D3DSAMP_MIPFILTER], static_cast<std::uint32_t>(D3DTEXF_LINEAR));
    EXPECT_EQ(s.samplerStates[0][D3DSAMP_MAGFILTER], static_cast<std::uint32_t>(D3DTEXF_ANISOTROPIC));
    EXPECT_EQ(s.samplerStates[0][D3DSAMP_MINFILTER], static_cast<std::uint32_t>(D3DTEXF_ANISOTROPIC));
    EXPECT_EQ(s.samplerStates[0][D3DSAMP_MAXANISOTROPY], 16u);
    EXPECT_EQ(s.samplerStates[0][D3DSAMP_ADDRESSU], static_cast<std::uint32_t>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(s.samplerStates[0][D3DSAMP_ADDRESSV], static_cast<std::uint32_t>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(s.viewport.Width, 640u);

    // Without anisotropy: linear filters and no level lines.
    gfx.survey.caps.MaxAnisotropy = 1;
    created();
    EXPECT_EQ(device().state().samplerStates[0][D3DSAMP_MAGFILTER], static_cast<std::uint32_t>(D3DTEXF_LINEAR));
    EXPECT_EQ(device().state().samplerStates[0][D3DSAMP_MINFILTER], static_cast<std::uint32_t>(D3DTEXF_LINEAR));

    // Without linear filtering either the filters keep the device's own.
    gfx.survey.caps.TextureFilterCaps &= ~(D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MINFLINEAR);
    created();
    EXPECT_EQ(device().state().samplerStates[0][D3DSAMP_MAGFILTER], static_cast<std::uint32_t>(D3DTEXF_POINT));
    EXPECT_EQ(device().state().samplerStates[0][D3DSAMP_MINFILTER], static_cast<std::uint32_t>(D3DTEXF_POINT));
}

TEST_F(StateModes, AnisotropyOnlyWhereTheDriverOffersItOnHardware) {
    // The renderer's name and the driver's limit, as the OpenGL adapter
    // passes them to the survey, and the filters the set-up then chooses.
    struct Case {
        const char* renderer;
        float driverMax;
        std::uint32_t maxAnisotropy;
        D3DTEXTUREFILTERTYPE filter;
    };
    const Case cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", 16.0f, 1, D3DTEXF_LINEAR},
        {"softpipe", 16.0f, 1, D3DTEXF_LINEAR},
        {"Mesa swrast", 16.0f, 1, D3DTEXF_LINEAR},
        {"AMD Radeon RX 580 (polaris10, LLVM 15.0.6, DRM 3.49, 6.1.0)", 16.0f, 16, D3DTEXF_ANISOTROPIC},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", 8.0f, 8, D3DTEXF_ANISOTROPIC},
        {"a driver beyond the survey's limit", 32.0f, 16, D3DTEXF_ANISOTROPIC},
        {"a driver without the extension", 1.0f, 1, D3DTEXF_LINEAR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.renderer);
        gfx.survey = minimalAdapter();
        const AdapterSurvey before = gfx.survey;
        gfx.survey.offerAnisotropy(c.driverMax, GlContext::namesSoftware(c.renderer));
        const bool offered = c.maxAnisotropy > 1;
        EXPECT_EQ(gfx.survey.caps.MaxAnisotropy, c.maxAnisotropy);
        EXPECT_EQ((gfx.survey.caps.RasterCaps & D3DPRASTERCAPS_ANISOTROPY) != 0, offered);
        EXPECT_EQ(gfx.survey.caps.TextureFilterCaps & (D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MAGFANISOTROPIC),
                  offered ? (D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MAGFANISOTROPIC) : 0u);
        // Every other fact stays.
        EXPECT_EQ(gfx.survey.caps.RasterCaps | D3DPRASTERCAPS_ANISOTROPY, before.caps.RasterCaps);
        EXPECT_EQ(gfx.survey.caps.TextureFilterCaps | D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MAGFANISOTROPIC,
                  before.caps.TextureFilterCaps);
        EXPECT_EQ(gfx.survey.caps.MaxTextureWidth, before.caps.MaxTextureWidth);
        const std::size_t logged = log.logText().size();
        created();
        const auto& sampler = device().state().samplerStates[0];
        EXPECT_EQ(sampler[D3DSAMP_MAGFILTER], static_cast<std::uint32_t>(c.filter));
        EXPECT_EQ(sampler[D3DSAMP_MINFILTER], static_cast<std::uint32_t>(c.filter));
        EXPECT_EQ(sampler[D3DSAMP_MAXANISOTROPY], offered ? c.maxAnisotropy : 1u);
        EXPECT_EQ(log.logText().find("異方性テクスチャフィルタリングを有効にします", logged) != std::string::npos, offered);
    }
}

TEST_F(DebugText, DrawsGlyphQuadsAndLeavesTheStatesAsTheyWere) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    EXPECT_EQ(d3d.drawText(10, 20, "x"), E_FAIL);  // no font yet
    ASSERT_EQ(d3d.createFont(), S_OK);
    EXPECT_EQ(glyphs.created.at(0).height, 20);
    d3d.setBlendMode(3);
    d3d.setRenderMode(2);
    const DeviceState before = device().state();
    gfx.clearCalls();
    // "A", a blank and one double-byte glyph: two quads, four triangles of
    // 28-byte pre-transformed vertices; a second line doubles the height.
    ASSERT_EQ(device().beginScene(), S_OK);
    EXPECT_EQ(d3d.drawText(10, 20, "A \x82\xA0"), 20);
    EXPECT_EQ(d3d.drawText(10, 40, "A\nA"), 40);
    device().endScene();
    EXPECT_EQ(gfx.callsOf("DrawPrimitiveUP"),
              (std::vector<std::string>{"DrawPrimitiveUP(4, 4, 28)", "DrawPrimitiveUP(4, 4, 28)"}));
    const DeviceState& after = device().state();
    EXPECT_EQ(after.renderStates, before.renderStates);
    EXPECT_EQ(after.stageStates, before.stageStates);
    EXPECT_EQ(after.samplerStates, before.samplerStates);
    EXPECT_EQ(after.fvf, before.fvf);
    // The font left stage 0 empty, and the bound texture is forgotten.
    EXPECT_FALSE(after.textures[0]);
    EXPECT_EQ(d3d.getBoundTextureId(), 0u);
}

// The glyph cache texture is made by the first draw, once: a font never drawn
// (debug display off) holds none. A draw whose cache cannot be made draws
// nothing, and a later draw makes it.
TEST_F(DebugText, TheGlyphCacheIsMadeByTheFirstDraw) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    gfx.clearCalls();
    ASSERT_EQ(d3d.createFont(), S_OK);
    EXPECT_TRUE(gfx.callsOf("CreateTexture").empty());
    ASSERT_EQ(device().beginScene(), S_OK);
    gfx.faults.failNext("CreateTexture", E_OUTOFMEMORY);
    EXPECT_EQ(d3d.drawText(10, 20, "A"), 0);
    EXPECT_TRUE(gfx.callsOf("DrawPrimitiveUP").empty());
    EXPECT_EQ(d3d.drawText(10, 20, "A"), 20);
    EXPECT_EQ(d3d.drawText(10, 40, "A"), 20);
    device().endScene();
    EXPECT_EQ(gfx.callsOf("CreateTexture").size(), 2u);
    EXPECT_EQ(gfx.callsOf("DrawPrimitiveUP").size(), 2u);
}

namespace {
// Glyphs whose backend answers a bitmap one row short of its black box.
class ShortBitmapGlyphs : public GlyphSystem {
public:
    std::unique_ptr<GlyphFont> createFont(const FontDesc&) override { return std::make_unique<Font>(); }

private:
    class Font : public GlyphFont {
    public:
        TextMetric textMetrics() const override {
            TextMetric m;
            m.tmHeight = 20;
            m.tmAscent = 15;
            m.tmDescent = 5;
            return m;
        }
        std::uint32_t glyphOutline(std::uint32_t, GlyphMetrics& metrics, std::uint8_t* buffer,
                                   std::uint32_t bufferSize) override {
            metrics = GlyphMetrics{};
            metrics.gmBlackBoxX = 8;
            metrics.gmBlackBoxY = 16;
            metrics.gmCellIncX = 10;
            const std::uint32_t size = 8 * 15;
            if (buffer && bufferSize >= size) std::memset(buffer, 64, size);
            return size;
        }
    };
};
}  // namespace

TEST_F(DebugText, TextAtTheEdgeOfTheRangeAndShortGlyphBitmaps) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    ASSERT_EQ(d3d.createFont(), S_OK);
    ASSERT_EQ(device().beginScene(), S_OK);
    // Far off the screen: nothing overflows on the way.
    EXPECT_EQ(d3d.drawText(INT32_MAX, INT32_MAX, "A A"), 20);
    EXPECT_EQ(d3d.drawText(INT32_MIN, INT32_MIN, "A\nA"), 40);

    // A glyph whose bitmap is shorter than its box is not drawn.
    ShortBitmapGlyphs shortGlyphs;
    GlyphSystem::setInstance(&shortGlyphs);
    ASSERT_EQ(d3d.createFont(), S_OK);
    gfx.clearCalls();
    EXPECT_EQ(d3d.drawText(10, 20, "A"), 20);
    EXPECT_TRUE(gfx.callsOf("DrawPrimitiveUP").empty());
    device().endScene();
    GlyphSystem::setInstance(&glyphs);
}

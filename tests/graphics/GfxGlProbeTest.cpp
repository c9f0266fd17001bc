// Pixel probes of the OpenGL backend: what Direct3D 9 would put in the back
// buffer for clears, sprites, blending, alpha test, fog and light.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "graphics/GlTestDevice.h"
#include "graphics/DeviceChecks.h"
#include "platform/gfx/D3DXMath.h"

namespace {

class GfxGlProbe : public GlTestDevice {};

std::uint32_t argb(int a, int r, int g, int b) { return D3DCOLOR_ARGB(a, r, g, b); }

}  // namespace

TEST_F(GfxGlProbe, ClearIsClippedByTheViewport) {
    D3DVIEWPORT9 viewport{100, 50, 200, 100, 0.0f, 1.0f};
    ASSERT_EQ(device->setViewport(&viewport), D3D_OK);
    ASSERT_EQ(device->clear(0, nullptr, D3DCLEAR_TARGET, argb(255, 255, 0, 0), 1.0f, 0), D3D_OK);
    // A rectangle reaching out of the viewport is cut at its edge.
    D3DRECT rect{0, 0, 150, 75};
    ASSERT_EQ(device->clear(1, &rect, D3DCLEAR_TARGET, argb(255, 0, 255, 0), 1.0f, 0), D3D_OK);
    std::vector<std::uint32_t> pixels = readTarget();
    auto at = [&](int x, int y) { return pixels[std::size_t(y) * 640 + std::size_t(x)] & 0xFFFFFF; };
    EXPECT_EQ(at(100, 50), 0x00FF00u);
    EXPECT_EQ(at(149, 74), 0x00FF00u);
    EXPECT_EQ(at(150, 74), 0xFF0000u);
    EXPECT_EQ(at(149, 75), 0xFF0000u);
    EXPECT_EQ(at(299, 149), 0xFF0000u);
    EXPECT_EQ(at(99, 50), 0u);
    EXPECT_EQ(at(100, 49), 0u);
    EXPECT_EQ(at(300, 149), 0u);
    EXPECT_EQ(at(299, 150), 0u);
}

TEST_F(GfxGlProbe, PretransformedQuadCoversItsPixelsWithTexelExactSampling) {
    std::vector<std::uint32_t> texels(16);
    for (int i = 0; i < 16; ++i) texels[i] = argb(255, 16 * i, 255 - 16 * i, (i * 37) & 0xFF);
    GfxRef<GfxTexture> texture = makeTexture(4, 4, texels);
    device->setTexture(0, texture.get());
    stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    // The sampler as the device's set-up leaves it on this adapter.
    device->setSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC);
    device->setSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
    device->setSamplerState(0, D3DSAMP_MAXANISOTROPY, 16);
    device->setSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    device->setSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->setSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    drawQuad(10, 20, 4, 4, 0xFFFFFFFF);
    // Twice the size with point sampling: each texel covers 2 x 2 pixels.
    device->setSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->setSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    drawQuad(100, 200, 8, 8, 0xFFFFFFFF);

    std::vector<std::uint32_t> pixels = readTarget();
    auto at = [&](int x, int y) { return pixels[std::size_t(y) * 640 + std::size_t(x)]; };
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(at(10 + x, 20 + y), texels[y * 4 + x]) << x << "," << y;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(at(100 + x, 200 + y), texels[(y / 2) * 4 + x / 2]) << x << "," << y;
    const int outside[][2] = {{9, 20}, {14, 20}, {10, 19}, {10, 24}, {99, 200}, {108, 207}, {100, 208}};
    for (const auto& p : outside) EXPECT_EQ(at(p[0], p[1]) & 0xFFFFFF, 0u) << p[0] << "," << p[1];
}

TEST_F(GfxGlProbe, BlendModesGiveDirect3DArithmetic) {
    // The render states of the engine's seven blend modes over a known
    // background, with a texel of colour (200, 100, 40) and alpha 160
    // modulated by a diffuse colour (255, 128, 255) with alpha 200.
    const int dest[3] = {60, 120, 240};
    const int tex[4] = {160, 200, 100, 40};    // a, r, g, b
    const int diff[4] = {200, 255, 128, 255};  // a, r, g, b
    struct Mode {
        int number;
        bool blend;
        std::uint32_t op, src, dst, colorOp, colorArg2, alphaOp;
    } modes[] = {
        {1, true, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_SELECTARG1, D3DTA_DIFFUSE,
         D3DTOP_SELECTARG1},
        {2, true, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTOP_MODULATE},
        {3, true, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_MODULATE, D3DTA_DIFFUSE,
         D3DTOP_MODULATE},
        {4, true, D3DBLENDOP_REVSUBTRACT, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DTOP_MODULATE, D3DTA_DIFFUSE,
         D3DTOP_MODULATE},
        {5, true, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_ADD, D3DTA_DIFFUSE, D3DTOP_MODULATE},
        {6, false, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_SELECTARG1, D3DTA_DIFFUSE,
         D3DTOP_SELECTARG1},
        {7, true, D3DBLENDOP_ADD, D3DBLEND_ONE, D3DBLEND_ONE, D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTOP_MODULATE},
    };
    GfxRef<GfxTexture> texture = makeTexture(1, 1, {argb(tex[0], tex[1], tex[2], tex[3])});
    device->setTexture(0, texture.get());
    int x = 0;
    for (const Mode& m : modes) {
        D3DRECT rect{x, 0, x + 4, 4};
        device->clear(1, &rect, D3DCLEAR_TARGET, argb(255, dest[0], dest[1], dest[2]), 1.0f, 0);
        device->setRenderState(D3DRS_ALPHABLENDENABLE, m.blend);
        device->setRenderState(D3DRS_BLENDOP, m.op);
        device->setRenderState(D3DRS_SRCBLEND, m.src);
        device->setRenderState(D3DRS_DESTBLEND, m.dst);
        stage(m.colorOp, D3DTA_TEXTURE, m.colorArg2, m.alphaOp, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        drawQuad(float(x), 0, 4, 4, argb(diff[0], diff[1], diff[2], diff[3]));

        // The expected value, channel by channel, in exact arithmetic.
        double source[4];
        for (int c = 0; c < 4; ++c) {
            double t = tex[c] / 255.0, d = diff[c] / 255.0;
            bool alpha = c == 0;
            std::uint32_t op = alpha ? m.alphaOp : m.colorOp;
            double v = op == D3DTOP_MODULATE ? t * d : op == D3DTOP_ADD ? t + d : t;
            source[c] = std::min(v, 1.0);
        }
        const double sa = source[0];
        std::uint32_t expected = 0xFF000000;
        for (int c = 1; c < 4; ++c) {
            double s = source[c], dd = dest[c - 1] / 255.0, result;
            if (!m.blend) {
                result = s;
            } else {
                double fs = m.src == D3DBLEND_ONE ? 1.0 : sa;
                double fd = m.dst == D3DBLEND_ONE ? 1.0 : 1.0 - sa;
                result = m.op == D3DBLENDOP_REVSUBTRACT ? dd * fd - s * fs : s * fs + dd * fd;
            }
            int value = int(std::lround(std::clamp(result, 0.0, 1.0) * 255.0));
            expected |= std::uint32_t(value) << (8 * (3 - c));
        }
        std::uint32_t got = pixel(x + 1, 1) | 0xFF000000;
        EXPECT_LE(channelDistance(got, expected), 1)
            << "mode " << m.number << std::hex << " got " << got << " expected " << expected;
        x += 8;
    }
}

TEST_F(GfxGlProbe, AlphaTestDropsAlpha127AndKeeps128) {
    GfxRef<GfxTexture> texture = makeTexture(2, 1, {argb(127, 255, 255, 255), argb(128, 255, 255, 255)});
    device->setTexture(0, texture.get());
    stage(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    device->setRenderState(D3DRS_ALPHATESTENABLE, 1);
    device->setRenderState(D3DRS_ALPHAREF, 0x80);
    device->setRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    drawQuad(30, 30, 2, 1, 0xFFFFFFFF);
    EXPECT_EQ(pixel(30, 30) & 0xFFFFFF, 0u);
    EXPECT_EQ(pixel(31, 30) & 0xFFFFFF, 0xFFFFFFu);
}

// A stage reading the texture while none is bound gives the diffuse colour,
// whatever its operation (a modulation does not multiply the colour by
// itself).
TEST_F(GfxGlProbe, UnboundTextureReadsTheDiffuseColour) {
    device->setTexture(0, nullptr);
    const std::uint32_t colour = argb(255, 128, 64, 200);
    for (std::uint32_t op : {D3DTOP_SELECTARG1, D3DTOP_MODULATE}) {
        stage(op, D3DTA_TEXTURE, D3DTA_DIFFUSE, op, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        drawQuad(5, 5, 3, 3, colour);
        EXPECT_EQ(pixel(6, 6), colour) << "operation " << op;
    }
}

// A stage argument naming a colour the vertex format lacks reads white
// (0xFFFFFFFF), colour and alpha alike.
TEST_F(GfxGlProbe, ColoursAVertexLacksReadWhite) {
    struct PlainVertex {
        float x, y, z, rhw;
    };
    const PlainVertex quad[4] = {{19.5f, 9.5f, 0, 1}, {23.5f, 9.5f, 0, 1}, {19.5f, 13.5f, 0, 1}, {23.5f, 13.5f, 0, 1}};
    device->setTexture(0, nullptr);
    device->setRenderState(D3DRS_ALPHATESTENABLE, 1);
    device->setRenderState(D3DRS_ALPHAREF, 0xFF);
    device->setRenderState(D3DRS_ALPHAFUNC, D3DCMP_EQUAL);  // opaque, or nothing is drawn
    for (std::uint32_t argument : {D3DTA_DIFFUSE, D3DTA_SPECULAR}) {
        device->clear(0, nullptr, D3DCLEAR_TARGET, argb(255, 0, 0, 0), 1.0f, 0);
        stage(D3DTOP_SELECTARG1, argument, argument, D3DTOP_SELECTARG1, argument, argument);
        device->setFVF(D3DFVF_XYZRHW);
        ASSERT_EQ(device->beginScene(), D3D_OK);
        ASSERT_EQ(device->drawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(PlainVertex)), D3D_OK);
        device->endScene();
        EXPECT_EQ(pixel(21, 11), 0xFFFFFFFFu) << "argument " << argument;
    }
}

namespace {

// A camera at the origin looking along +z with a 90 degree square frustum.
void setCamera(GfxDevice* device) {
    D3DXMATRIX identity, projection;
    D3DXMatrixIdentity(&identity);
    D3DXMatrixPerspectiveFovLH(&projection, float(M_PI / 2), 4.0f / 3.0f, 1.0f, 100.0f);
    device->setTransform(D3DTS_WORLD, &identity);
    device->setTransform(D3DTS_VIEW, &identity);
    device->setTransform(D3DTS_PROJECTION, &projection);
}

struct LitVertex {
    float x, y, z, nx, ny, nz, u, v;
};

struct ColouredVertex {
    float x, y, z;
    std::uint32_t colour;
};

}  // namespace

TEST_F(GfxGlProbe, LinearFogFactorAtAKnownDepth) {
    setCamera(device.get());
    device->setRenderState(D3DRS_FOGENABLE, 1);
    device->setRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->setRenderState(D3DRS_FOGCOLOR, argb(255, 0, 0, 255));
    device->setRenderState(D3DRS_FOGSTART, floatBits(10.0f));
    device->setRenderState(D3DRS_FOGEND, floatBits(50.0f));
    stage(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE);
    // A wall at depth 30: the fog factor is (50 - 30) / (50 - 10) = 0.5.
    const ColouredVertex wall[4] = {
        {-100, 100, 30, argb(255, 255, 0, 0)},
        {100, 100, 30, argb(255, 255, 0, 0)},
        {-100, -100, 30, argb(255, 255, 0, 0)},
        {100, -100, 30, argb(255, 255, 0, 0)},
    };
    device->setFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    ASSERT_EQ(device->beginScene(), D3D_OK);
    ASSERT_EQ(device->drawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, wall, sizeof(ColouredVertex)), D3D_OK);
    device->endScene();
    EXPECT_LE(channelDistance(pixel(320, 240), argb(255, 128, 0, 128)), 1);
}

// The fog distance is the depth without its sign: a floor reaching behind
// the camera is fogged at its far corner by its distance, and the part in
// view shades between that and the fog of its front.
TEST_F(GfxGlProbe, FogOfAVertexBehindTheCameraUsesItsDistance) {
    setCamera(device.get());
    device->setRenderState(D3DRS_FOGENABLE, 1);
    device->setRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->setRenderState(D3DRS_FOGCOLOR, argb(255, 0, 0, 255));
    device->setRenderState(D3DRS_FOGSTART, floatBits(0.0f));
    device->setRenderState(D3DRS_FOGEND, floatBits(80.0f));
    stage(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE);
    // A floor at y = -10 from z = -40 (fog factor 0.5) to z = 80 (factor 0).
    const std::uint32_t red = argb(255, 255, 0, 0);
    const ColouredVertex floor[4] = {
        {-100, -10, -40, red}, {100, -10, -40, red}, {-100, -10, 80, red}, {100, -10, 80, red}};
    device->setFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    ASSERT_EQ(device->beginScene(), D3D_OK);
    ASSERT_EQ(device->drawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, floor, sizeof(ColouredVertex)), D3D_OK);
    device->endScene();
    // Row 360 sees the floor at depth 20: factor 0.5 x (80 - 20) / 120 = 0.25.
    EXPECT_LE(channelDistance(pixel(320, 360), argb(255, 64, 0, 191)), 1) << std::hex << pixel(320, 360);
}

TEST_F(GfxGlProbe, LitTriangleTakesLightMaterialAndAmbient) {
    setCamera(device.get());
    device->setRenderState(D3DRS_LIGHTING, 1);
    device->setRenderState(D3DRS_AMBIENT, argb(0, 64, 64, 64));
    D3DMATERIAL9 material;
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Ambient = {0.2f, 0.2f, 0.2f, 1.0f};
    device->setMaterial(&material);
    // A light shining at 60 degrees to the surface normal: half strength.
    D3DLIGHT9 light;
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
    light.Direction = {0.0f, -std::sqrt(3.0f) / 2.0f, 0.5f};
    device->setLight(0, &light);
    device->lightEnable(0, 1);
    stage(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE);
    // A triangle facing the camera (normal towards -z), clockwise on screen.
    const LitVertex triangle[3] = {
        {-10, 10, 10, 0, 0, -1, 0, 0},
        {10, -10, 10, 0, 0, -1, 0, 0},
        {-10, -10, 10, 0, 0, -1, 0, 0},
    };
    device->setRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->setFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    ASSERT_EQ(device->beginScene(), D3D_OK);
    ASSERT_EQ(device->drawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(LitVertex)), D3D_OK);
    device->endScene();
    // diffuse 1 x light x 0.5 + ambient 0.2 x 64/255 per channel
    const double ambient = 0.2 * 64.0 / 255.0;
    const std::uint32_t expected = argb(255, int(std::lround((0.5 + ambient) * 255)),
                                        int(std::lround((0.25 + ambient) * 255)),
                                        int(std::lround((0.125 + ambient) * 255)));
    EXPECT_LE(channelDistance(pixel(250, 300) | 0xFF000000, expected), 1) << std::hex << pixel(250, 300);
}

TEST_F(GfxGlProbe, CullingFollowsDirect3DWinding) {
    device->setRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    stage(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE);
    const std::uint32_t white = 0xFFFFFFFF;
    // Clockwise on screen (y down): drawn. Counter-clockwise: culled.
    const SpriteVertex clockwise[3] = {{10, 10, 0, 1, white, 0, 0}, {50, 10, 0, 1, white, 0, 0},
                                       {10, 50, 0, 1, white, 0, 0}};
    const SpriteVertex counter[3] = {{110, 10, 0, 1, white, 0, 0}, {110, 50, 0, 1, white, 0, 0},
                                     {150, 10, 0, 1, white, 0, 0}};
    device->setFVF(0x144);
    device->beginScene();
    device->drawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(SpriteVertex));
    device->drawPrimitiveUP(D3DPT_TRIANGLELIST, 1, counter, sizeof(SpriteVertex));
    device->endScene();
    EXPECT_EQ(pixel(15, 15), white);
    EXPECT_EQ(pixel(115, 15) & 0xFFFFFF, 0u);
}

TEST_F(GfxGlProbe, RenderTargetTextureKeepsItsTopRowOnTop) {
    GfxRef<GfxTexture> target;
    ASSERT_EQ(device->createTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, target.put()),
              D3D_OK);
    GfxRef<GfxSurface> surface, back;
    ASSERT_EQ(target->getSurfaceLevel(0, surface.put()), D3D_OK);
    ASSERT_EQ(device->getRenderTarget(0, back.put()), D3D_OK);
    ASSERT_EQ(device->setRenderTarget(0, surface.get()), D3D_OK);
    D3DVIEWPORT9 viewport;
    device->getViewport(&viewport);
    EXPECT_EQ(viewport.Width, 64u);  // selecting a target takes its whole area
    D3DRECT top{0, 0, 64, 32}, bottom{0, 32, 64, 64};
    device->clear(1, &top, D3DCLEAR_TARGET, argb(255, 255, 0, 0), 1.0f, 0);
    device->clear(1, &bottom, D3DCLEAR_TARGET, argb(255, 0, 0, 255), 1.0f, 0);
    ASSERT_EQ(device->setRenderTarget(0, back.get()), D3D_OK);
    device->setTexture(0, target.get());
    stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    drawQuad(200, 100, 64, 64, 0xFFFFFFFF);
    EXPECT_EQ(pixel(210, 101), argb(255, 255, 0, 0));
    EXPECT_EQ(pixel(210, 162), argb(255, 0, 0, 255));
}

TEST_F(GfxGlProbe, TransformedQuadLandsOnDirect3DPixels) {
    // Orthographic 640 x 480 view: world x + 320 and 240 - y are Direct3D's
    // screen coordinates, whose pixel centres lie on whole numbers.
    D3DXMATRIX identity, projection;
    D3DXMatrixIdentity(&identity);
    D3DXMatrixOrthoLH(&projection, 640.0f, 480.0f, 0.0f, 1.0f);
    device->setTransform(D3DTS_WORLD, &identity);
    device->setTransform(D3DTS_VIEW, &identity);
    device->setTransform(D3DTS_PROJECTION, &projection);
    stage(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE);
    const std::uint32_t red = argb(255, 255, 0, 0);
    // Screen x 99.5 .. 109.5, y 99.5 .. 109.5: pixels 100 to 109 both ways.
    const ColouredVertex quad[4] = {
        {-220.5f, 140.5f, 0.5f, red}, {-210.5f, 140.5f, 0.5f, red},
        {-220.5f, 130.5f, 0.5f, red}, {-210.5f, 130.5f, 0.5f, red},
    };
    device->setFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    ASSERT_EQ(device->beginScene(), D3D_OK);
    ASSERT_EQ(device->drawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColouredVertex)), D3D_OK);
    device->endScene();
    std::vector<std::uint32_t> pixels = readTarget();
    auto at = [&](int x, int y) { return pixels[std::size_t(y) * 640 + std::size_t(x)] & 0xFFFFFF; };
    EXPECT_EQ(at(100, 100), 0xFF0000u);
    EXPECT_EQ(at(109, 109), 0xFF0000u);
    EXPECT_EQ(at(99, 105), 0u);
    EXPECT_EQ(at(110, 105), 0u);
    EXPECT_EQ(at(105, 99), 0u);
    EXPECT_EQ(at(105, 110), 0u);
}

TEST_F(GfxGlProbe, SurfaceFacingAwayFromTheLightGetsAmbientOnly) {
    setCamera(device.get());
    device->setRenderState(D3DRS_LIGHTING, 1);
    device->setRenderState(D3DRS_AMBIENT, argb(0, 255, 255, 255));
    D3DMATERIAL9 material;
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Ambient = {0.25f, 0.5f, 0.75f, 1.0f};
    device->setMaterial(&material);
    D3DLIGHT9 light;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Direction = {0.0f, 0.0f, -1.0f};  // shining at the camera, behind the surface
    device->setLight(0, &light);
    device->lightEnable(0, 1);
    stage(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE);
    const LitVertex triangle[3] = {
        {-10, 10, 10, 0, 0, -1, 0, 0}, {10, -10, 10, 0, 0, -1, 0, 0}, {-10, -10, 10, 0, 0, -1, 0, 0}};
    device->setFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    device->beginScene();
    device->drawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(LitVertex));
    device->endScene();
    EXPECT_LE(channelDistance(pixel(250, 300), argb(255, 64, 128, 191)), 1) << std::hex << pixel(250, 300);
}

TEST_F(GfxGlProbe, AddressingAndFormatsWithoutAlpha) {
    // X8R8G8B8 texels read alpha 1 whatever their fourth byte holds.
    GfxRef<GfxTexture> texture;
    ASSERT_EQ(device->createTexture(2, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, texture.put()), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->lockRect(0, &locked, nullptr, 0), D3D_OK);
    static_cast<std::uint32_t*>(locked.pBits)[0] = 0x00FF0000;  // red, alpha byte 0
    static_cast<std::uint32_t*>(locked.pBits)[1] = 0x000000FF;  // blue
    texture->unlockRect(0);
    device->setTexture(0, texture.get());
    stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    device->setRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->setRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->setRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    // u from 0 to 2 over four pixels: WRAP repeats red, blue; CLAMP stays on blue.
    device->setSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    drawQuad(0, 0, 4, 1, 0xFFFFFFFF, 0, 0, 2, 1);
    device->setSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    drawQuad(0, 2, 4, 1, 0xFFFFFFFF, 0, 0, 2, 1);
    std::vector<std::uint32_t> pixels = readTarget();
    EXPECT_EQ(pixels[0], 0xFFFF0000u);
    EXPECT_EQ(pixels[1], 0xFF0000FFu);
    EXPECT_EQ(pixels[2], 0xFFFF0000u);
    EXPECT_EQ(pixels[3], 0xFF0000FFu);
    EXPECT_EQ(pixels[2 * 640 + 2], 0xFF0000FFu);
    EXPECT_EQ(pixels[2 * 640 + 3], 0xFF0000FFu);
}

TEST_F(GfxGlProbe, CompressedTextureIsExpandedOnUpload) {
    // One DXT1 block: colour 0 pure red, colour 1 pure blue, indices 0 on the
    // top row, 1 on the second, 2 (two thirds red) on the third, 3 on the last.
    GfxRef<GfxTexture> texture;
    ASSERT_EQ(device->createTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, texture.put()), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->lockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 8);
    const std::uint8_t block[8] = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x55, 0xAA, 0xFF};
    std::memcpy(locked.pBits, block, sizeof block);
    texture->unlockRect(0);
    device->setTexture(0, texture.get());
    stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    drawQuad(0, 0, 4, 4, 0xFFFFFFFF);
    std::vector<std::uint32_t> pixels = readTarget();
    EXPECT_EQ(pixels[0], 0xFFFF0000u);
    EXPECT_EQ(pixels[640], 0xFF0000FFu);
    EXPECT_LE(channelDistance(pixels[2 * 640], argb(255, 170, 0, 85)), 1);
    EXPECT_LE(channelDistance(pixels[3 * 640], argb(255, 85, 0, 170)), 1);
}

TEST_F(GfxGlProbe, ResetKeepsStatesAndResizesTheBackBuffer) {
    device->setRenderState(D3DRS_TEXTUREFACTOR, argb(255, 1, 2, 3));
    D3DPRESENT_PARAMETERS p;
    p.BackBufferWidth = 1280;
    p.BackBufferHeight = 960;
    p.BackBufferFormat = D3DFMT_A8R8G8B8;
    p.Windowed = 1;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    ASSERT_EQ(device->reset(&p), D3D_OK);
    std::uint32_t factor = 0;
    device->getRenderState(D3DRS_TEXTUREFACTOR, &factor);
    EXPECT_EQ(factor, argb(255, 1, 2, 3));
    GfxRef<GfxSurface> back;
    device->getBackBuffer(back.put());
    D3DSURFACE_DESC desc;
    back->getDesc(&desc);
    EXPECT_EQ(desc.Width, 1280u);
    EXPECT_EQ(desc.Height, 960u);
    // The state drawn with after the reset is the one set before it.
    stage(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE);
    drawQuad(1200, 900, 4, 4, 0xFFFFFFFF);
    EXPECT_EQ(pixel(1201, 901), argb(255, 1, 2, 3));
    EXPECT_EQ(device->present(), D3D_OK);
    // Headless software rendering cannot wait for a 60 Hz retrace.
    EXPECT_FALSE(device->presentsAt60Hz());
}

TEST_F(GfxGlProbe, SixteenBitBackBuffersClearAndReadBack) {
    struct Case {
        D3DFORMAT format;
        std::uint16_t expected;  // the clear colour (255, 0, 255) in the format
    } cases[] = {{D3DFMT_R5G6B5, 0xF81F}, {D3DFMT_X1R5G5B5, 0xFC1F}, {D3DFMT_A1R5G5B5, 0xFC1F}};
    for (const auto& c : cases) {
        createDevice(320, 240, c.format);
        ASSERT_TRUE(device) << formatName(c.format);
        ASSERT_EQ(device->clear(0, nullptr, D3DCLEAR_TARGET, argb(255, 255, 0, 255), 1.0f, 0), D3D_OK);
        GfxRef<GfxSurface> back;
        device->getBackBuffer(back.put());
        D3DLOCKED_RECT locked;
        ASSERT_EQ(back->lockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK) << formatName(c.format);
        EXPECT_EQ(locked.Pitch, 640);
        EXPECT_EQ(static_cast<const std::uint16_t*>(locked.pBits)[320 * 0 + 5], c.expected) << formatName(c.format);
        back->unlockRect();
    }
}

// Draws whose stream gives no whole vertex are refused before any buffer is
// read: no vertex format set and a stream stride of 0.
TEST_F(GfxGlProbe, DrawsWithoutAVertexStrideAreRefused) {
    GfxRef<GfxVertexBuffer> vertices;
    GfxRef<GfxIndexBuffer> indices;
    ASSERT_EQ(device->createVertexBuffer(3 * sizeof(SpriteVertex), 0, 0, D3DPOOL_MANAGED, vertices.put()), D3D_OK);
    ASSERT_EQ(device->createIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, indices.put()), D3D_OK);
    ASSERT_EQ(device->setFVF(0), D3D_OK);
    ASSERT_EQ(device->setStreamSource(0, vertices.get(), 0, 0), D3D_OK);
    ASSERT_EQ(device->setIndices(indices.get()), D3D_OK);
    ASSERT_EQ(device->beginScene(), D3D_OK);
    EXPECT_EQ(device->drawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->endScene(), D3D_OK);
}

// Counts and strides too large for the buffers are refused before OpenGL
// sees them, however their products would wrap: 0x55555556 triangles are
// 0x100000002 vertices, and 2147549185 x 8589672452 is 2^64 + 4. (The
// fixture's teardown checks that OpenGL was handed no invalid value.)
TEST_F(GfxGlProbe, DrawsWhoseSizesWrapAreRefused) {
    GfxRef<GfxVertexBuffer> vertices;
    ASSERT_EQ(device->createVertexBuffer(3 * sizeof(SpriteVertex), 0, 0x144, D3DPOOL_MANAGED, vertices.put()), D3D_OK);
    ASSERT_EQ(device->setFVF(0x144), D3D_OK);
    ASSERT_EQ(device->setStreamSource(0, vertices.get(), 0, sizeof(SpriteVertex)), D3D_OK);
    ASSERT_EQ(device->beginScene(), D3D_OK);
    EXPECT_EQ(device->drawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    EXPECT_EQ(device->drawPrimitive(D3DPT_TRIANGLELIST, 0, 0x55555556), D3DERR_INVALIDCALL);
    const SpriteVertex user[3] = {};
    EXPECT_EQ(device->drawPrimitiveUP(D3DPT_TRIANGLELIST, 0xFFFFFFFF, user, sizeof(SpriteVertex)),
              D3DERR_INVALIDCALL);
    ASSERT_EQ(device->setStreamSource(0, vertices.get(), 0, 2147549185u), D3D_OK);
    EXPECT_EQ(device->drawPrimitive(D3DPT_POINTLIST, 4294967295u, 4294705157u), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->endScene(), D3D_OK);
}

// Only a depth format with stencil bits has a stencil to clear.
TEST_F(GfxGlProbe, StencilClearsNeedAStencilFormat) { expectStencilClearsNeedAStencilFormat(device.get()); }

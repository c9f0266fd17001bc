// Pixel probes of textures made by the image decoders and the text drawing,
// drawn on the OpenGL backend.
#include <gtest/gtest.h>

#include "graphics/D3DDevice.h"
#include "graphics/GlTestDevice.h"
#include "graphics/ImageFiles.h"
#include "graphics/Texture.h"
#include "platform/gfx/D3DXImage.h"

namespace {
class TextureGlProbe : public GlTestDevice {
protected:
    GfxRef<GfxTexture> load(const FileBytes& file) {
        GfxTexture* made = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device.get(), file.data(), std::uint32_t(file.size()),
                                                      D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN,
                                                      D3DPOOL_MANAGED, D3DX_FILTER_POINT, D3DX_DEFAULT,
                                                      Texture::kColorKey, nullptr, nullptr, &made),
                  D3D_OK);
        return GfxRef<GfxTexture>::adopt(made);
    }
    // Texture colour and alpha as they are, blended over the target.
    void drawBlended(GfxTexture* texture, float x, float y, float w, float h) {
        device->setTexture(0, texture);
        stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        device->setSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        device->setSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        device->setRenderState(D3DRS_ALPHABLENDENABLE, 1);
        device->setRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->setRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        drawQuad(x, y, w, h, 0xFFFFFFFF);
    }
};
constexpr std::uint32_t kBackground = 0xFF203040;
}  // namespace

TEST_F(TextureGlProbe, DecodedTexelsKeyAndTransparentBlocksReachTheScreen) {
    ASSERT_EQ(device->clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0), D3D_OK);
    // An X8 file: texel-exact and opaque.
    const Pixels opaque = {0xFF102030, 0xFF405060, 0xFFFF00FF, 0xFF0000FF, 0xFF808080, 0xFFFFFFFF};
    auto bmp = load(files::bmp(3, 2, opaque, 24));
    drawBlended(bmp.get(), 10, 10, 3, 2);
    // A keyed pixel lets the background through.
    auto keyed = load(files::tga(2, 1, {0x00FF00FF, 0xFFFF00FF}, 32, false));
    drawBlended(keyed.get(), 20, 10, 2, 1);
    // A DXT1 block: the top two rows transparent (index 3 with c0 <= c1), the others c0.
    const FileBytes block = {0x1F, 0x00, 0x1F, 0xF8, 0xFF, 0xFF, 0x00, 0x00};
    auto dxt = load(files::dds(4, 4, 1, 0x4, D3DFMT_DXT1, 0, 0, 0, 0, 0, block));
    drawBlended(dxt.get(), 30, 10, 4, 4);

    for (int i = 0; i < 6; ++i) EXPECT_EQ(pixel(10 + i % 3, 10 + i / 3), opaque[i]) << i;
    EXPECT_EQ(pixel(20, 10), kBackground);
    EXPECT_EQ(pixel(21, 10), 0xFFFF00FFu);
    EXPECT_EQ(pixel(30, 10), kBackground);
    EXPECT_EQ(pixel(33, 11), kBackground);
    EXPECT_EQ(pixel(30, 12), 0xFF0000FFu);
}

TEST_F(TextureGlProbe, TextInkInTheFontColour) {
    g_d3dDevice = device.get();
    Texture text;
    ASSERT_EQ(text.createEmpty(64, 32, D3DFMT_A8R8G8B8), D3D_OK);
    text.setTextBoxSize(64, 32);
    text.setFontSize(24);
    text.setFontColor(0x00FF8000);
    text.setStringWait(0);
    ASSERT_EQ(text.setString("\x82\xa0"), D3D_OK);
    text.updateText();
    ASSERT_EQ(device->clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    drawBlended(text.getD3DTexture(), 0, 0, 64, 32);
    int ink = 0, other = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; ++x) {
            const std::uint32_t p = pixel(x, y) & 0xFFFFFF;
            if (p == 0xFF8000) ++ink;
            else if (p != 0 && ((p >> 8) & 0xFF) * 2 > ((p >> 16) & 0xFF) + 2) ++other;  // not on the orange ramp
        }
    }
    EXPECT_GT(ink, 20);
    EXPECT_EQ(other, 0);
    g_d3dDevice = nullptr;
}

#include "graphics/GlTestDevice.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "graphics/FrameCapture.h"
#include "platform/gfx/GlContext.h"

void GlTestDevice::SetUp() {
    ASSERT_TRUE(window.create("gfx test", 0, 0, 640, 480, nullptr)) << "no SDL window";
    Window::setInstance(&window);
    adapter = GfxRef<GfxAdapter>::adopt(GfxAdapter::create(D3D_SDK_VERSION));
    ASSERT_TRUE(adapter) << "no OpenGL 3.3 adapter: " << openGlAdapterError();
    createDevice(640, 480);
}

void GlTestDevice::TearDown() {
    // Every call the device made was one OpenGL accepts.
    if (device) {
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    device.reset();
    adapter.reset();
    Window::setInstance(nullptr);
}

void GlTestDevice::createDevice(std::uint32_t w, std::uint32_t h, D3DFORMAT format) {
    device.reset();
    D3DPRESENT_PARAMETERS p;
    p.BackBufferWidth = w;
    p.BackBufferHeight = h;
    p.BackBufferFormat = format;
    p.BackBufferCount = 1;
    p.Windowed = 1;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    ASSERT_EQ(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, device.put()),
              D3D_OK)
        << openGlAdapterError();
    width = w;
    height = h;
    // The states every probe starts from: 2-D drawing, no depth, no light.
    device->setRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->setRenderState(D3DRS_LIGHTING, 0);
    device->setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->setFVF(0x144);
    device->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
}

std::vector<std::uint32_t> GlTestDevice::readTarget() {
    FramePicture picture;
    if (captureFrame(device.get(), picture) != D3D_OK) {
        ADD_FAILURE() << "the render target cannot be read back";
        return std::vector<std::uint32_t>(std::size_t(width) * height);
    }
    return std::move(picture.argb);
}

std::uint32_t GlTestDevice::pixel(int x, int y) {
    std::vector<std::uint32_t> pixels = readTarget();
    GfxRef<GfxSurface> target;
    device->getRenderTarget(0, target.put());
    D3DSURFACE_DESC desc;
    target->getDesc(&desc);
    return pixels.at(std::size_t(y) * desc.Width + std::size_t(x));
}

void GlTestDevice::drawQuad(float x, float y, float w, float h, std::uint32_t colour, float u0, float v0, float u1,
                            float v1) {
    const SpriteVertex quad[4] = {
        {x - 0.5f, y - 0.5f, 0, 1, colour, u0, v0},
        {x + w - 0.5f, y - 0.5f, 0, 1, colour, u1, v0},
        {x - 0.5f, y + h - 0.5f, 0, 1, colour, u0, v1},
        {x + w - 0.5f, y + h - 0.5f, 0, 1, colour, u1, v1},
    };
    device->setFVF(0x144);
    ASSERT_EQ(device->beginScene(), D3D_OK);
    EXPECT_EQ(device->drawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(SpriteVertex)), D3D_OK);
    ASSERT_EQ(device->endScene(), D3D_OK);
}

GfxRef<GfxTexture> GlTestDevice::makeTexture(std::uint32_t w, std::uint32_t h,
                                             const std::vector<std::uint32_t>& texels) {
    GfxRef<GfxTexture> texture;
    EXPECT_EQ(device->createTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.put()), D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->lockRect(0, &locked, nullptr, 0), D3D_OK);
    for (std::uint32_t y = 0; y < h; ++y)
        std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + std::size_t(y) * locked.Pitch, &texels[y * w], w * 4);
    EXPECT_EQ(texture->unlockRect(0), D3D_OK);
    return texture;
}

void GlTestDevice::stage(std::uint32_t colorOp, std::uint32_t colorArg1, std::uint32_t colorArg2,
                         std::uint32_t alphaOp, std::uint32_t alphaArg1, std::uint32_t alphaArg2) {
    device->setTextureStageState(0, D3DTSS_COLOROP, colorOp);
    device->setTextureStageState(0, D3DTSS_COLORARG1, colorArg1);
    device->setTextureStageState(0, D3DTSS_COLORARG2, colorArg2);
    device->setTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
    device->setTextureStageState(0, D3DTSS_ALPHAARG1, alphaArg1);
    device->setTextureStageState(0, D3DTSS_ALPHAARG2, alphaArg2);
}

int channelDistance(std::uint32_t a, std::uint32_t b) {
    int most = 0;
    for (int shift = 0; shift < 32; shift += 8)
        most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return most;
}

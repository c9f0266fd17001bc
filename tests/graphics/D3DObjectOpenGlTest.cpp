// The device object on the OpenGL backend (headless through Mesa): start-up
// with the real survey, a frame's clears, and the debug font's pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/D3DObject.h"
#include "graphics/FrameCapture.h"
#include "graphics/RenderFrame.h"
#include "input/DInputObject.h"
#include "platform/Window.h"
#include "platform/gfx/GlAdapter.h"
#include "platform/gfx/GlContext.h"
#include "services/Managers.h"
#include "support/TestSupport.h"

namespace {
class D3DObjectOnOpenGl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.create("d3d test", 0, 0, 640, 480, nullptr));
        Window::setInstance(&window);
        g_dinputObject = &input;
        object = std::make_unique<D3DObject>();
        g_d3dObject = object.get();
        ASSERT_EQ(object->initDirect3D(), S_OK) << openGlAdapterError();
        ASSERT_EQ(object->initDevice(640, 480, 60, 1, 0, 0, 1), S_OK);
        object->setVirtualScreenSize(640, 480);
    }
    void TearDown() override {
        object.reset();
        g_d3dObject = nullptr;
        g_dinputObject = nullptr;
        Window::setInstance(nullptr);
    }
    std::vector<std::uint32_t> backBuffer() {
        FramePicture picture;
        EXPECT_EQ(captureFrame(g_d3dDevice, picture), S_OK);
        picture.argb.resize(640 * 480);
        return std::move(picture.argb);
    }

    LoggedTest log;
    SdlWindow window;
    DInputObject input;
    std::unique_ptr<D3DObject> object;
};
}  // namespace

TEST_F(D3DObjectOnOpenGl, FrameClearsThePlayFieldToTheClearColour) {
    EXPECT_TRUE(log.logContains("Direct3D デバイス作成成功"));
    ASSERT_EQ(object->createRenderTarget(0, 0, 0, RenderTarget::kModeBackBuffer), S_OK);
    // The whole screen red, then a frame: the play field takes the clear colour.
    ASSERT_EQ(g_d3dDevice->beginScene(), S_OK);
    object->setViewport();
    object->clearRectColor(0, 0, 640, 480, 255, 0, 0);
    g_d3dDevice->endScene();
    object->setClearColor(0x20, 0x40, 0x60);
    object->setProjectionMode(1);
    renderFrame();
    std::vector<std::uint32_t> pixels = backBuffer();
    for (int y : {0, 240, 479}) {
        EXPECT_EQ(pixels[y * 640 + 139] & 0xFFFFFF, 0xFF0000u) << y;
        EXPECT_EQ(pixels[y * 640 + 140] & 0xFFFFFF, 0x204060u) << y;
        EXPECT_EQ(pixels[y * 640 + 499] & 0xFFFFFF, 0x204060u) << y;
        EXPECT_EQ(pixels[y * 640 + 500] & 0xFFFFFF, 0xFF0000u) << y;
    }
    EXPECT_EQ(g_d3dDevice->present(), S_OK);
}

TEST_F(D3DObjectOnOpenGl, CpuRendererReportsNoAnisotropySoTheSetUpFiltersLinearly) {
    D3DCAPS9 caps{};
    ASSERT_EQ(g_d3dDevice->getDeviceCaps(&caps), S_OK);
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    ASSERT_NE(renderer, nullptr);
    std::uint32_t mag = 0, min = 0;
    g_d3dDevice->getSamplerState(0, D3DSAMP_MAGFILTER, &mag);
    g_d3dDevice->getSamplerState(0, D3DSAMP_MINFILTER, &min);
    if (!GlContext::namesSoftware(renderer)) GTEST_SKIP() << "not a CPU renderer: " << renderer;
    EXPECT_EQ(caps.MaxAnisotropy, 1u);
    EXPECT_EQ(caps.TextureFilterCaps & (D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MAGFANISOTROPIC), 0u);
    EXPECT_EQ(mag, static_cast<std::uint32_t>(D3DTEXF_LINEAR));
    EXPECT_EQ(min, static_cast<std::uint32_t>(D3DTEXF_LINEAR));
    EXPECT_FALSE(log.logContains("異方性テクスチャフィルタリングを有効にします"));
}

TEST_F(D3DObjectOnOpenGl, DebugTextDrawsItsColourInsideItsLine) {
    ASSERT_EQ(object->createFont(), S_OK);
    ASSERT_EQ(g_d3dDevice->beginScene(), S_OK);
    object->setViewport();
    object->clearRectColor(0, 0, 640, 480, 0, 0, 0);
    // Sprite states, as the frame leaves them, must not change the text.
    object->setBlendMode(3);
    object->setRenderMode(1);
    EXPECT_GT(object->drawText(10, 40, "fps = 60"), 0);
    g_d3dDevice->endScene();
    std::vector<std::uint32_t> pixels = backBuffer();
    int textPixels = 0, full = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const std::uint32_t p = pixels[y * 640 + x] & 0xFFFFFF;
            if (p == 0) continue;
            // Only inside the line (20 high at y = 40), only shades of the
            // text colour 0xFF4040 over black.
            EXPECT_TRUE(y >= 40 && y < 60 && x >= 10 && x < 200) << x << "," << y;
            const std::uint32_t r = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
            EXPECT_EQ(g, b);
            EXPECT_LE(g * 255, r * 64 + 255);
            ++textPixels;
            if (p == 0xFF4040) ++full;
        }
    }
    EXPECT_GT(textPixels, 30);
    EXPECT_GT(full, 10);
}

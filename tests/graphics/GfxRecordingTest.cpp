// The recording backend: its synthetic survey, device creation against it,
// the call log, the state it keeps, CPU-memory resources and injected faults.
#include <gtest/gtest.h>

#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/GfxFormat.h"
#include "platform/gfx/RecordingDevice.h"
#include "platform/Window.h"
#include "graphics/DeviceChecks.h"

namespace {

D3DPRESENT_PARAMETERS windowedParameters(std::uint32_t width = 640, std::uint32_t height = 480) {
    D3DPRESENT_PARAMETERS p;
    p.BackBufferWidth = width;
    p.BackBufferHeight = height;
    p.BackBufferFormat = D3DFMT_A8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = 1;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    return p;
}

class GfxRecordingDevice : public ::testing::Test {
protected:
    void SetUp() override {
        adapter = GfxRef<GfxAdapter>::adopt(GfxAdapter::create(D3D_SDK_VERSION));
        ASSERT_TRUE(adapter);
        D3DPRESENT_PARAMETERS p = windowedParameters();
        ASSERT_EQ(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p,
                                        device.put()),
                  D3D_OK);
        backend.clearCalls();
    }

    RecordingBackend backend;
    TestWindow window;
    GfxRef<GfxAdapter> adapter;
    GfxRef<GfxDevice> device;
};

}  // namespace

TEST(GfxRecordingSurvey, AnswersFromTheStandardSurvey) {
    RecordingBackend backend;
    auto adapter = GfxRef<GfxAdapter>::adopt(GfxAdapter::create(31));
    ASSERT_TRUE(adapter);
    EXPECT_EQ(backend.adapter(), adapter.get());

    D3DCAPS9 caps;
    ASSERT_EQ(adapter->getDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_TRUE(caps.RasterCaps & D3DPRASTERCAPS_FOGVERTEX);
    EXPECT_FALSE(caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY);
    EXPECT_EQ(caps.VertexShaderVersion, 0xFFFE0200u);
    EXPECT_EQ(caps.PixelShaderVersion, 0xFFFF0200u);
    EXPECT_EQ(adapter->getDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3DERR_NOTAVAILABLE);

    // Six sizes at 60 Hz for each display format; none for back-buffer-only formats.
    ASSERT_EQ(adapter->getAdapterModeCount(0, D3DFMT_X8R8G8B8), 6u);
    EXPECT_EQ(adapter->getAdapterModeCount(0, D3DFMT_A8R8G8B8), 0u);
    D3DDISPLAYMODE mode;
    ASSERT_EQ(adapter->enumAdapterModes(0, D3DFMT_R5G6B5, 4, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 1280u);
    EXPECT_EQ(mode.Height, 960u);
    EXPECT_EQ(mode.RefreshRate, 60u);
    EXPECT_EQ(adapter->enumAdapterModes(0, D3DFMT_R5G6B5, 6, &mode), D3DERR_INVALIDCALL);

    struct FormatCase {
        std::uint32_t usage;
        D3DRESOURCETYPE type;
        D3DFORMAT format;
        HRESULT expected;
    } cases[] = {
        {0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, D3D_OK},
        {0, D3DRTYPE_TEXTURE, D3DFMT_DXT1, D3D_OK},
        {0, D3DRTYPE_TEXTURE, D3DFMT_R8G8B8, D3DERR_NOTAVAILABLE},
        {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16, D3D_OK},
        {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24S8, D3D_OK},
        {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D32, D3DERR_NOTAVAILABLE},
        {D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, D3D_OK},
    };
    for (const auto& c : cases)
        EXPECT_EQ(adapter->checkDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, c.usage, c.type, c.format),
                  c.expected)
            << formatName(c.format);
    EXPECT_EQ(adapter->checkDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, 1), D3D_OK);
    EXPECT_EQ(adapter->checkDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8, 0), D3DERR_NOTAVAILABLE);
    std::uint32_t quality = 7;
    EXPECT_EQ(adapter->checkDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, 1, D3DMULTISAMPLE_NONMASKABLE,
                                                  &quality),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(quality, 0u);
}

TEST(GfxRecordingSurvey, RefusedAdapterAndInjectedCreationFailures) {
    RecordingBackend backend;
    backend.refuseAdapter = true;
    EXPECT_EQ(GfxAdapter::create(31), nullptr);
    backend.refuseAdapter = false;

    auto adapter = GfxRef<GfxAdapter>::adopt(GfxAdapter::create(31));
    TestWindow window;
    D3DPRESENT_PARAMETERS p = windowedParameters();
    GfxRef<GfxDevice> device;
    backend.faults.failNext("CreateDevice", D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, 0x42, &p, device.put()), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_FALSE(device);
    EXPECT_EQ(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, 0x42, &p, device.put()), D3D_OK);
    EXPECT_EQ(backend.device(), device.get());
    device.reset();
    EXPECT_EQ(backend.device(), nullptr);
}

TEST_F(GfxRecordingDevice, LogsCallsWithTheirArguments) {
    device->setRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->setTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->setSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->setFVF(0x144);
    EXPECT_EQ(backend.callTexts(), (std::vector<std::string>{
                                       "SetRenderState(D3DRS_DESTBLEND, 6)",
                                       "SetTextureStageState(0, D3DTSS_COLOROP, 4)",
                                       "SetSamplerState(0, D3DSAMP_MAGFILTER, 2)",
                                       "SetFVF(0x144)",
                                   }));
    std::uint32_t value = 0;
    device->getRenderState(D3DRS_DESTBLEND, &value);
    EXPECT_EQ(value, 6u);
}

TEST_F(GfxRecordingDevice, ClearFillsTheTargetInsideTheViewport) {
    D3DVIEWPORT9 viewport{10, 20, 100, 50, 0.0f, 1.0f};
    ASSERT_EQ(device->setViewport(&viewport), D3D_OK);
    D3DRECT rect{0, 0, 640, 30};
    ASSERT_EQ(device->clear(1, &rect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00112233, 1.0f, 0), D3D_OK);
    GfxRef<GfxSurface> target;
    ASSERT_EQ(device->getRenderTarget(0, target.put()), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(target->lockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto pixel = [&](int x, int y) {
        return reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(locked.pBits) +
                                                      y * locked.Pitch)[x];
    };
    EXPECT_EQ(pixel(10, 20), 0x00112233u);
    EXPECT_EQ(pixel(109, 29), 0x00112233u);
    EXPECT_EQ(pixel(9, 20), 0u);
    EXPECT_EQ(pixel(110, 20), 0u);
    EXPECT_EQ(pixel(10, 30), 0u);
    EXPECT_EQ(pixel(10, 19), 0u);
    target->unlockRect();

    // A viewport reaching outside the target is refused and the old one kept.
    D3DVIEWPORT9 tooWide{600, 0, 100, 480, 0.0f, 1.0f};
    EXPECT_EQ(device->setViewport(&tooWide), D3DERR_INVALIDCALL);
    D3DVIEWPORT9 kept;
    device->getViewport(&kept);
    EXPECT_EQ(kept.X, 10u);
}

// Only a depth format with stencil bits has a stencil to clear.
TEST_F(GfxRecordingDevice, StencilClearsNeedAStencilFormat) { expectStencilClearsNeedAStencilFormat(device.get()); }

TEST_F(GfxRecordingDevice, ResetKeepsStatesAndEndsTheLoss) {
    device->setRenderState(D3DRS_FOGENABLE, 1);
    device->setTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    backend.loseDevice();
    EXPECT_EQ(device->present(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->testCooperativeLevel(), D3DERR_DEVICENOTRESET);

    D3DPRESENT_PARAMETERS p = windowedParameters(1024, 768);
    backend.faults.failNext("Reset", D3DERR_DEVICELOST);
    EXPECT_EQ(device->reset(&p), D3DERR_DEVICELOST);
    ASSERT_EQ(device->reset(&p), D3D_OK);
    EXPECT_EQ(device->present(), D3D_OK);
    std::uint32_t value = 0;
    device->getRenderState(D3DRS_FOGENABLE, &value);
    EXPECT_EQ(value, 1u);
    device->getTextureStageState(0, D3DTSS_ALPHAOP, &value);
    EXPECT_EQ(value, std::uint32_t(D3DTOP_MODULATE));
    D3DVIEWPORT9 viewport;
    device->getViewport(&viewport);
    EXPECT_EQ(viewport.Width, 1024u);
    EXPECT_EQ(viewport.Height, 768u);
}

// As Direct3D 9: a reset is refused while a default-pool object lives or the
// caller holds the back buffer or the automatic depth surface.
TEST_F(GfxRecordingDevice, ResetIsRefusedWhileTheCallerHoldsDefaultPoolObjects) {
    D3DPRESENT_PARAMETERS p = windowedParameters();
    GfxRef<GfxTexture> managed, target;
    ASSERT_EQ(device->createTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, managed.put()), D3D_OK);
    ASSERT_EQ(device->createTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, target.put()),
              D3D_OK);
    GfxRef<GfxSurface> level, depth, backBuffer, autoDepth;
    ASSERT_EQ(target->getSurfaceLevel(0, level.put()), D3D_OK);
    target.reset();
    // The level keeps its texture alive.
    EXPECT_EQ(device->reset(&p), D3DERR_INVALIDCALL);
    level.reset();
    ASSERT_EQ(device->createDepthStencilSurface(8, 8, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, 1, depth.put()), D3D_OK);
    EXPECT_EQ(device->reset(&p), D3DERR_INVALIDCALL);
    depth.reset();
    ASSERT_EQ(device->getBackBuffer(backBuffer.put()), D3D_OK);
    EXPECT_EQ(device->reset(&p), D3DERR_INVALIDCALL);
    backBuffer.reset();
    ASSERT_EQ(device->getDepthStencilSurface(autoDepth.put()), D3D_OK);
    EXPECT_EQ(device->reset(&p), D3DERR_INVALIDCALL);
    autoDepth.reset();
    // Managed textures survive a reset.
    EXPECT_EQ(device->reset(&p), D3D_OK);
    EXPECT_EQ(backend.callsOf("Reset").size(), 5u);
}

TEST_F(GfxRecordingDevice, ResourcesLiveInCpuMemoryAndCountAgainstVideoMemory) {
    const std::uint32_t before = device->getAvailableTextureMem();
    GfxRef<GfxTexture> texture;
    ASSERT_EQ(device->createTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.put()), D3D_OK);
    EXPECT_EQ(before - device->getAvailableTextureMem(), 256u * 256u * 4u);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->lockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 1024);
    static_cast<std::uint32_t*>(locked.pBits)[0] = 0xFF00FF00;
    ASSERT_EQ(texture->unlockRect(0), D3D_OK);
    ASSERT_EQ(texture->lockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<std::uint32_t*>(locked.pBits)[0], 0xFF00FF00u);
    texture->unlockRect(0);
    EXPECT_EQ(backend.liveResources(D3DPOOL_MANAGED), 1u);
    texture.reset();
    EXPECT_EQ(device->getAvailableTextureMem(), before);
    EXPECT_EQ(backend.liveResources(D3DPOOL_MANAGED), 0u);

    // Injected and real refusals.
    backend.faults.failNext("CreateTexture", D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(device->createTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.put()),
              D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(device->createTexture(64, 64, 1, 0, D3DFMT_R8G8B8, D3DPOOL_MANAGED, texture.put()),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->createTexture(8192, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.put()),
              D3DERR_INVALIDCALL);
    backend.survey.totalTextureMemory = 0;  // only adapters made later see it
    EXPECT_EQ(device->createTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.put()), D3D_OK);
}

// A compressed level locks by whole 4 x 4 blocks, through the texture and
// through its surface alike, and never reaches outside the level.
TEST_F(GfxRecordingDevice, LockedRectanglesOfACompressedLevelStayInsideIt) {
    GfxRef<GfxTexture> texture;
    ASSERT_EQ(device->createTexture(64, 64, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, texture.put()), D3D_OK);
    GfxRef<GfxSurface> surface;
    ASSERT_EQ(texture->getSurfaceLevel(0, surface.put()), D3D_OK);
    D3DLOCKED_RECT whole;
    ASSERT_EQ(texture->lockRect(0, &whole, nullptr, 0), D3D_OK);
    texture->unlockRect(0);
    EXPECT_EQ(whole.Pitch, 16 * 8);
    const auto* base = static_cast<std::uint8_t*>(whole.pBits);
    const D3DRECT lastRow{8, 60, 12, 64};
    const std::ptrdiff_t expected = 15 * 128 + 2 * 8;
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->lockRect(0, &locked, &lastRow, 0), D3D_OK);
    EXPECT_EQ(static_cast<std::uint8_t*>(locked.pBits) - base, expected);
    texture->unlockRect(0);
    ASSERT_EQ(surface->lockRect(&locked, &lastRow, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<std::uint8_t*>(locked.pBits) - base, expected);
    EXPECT_EQ(locked.Pitch, whole.Pitch);
    surface->unlockRect();
}

TEST_F(GfxRecordingDevice, DrawsAreCheckedAgainstTheirBuffers) {
    GfxRef<GfxVertexBuffer> vertices;
    GfxRef<GfxIndexBuffer> indices;
    ASSERT_EQ(device->createVertexBuffer(4 * 28, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0x144, D3DPOOL_DEFAULT,
                                         vertices.put()),
              D3D_OK);
    ASSERT_EQ(device->createIndexBuffer(12, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                        indices.put()),
              D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(indices->lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
    const std::uint16_t pattern[6] = {0, 1, 2, 2, 1, 4};  // 4 is past the four vertices
    std::memcpy(data, pattern, sizeof pattern);
    indices->unlock();
    device->setStreamSource(0, vertices.get(), 0, 28);
    device->setIndices(indices.get());
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3DERR_INVALIDCALL);  // no scene
    device->beginScene();
    // Without a vertex format, or with a stride shorter than its vertex, no
    // vertex can be read: refused as the OpenGL device refuses it.
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3DERR_INVALIDCALL);
    device->setFVF(0x144);
    device->setStreamSource(0, vertices.get(), 0, 20);
    EXPECT_EQ(device->drawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    device->setStreamSource(0, vertices.get(), 0, 28);
    EXPECT_EQ(device->drawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3D_OK);
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 1), D3DERR_INVALIDCALL);
    // Counts and strides whose products pass 32 or 64 bits do not wrap round
    // to a draw that fits: 0x55555556 triangles are 0x100000002 vertices,
    // and 2147549185 x 8589672452 is 2^64 + 4.
    EXPECT_EQ(device->drawPrimitive(D3DPT_TRIANGLELIST, 0, 0x55555556), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 0x55555556), D3DERR_INVALIDCALL);
    const std::uint8_t userVertices[3 * 28] = {};
    EXPECT_EQ(device->drawPrimitiveUP(D3DPT_TRIANGLELIST, 0xFFFFFFFF, userVertices, 28), D3DERR_INVALIDCALL);
    device->setStreamSource(0, vertices.get(), 0, 2147549185u);
    EXPECT_EQ(device->drawPrimitive(D3DPT_POINTLIST, 4294967295u, 4294705157u), D3DERR_INVALIDCALL);
    device->endScene();
    EXPECT_EQ(backend.liveResources(D3DPOOL_DEFAULT), 2u);
    ASSERT_EQ(indices->lock(0, 14, &data, 0), D3DERR_INVALIDCALL);
}

TEST_F(GfxRecordingDevice, ResourcesOutlivingTheirDeviceAreOrphaned) {
    GfxRef<GfxTexture> texture;
    ASSERT_EQ(device->createTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.put()), D3D_OK);
    EXPECT_EQ(texture->getLevelCount(), 5u);
    device->setTexture(0, texture.get());
    device.reset();  // the binding does not keep the device alive
    EXPECT_EQ(backend.device(), nullptr);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->lockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
}

TEST_F(GfxRecordingDevice, PresentingPacesOnlyOnARetraceOf60Hz) {
    struct Case {
        std::uint32_t interval, refresh;
        bool paces;
    } cases[] = {
        {D3DPRESENT_INTERVAL_DEFAULT, 60, true},
        {D3DPRESENT_INTERVAL_ONE, 60, true},
        {D3DPRESENT_INTERVAL_IMMEDIATE, 60, false},
        {D3DPRESENT_INTERVAL_DEFAULT, 75, false},
    };
    for (const auto& c : cases) {
        backend.displayRefreshRate = c.refresh;
        D3DPRESENT_PARAMETERS p = windowedParameters();
        p.PresentationInterval = c.interval;
        ASSERT_EQ(device->reset(&p), D3D_OK);
        EXPECT_EQ(device->presentsAt60Hz(), c.paces) << c.interval << " " << c.refresh;
    }
}

TEST(GfxRecordingSurvey, CreationFollowsTheSurvey) {
    RecordingBackend backend;
    // A board without hardware vertex processing and without a 60 Hz mode.
    backend.survey.caps.DevCaps &= ~D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    for (auto& mode : backend.survey.modes) mode.RefreshRate = 75;
    auto adapter = GfxRef<GfxAdapter>::adopt(GfxAdapter::create(31));
    TestWindow window;
    GfxRef<GfxDevice> device;
    D3DPRESENT_PARAMETERS p = windowedParameters();
    EXPECT_EQ(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, 0x42, &p, device.put()), D3DERR_INVALIDCALL);
    EXPECT_EQ(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, 0x22, &p, device.put()), D3D_OK);
    device.reset();
    // Full screen needs a display mode of the size and rate; 0 takes any rate.
    p.Windowed = 0;
    p.FullScreen_RefreshRateInHz = 60;
    EXPECT_EQ(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, 0x22, &p, device.put()), D3DERR_INVALIDCALL);
    p.FullScreen_RefreshRateInHz = 0;
    EXPECT_EQ(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, 0x22, &p, device.put()), D3D_OK);
    device.reset();
    p.BackBufferWidth = 700;
    EXPECT_EQ(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, 0x22, &p, device.put()), D3DERR_INVALIDCALL);
    // A depth format the board lacks.
    p = windowedParameters();
    p.AutoDepthStencilFormat = D3DFMT_D32;
    EXPECT_EQ(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, 0x22, &p, device.put()), D3DERR_INVALIDCALL);
}

// A lost graphics device pauses the game from the frame step.
#include <gtest/gtest.h>

#include "graphics/D3DDevice.h"
#include "objects/DSoundObject.h"
#include "objects/DSoundObjectAllocator.h"
#include "objects/DSoundObjectManager.h"
#include "platform/Clock.h"
#include "platform/Window.h"
#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/RecordingDevice.h"
#include "records/GameInfo.h"
#include "services/Managers.h"
#include "shell/MainLoop.h"
#include "support/TestSupport.h"

namespace {

TEST(FrameStep, ALostDevicePausesTheGameAndResumesTheSounds) {
    LoggedTest log;
    FakeClock clock(1000);
    Clock::setInstance(&clock);
    RecordingBackend backend;
    TestWindow window;
    GfxRef<GfxAdapter> adapter = GfxRef<GfxAdapter>::adopt(GfxAdapter::create(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = 640;
    p.BackBufferHeight = 480;
    p.BackBufferFormat = D3DFMT_A8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = 1;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    GfxRef<GfxDevice> device;
    ASSERT_EQ(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, device.put()), D3D_OK);
    g_d3dDevice = device.get();
    NullAudioBackend audio;
    DSoundObjectAllocator::instance().prefill();
    g_dsoundObjectManager = new DSoundObjectManager();
    g_gameInfo = new GameInfo();

    // A sound paused by the pause scene, then the device goes.
    DSoundTrack* track = g_dsoundObjectManager->createDirectTrack(1043);
    DSoundObject* object = g_dsoundObjectManager->createObject();
    object->setTrack(track);
    track->pause();
    EXPECT_EQ(frameStep(), 0);
    EXPECT_EQ(g_gameInfo->isPauseToggleRequested(), 0);
    backend.loseDevice();
    struct Case {
        std::int32_t allowed, paused, escape, toggled;
    } cases[] = {{0, 0, 0, 0}, {1, 1, 0, 0}, {1, 0, 1, 0}, {1, 0, 0, 1}};
    for (const Case& c : cases) {
        delete g_gameInfo;
        g_gameInfo = new GameInfo();
        g_gameInfo->setPauseAllowed(c.allowed);
        if (c.paused) {
            g_gameInfo->requestPauseToggle();
            g_gameInfo->applyPauseToggle();
        }
        g_gameInfo->setEscToCancel(c.escape);
        track->pause();
        EXPECT_EQ(frameStep(), 0);
        EXPECT_EQ(g_gameInfo->isPauseToggleRequested(), c.toggled) << c.allowed << c.paused << c.escape;
        EXPECT_EQ(track->isPaused(), c.toggled == 0 ? 1u : 0u);
    }

    delete g_gameInfo;
    g_gameInfo = nullptr;
    delete g_dsoundObjectManager;
    g_dsoundObjectManager = nullptr;
    g_d3dDevice = nullptr;
    Clock::setInstance(nullptr);
}

}  // namespace

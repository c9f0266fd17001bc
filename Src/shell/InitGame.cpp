#include "shell/InitGame.h"

#include "graphics/D3DObject.h"
#include "graphics/MeshManager.h"
#include "graphics/ParticleManager.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "input/DInputObject.h"
#include "input/ReplayManager.h"
#include "network/OnlineReplayFiles.h"
#include "objects/BulletObjectAllocator.h"
#include "objects/BulletObjectManager.h"
#include "objects/DSoundObjectAllocator.h"
#include "objects/DSoundObjectManager.h"
#include "objects/PlayerStep.h"
#include "objects/SelectableObjectAllocator.h"
#include "platform/Window.h"
#include "runtime/BMLRuntimeAllocator.h"
#include "runtime/ExBulletML_Runtime.h"
#include "script/BulletML_Node_Allocator.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace {
constexpr const char* kSource = "InitGame";

void fillPools() {
    SpriteAllocator::instance().fill();
    BMLRuntimeAllocator::instance().prefill();
    BulletObjectAllocator::instance().fill();
    DSoundObjectAllocator::instance().prefill();
    SelectableObjectAllocator::instance().fill();
    BulletML_Node_Allocator::instance().prefill();
}

// The log line and message box of a Direct3D start-up failure.
void reportDirect3DFailure(HRESULT result) {
    logLine("Direct3D の初期化に失敗しました");
    if (Window* window = Window::instance()) {
        window->messageBox(result == D3DERR_OUTOFVIDEOMEMORY
                               ? "Direct3D の初期化に失敗しました。\r\nビデオメモリが不足しています。"
                               : "Direct3D の初期化に失敗しました。\r\nビデオカードが DirectX9 に対応していない可能性があります。",
                           "Direct3D 初期化エラー");
    }
}

HRESULT initDirect3D(int width, int height, bool use16Bit, int vsync, int windowed) {
    D3DObject* d3d = g_d3dObject;
    if (!d3d) return E_FAIL;
    HRESULT result = d3d->initDevice(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 60,
                                     static_cast<std::uint32_t>(windowed), 0, use16Bit ? 1 : 0,
                                     static_cast<std::uint32_t>(vsync));
    if (FAILED(result)) {
        reportDirect3DFailure(result);
        return result;
    }
    d3d->setVirtualScreenSize(640, 480);
    d3d->createFont();
    return S_OK;
}

HRESULT createInputManagers() {
    g_dinputObject = new DInputObject();
    g_dinputObject->init();
    g_replayManager = new ReplayManager();
    // A replay stage starts from the same random numbers it was recorded with.
    g_replayManager->setHooks({&ExBulletML_Runtime::reseed, {}, &resetSlowCounter});
    g_replayManager->setup();
    // The ranking client reads uploads from and writes downloads to the slots.
    setOnlineReplayFiles(g_replayManager);
    return S_OK;
}

// The sound manager goes on without a device; the channel levels come from
// the settings (music from the first word, effects from the second).
HRESULT createSoundManager() {
    g_dsoundObjectManager = new DSoundObjectManager();
    g_dsoundObjectManager->applyChannelVolume(-500, kSoundChannelEffects);
    if (const SystemInfo* system = g_systemInfo) {
        g_dsoundObjectManager->setVolumeLevel(static_cast<std::int32_t>(system->getVolume0()), kSoundChannelMusic);
        g_dsoundObjectManager->setVolumeLevel(static_cast<std::int32_t>(system->getVolume1()), kSoundChannelEffects);
        g_dsoundObjectManager->setVolumeLevel(static_cast<std::int32_t>(system->getVolume2()), kSoundChannelVoice);
    }
    return S_OK;
}

HRESULT createCoreManagers() {
    g_textureManager = new TextureManager();
    g_spriteManagerManager = new SpriteManagerManager();
    g_frameCounter = new FrameCounter();
    g_bulletObjectManager = new BulletObjectManager();
    g_meshManager = new MeshManager();
    // Failed particle buffers are logged by init; the game goes on without
    // particles on screen.
    g_particleManager = new ParticleManager();
    g_particleManager->init();
    return S_OK;
}


// Logs a failed step with its line and hands its code on.
HRESULT step(HRESULT result, int line) {
    if (FAILED(result)) logFailure(kSource, line, result);
    return result;
}
}  // namespace

// The scene: both ambient colours white, lighting and dithering on with the
// default light, the camera, and fog from 30 to 80 in opaque black.
HRESULT setupRenderStates() {
    D3DObject* d3d = g_d3dObject;
    if (!d3d) return E_FAIL;
    d3d->setAmbient(0.0f, 255.0f, 255.0f, 255.0f, 0);
    d3d->setAmbient(0.0f, 255.0f, 255.0f, 255.0f, 1);
    d3d->resetLighting();
    d3d->setupDevice();
    d3d->setFog(30.0f, 80.0f, 0xFF000000u);
    return S_OK;
}

HRESULT createRenderTargets() {
    D3DObject* d3d = g_d3dObject;
    if (!d3d) return E_FAIL;
    d3d->createRenderTarget(0, 0, 0, RenderTarget::kModeBackBuffer);
    if (!g_systemInfo) return S_OK;
    const std::uint32_t systemType = g_systemInfo->getSystemType();
    if (systemType == 2 || systemType == 4) {
        if (g_systemInfo->getDrawBg()) {
            if (FAILED(d3d->createRenderTarget(1, 512, 512, RenderTarget::kModeEffect))) {
                logLine("エフェクト用レンダリングターゲットを無効にします");
                g_systemInfo->setEffectTargetEnabled(0);
                return S_OK;
            }
            d3d->setRenderTargetActive(1, 0);
        }
    }
    if (g_systemInfo->isWideCompress()) {
        d3d->createRenderTarget(2, 1024, 1024, RenderTarget::kModeFull);
        d3d->setRenderTargetActive(2, 1);
    }
    return S_OK;
}

HRESULT InitGame(int width, int height, bool use16Bit, int vsync, int windowed) {
    fillPools();
    HRESULT result;
    if (FAILED(result = step(initDirect3D(width, height, use16Bit, vsync, windowed), 137))) return result;
    if (FAILED(result = step(createInputManagers(), 140))) return result;
    if (FAILED(result = step(createSoundManager(), 143))) return result;
    if (FAILED(result = step(createCoreManagers(), 146))) return result;
    if (FAILED(result = step(setupRenderStates(), 149))) return result;
    return createRenderTargets();
}

HRESULT createDirect3DObject() {
    g_d3dObject = new D3DObject();
    HRESULT result = g_d3dObject->initDirect3D();
    if (FAILED(result)) reportDirect3DFailure(result);
    return result;
}

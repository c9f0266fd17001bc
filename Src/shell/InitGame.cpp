#include "shell/InitGame.h"

#include "input/ReplayManager.h"
#include "script/BulletML_Node_Allocator.h"
#include "shell/DebugInfo.h"
#include "shell/FrameCounter.h"
#include "shell/Managers.h"

namespace {
constexpr const char* kSource = "InitGame";

void fillPools() {
    BulletML_Node_Allocator::instance().prefill();
}

HRESULT initDirect3D(int, int, bool, int, int) { return S_OK; }

HRESULT createInputManagers() {
    g_replayManager = new ReplayManager();
    return S_OK;
}

HRESULT createSoundManager() { return S_OK; }

HRESULT createCoreManagers() {
    g_frameCounter = new FrameCounter();
    return S_OK;
}

HRESULT setupRenderStates() { return S_OK; }

HRESULT createRenderTargets() { return S_OK; }

// Logs a failed step with its line and hands its code on.
HRESULT step(HRESULT result, int line) {
    if (FAILED(result)) logFailure(kSource, line, result);
    return result;
}
}  // namespace

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

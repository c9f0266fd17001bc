#include "shell/MainLoop.h"

#include <cfenv>

#include "graphics/D3DObject.h"
#include "graphics/PresentFrame.h"
#include "graphics/RenderFrame.h"
#include "platform/Window.h"
#include "shell/FatalExit.h"
#include "shell/FrameCounter.h"
#include "shell/Managers.h"

int runMessageLoop() {
    Window* window = Window::instance();
    WindowMessage message{};
    while (message.message != WM_QUIT) {
        // A worker thread's fatal error is carried out here, on the main thread.
        if (fatalExitRequested()) fatalExit();
        if (window->peekMessage(message)) {
            window->dispatch(message);
        } else {
            onIdle();
        }
    }
    return 0;
}

void onIdle() { frameStep(); }

int frameStep() {
    // The floating-point unit's default state: round to nearest.
    std::fesetround(FE_TONEAREST);

    // The object and sound managers are not part of this build yet: every
    // frame is drawn and presented (and paced) without them.
    renderFrame();
    presentFrame();
    return 0;
}

HRESULT resetGame() {
    // Scene: state caches, camera, light and fog changes, clear colour, ambient
    // colours and the default light.
    if (D3DObject* d3d = g_d3dObject) {
        d3d->invalidateStateCache();
        d3d->TransformManager::reset();
        d3d->clearLightChange();
        d3d->setClearColor(0, 0, 0);
        d3d->setAmbient(0.0f, 255.0f, 255.0f, 255.0f, 0);
        d3d->setAmbient(0.0f, 255.0f, 255.0f, 255.0f, 1);
        d3d->resetLighting();
    }
    // Frame counters: the per-play counters expire and the play counts from here.
    if (g_frameCounter) {
        g_frameCounter->expireMagicFrames();
        g_frameCounter->expireMissFrames();
        g_frameCounter->expireGrazeFrames();
        g_frameCounter->expireDamageFrames();
        g_frameCounter->resetPlayFrameBase();
        g_frameCounter->resetPlayerFrames();
    }
    return S_OK;
}

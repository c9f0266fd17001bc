#include "shell/MainLoop.h"

#include <cfenv>

#include "graphics/PresentFrame.h"
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

    // The sound manager is not part of this build yet: frames are presented
    // (and paced) without it.
    presentFrame();
    return 0;
}

HRESULT resetGame() {
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

#include "graphics/PresentFrame.h"

#include "shell/FrameCounter.h"
#include "shell/Managers.h"

HRESULT presentFrame() {
    FrameCounter* frames = g_frameCounter;
    if (!frames) return S_OK;
    frames->waitNextFrame();
    frames->beginSection("Present");
    if (!frames->isSkippedFrame()) {
        // The device's Present goes here once the device exists.
    }
    frames->endSection("Present");
    frames->onPresent();
    return S_OK;
}

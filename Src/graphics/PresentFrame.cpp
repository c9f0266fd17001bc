#include "graphics/PresentFrame.h"

#include "graphics/D3DDevice.h"
#include "graphics/D3DObject.h"
#include "graphics/FrameCaptureSchedule.h"
#include "graphics/TextureManager.h"
#include "platform/gfx/GfxDevice.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"

HRESULT presentFrame() {
    FrameCounter* frames = g_frameCounter;
    const bool released = g_d3dObject && g_d3dObject->areDeviceObjectsReleased();
    if (frames) {
        frames->waitNextFrame();
        // A frame asked for is read back here, outside the pacing and the
        // profile.
        captureDueFrames(frames->getFrameNumber(), released || frames->isSkippedFrame() != 0);
        frames->beginSection("Present");
    }
    HRESULT result = S_OK;
    const bool skipped = frames && frames->isSkippedFrame();
    if (released) {
        // A failed reset left the device without its objects: nothing was
        // drawn, and the frame step pauses the game as for a lost device.
        result = D3DERR_DEVICELOST;
    } else if (!skipped && g_d3dDevice) {
        result = g_d3dDevice->present();
    }
    if (frames) {
        frames->endSection("Present");
        frames->onPresent();
    }
    // Retired textures leave now, on skipped frames too.
    if (TextureManager* textures = g_textureManager) {
        textures->update();
        textures->flushRemoveQueue();
    }
    return result;
}

#include "graphics/PresentFrame.h"

#include "graphics/D3DDevice.h"
#include "graphics/D3DObject.h"
#include "graphics/TextureManager.h"
#include "platform/gfx/GfxDevice.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"

HRESULT presentFrame() {
    FrameCounter* frames = g_frameCounter;
    if (frames) {
        frames->waitNextFrame();
        frames->beginSection("Present");
    }
    HRESULT result = S_OK;
    const bool skipped = frames && frames->isSkippedFrame();
    if (g_d3dObject && g_d3dObject->areDeviceObjectsReleased()) {
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

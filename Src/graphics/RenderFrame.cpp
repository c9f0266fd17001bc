#include "graphics/RenderFrame.h"

#include "graphics/D3DObject.h"
#include "graphics/SpriteManagerManager.h"
#include "objects/BulletObjectManager.h"
#include "objects/IntBulletObjectManager.h"
#include "platform/gfx/GfxDevice.h"
#include "records/GameInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

// The passes of the managers built so far: the camera, lighting and fog
// steps, the clears and the sprite layers. The mesh, particle and overlay
// passes join at their places (marked below) with their managers.
namespace {
bool gamePaused() { return g_gameInfo && g_gameInfo->isPaused() != 0; }
bool fullDraw() { return g_gameInfo && g_gameInfo->isFullDraw() != 0; }

void beginSection(const char* name) {
    if (g_frameCounter) g_frameCounter->beginSection(name);
}
void endSection(const char* name) {
    if (g_frameCounter) g_frameCounter->endSection(name);
}

// Text textures advance by the pause state (walk 1 while pause objects
// exist), not at all without an object manager to ask.
void textWalk(SpriteManagerManager& sprites) {
    if (BulletObjectManager* objects = g_bulletObjectManager) {
        if (IntBulletObjectManager* pause = objects->getPauseManager()) {
            if (pause->size() == 0) {
                sprites.textWalk0();
            } else {
                sprites.textWalk1();
            }
        }
    }
}
}  // namespace

void setPlayFieldViewport() {
    D3DObject* d3d = g_d3dObject;
    if (!d3d) return;
    if (fullDraw()) {
        d3d->clearRect(0, 0, 640, 480);
        d3d->setVirtualViewport(0, 0, 640, 480);
    } else {
        d3d->clearRect(140, 0, 500, 480);
        d3d->setVirtualViewport(140, 0, 360, 480);
    }
}

HRESULT renderFrame() {
    D3DObject* d3d = g_d3dObject;
    GfxDevice* device = g_d3dDevice;
    if (!d3d || !device) return S_OK;
    const bool drawBg = !g_systemInfo || g_systemInfo->getDrawBg() != 0;
    const bool wideCompress = g_systemInfo && g_systemInfo->isWideCompress() != 0;

    if (g_frameCounter && g_frameCounter->isSkippedFrame()) {
        // Fast replay playback: nothing is drawn, but time goes on.
        // (particles step here)
        if (g_spriteManagerManager) g_spriteManagerManager->update();
        d3d->updateLighting();
        if (!gamePaused()) d3d->updateView();
        if (g_spriteManagerManager) textWalk(*g_spriteManagerManager);
        return S_OK;
    }

    if (FAILED(device->beginScene())) return S_OK;
    beginSection("Render");
    beginSection("RenderMesh1");
    if (!gamePaused()) d3d->updateView();
    // (the effect pass into render target 1)
    endSection("RenderMesh1");
    d3d->selectRenderTarget(wideCompress ? 2 : 0);

    beginSection("RenderMesh2");
    if (drawBg) {
        setPlayFieldViewport();
        d3d->updateLighting();
        d3d->stepFog();
        // (the ordinary meshes) Until the mesh pass sets mode 2's states,
        // the frame selects mode 2 here, so that the sprites' prepare
        // applies mode 1 in full rather than drawing with the device's
        // defaults (the mode cache starts at 1 with nothing applied).
        d3d->setRenderMode(2);
    }
    endSection("RenderMesh2");

    beginSection("RenderMesh3");
    // (the shadow meshes)
    endSection("RenderMesh3");

    beginSection("RenderSprite");
    d3d->setVirtualViewport(0, 0, 640, 480);
    if (!drawBg) {
        d3d->clearRect(0, 0, 640, 480);
        d3d->setRenderMode(2);
    }
    if (SpriteManagerManager* sprites = g_spriteManagerManager) {
        sprites->beginFrame();
        sprites->update();
        textWalk(*sprites);
        sprites->prepare();
        // (the effect picture laid over the play field)
        sprites->drawAll();
    }
    endSection("RenderSprite");

    if (wideCompress) {
        d3d->selectRenderTarget(0);
        d3d->clearRectColor(0, 0, 640, 480, 0, 0, 0);
        d3d->setVirtualViewport(0, 0, 640, 480);
        d3d->drawRenderTarget(2);
        d3d->clearRectColor(587, 0, 640, 480, 0, 0, 0);
    }
    endSection("Render");
    // (the debug overlay)
    device->endScene();
    return S_OK;
}

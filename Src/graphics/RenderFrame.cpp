#include "graphics/RenderFrame.h"

#include "graphics/D3DObject.h"
#include "graphics/DebugOverlay.h"
#include "graphics/MeshManager.h"
#include "graphics/ParticleManager.h"
#include "graphics/RenderPeers.h"
#include "graphics/SpriteManagerManager.h"
#include "platform/gfx/GfxDevice.h"
#include "records/GameInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"

// The frame's passes in their order: camera, effect pass into render target
// 1, ordinary and shadow meshes, sprite layers with the effect picture under
// them, the wide-screen composite of render target 2, the debug overlay.
// The mesh and particle passes join at their places (marked below) with
// their managers.
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
    if (const std::optional<std::uint32_t> pause = RenderPeers::current().pauseObjectCount()) {
        if (*pause == 0) {
            sprites.textWalk0();
        } else {
            sprites.textWalk1();
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

namespace {
EffectPassDrawer g_effectPassDrawer;

// The work of a frame whose drawing is skipped: time goes on, nothing is
// drawn.
void skippedFrame(D3DObject& d3d) {
    if (g_particleManager) g_particleManager->update();
    if (g_spriteManagerManager) g_spriteManagerManager->update();
    d3d.updateLighting();
    if (!gamePaused()) d3d.updateView();
    if (g_spriteManagerManager) textWalk(*g_spriteManagerManager);
}

// The effect pass draws into render target 1 when the background is drawn,
// the "effectmesh" variable is on and the target is enabled.
bool effectOn(bool drawBg) {
    static const NameHandle effectmesh = internName("effectmesh");
    return drawBg && g_gameInfo && g_gameInfo->getVar(effectmesh) != 0.0f && g_systemInfo &&
           g_systemInfo->isEffectTargetEnabled() != 0;
}

void effectPass(D3DObject& d3d) {
    // A target without surfaces (a setup after a reset failed) is passed
    // over, so that nothing of it falls onto the back buffer.
    if (FAILED(d3d.selectRenderTarget(1))) return;
    setPlayFieldViewport();
    if (fullDraw()) d3d.setVirtualViewport(0, 0, 512, 480);
    d3d.beginEffectLighting();
    if (MeshManager* meshes = g_meshManager) {
        meshes->calcEffectMeshGroup();
        meshes->drawEffectMeshGroup();
    }
    if (ParticleManager* particles = g_particleManager) {
        // Paused, they are copied where they stand.
        if (gamePaused())
            particles->fillVertices();
        else
            particles->update();
        particles->draw();
    }
    if (g_effectPassDrawer) g_effectPassDrawer();
    d3d.endEffectLighting();
}
}  // namespace

void setEffectPassDrawer(EffectPassDrawer drawer) { g_effectPassDrawer = std::move(drawer); }

HRESULT renderFrame() {
    D3DObject* d3d = g_d3dObject;
    GfxDevice* device = g_d3dDevice;
    if (!d3d || !g_dinputObject || !device) return S_OK;
    const bool drawBg = !g_systemInfo || g_systemInfo->getDrawBg() != 0;
    const bool wideCompress = g_systemInfo && g_systemInfo->isWideCompress() != 0;

    // Fast replay playback skips drawing; so does a device whose objects a
    // failed reset left released, until a reset succeeds.
    if ((g_frameCounter && g_frameCounter->isSkippedFrame()) || d3d->areDeviceObjectsReleased()) {
        skippedFrame(*d3d);
        return S_OK;
    }

    if (FAILED(device->beginScene())) return S_OK;
    beginSection("Render");
    beginSection("RenderMesh1");
    if (!gamePaused()) d3d->updateView();
    const bool effect = effectOn(drawBg);
    if (effect) effectPass(*d3d);
    endSection("RenderMesh1");
    // Without a usable full-frame target the frame goes straight to the
    // back buffer.
    const bool composite = wideCompress && SUCCEEDED(d3d->selectRenderTarget(2));
    if (!composite) d3d->selectRenderTarget(0);

    beginSection("RenderMesh2");
    if (drawBg) {
        setPlayFieldViewport();
        d3d->updateLighting();
        d3d->stepFog();
        if (MeshManager* meshes = g_meshManager) {
            meshes->calcMeshGroup();
            meshes->drawMeshGroup();
        }
        // The ordinary mesh pass selects mode 2 whenever it has its buffers;
        // the frame selects it here too (a cached no-op then), so that
        // without a mesh manager or with its buffers lost the sprites'
        // prepare still applies mode 1 in full rather than drawing with the
        // device's defaults (the mode cache starts at 1 with nothing applied).
        d3d->setRenderMode(2);
    }
    endSection("RenderMesh2");

    beginSection("RenderMesh3");
    if (MeshManager* meshes = g_meshManager; meshes && drawBg) {
        meshes->calcShadowMeshGroup();
        meshes->drawShadowMeshGroup();
    }
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
        // The effect picture lies over the background, under the sprites.
        if (effect) d3d->drawRenderTarget(1);
        sprites->drawAll();
    }
    endSection("RenderSprite");

    if (composite) {
        d3d->selectRenderTarget(0);
        d3d->clearRectColor(0, 0, 640, 480, 0, 0, 0);
        d3d->setVirtualViewport(0, 0, 640, 480);
        d3d->drawRenderTarget(2);
        d3d->clearRectColor(587, 0, 640, 480, 0, 0, 0);
    }
    endSection("Render");
    drawDebugOverlay();
    device->endScene();
    return S_OK;
}

#include "graphics/DebugOverlay.h"

#include <boost/lexical_cast.hpp>

#include "graphics/D3DObject.h"
#include "graphics/MeshManager.h"
#include "graphics/ParticleManager.h"
#include "graphics/RenderPeers.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace {
constexpr std::int64_t kMegabyte = 1048576;

// A section's average in milliseconds, truncated; 0 without a frame counter.
std::string average(const char* section) {
    FrameCounter* frames = g_frameCounter;
    if (!frames) return "0";
    return std::to_string(static_cast<std::int64_t>(frames->getSectionAverage(section) * 1000.0f));
}
}  // namespace

std::vector<DebugOverlayLine> debugOverlayLines() {
    std::vector<DebugOverlayLine> lines;
    if (!g_systemInfo || g_systemInfo->getDebugDisplay() == 0) return lines;
    const std::optional<DebugWorldFacts> world = RenderPeers::current().debugWorldFacts();
    if (!world) return lines;
    FrameCounter* frames = g_frameCounter;
    D3DObject* d3d = g_d3dObject;
    auto add = [&lines](std::int32_t x, std::int32_t y, std::string text) {
        lines.push_back({x, y, std::move(text)});
    };
    // lexical_cast writes a float with all the digits it needs to read back
    // (0.1f as "0.100000001", 320.0f as "320").
    add(10, 0, "x = " + boost::lexical_cast<std::string>(world->playerLeft));
    add(10, 20, "y = " + boost::lexical_cast<std::string>(world->playerTop));
    add(10, 40, "fps = " + std::to_string(frames ? frames->getFps() : 0));
    add(10, 80, "Bullets = " + std::to_string(world->objectCount));
    add(10, 100,
        "Sprites = " + std::to_string(g_spriteManagerManager ? g_spriteManagerManager->totalSpriteCount() : 0));
    add(10, 120, "Sound = " + std::to_string(world->soundObjectCount) + " Track =" +
                     std::to_string(world->soundTrackCount));
    add(10, 140, "ExecBullet    " + average("execBullet"));
    add(10, 160, "Collision     " + average("CollisionObject"));
    add(10, 180, "SoundDecode   " + average("SoundDecode"));
    add(10, 200, "Render        " + average("Render"));
    add(10, 220, " RenderMesh1  " + average("RenderMesh1"));
    add(10, 240, " RenderMesh2  " + average("RenderMesh2"));
    add(10, 260, " RenderMesh3  " + average("RenderMesh3"));
    add(10, 280, " RenderSprite " + average("RenderSprite"));
    add(10, 300, "Present       " + average("Present"));
    add(10, 320, "Frame         " + std::to_string(frames ? frames->getFrameNumber() : 0));
    // Signed: a device reporting more free memory than at creation shows a
    // negative use, not a wrapped one.
    add(10, 340, "UsedTexMem    " + std::to_string(d3d ? d3d->getTextureMemoryUsed() / kMegabyte : 0));
    add(10, 360, "AvailTexMem   " + std::to_string(d3d ? d3d->getAvailableTextureMem() / kMegabyte : 0));
    add(10, 380, "Texture       " + std::to_string(g_textureManager ? g_textureManager->size() : 0));
    add(10, 400, "Mesh          " + std::to_string(g_meshManager ? g_meshManager->size() : 0));
    add(10, 420, "Selectable    " + std::to_string(world->selectableWaitFlag));
    add(10, 440, "Particle    " + std::to_string(g_particleManager ? g_particleManager->liveCount() : 0));
    add(240, 100, "calcMesh   " + average("calcMeshGroup"));
    add(240, 120, "drawMesh1  " + average("drawMeshGroup1"));
    add(240, 140, "drawMesh2  " + average("drawMeshGroup2"));
    return lines;
}

void drawDebugOverlay() {
    D3DObject* d3d = g_d3dObject;
    if (!d3d) return;
    if (!g_systemInfo || g_systemInfo->getDebugDisplay() == 0 || !RenderPeers::current().playerExists()) return;
    for (const DebugOverlayLine& line : debugOverlayLines()) d3d->drawText(line.x, line.y, line.text);
}

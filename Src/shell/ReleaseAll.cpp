#include "shell/ReleaseAll.h"

#include "graphics/D3DObject.h"
#include "graphics/MeshManager.h"
#include "graphics/ParticleManager.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "input/DInputObject.h"
#include "input/ReplayManager.h"
#include "network/NetworkManager.h"
#include "network/OnlineReplayFiles.h"
#include "objects/BulletObjectAllocator.h"
#include "objects/BulletObjectManager.h"
#include "objects/DSoundObjectAllocator.h"
#include "objects/DSoundObjectManager.h"
#include "objects/SelectableObjectAllocator.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "script/XMLManagerManager.h"
#include "services/ArchiveManager.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/MainLoop.h"

namespace {
// Frees a manager that exists and empties its pointer.
template <typename T>
void release(T*& manager) {
    if (manager) delete manager;
    manager = nullptr;
}

struct ReleaseStep {
    void (*release)();
    const char* line;
};

// The managers in release order, each step logged whether or not its manager
// existed: a start-up that failed early releases through the same steps.
const ReleaseStep kReleaseSteps[] = {
    {[] { release(g_bulletObjectManager); }, "Bullet Manager を開放しました"},
    {[] { release(g_dsoundObjectManager); }, "DirectSound Manager を開放しました"},
    {[] { release(g_spriteManagerManager); }, "Sprite Manager を開放しました"},
    {[] { release(g_particleManager); }, "Particle Manager を開放しました"},
    // The mesh manager holds device buffers: it goes here, under the
    // board-mesh line, before the textures and the device.
    {[] { release(g_meshManager); }, "BoardMesh Manager を開放しました"},
    {[] { release(g_textureManager); }, "Texture Manager を開放しました"},
    {[] { release(g_d3dObject); }, "Direct3D Manager を開放しました"},
    {[] { release(g_dinputObject); }, "DirectInput Manager を開放しました"},
    {[] {
         if (g_xmlManagerManager) g_xmlManagerManager->stopWorkers();
     },
     "非同期 XML 読み込みを停止しました"},
    {[] {
         // The running document and loader belong to the XML manager.
         g_currentDocument = nullptr;
         ExBulletML_Runtime::setDocument(nullptr);
         g_currentLoader = nullptr;
         release(g_xmlManagerManager);
     },
     "XML Manager を開放しました"},
    {[] { release(g_networkManager); }, "Network Manager を開放しました"},
    {[] { release(g_gameInfo); }, "GameInfo Manager を開放しました"},
    {[] {
         setOnlineReplayFiles(nullptr);
         release(g_replayManager);
     },
     "Replay Manager を開放しました"},
    {[] { release(g_systemInfo); }, "SystemInfo Manager を開放しました"},
    {[] { release(g_frameCounter); }, "Frame Manager を開放しました"},
    {[] { release(g_archiveManager); }, "Archive Manager を開放しました"},
};
}  // namespace

void releaseAll() {
    // A full-screen device goes back to a window first.
    if (g_d3dObject && !g_d3dObject->isWindowed()) g_d3dObject->toggleFullScreen();
    logLine(kAsterisks53);
    logLine("全てのマネージャー及びオブジェクトの開放を行います...");
    for (const ReleaseStep& step : kReleaseSteps) {
        step.release();
        logLine(step.line);
    }
    // The pools' blocks, once nothing holds objects or runtimes any more.
    SpriteAllocator::instance().freeBlocks();
    BMLRuntimeAllocator::instance().freeBlocks();
    BulletObjectAllocator::instance().freeBlocks();
    DSoundObjectAllocator::instance().freeBlocks();
    SelectableObjectAllocator::instance().freeBlocks();
    logLine("開放処理が終了しました");
    release(g_replayDebugInfo);
    release(g_debugInfo);
}

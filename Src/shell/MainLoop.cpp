#include "shell/MainLoop.h"

#include <cfenv>
#include <cstdint>

#include "graphics/D3DObject.h"
#include "graphics/MeshManager.h"
#include "graphics/ParticleManager.h"
#include "graphics/PresentFrame.h"
#include "graphics/RenderFrame.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "input/DInputObject.h"
#include "input/ReplayManager.h"
#include "network/NetworkManager.h"
#include "objects/BulletObjectManager.h"
#include "objects/CollisionPass.h"
#include "objects/DSoundObjectManager.h"
#include "objects/PlayStateTrace.h"
#include "objects/PlayerStep.h"
#include "platform/Window.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "script/BulletML_Node_Manager.h"
#include "script/XMLManagerManager.h"
#include "services/DebugInfo.h"
#include "services/FatalExit.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/TopObjectsSetup.h"

BulletML_Node_Manager* g_currentDocument = nullptr;
VirtualXMLManager* g_currentLoader = nullptr;

namespace {
// Below this much available physical memory (in 10^6 bytes) the script text
// cache is emptied at every game reset.
constexpr std::uint64_t kLowMemoryForScriptCache = 256;

// The game reset's script steps: the loaders flip, the queued scripts load,
// and the new document is linked and preloaded.
HRESULT resetScripts() {
    if (!g_xmlManagerManager) return S_OK;
    g_currentLoader = g_xmlManagerManager->flip();
    HRESULT result = g_currentLoader->loadQueuedNow();
    if (FAILED(result)) {
        logFailure("InitGame", 538, result);
        return result;
    }
    if (g_systemInfo && g_systemInfo->getAvailableMemory() < kLowMemoryForScriptCache) {
        g_xmlManagerManager->clearCache();
    }
    g_currentDocument = g_currentLoader->getDocument();
    ExBulletML_Runtime::setDocument(g_currentDocument);
    // A configuration document builds no nodes: nothing to link.
    if (g_currentDocument) {
        // References whose label is missing stay unbound here; the
        // interpreter's own lookups are not quiet.
        g_currentDocument->setQuietLookup(true);
        g_currentDocument->linkRefs();
        g_currentDocument->setQuietLookup(false);
        g_currentDocument->preloadResources();
    }
    return S_OK;
}

// A lost device (the window hidden or covered) pauses the game as the pause
// key does, unless pausing is forbidden, the game is paused already or escape
// cancels; every sound object is resumed.
void pauseForLostDevice(DSoundObjectManager& sound) {
    GameInfo* game = g_gameInfo;
    if (!game || !game->isPauseAllowed() || game->isPaused() || game->isEscToCancel()) return;
    if (BulletObjectManager* objects = g_bulletObjectManager) {
        if (BulletObject* pause = objects->getPauseTop()) {
            pause->restartMainRuntime();
            pause->setRuntimeActive(1);
        }
    }
    sound.resumeAll();
    game->requestPauseToggle();
}
}  // namespace

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
    // The floating-point unit's default state: round to nearest, no
    // exception flags left from the previous frame.
    std::fesetenv(FE_DFL_ENV);

    if (g_networkManager) g_networkManager->poll();

    // The script loaders' work runs between frames; a frame in which the other
    // loader has the next scene ready is a reset frame and does nothing else.
    if (g_bulletObjectManager) {
        g_bulletObjectManager->resetEnemyCountCache();
        if (g_xmlManagerManager) {
            g_xmlManagerManager->kickWorkers();
            if (g_xmlManagerManager->getOther()->isReadyToSwitch()) {
                resetGame();
                return 0;
            }
        }
    }

    // Every object's scripts and list updates.
    if (g_bulletObjectManager) {
        // The player and gauges, then every object's scripts and lists.
        updatePlayerFrame();
        g_bulletObjectManager->execBullet();
        // The collision pass of the system type: 3 plays with player vital.
        if (g_systemInfo && g_systemInfo->getSystemType() == 3) {
            runCollisionResponsesAlt();
        } else {
            runCollisionResponses();
        }
    }
    // The replay trace sees the frame's play once every object has moved and
    // every hit has been answered.
    if (g_replayManager) traceReplayFrame(*g_replayManager);

    // The sound step comes after drawing; without the sound manager nothing
    // is presented.
    renderFrame();
    if (DSoundObjectManager* sound = g_dsoundObjectManager) {
        sound->updateObjects();
        sound->sweepObjects();
        if (presentFrame() == D3DERR_DEVICELOST) pauseForLostDevice(*sound);
    }
    return 0;
}

HRESULT resetGame() {
    // Objects: every list cleared, no player, no top objects, no item script.
    if (BulletObjectManager* objects = g_bulletObjectManager) {
        objects->clearAll();
        objects->clearPendingFlag();
        objects->setPlayer(nullptr);
        objects->getTopObjects().clear();
        objects->clearItemScript();
    }
    DSoundObjectManager* sound = g_dsoundObjectManager;
    // Sound: every sound object stops and goes, and the music tracks with them.
    if (sound) {
        sound->stopAll();
        sound->vanishAll();
        sound->clearBgm();
    }
    // Images: every sprite manager and its sprites let go, the flagged
    // textures purged, then every texture let go and the ids restarted; no
    // texture clearing stays requested into the new scene.
    if (SpriteManagerManager* sprites = g_spriteManagerManager) sprites->clearAll();
    if (TextureManager* textures = g_textureManager) {
        textures->purgeFlagged();
        textures->clearAll();
        textures->resetIds();
    }
    if (g_gameInfo) g_gameInfo->setClearTextureRequest(0);
    // Sound tracks: all go; a fresh direct-play track for voices.
    if (sound) {
        sound->releaseAllTracks();
        sound->createDirectTrack(kSoundKindOgg);
    }
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
    // Meshes and particles: all go.
    if (MeshManager* meshes = g_meshManager) meshes->clearAll();
    if (ParticleManager* particles = g_particleManager) particles->clear();
    // Game flags: pausing allowed and no pause, escape does not cancel, no
    // game over, no text block, the player may be switched, play frames from 0.
    if (GameInfo* game = g_gameInfo) {
        game->setPauseAllowed(1);
        game->requestPauseState(0);
        game->decReconfigCount();
        game->setEscToCancel(0);
        game->setGameOver(0);
        game->setTextBlockActive(0);
        game->setPlayerSwitchable(1);
        game->clearPlayFrameCount();
    }
    // A failed load was logged; the scene cannot start without its scripts.
    if (FAILED(resetScripts())) fatalExit();
    // The new scene's top objects, from the labels of its document (the item
    // script is taken with them); a scene without a document has none.
    if (BulletObjectManager* objects = g_bulletObjectManager) {
        if (g_currentDocument) {
            createTopObjects();
        } else {
            objects->loadItemScript(nullptr);
        }
    }
    // Keys act again in the new scene.
    if (g_dinputObject) g_dinputObject->setEnabled(1);
    return S_OK;
}

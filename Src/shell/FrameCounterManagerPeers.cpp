// The frame counter's peers as the running program has them: each answer
// reads one manager through its process-wide pointer.
#include "services/FrameCounterPeers.h"

#include "graphics/D3DObject.h"
#include "input/ReplayManager.h"
#include "objects/BulletObjectManager.h"
#include "records/GameInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace {
// Each answer reads one manager through its process-wide pointer. A manager
// that does not exist (before start-up makes it, after the release path
// frees it, in the tools) reads as absent.
class ManagerPeers : public FrameCounterPeers {
public:
    bool deviceVsync() override {
        // Until the device object exists its switch is the configured one it
        // will be made with.
        if (g_d3dObject) return g_d3dObject->getVsync() != 0;
        return g_systemInfo && g_systemInfo->getVsync() != 0;
    }
    bool retraceGives60Hz() override {
        // Without a device no retrace paces.
        return g_d3dObject && g_d3dDevice && g_d3dObject->retraceGives60Hz();
    }
    std::optional<ReplayState> replay() override {
        if (!g_replayManager) return std::nullopt;
        return ReplayState{g_replayManager->getMode(), g_replayManager->getReplaySpeed(),
                           g_replayManager->isActive() != 0};
    }
    bool gameInfoExists() override { return g_gameInfo != nullptr; }
    float gameVariable(NameHandle name) override { return g_gameInfo ? g_gameInfo->getVar(name) : 0.0f; }
    void countDroppedFrame() override {
        if (g_gameInfo) g_gameInfo->countDroppedFrame();
    }
    bool gamePaused() override { return g_gameInfo && g_gameInfo->isPaused() != 0; }
    std::optional<PlayerCentre> playerCentre() override {
        const BulletObject* player = g_bulletObjectManager ? g_bulletObjectManager->getPlayer() : nullptr;
        if (!player) return std::nullopt;
        return PlayerCentre{player->getX(), player->getY()};
    }
};
}  // namespace

FrameCounterPeers& FrameCounterPeers::managers() {
    static ManagerPeers peers;
    return peers;
}

// The drawing's peers as the running program has them: each answer reads the
// object manager or the sound-object manager through its process-wide pointer.
#include "graphics/RenderPeers.h"

#include "objects/BulletObject.h"
#include "objects/BulletObjectManager.h"
#include "objects/DSoundObjectManager.h"
#include "objects/IntBulletObjectManager.h"
#include "objects/SelectableObjectManager.h"
#include "services/Managers.h"

namespace {
class ManagerPeers : public RenderPeers {
public:
    std::optional<std::uint32_t> pauseObjectCount() override {
        BulletObjectManager* objects = g_bulletObjectManager;
        if (!objects) return std::nullopt;
        IntBulletObjectManager* pause = objects->getPauseManager();
        if (!pause) return std::nullopt;
        return pause->size();
    }
    bool playerExists() override {
        BulletObjectManager* objects = g_bulletObjectManager;
        return objects && objects->getPlayer();
    }
    std::optional<DebugWorldFacts> debugWorldFacts() override {
        BulletObjectManager* objects = g_bulletObjectManager;
        BulletObject* player = objects ? objects->getPlayer() : nullptr;
        if (!player) return std::nullopt;
        DSoundObjectManager* sound = g_dsoundObjectManager;
        DebugWorldFacts facts;
        facts.playerLeft = player->getLeft();
        facts.playerTop = player->getTop();
        facts.objectCount = objects->countObjects();
        facts.selectableWaitFlag = objects->getSelectableManager()->getWaitFlag();
        facts.soundObjectCount = sound ? sound->getObjectCount() : 0;
        facts.soundTrackCount = sound ? sound->getTrackCount() : 0;
        return facts;
    }
};
}  // namespace

RenderPeers& RenderPeers::managers() {
    static ManagerPeers peers;
    return peers;
}

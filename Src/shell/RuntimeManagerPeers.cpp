// The script runtime's peers as the running program has them. The input
// and network managers and the player logic are not part of this build yet:
// each answer is the absent one, and the comment names the call that answers
// once the manager exists.
#include "runtime/RuntimePeers.h"

#include "services/Managers.h"
#include "sound/DSoundObjectManager.h"

namespace {
class ManagerPeers : public RuntimePeers {
public:
    std::int32_t volumeLevel(std::int32_t channel) override {
        return g_dsoundObjectManager ? g_dsoundObjectManager->getVolumeLevel(channel) : 0;
    }
    // DInputObject::getKeyAssign(button).
    std::int32_t keyAssign(std::int32_t) override { return 0; }
    // g_dinputObject != nullptr.
    bool inputExists() override { return false; }
    // The input object's key query (slot 3).
    std::int32_t keyState(std::int32_t) override { return 0; }
    // NetworkManager::isConnected, isBusy, isOffline.
    bool networkConnected() override { return false; }
    bool networkBusy() override { return false; }
    bool networkOffline() override { return false; }
    // The player logic's slow-mode counter.
    std::int32_t slowModeCounter() override { return 0; }
};
}  // namespace

RuntimePeers& RuntimePeers::managers() {
    static ManagerPeers peers;
    return peers;
}

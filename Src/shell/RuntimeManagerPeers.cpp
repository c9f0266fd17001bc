// The script runtime's peers as the running program has them. The sound,
// input and network managers and the player logic are not part of this build
// yet: each answer is the absent one, and the comment names the call that
// answers once the manager exists.
#include "runtime/RuntimePeers.h"

#include "objects/PlayerStep.h"

namespace {
class ManagerPeers : public RuntimePeers {
public:
    // DSoundObjectManager::getVolumeLevel(channel).
    std::int32_t volumeLevel(std::int32_t) override { return 0; }
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
    std::int32_t slowModeCounter() override { return getSlowCounter(); }
};
}  // namespace

RuntimePeers& RuntimePeers::managers() {
    static ManagerPeers peers;
    return peers;
}

// The script runtime's peers as the running program has them. The queries of
// the built-in variables (levels, keys, network state, slow mode) still give
// the absent answer, and the comment names the call that answers once that
// work lands; the game commands' calls go to the managers that exist.
#include "runtime/RuntimePeers.h"

#include "graphics/MeshManager.h"
#include "graphics/TextureManager.h"
#include "input/DInputObject.h"
#include "network/NetworkManager.h"
#include "objects/PlayerStep.h"
#include "services/Managers.h"
#include "sound/DSoundObjectManager.h"

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

    // The game commands' calls, each on its manager when it exists. The
    // sprite manager's purge is not answered here: the base's absent answer
    // stands.
    bool soundPauseAll() override { return withSound([](DSoundObjectManager& m) { m.pauseAll(); }); }
    bool soundResumeAll() override { return withSound([](DSoundObjectManager& m) { m.resumeAll(); }); }
    bool soundVanishAll() override { return withSound([](DSoundObjectManager& m) { m.vanishAll(); }); }
    bool soundClearBgm() override { return withSound([](DSoundObjectManager& m) { m.clearBgm(); }); }
    bool soundSetVolumeLevel(std::int32_t level, std::int32_t channel, std::int32_t& inForce) override {
        if (!g_dsoundObjectManager) return RuntimePeers::soundSetVolumeLevel(level, channel, inForce);
        inForce = g_dsoundObjectManager->setVolumeLevel(level, channel);
        return true;
    }
    bool inputResetReplayReader() override { return withInput([](DInputObject& i) { i.resetReplayReader(); }); }
    bool inputSetKeyEnabled(std::int32_t on) override { return withInput([on](DInputObject& i) { i.setEnabled(on); }); }
    bool inputClearKeyState() override { return withInput([](DInputObject& i) { i.clearKeyState(); }); }
    bool inputSaveKeyConfig() override { return withInput([](DInputObject& i) { i.saveKeyConfig(); }); }
    bool inputClearKeyConfig() override { return withInput([](DInputObject& i) { i.clearKeyConfig(); }); }
    bool networkExists() override { return g_networkManager != nullptr; }
    void networkRequest(std::uint32_t code, std::uint32_t a, std::uint32_t b, std::uint32_t c) override {
        if (g_networkManager) g_networkManager->request(code, a, b, c);
    }
    void networkRequestEx(std::uint32_t code, std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                          std::uint32_t e, std::uint32_t f, std::uint32_t g, std::uint32_t h) override {
        if (g_networkManager) g_networkManager->requestEx(code, a, b, c, d, e, f, g, h);
    }
    bool meshClearAll() override {
        if (!g_meshManager) return false;
        g_meshManager->clearAll();
        return true;
    }
    bool texturePurgeMarked() override {
        if (!g_textureManager) return false;
        g_textureManager->purgeMarked();
        return true;
    }

private:
    template <typename Call>
    static bool withSound(Call call) {
        if (!g_dsoundObjectManager) return false;
        call(*g_dsoundObjectManager);
        return true;
    }
    template <typename Call>
    static bool withInput(Call call) {
        if (!g_dinputObject) return false;
        call(*g_dinputObject);
        return true;
    }
};
}  // namespace

RuntimePeers& RuntimePeers::managers() {
    static ManagerPeers peers;
    return peers;
}

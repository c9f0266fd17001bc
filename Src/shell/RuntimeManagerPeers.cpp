// The script runtime's peers as the running program has them: each question
// and each game command's call goes to its manager when that exists, and
// gives the absent answer otherwise.
#include "runtime/RuntimePeers.h"

#include "graphics/MeshManager.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "input/DInputObject.h"
#include "network/NetworkManager.h"
#include "objects/DSoundObjectManager.h"
#include "objects/PlayerStep.h"
#include "services/Managers.h"

namespace {
class ManagerPeers : public RuntimePeers {
public:
    std::int32_t volumeLevel(std::int32_t channel) override {
        return g_dsoundObjectManager ? g_dsoundObjectManager->getVolumeLevel(channel) : 0;
    }
    std::int32_t keyAssign(std::int32_t button) override {
        return g_dinputObject ? g_dinputObject->getKeyAssign(button) : 0;
    }
    bool inputExists() override { return g_dinputObject != nullptr; }
    // The input object's button query; bit 0 of its history is this frame.
    std::int32_t keyState(std::int32_t key) override {
        return g_dinputObject ? g_dinputObject->getButton(key) & 1 : 0;
    }
    bool networkConnected() override { return g_networkManager && g_networkManager->isConnected(); }
    bool networkBusy() override { return g_networkManager && g_networkManager->isBusy(); }
    bool networkOffline() override { return g_networkManager && g_networkManager->isOffline(); }
    // The player logic's slow-mode counter.
    std::int32_t slowModeCounter() override { return getSlowCounter(); }

    // The game commands' calls, each on its manager when it exists.
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
    bool spritePurgeMarked() override {
        if (!g_spriteManagerManager) return false;
        g_spriteManagerManager->purgeMarked();
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

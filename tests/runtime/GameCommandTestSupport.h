// The bench of the game commands ("system", "sysvar", "network" and the
// others): the runtime bench with the configuration record, the replay
// manager, the frame counter, the device object and peers that write down
// every call the commands make of the sound, input, network, texture, sprite
// and mesh managers. `state()` describes what the commands can change, so a
// test sees both what a command did and that it did nothing else.
#pragma once
#include <functional>
#include <map>
#include <sstream>

#include "RuntimeTestSupport.h"
#include "graphics/D3DObject.h"
#include "input/ReplayManager.h"
#include "runtime/AbsentManagerNotice.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/SystemInfo.h"

class CallLogPeers : public RecordingPeers {
public:
    std::vector<std::string> calls;
    bool sound = true, input = true, network = true, texture = true, sprite = true, mesh = true;

    bool soundPauseAll() override { return note("sound.pauseAll", sound); }
    bool soundResumeAll() override { return note("sound.resumeAll", sound); }
    bool soundVanishAll() override { return note("sound.vanishAll", sound); }
    bool soundClearBgm() override { return note("sound.clearBgm", sound); }
    bool soundSetVolumeLevel(std::int32_t level, std::int32_t channel, std::int32_t& inForce) override {
        RuntimePeers::soundSetVolumeLevel(level, channel, inForce);
        return note("sound.setVolumeLevel(" + std::to_string(level) + "," + std::to_string(channel) + ")", sound);
    }
    bool inputResetReplayReader() override { return note("input.resetReplayReader", input); }
    bool inputSetKeyEnabled(std::int32_t on) override {
        return note("input.setKeyEnabled(" + std::to_string(on) + ")", input);
    }
    bool inputClearKeyState() override { return note("input.clearKeyState", input); }
    bool inputSaveKeyConfig() override { return note("input.saveKeyConfig", input); }
    bool inputClearKeyConfig() override { return note("input.clearKeyConfig", input); }
    bool networkExists() override { return network; }
    void networkRequest(std::uint32_t code, std::uint32_t a, std::uint32_t b, std::uint32_t c) override {
        note("net(" + std::to_string(code) + ":" + std::to_string(a) + "," + std::to_string(b) + "," +
                 std::to_string(c) + ")",
             true);
    }
    void networkRequestEx(std::uint32_t code, std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                          std::uint32_t e, std::uint32_t f, std::uint32_t g, std::uint32_t h) override {
        std::string line = "netEx(" + std::to_string(code) + ":";
        for (std::uint32_t v : {a, b, c, d, e, f, g, h}) line += std::to_string(v) + ",";
        line.back() = ')';
        note(line, true);
    }
    bool texturePurgeMarked() override { return note("texture.purgeMarked", texture); }
    bool spritePurgeMarked() override { return note("sprite.purgeMarked", sprite); }
    bool meshClearAll() override { return note("mesh.clearAll", mesh); }

private:
    bool note(const std::string& call, bool present) {
        calls.push_back(call);
        return present;
    }
};

class GameCommandBench : public RuntimeBench {
protected:
    GameCommandBench() {
        forgetAbsentManagerNotes();
        g_systemInfo = new SystemInfo();
        g_replayManager = new ReplayManager();
        g_frameCounter = new FrameCounter();
        g_d3dObject = new D3DObject();
        RuntimePeers::install(&calls);
    }
    ~GameCommandBench() override {
        RuntimePeers::install(nullptr);
        delete g_d3dObject;
        g_d3dObject = nullptr;
        delete g_frameCounter;
        g_frameCounter = nullptr;
        delete g_replayManager;
        g_replayManager = nullptr;
        delete g_systemInfo;
        g_systemInfo = nullptr;
        forgetAbsentManagerNotes();
    }

    static NameHandle var(const char* name) { return internName(name); }
    void setVar(const char* name, float value) { g_gameInfo->setVar(var(name), value); }
    float getVar(const char* name) { return g_gameInfo->getVar(var(name)); }

    // Runs the children of "top" on a plain object for n frames.
    BulletObject* runTop(const std::string& body, int n = 1) {
        manager().clearAll();
        load(R"(<action label="top">)" + body + "</action>");
        BulletObject* object = spawn("top");
        traceRuntime(object->getMainRuntime());
        frames(n);
        return object;
    }
    static std::string system(const std::string& command) {
        return "<system><command>" + command + "</command></system>";
    }

    // What the commands can change, one "key=value" per line.
    std::map<std::string, std::string> state() {
        std::map<std::string, std::string> s;
        GameInfo& g = *g_gameInfo;
        auto put = [&s](const std::string& key, auto value) {
            std::ostringstream text;
            text << value;
            s[key] = text.str();
        };
        put("maxX", g.getMaxX());
        put("minX", g.getMinX());
        put("maxY", g.getMaxY());
        put("minY", g.getMinY());
        for (const char* name : {"_maxrx", "_minrx", "_maxry", "_minry", "retrynum", "total_retrynum", "misscount",
                                 "stagemisscount", "continuenum", "practice_mode", "effectmesh", "stageflag",
                                 "stagenum"})
            put(name, g.getVar(var(name)));
        put("ignorecollision", g.getNamedVar("ignorecollision"));
        put("score", g.getScore());
        put("item2", g.getItemCount(2));
        put("item3", g.getItemCount(3));
        put("stageFlagWord", g.stageFlagWord());
        put("buzz", g.getBuzz());
        put("ecrystal1", g.getECrystal1());
        put("ecrystal2", g.getECrystal2());
        put("vorly", std::to_string(g.getVorlyCount1()) + "/" + std::to_string(g.getVorlyCount2()));
        put("reconfig", g.getReconfigCount());
        put("escToCancel", g.isEscToCancel());
        put("playerMove", g.isPlayerMoveEnabled());
        put("skipButton", g.isSkipButtonEnabled());
        put("maxStageUpdate", g.getMaxStageUpdate());
        put("fullDraw", g.isFullDraw());
        put("cutin", g.getCutinMode());
        put("mpoint", g.getMpoint());
        put("pauseAllowed", g.isPauseAllowed());
        put("pauseToggle", g.isPauseToggleRequested());
        put("gameOver", g.isGameOver());
        put("waitKey", std::to_string(g.isWaitKey()) + "/" + std::to_string(g.getWaitKeyValue()));
        put("playerSwitchable", g.isPlayerSwitchable());
        put("clearTexture", g.isClearTextureRequested());
        put("droppedFrames", g.getDroppedFrames());
        put("lock7", g.isLocked(var("lock7")));
        // The play's flags, not the replay stage's.
        const std::int32_t started = g_replayManager->isReplayStarted();
        g_replayManager->setReplayStarted(0);
        put("flag3", g.getGameFlag(3));
        g_replayManager->setReplayStarted(started);
        put("allFlag3", g.getAllGameFlag(3));
        put("name0", g.getPlayerName0());
        put("playReadTexts", g.getPlayReadTextSet().size());
        put("replayMode", g_replayManager->getMode());
        put("replayActive", g_replayManager->isActive());
        put("replayStarted", g_replayManager->isReplayStarted());
        put("readSkip", g_systemInfo->getReadSkipEnable());
        // Reading the serial advances it: "running" until it starts again.
        put("serial", g_frameCounter->nextSerial() == 0 ? "reset" : "running");
        put("myScoreUpdated", g.isMyScoreUpdated());
        put("clearEnabled", g_d3dObject->isClearEnabled());
        put("trace", g_debugInfo ? g_debugInfo->getTrace() : -1);
        // The game menu's decide request, put back after the look.
        SelectableObjectManager* menu = g_bulletObjectManager->getSelectableManager();
        const std::int32_t request = menu->takeDecideRequest();
        if (request) menu->requestDecide();
        put("decideRequest", request);
        return s;
    }
    // The keys whose values differ, "key=after", blank-separated.
    static std::string changes(const std::map<std::string, std::string>& before,
                               const std::map<std::string, std::string>& after) {
        std::string text;
        for (const auto& [key, value] : after) {
            if (before.at(key) == value) continue;
            if (!text.empty()) text += ' ';
            text += key + "=" + value;
        }
        return text;
    }
    std::string callText() const {
        std::string text;
        for (const std::string& call : calls.calls) text += (text.empty() ? "" : " ") + call;
        return text;
    }

    CallLogPeers calls;
};

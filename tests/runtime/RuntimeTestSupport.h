// The script runtime's test bench: built-in variables registered, a fresh
// runtime pool, game records and an object manager in place, inline scripts
// parsed and linked as the game reset does, and a frame loop that records
// what the traced runtime executes ("<frame> <element> <result>").
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "objects/BulletObjectAllocator.h"
#include "objects/BulletObjectManager.h"
#include "platform/Text.h"
#include "records/GameInfo.h"
#include "runtime/BMLRuntimeAllocator.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimePeers.h"
#include "runtime/SysVars.h"
#include "runtime/VecParamAllocator.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"
#include "script/XMLHandler_ii.h"
#include "services/Managers.h"

// Gives every constructed runtime of the pool back and starts it over with
// 10000 raw blocks and an empty stock. Runtimes held elsewhere must be gone.
inline void resetRuntimePool() {
    BMLRuntimeAllocator& pool = BMLRuntimeAllocator::instance();
    while (pool.readyCount() != 0) pool.get()->destroy();
    pool.freeBlocks();
    pool.prefill();
}

// A peer that answers what the test sets and counts nothing else.
class RecordingPeers : public RuntimePeers {
public:
    std::int32_t volumes[3] = {0, 0, 0};
    std::int32_t assignments[12] = {};
    std::vector<std::int32_t> assignAsked;
    bool input = false;
    std::int32_t heldKey = 0;
    bool connected = false, busy = false, offline = false;
    std::int32_t slowMode = 0;

    std::int32_t volumeLevel(std::int32_t channel) override { return volumes[channel]; }
    std::int32_t keyAssign(std::int32_t button) override {
        assignAsked.push_back(button);
        return assignments[button];
    }
    bool inputExists() override { return input; }
    std::int32_t keyState(std::int32_t key) override { return key == heldKey ? 1 : 0; }
    bool networkConnected() override { return connected; }
    bool networkBusy() override { return busy; }
    bool networkOffline() override { return offline; }
    std::int32_t slowModeCounter() override { return slowMode; }
};

class RuntimeBench : public ::testing::Test {
protected:
    RuntimeBench() {
        registerSysVars();
        resetRuntimePool();
        ExBulletML_Runtime::reseed();
        g_gameInfo = new GameInfo();
        BulletObjectAllocator::instance().fill();
        g_bulletObjectManager = new BulletObjectManager();
        RuntimePeers::install(&peers);
    }
    ~RuntimeBench() override {
        RuntimePeers::install(nullptr);
        delete g_bulletObjectManager;
        g_bulletObjectManager = nullptr;
        BulletObjectAllocator::instance().freeBlocks();
        delete g_gameInfo;
        g_gameInfo = nullptr;
        ExBulletML_Runtime::setDocument(nullptr);
    }

    BulletObjectManager& manager() { return *g_bulletObjectManager; }

    // Parses `body` inside an "exbulletml" root and links it.
    BulletML_Node_Manager& load(const std::string& body) {
        content_ = std::make_unique<BoostContentHandler>();
        parseXml(text::widen("<exbulletml>" + body + "</exbulletml>"), *content_, "test.xml");
        BulletML_Node_Manager* document = content_->getHandler()->getDocument();
        document->setQuietLookup(true);
        document->linkRefs();
        document->setQuietLookup(false);
        ExBulletML_Runtime::setDocument(document);
        return *document;
    }

    static NameHandle wide(const char* text) { return WideNamePool::instance().findOrInsert(text::widen(text)); }

    // A plain object at (x, y) whose main runtime starts at the "action"
    // labelled `label`, traced into trace_.
    BulletObject* spawn(const char* label = "top", float x = 320.0f, float y = 100.0f) {
        BulletObject* object = manager().createPlainObject();
        object->setX(x);
        object->setY(y);
        object->setSpeed(0.0f);
        ExBulletML_Runtime* runtime = manager().getRuntime();
        runtime->setupByLabel(kAction, wide(label));
        object->setMainRuntime(runtime);
        return object;
    }
    void traceRuntime(ExBulletML_Runtime* runtime) { runtime->setExecuteObserver(&record, this); }

    // Loads `body` as the children of "top" (and `definitions` beside it),
    // makes the traced emitter at (x, y), lets `prepare` adjust it and runs
    // `n` frames from a cleared trace and object list.
    BulletObject* runTop(float x, float y, const std::string& body, int n, const std::string& definitions,
                         const std::function<void(BulletObject*)>& prepare) {
        trace_.clear();
        frame_ = 0;
        manager().clearAll();
        load(R"(<action label="top">)" + body + "</action>" + definitions);
        BulletObject* emitter = spawn("top", x, y);
        if (prepare) prepare(emitter);
        traceRuntime(emitter->getMainRuntime());
        frames(n);
        return emitter;
    }

    // Runs n object steps.
    void frames(int n) {
        for (int i = 0; i < n; ++i) {
            ++frame_;
            manager().resetEnemyCountCache();
            manager().execBullet();
        }
    }
    std::string traceText() const {
        std::string text;
        for (const std::string& line : trace_) text += line + "\n";
        return text;
    }

    // How many lines of the debug log contain `needle`.
    int countLogLines(std::string_view needle) const {
        int count = 0;
        for (const std::string& line : log_.logLines())
            if (line.find(needle) != std::string::npos) ++count;
        return count;
    }

    // The temporary game folder (the root of relative paths).
    const TempRoot& root() const { return log_.root(); }
    std::vector<std::string> logLines() const { return log_.logLines(); }

    RecordingPeers peers;
    std::vector<std::string> trace_;
    int frame_ = 0;

private:
    static void record(void* self, const ExBulletML_Runtime*, std::int32_t code, std::int32_t result) {
        auto* bench = static_cast<RuntimeBench*>(self);
        bench->trace_.push_back(std::to_string(bench->frame_) + " " +
                                std::string(ElementIdTable::instance().elementName(code)) + " " +
                                std::to_string(result));
    }

    LoggedTest log_;
    std::unique_ptr<BoostContentHandler> content_;
};

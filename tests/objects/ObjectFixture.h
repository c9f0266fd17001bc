// The object suites' fixture: game records, a frame counter, the recording
// graphics device at 640 x 480, the object pool and the object manager as the
// process's managers, sprites the test owns, scripted runtimes and a hash of
// every object's state for determinism checks. The collision and menu suites
// build on it.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "graphics/D3DObject.h"
#include "graphics/Sprite.h"
#include "objects/BulletObject.h"
#include "objects/BulletObjectManager.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "services/FrameCounter.h"
#include "support/TestSupport.h"

// A runtime whose frame is a test function. Made on the heap; slot 0 frees it
// and counts the destruction.
class ScriptedRuntime : public ExBulletML_Runtime {
public:
    using Body = std::function<std::int32_t(ScriptedRuntime&)>;
    explicit ScriptedRuntime(Body body, int* destroyed = nullptr) : body_(std::move(body)), destroyed_(destroyed) {}
    ~ScriptedRuntime() override {
        if (destroyed_) ++*destroyed_;
    }
    void destroy() override { delete this; }
    std::int32_t run() override {
        // As the interpreter does before it executes anything.
        if (BulletObjectManager* manager = g_bulletObjectManager) manager->syncCurrentObject();
        ++runs;
        return body_ ? body_(*this) : 0;
    }
    int runs = 0;

private:
    Body body_;
    int* destroyed_;
};

class ObjectTest : public ::testing::Test {
protected:
    ObjectTest();
    ~ObjectTest() override;

    BulletObjectManager& manager() { return *g_bulletObjectManager; }
    GameInfo& game() { return *g_gameInfo; }
    // A sprite of the given device size, owned by the fixture.
    Sprite* sprite(float width = 16.0f, float height = 16.0f);
    // A scripted runtime (owned by whatever object it is given to).
    static ScriptedRuntime* script(ScriptedRuntime::Body body, int* destroyed = nullptr) {
        return new ScriptedRuntime(std::move(body), destroyed);
    }
    // Runs n object steps, as the frame step does.
    void frames(int n);
    // A hash of every listed object's tag, state, flags and motion fields.
    std::uint64_t stateHash();
    // How many log lines contain the text.
    int countLogLines(std::string_view text) const;

    LoggedTest log;
    TestWindow window;
    RecordingBackend gfx;
    std::unique_ptr<D3DObject> d3d;
    std::vector<std::unique_ptr<Sprite>> sprites;
};

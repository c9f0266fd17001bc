// The player and menu input step: one frame in play (player, scripted held
// buttons, the shot script running) and one in a ten-entry pause menu whose
// cursor moves, alternating, each followed by the object step. Reports the
// heap allocations of its timed frames (allocs_per_frame, to be 0), trace
// lines included.
#include <benchmark/benchmark.h>

#include <memory>

#include "AllocationCounter.h"
#include "graphics/D3DObject.h"
#include "input/DInputObject.h"
#include "objects/BulletObjectAllocator.h"
#include "objects/BulletObjectManager.h"
#include "objects/PlayerStep.h"
#include "objects/SelectableObjectAllocator.h"
#include "platform/Text.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "records/GameInfo.h"
#include "runtime/BMLRuntimeAllocator.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/SysVars.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"
#include "script/XMLHandler_ii.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"

namespace {

constexpr const char* kScripts = R"(<exbulletml>
<action label="shot_1_top"><repeat><times>-1</times><action><wait>3</wait></action></repeat></action>
<action label="menu"><repeat><times>10</times><action>
  <selectable label="entry"><pause>1</pause><x>0</x><y>$i</y><speed>0</speed>
    <selectedref label="lit"/><unselectedref label="dim"/><wait>-1</wait></selectable>
  <eval name="i">$i+1</eval>
</action></repeat><wait>-1</wait></action>
<selected label="lit"><repeat><times>-1</times><action><wait>2</wait></action></repeat></selected>
<unselected label="dim"><repeat><times>-1</times><action><wait>5</wait></action></repeat></unselected>
</exbulletml>)";

// Held buttons as 16-poll masks, one frame per update.
class HeldButtons : public DInputObject {
public:
    void hold(std::int32_t word) { held_ = word; }
    std::int32_t update() override {
        for (int slot = 0; slot < 16; ++slot) masks_[slot] = ((masks_[slot] << 1) | ((held_ >> slot) & 1)) & 0xFFFF;
        return 0;
    }
    std::int32_t getButton(std::int32_t button) override { return masks_[slot(button)]; }
    std::int32_t getButtonFrame(std::int32_t button) override { return masks_[slot(button)]; }
    std::int32_t getButtonRaw(std::int32_t button) override { return masks_[slot(button)]; }
    static std::int32_t bit(std::int32_t button) { return 1 << slot(button); }

private:
    static int slot(std::int32_t button) { return button >= 100 ? (button - 100 + 12) & 15 : button & 15; }
    std::int32_t held_ = 0;
    std::int32_t masks_[16] = {};
};

void PlayerMenuStep(benchmark::State& state) {
    TestWindow window;
    Window::setInstance(&window);
    window.create("bench", 0, 0, 640, 480, nullptr);
    RecordingBackend gfx;
    auto d3d = std::make_unique<D3DObject>();
    g_d3dObject = d3d.get();
    d3d->initDirect3D();
    g_d3dDevice = nullptr;  // another benchmark's device is not this one's to let go
    d3d->initDevice(640, 480, 60, 1, 0, 0, 1);
    d3d->setVirtualScreenSize(640, 480);
    registerSysVars();
    BMLRuntimeAllocator::instance().prefill();
    g_gameInfo = new GameInfo();
    g_gameInfo->setPlayerMoveEnabled(1);
    g_gameInfo->setEscToCancel(0);
    g_frameCounter = new FrameCounter();
    g_frameCounter->onPresent();
    g_replayDebugInfo = new ReplayDebugInfo();
    BulletObjectAllocator::instance().fill();
    SelectableObjectAllocator::instance().fill();
    g_bulletObjectManager = new BulletObjectManager();
    auto input = std::make_unique<HeldButtons>();
    g_dinputObject = input.get();
    for (auto [name, value] : {std::pair{"playerspeed", 4.0f}, {"playerslowspeed", 2.0f}, {"slowterm", 10.0f}})
        g_gameInfo->setVar(internName(name), value);

    auto content = std::make_unique<BoostContentHandler>();
    parseXml(text::widen(kScripts), *content, "bench.xml");
    BulletML_Node_Manager* document = content->getHandler()->getDocument();
    document->setQuietLookup(true);
    document->linkRefs();
    document->setQuietLookup(false);
    ExBulletML_Runtime::setDocument(document);
    BulletObjectManager& objects = *g_bulletObjectManager;
    auto scriptObject = [&](const char16_t* label) {
        BulletObject* object = objects.createPlainObject();
        ExBulletML_Runtime* runtime = objects.getRuntime();
        runtime->setupByLabel(kAction, internWideName(label));
        object->setMainRuntime(runtime);
        object->setWideName(internWideName(label));
        object->setSpeed(0.0f);
        return object;
    };
    BulletObject* shot = scriptObject(u"shot_1_top");
    shot->setRuntimeActive(0);
    objects.getTopObjects().set(TopObject::kShot1, shot);
    scriptObject(u"menu");
    BulletObject* player = objects.createPlainObject();
    player->setX(320.0f);
    player->setY(240.0f);
    player->setSpeed(0.0f);
    player->setAllEdgeActions(1);
    objects.setPlayer(player);
    // The menu is built by its script in the first frames.
    objects.execBullet();
    objects.execBullet();

    const std::int32_t play = HeldButtons::bit(0) | HeldButtons::bit(kButtonRight) | HeldButtons::bit(kButtonDown);
    long frame = 0;
    auto twoFrames = [&] {
        // Play.
        input->hold(play);
        updatePlayerFrame();
        objects.resetEnemyCountCache();
        objects.execBullet();
        // The pause menu, the cursor stepping down every other pair.
        g_gameInfo->requestPauseToggle();
        input->hold(++frame % 2 ? HeldButtons::bit(kButtonDown) : 0);
        updatePlayerFrame();
        objects.execBullet();
        g_gameInfo->requestPauseToggle();
    };
    for (int i = 0; i < 200; ++i) twoFrames();

    std::uint64_t allocations = 0;
    std::uint64_t frames = 0;
    for (auto _ : state) {
        const std::uint64_t before = allocationCount();
        twoFrames();
        allocations += allocationCount() - before;
        frames += 2;
    }
    state.counters["allocs_per_frame"] = static_cast<double>(allocations) / static_cast<double>(frames);
    state.counters["menu_entries"] = static_cast<double>(objects.getPauseSelectableManager()->getSize());

    g_dinputObject = nullptr;
    delete g_bulletObjectManager;
    g_bulletObjectManager = nullptr;
    BulletObjectAllocator::instance().freeBlocks();
    delete g_replayDebugInfo;
    g_replayDebugInfo = nullptr;
    delete g_frameCounter;
    g_frameCounter = nullptr;
    delete g_gameInfo;
    g_gameInfo = nullptr;
    ExBulletML_Runtime::setDocument(nullptr);
    d3d.reset();
    g_d3dObject = nullptr;
    Window::setInstance(nullptr);
}
BENCHMARK(PlayerMenuStep);

}  // namespace

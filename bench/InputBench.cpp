// One frame of input: the manager's update (keyboard and one controller on
// the scripted backend, recording) and the frame's sixteen getButton and
// sixteen getButtonFrame questions. Reports the allocations per frame.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "AllocationCounter.h"
#include "input/DInputDeviceKeyboard.h"
#include "input/DInputObject.h"
#include "input/ReplayManager.h"
#include "platform/Input.h"
#include "platform/Path.h"
#include "records/GameInfo.h"
#include "services/Managers.h"

namespace {
constexpr std::int32_t kButtons[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 100, 101, 102, 103};
// A recorded stage's words are taken well before the writer's first block of
// 4096 words is full.
constexpr std::int64_t kStageFrames = 3600;
}  // namespace

static void BM_InputFrame(benchmark::State& state) {
    // An empty game folder: no key files.
    std::string folder = (std::filesystem::temp_directory_path() / "vorly-bench-input-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    Path::setRoot(folder);
    ScriptedInput input;
    input.addController("Bench Pad", "bench-pad");
    Input::setInstance(&input);
    g_gameInfo = new GameInfo();
    g_replayManager = new ReplayManager();
    auto* manager = new DInputObject();
    manager->init();

    std::int64_t frame = 0;
    auto step = [&] {
        // Keys and buttons change every few frames, as in play.
        input.setKey(kDikZ, (frame & 4) != 0);
        input.setKey(kDikUp, (frame & 8) != 0);
        input.setButton(0, 1, (frame & 16) != 0);
        input.setAxes(0, (frame & 32) ? 1000 : 0, 0);
        if (++frame % kStageFrames == 0) manager->getReplayWriter()->clearState();
        manager->update();
        std::int32_t sum = 0;
        for (std::int32_t n : kButtons) sum += manager->getButton(n);
        for (std::int32_t n : kButtons) sum += manager->getButtonFrame(n);
        benchmark::DoNotOptimize(sum);
    };
    for (int i = 0; i < 32; ++i) step();  // the writer's first block

    const std::uint64_t before = allocationCount();
    for (auto _ : state) step();
    const std::uint64_t allocations = allocationCount() - before;
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);

    delete manager;
    delete g_replayManager;
    g_replayManager = nullptr;
    delete g_gameInfo;
    g_gameInfo = nullptr;
    Input::setInstance(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_InputFrame);

// RuntimeSteadyPlay: 1,000 live scripts run frame after frame as the object
// step runs them: waits, repeats, references with three parameters, "eval".
// Scripts that end are destroyed and replaced by runtimes taken from the pool,
// and the pools are topped up once a frame. Reports the time per runtime and
// frame and the heap allocations per frame (operator new counted in this
// program), which must be 0 once the pools are warm.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "AllocationCounter.h"
#include "platform/Text.h"
#include "runtime/BMLRuntimeAllocator.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/SysVars.h"
#include "runtime/VecParamAllocator.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"
#include "script/XMLHandler_ii.h"

namespace {

constexpr int kLiveScripts = 1000;
constexpr int kWarmUpFrames = 300;

// Half the scripts run for ever, half end after a few frames and are
// replaced: every frame takes runtimes from the pool and gives some back.
constexpr const char* kScripts = R"(<exbulletml>
<action label="endless"><repeat><times>-1</times><action>
  <eval name="a">$a+1</eval>
  <actionref label="sub"><param>$a</param><param>2</param><param>$a*3</param></actionref>
  <wait>3</wait>
</action></repeat></action>
<action label="short"><repeat><times>3</times><action>
  <eval name="b">$b+$_rand</eval>
  <actionref label="sub"><param>$b</param><param>$b+1</param><param>7</param></actionref>
  <wait>2</wait>
</action></repeat></action>
<action label="sub"><evaladd name="c">$1+$2+$3</evaladd><wait>1</wait></action>
</exbulletml>)";

void RuntimeSteadyPlay(benchmark::State& state) {
    registerSysVars();
    BMLRuntimeAllocator& pool = BMLRuntimeAllocator::instance();
    pool.prefill();
    auto content = std::make_unique<BoostContentHandler>();
    parseXml(text::widen(kScripts), *content, "bench.xml");
    BulletML_Node_Manager* document = content->getHandler()->getDocument();
    document->setQuietLookup(true);
    document->linkRefs();
    document->setQuietLookup(false);
    ExBulletML_Runtime::setDocument(document);
    WideNamePool& names = WideNamePool::instance();
    BulletML_Node* endless = document->findLabel(kAction, names.findOrInsert(u"endless"));
    BulletML_Node* shortLived = document->findLabel(kAction, names.findOrInsert(u"short"));

    std::vector<ExBulletML_Runtime*> live(kLiveScripts, nullptr);
    auto start = [&](int index) {
        ExBulletML_Runtime* runtime = pool.get();
        if (runtime) runtime->setup(index % 2 == 0 ? endless : shortLived);
        live[static_cast<std::size_t>(index)] = runtime;
    };
    auto frame = [&] {
        for (int i = 0; i < kLiveScripts; ++i) {
            ExBulletML_Runtime*& runtime = live[static_cast<std::size_t>(i)];
            if (runtime) runtime->run();
            if (!runtime || !runtime->isActive()) {
                if (runtime) runtime->destroy();
                start(i);
            }
        }
        pool.refill();
        VecParamAllocator::instance().refill();
    };
    for (int i = 0; i < kLiveScripts; ++i) start(i);
    for (int i = 0; i < kWarmUpFrames; ++i) frame();

    std::uint64_t allocations = 0;
    std::uint64_t frames = 0;
    double seconds = 0.0;
    for (auto _ : state) {
        std::uint64_t before = allocationCount();
        auto begin = std::chrono::steady_clock::now();
        frame();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        allocations += allocationCount() - before;
        ++frames;
    }
    state.counters["ns_per_runtime_frame"] = seconds * 1e9 / static_cast<double>(frames * kLiveScripts);
    state.counters["allocs_per_frame"] = static_cast<double>(allocations) / static_cast<double>(frames);

    for (ExBulletML_Runtime* runtime : live)
        if (runtime) runtime->destroy();
    ExBulletML_Runtime::setDocument(nullptr);
}
BENCHMARK(RuntimeSteadyPlay);

}  // namespace

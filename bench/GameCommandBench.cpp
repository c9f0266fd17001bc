// SystemCommandPoll: a menu script that runs ten "system" sub-commands every
// frame (early, late and unknown names of the table among them), against the
// same script with ten "eval" commands in their place, the plainest command
// there is. Reports the time per command of both, their ratio, and the heap
// allocations per frame of the system commands, which must be 0: menus poll
// these commands every frame.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "AllocationCounter.h"
#include "platform/Text.h"
#include "records/GameInfo.h"
#include "runtime/BMLRuntimeAllocator.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/SysVars.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"
#include "script/XMLHandler_ii.h"
#include "services/Managers.h"

namespace {

constexpr int kCommands = 10;
constexpr int kWarmUpFrames = 100;

std::string pollScript() {
    const char* commands[kCommands] = {"setmaxx",     "enablepause",     "clearscore", "playermoveenable",
                                       "inccontinue", "resetbuzz",       "setwaitkeyoff", "switchpause",
                                       "setcursor",   "no such command"};
    std::string systems, evals;
    for (const char* command : commands) {
        systems += std::string("<system><command>") + command + "</command></system>";
        evals += "<eval name=\"a\">1</eval>";
    }
    auto loop = [](const char* label, const std::string& body) {
        return std::string("<action label=\"") + label + "\"><repeat><times>-1</times><action>" + body +
               "<wait>1</wait></action></repeat></action>";
    };
    return "<exbulletml>" + loop("poll", systems) + loop("reference", evals) + "</exbulletml>";
}

void SystemCommandPoll(benchmark::State& state) {
    registerSysVars();
    BMLRuntimeAllocator& pool = BMLRuntimeAllocator::instance();
    pool.prefill();
    GameInfo* game = new GameInfo();
    g_gameInfo = game;
    auto content = std::make_unique<BoostContentHandler>();
    parseXml(text::widen(pollScript()), *content, "bench.xml");
    BulletML_Node_Manager* document = content->getHandler()->getDocument();
    document->linkRefs();
    ExBulletML_Runtime::setDocument(document);
    WideNamePool& names = WideNamePool::instance();
    ExBulletML_Runtime* poll = pool.get();
    ExBulletML_Runtime* reference = pool.get();
    poll->setup(document->findLabel(kAction, names.findOrInsert(u"poll")));
    reference->setup(document->findLabel(kAction, names.findOrInsert(u"reference")));
    for (int i = 0; i < kWarmUpFrames; ++i) {
        poll->run();
        reference->run();
    }

    std::uint64_t allocations = 0;
    std::uint64_t frames = 0;
    double pollSeconds = 0.0, referenceSeconds = 0.0;
    for (auto _ : state) {
        std::uint64_t before = allocationCount();
        auto begin = std::chrono::steady_clock::now();
        poll->run();
        auto middle = std::chrono::steady_clock::now();
        allocations += allocationCount() - before;
        reference->run();
        auto end = std::chrono::steady_clock::now();
        pollSeconds += std::chrono::duration<double>(middle - begin).count();
        referenceSeconds += std::chrono::duration<double>(end - middle).count();
        ++frames;
    }
    const double commands = static_cast<double>(frames * kCommands);
    state.counters["ns_per_system_command"] = pollSeconds * 1e9 / commands;
    state.counters["ns_per_eval_command"] = referenceSeconds * 1e9 / commands;
    state.counters["ratio_to_eval"] = referenceSeconds > 0.0 ? pollSeconds / referenceSeconds : 0.0;
    state.counters["allocs_per_frame"] = static_cast<double>(allocations) / static_cast<double>(frames);

    poll->destroy();
    reference->destroy();
    ExBulletML_Runtime::setDocument(nullptr);
    g_gameInfo = nullptr;
    delete game;
}
BENCHMARK(SystemCommandPoll);

}  // namespace

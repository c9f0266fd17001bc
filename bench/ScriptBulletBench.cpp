// Script bullets against the peer interpreter of the standard bullet markup.
//
// ScriptBullets/<pattern>: 16 emitters run the same pattern (written in the
// standard markup for the peer and in exbulletml for us). Every bullet of
// every pattern runs a script of its own. Ours is timed over the object
// step, the peer over its runners with the host's motion and removal, both
// by the CPU time of the thread, frame by frame interleaved (one frame of
// the peer, one of ours), so a busy machine slows both alike and waits count
// for neither. Both start fresh together:
//   vs_peer_cold  our time over the peer's in the first 240 frames after the
//                 start, which a freshly started game pays (first use of the
//                 memory either side takes in play among them; the page
//                 faults of those frames: page_faults_cold and
//                 peer_page_faults_cold)
//   vs_peer       the same over the timed frames after a warm-up
// ns_per_bullet_frame and peer_ns_per_bullet_frame (CPU time over the live
// bullets summed over the timed frames), bullets_per_frame, and for ours
// allocs_per_frame. After timing, both interpreters run the pattern once more
// and must make the same bullets (their bullet-frame totals within 2%), else
// the benchmark reports an error.
//
// PlainBulletStep: the object pool full of bullets whose scripts have ended
// (one emitter fired 9,999 bullets with an empty "bullet", each keeping its
// ended runtime); one object step per iteration; cpu_ms_per_frame (the
// thread's CPU time per step).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "AllocationCounter.h"
#include "objects/BulletObjectAllocator.h"
#include "objects/BulletObjectManager.h"
#include "peer/BulletMLPeer.h"
#include "platform/Text.h"
#include "records/GameInfo.h"
#include "runtime/BMLRuntimeAllocator.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/SysVars.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/BulletML_Node_Manager.h"
#include "script/XMLHandler_ii.h"
#include "services/Managers.h"
#include "services/SineTable.h"

namespace {

constexpr int kEmitters = 16;
// Long enough for the pools to have handed out each of their blocks (10,000
// objects and runtimes, 20,000 parameter vectors) in the pattern that makes
// the fewest bullets, about 13 a frame, as in a game that has played a while:
// the first use of a block's page is a one-off cost outside the steady frame.
constexpr int kWarmUpFrames = 1600;
constexpr int kTimedFrames = 600;
// The frames a freshly started game plays before it is warm.
constexpr int kColdFrames = 240;
constexpr float kPlayerX = 320.0f;
constexpr float kPlayerY = 400.0f;

float emitterX(int i) { return 200.0f + 16.0f * static_cast<float>(i); }
float emitterY(int) { return 200.0f; }

struct Pattern {
    const char* name;
    const char* peer;   // standard bullet markup
    const char* vorly;  // exbulletml
};

// Bullets that wait, turn, wait and vanish.
const Pattern kWaitTurn = {"WaitTurn",
                           R"(<?xml version="1.0"?>
<bulletml>
<action label="top"><repeat><times>100000</times><action>
  <fire><direction type="absolute">150</direction><speed>1.5</speed><bullet><action>
    <wait>20</wait>
    <changeDirection><direction type="relative">90</direction><term>30</term></changeDirection>
    <wait>60</wait><vanish/></action></bullet></fire>
  <repeat><times>5</times><action>
    <fire><direction type="sequence">12</direction><speed>1.5</speed><bullet><action>
      <wait>20</wait>
      <changeDirection><direction type="relative">-90</direction><term>30</term></changeDirection>
      <wait>60</wait><vanish/></action></bullet></fire>
  </action></repeat>
  <wait>3</wait>
</action></repeat></action>
</bulletml>)",
                           R"(<exbulletml>
<action label="top"><repeat><times>100000</times><action>
  <fire><direction type="absolute">150</direction><speed>1.5</speed><bullet>
    <wait>20</wait>
    <changedirection><direction type="relative">90</direction><term>30</term></changedirection>
    <wait>60</wait><vanish/></bullet></fire>
  <repeat><times>5</times><action>
    <fire><direction type="sequence">12</direction><speed>1.5</speed><bullet>
      <wait>20</wait>
      <changedirection><direction type="relative">-90</direction><term>30</term></changedirection>
      <wait>60</wait><vanish/></bullet></fire>
  </action></repeat>
  <wait>3</wait>
</action></repeat></action>
</exbulletml>)"};

// Bullets that change speed in steps.
const Pattern kSpeedSteps = {"SpeedSteps",
                             R"(<?xml version="1.0"?>
<bulletml>
<action label="top"><repeat><times>100000</times><action>
  <fire><direction type="absolute">0</direction><speed>1</speed><bullet><action>
    <changeSpeed><speed>3</speed><term>10</term></changeSpeed><wait>15</wait>
    <changeSpeed><speed>0.5</speed><term>10</term></changeSpeed><wait>15</wait>
    <changeSpeed><speed>2</speed><term>10</term></changeSpeed><wait>30</wait><vanish/></action></bullet></fire>
  <repeat><times>7</times><action>
    <fire><direction type="sequence">45</direction><speed>1</speed><bullet><action>
      <changeSpeed><speed>3</speed><term>10</term></changeSpeed><wait>15</wait>
      <changeSpeed><speed>0.5</speed><term>10</term></changeSpeed><wait>15</wait>
      <changeSpeed><speed>2</speed><term>10</term></changeSpeed><wait>30</wait><vanish/></action></bullet></fire>
  </action></repeat>
  <wait>4</wait>
</action></repeat></action>
</bulletml>)",
                             R"(<exbulletml>
<action label="top"><repeat><times>100000</times><action>
  <fire><direction type="absolute">0</direction><speed>1</speed><bullet>
    <changespeed><speed>3</speed><term>10</term></changespeed><wait>15</wait>
    <changespeed><speed>0.5</speed><term>10</term></changespeed><wait>15</wait>
    <changespeed><speed>2</speed><term>10</term></changespeed><wait>30</wait><vanish/></bullet></fire>
  <repeat><times>7</times><action>
    <fire><direction type="sequence">45</direction><speed>1</speed><bullet>
      <changespeed><speed>3</speed><term>10</term></changespeed><wait>15</wait>
      <changespeed><speed>0.5</speed><term>10</term></changespeed><wait>15</wait>
      <changespeed><speed>2</speed><term>10</term></changespeed><wait>30</wait><vanish/></bullet></fire>
  </action></repeat>
  <wait>4</wait>
</action></repeat></action>
</exbulletml>)"};

// Bullets that fire bullets.
const Pattern kFireInFire = {"FireInFire",
                             R"(<?xml version="1.0"?>
<bulletml>
<action label="top"><repeat><times>100000</times><action>
  <fire><direction type="aim">0</direction><speed>1</speed><bullet><action>
    <wait>12</wait>
    <fire><direction type="absolute">0</direction><speed>2</speed><bullet><action>
      <wait>30</wait><vanish/></action></bullet></fire>
    <repeat><times>3</times><action>
      <fire><direction type="sequence">90</direction><speed>2</speed><bullet><action>
        <wait>30</wait><vanish/></action></bullet></fire>
    </action></repeat>
    <wait>10</wait><vanish/></action></bullet></fire>
  <wait>6</wait>
</action></repeat></action>
</bulletml>)",
                             R"(<exbulletml>
<action label="top"><repeat><times>100000</times><action>
  <fire><direction type="aim">0</direction><speed>1</speed><bullet>
    <wait>12</wait>
    <fire><direction type="absolute">0</direction><speed>2</speed><bullet>
      <wait>30</wait><vanish/></bullet></fire>
    <repeat><times>3</times><action>
      <fire><direction type="sequence">90</direction><speed>2</speed><bullet>
        <wait>30</wait><vanish/></bullet></fire>
    </action></repeat>
    <wait>10</wait><vanish/></bullet></fire>
  <wait>6</wait>
</action></repeat></action>
</exbulletml>)"};

// Our engine's world: pools, records, the object manager, a player without a
// script and the emitters running "top".
class VorlyWorld {
public:
    explicit VorlyWorld(const char* script, int emitters) {
        registerSysVars();
        BMLRuntimeAllocator::instance().prefill();
        content_ = std::make_unique<BoostContentHandler>();
        parseXml(text::widen(script), *content_, "bench.xml");
        BulletML_Node_Manager* document = content_->getHandler()->getDocument();
        document->setQuietLookup(true);
        document->linkRefs();
        document->setQuietLookup(false);
        ExBulletML_Runtime::setDocument(document);
        g_gameInfo = new GameInfo();
        BulletObjectAllocator::instance().fill();
        g_bulletObjectManager = new BulletObjectManager();
        BulletObjectManager& manager = *g_bulletObjectManager;
        BulletObject* player = manager.createPlainObject();
        player->setX(kPlayerX);
        player->setY(kPlayerY);
        player->setSpeed(0.0f);
        manager.setPlayer(player);
        for (int i = 0; i < emitters; ++i) {
            BulletObject* emitter = manager.createPlainObject();
            emitter->setX(emitterX(i));
            emitter->setY(emitterY(i));
            emitter->setSpeed(0.0f);
            ExBulletML_Runtime* runtime = manager.getRuntime();
            runtime->setupTop();
            emitter->setMainRuntime(runtime);
        }
    }
    ~VorlyWorld() {
        delete g_bulletObjectManager;
        g_bulletObjectManager = nullptr;
        BulletObjectAllocator::instance().freeBlocks();
        delete g_gameInfo;
        g_gameInfo = nullptr;
        ExBulletML_Runtime::setDocument(nullptr);
    }
    // One object step; the live bullets after it.
    std::size_t frame() {
        g_bulletObjectManager->resetEnemyCountCache();
        g_bulletObjectManager->execBullet();
        return g_bulletObjectManager->getBulletManager()->size();
    }

private:
    std::unique_ptr<BoostContentHandler> content_;
};

float sinDeg(float degrees) { return sine_table::sinDeg(degrees); }
float cosDeg(float degrees) { return sine_table::cosDeg(degrees); }

// The peer reads its script from a file.
std::string peerFile(const Pattern& pattern) {
    const std::string path =
        (std::filesystem::temp_directory_path() / (std::string("vorly-bench-") + pattern.name + ".xml")).string();
    std::ofstream(path, std::ios::binary) << pattern.peer;
    return path;
}

std::unique_ptr<BulletMLPeerWorld> makePeer(const std::string& path) {
    float xs[kEmitters], ys[kEmitters];
    for (int i = 0; i < kEmitters; ++i) {
        xs[i] = emitterX(i);
        ys[i] = emitterY(i);
    }
    return std::make_unique<BulletMLPeerWorld>(path.c_str(), kEmitters, xs, ys, kPlayerX, kPlayerY, &sinDeg,
                                               &cosDeg);
}

template <typename World>
double bulletFrames(World& world, int frames) {
    double total = 0.0;
    for (int i = 0; i < frames; ++i) total += static_cast<double>(world.frame());
    return total;
}

// Both interpreters over warm-up and timed frames, once per pattern: empty
// when they agree within 2%, else what differs.
std::string checkSameBullets(const Pattern& pattern) {
    static std::map<std::string, std::string> checked;
    auto found = checked.find(pattern.name);
    if (found != checked.end()) return found->second;
    double ours = 0.0, theirs = 0.0;
    {
        VorlyWorld world(pattern.vorly, kEmitters);
        ours = bulletFrames(world, kWarmUpFrames + kTimedFrames);
    }
    {
        auto peer = makePeer(peerFile(pattern));
        if (!peer->ok()) return checked[pattern.name] = "the peer could not read the pattern";
        theirs = bulletFrames(*peer, kWarmUpFrames + kTimedFrames);
    }
    std::string verdict;
    if (theirs <= 0.0 || std::fabs(ours - theirs) > 0.02 * theirs) {
        char line[160];
        std::snprintf(line, sizeof(line), "bullet-frames differ: ours %.0f, peer %.0f", ours, theirs);
        verdict = line;
    }
    return checked[pattern.name] = verdict;
}

// The CPU time the calling thread has used, in nanoseconds.
double threadCpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

// What a reading of the clock adds to the time between two readings (about
// half a microsecond, a system call): taken off every timed frame, since the
// frames of the sparsest pattern last only some microseconds.
double clockReadNanoseconds() {
    static const double least = [] {
        double fastest = 1e9;
        for (int i = 0; i < 1000; ++i) {
            const double start = threadCpuNanoseconds();
            fastest = std::min(fastest, threadCpuNanoseconds() - start);
        }
        return fastest;
    }();
    return least;
}

// The page faults the calling thread has taken.
long threadPageFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// One side's CPU time, live bullets and page faults summed over frames (the
// faults counted outside the timed span).
struct SideTotals {
    double nanoseconds = 0.0, bulletFrames = 0.0;
    long pageFaults = 0;
    template <typename World>
    void frame(World& world) {
        const long faultsBefore = threadPageFaults();
        const double start = threadCpuNanoseconds();
        const std::size_t live = world.frame();
        nanoseconds += threadCpuNanoseconds() - start - clockReadNanoseconds();
        pageFaults += threadPageFaults() - faultsBefore;
        bulletFrames += static_cast<double>(live);
    }
};

// Our interpreter and the peer on the pattern from a fresh start, timed
// interleaved frame by frame; their worlds go when it returns.
void timeAgainstPeer(benchmark::State& state, const Pattern* pattern) {
    auto peer = makePeer(peerFile(*pattern));
    VorlyWorld world(pattern->vorly, kEmitters);
    SideTotals oursCold, peerCold;
    for (int i = 0; i < kColdFrames; ++i) {
        peerCold.frame(*peer);
        oursCold.frame(world);
    }
    for (int i = kColdFrames; i < kWarmUpFrames; ++i) {
        peer->frame();
        world.frame();
    }
    SideTotals ours, theirs;
    const std::uint64_t before = allocationCount();
    std::uint64_t peerAllocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::uint64_t peerBefore = allocationCount();
        theirs.frame(*peer);
        peerAllocations += allocationCount() - peerBefore;
        state.ResumeTiming();
        ours.frame(world);
    }
    const std::uint64_t allocations = allocationCount() - before - peerAllocations;
    const double frames = static_cast<double>(state.iterations());
    state.counters["vs_peer"] = ours.nanoseconds / theirs.nanoseconds;
    state.counters["vs_peer_cold"] = oursCold.nanoseconds / peerCold.nanoseconds;
    state.counters["page_faults_cold"] = double(oursCold.pageFaults);
    state.counters["peer_page_faults_cold"] = double(peerCold.pageFaults);
    state.counters["ns_per_bullet_frame"] = ours.bulletFrames > 0.0 ? ours.nanoseconds / ours.bulletFrames : 0.0;
    state.counters["peer_ns_per_bullet_frame"] =
        theirs.bulletFrames > 0.0 ? theirs.nanoseconds / theirs.bulletFrames : 0.0;
    state.counters["bullets_per_frame"] = ours.bulletFrames / frames;
    state.counters["allocs_per_frame"] = static_cast<double>(allocations) / frames;
}

void ScriptBullets(benchmark::State& state, const Pattern* pattern) {
    timeAgainstPeer(state, pattern);
    // Checked after the timing, once its worlds are gone (the object pools
    // hold one world at a time): run before it, the check would leave both
    // interpreters' memory in use and warm, and the cold frames would not be
    // the first of a fresh start.
    if (const std::string verdict = checkSameBullets(*pattern); !verdict.empty()) state.SkipWithError(verdict.c_str());
}

}  // namespace

BENCHMARK_CAPTURE(ScriptBullets, WaitTurn, &kWaitTurn)->Name("ScriptBullets/WaitTurn")->Iterations(kTimedFrames);
BENCHMARK_CAPTURE(ScriptBullets, SpeedSteps, &kSpeedSteps)
    ->Name("ScriptBullets/SpeedSteps")
    ->Iterations(kTimedFrames);
BENCHMARK_CAPTURE(ScriptBullets, FireInFire, &kFireInFire)
    ->Name("ScriptBullets/FireInFire")
    ->Iterations(kTimedFrames);

namespace {
// One emitter fires 9,999 bullets with an empty "bullet": each keeps its
// ended runtime (the pool holds 10,000 objects, the emitter is the last).
constexpr const char* kPlainBullets = R"(<exbulletml>
<action label="top"><repeat><times>9999</times><action>
  <fire><direction type="sequence">0.1</direction><speed>0.01</speed><bullet/></fire>
</action></repeat><wait>-1</wait></action>
</exbulletml>)";
}  // namespace

static void PlainBulletStep(benchmark::State& state) {
    VorlyWorld world(kPlainBullets, 1);
    world.frame();
    world.frame();
    const std::uint64_t before = allocationCount();
    double live = 0.0;
    const double start = threadCpuNanoseconds();
    for (auto _ : state) live += static_cast<double>(world.frame());
    const double end = threadCpuNanoseconds();
    // Counted before the counters below take their own memory.
    const std::uint64_t allocations = allocationCount() - before;
    const double frames = static_cast<double>(state.iterations());
    state.counters["cpu_ms_per_frame"] = (end - start) * 1e-6 / frames;
    state.counters["live_bullets"] = live / frames;
    state.counters["allocs_per_frame"] = static_cast<double>(allocations) / frames;
}
BENCHMARK(PlainBulletStep)->Unit(benchmark::kMillisecond);

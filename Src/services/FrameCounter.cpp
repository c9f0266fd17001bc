#include "services/FrameCounter.h"

#include <cmath>
#include <cstdio>

#include "platform/Clock.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace {
std::uint32_t now() { return Clock::instance().timeGetTime(); }

// A 32-bit float in the shortest general form with up to 7 significant digits.
std::string floatText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(static_cast<float>(value)));
    return text;
}
}  // namespace

// The millisecond timer of this platform always counts whole milliseconds,
// so there is no timer period to raise here or to restore at destruction.
FrameCounter::FrameCounter(FrameCounterPeers& peers)
    : peers_(peers), stageNumName_(internName("stagenum")), secondStart_(now()) {
    // Set properly by start(); until then they hold the construction time.
    lastFold_ = lastPresent_ = lastPaced_ = secondStart_;
    fillProfilerIdNames(idNames_);
}

FrameCounter::~FrameCounter() {
    const std::string gap = "      ";
    for (const auto& [id, counter] : elementProfile_) {
        const std::string& name = idNames_[id];
        logLine("::: " + name + gap + std::to_string(counter.getTotal()) + gap +
                floatText(counter.getTotalPerCall()) + gap + floatText(counter.getDivisor()) + gap +
                std::to_string(counter.getMaximumMs()) + gap + std::to_string(counter.getCount()));
    }
}

std::uint32_t FrameCounter::start() {
    secondStart_ = now();
    lastFold_ = now();
    framesThisSecond_ = 0;
    frameNumber_ = 0;
    playerFrames_ = 0;
    lastPresent_ = now();
    lastPaced_ = now();
    return secondStart_;
}

bool FrameCounter::pacesFrames() {
    // With vsync off nothing waits.
    if (!peers_.deviceVsync()) return false;
    // With force60fps on the device presents at once and this wait paces.
    if (g_systemInfo && g_systemInfo->getForce60fps()) return true;
    // Otherwise the retrace paces, but only where it gives 60 frames a
    // second: on faster displays, or where the swap interval is not honoured
    // (software rendering, virtual displays), pace here as with force60fps.
    return !peers_.retraceGives60Hz();
}

std::uint32_t FrameCounter::pacingSpeed() {
    std::optional<ReplayState> replay = peers_.replay();
    if (!replay || replay->mode != 1) return 1;
    if (replay->speed <= 1) return 1;
    if (replay->speed >= 8) return 8;
    return static_cast<std::uint32_t>(replay->speed);
}

void FrameCounter::waitNextFrame() {
    if (!pacesFrames()) return;
    const std::uint32_t speed = pacingSpeed();
    // 16 + 17 + 17 ms: three frames in 50 ms, 60 frames a second.
    const std::uint32_t target = (frameNumber_ % 3 == 0 ? 16u : 17u) / speed;
    Clock& clock = Clock::instance();
    // Sleep until one millisecond before the frame's end, then poll the
    // timer for the rest. Sleeps here overrun by well under a millisecond, so
    // the frame still ends on the millisecond the timer reaches its target,
    // as it would by polling the whole wait (which burned about a quarter of
    // a core at 60 frames a second).
    for (;;) {
        const std::uint32_t elapsed = clock.timeGetTime() - lastPaced_;
        if (elapsed >= target) break;
        if (elapsed + 1 < target) clock.sleep(target - 1 - elapsed);
    }
    lastPaced_ = clock.timeGetTime();
}

std::uint32_t FrameCounter::isSkippedFrame() {
    std::optional<ReplayState> replay = peers_.replay();
    if (!replay || replay->mode != 1 || replay->speed < 2) return 0;
    return frameNumber_ % static_cast<std::uint32_t>(replay->speed) != 0 ? 1 : 0;
}

std::uint32_t FrameCounter::onPresent() {
    const std::uint32_t time = now();
    if (time - lastPresent_ > 18) {
        std::optional<ReplayState> replay = peers_.replay();
        if (replay && replay->active && replay->mode != 1 && peers_.gameInfoExists()) {
            // The last stage of system type 4 does not count dropped frames.
            bool exempt = g_systemInfo && g_systemInfo->getSystemType() == 4 &&
                          std::trunc(peers_.gameVariable(stageNumName_)) == 8.0f;
            if (!exempt) peers_.countDroppedFrame();
        }
    }
    lastPresent_ = time;

    if (time - lastFold_ >= 500) {
        for (auto& entry : profile_) entry.second.fold();
        lastFold_ = now();
    }

    if (time - secondStart_ >= 1000) {
        framesPerSecond_ = static_cast<float>(framesThisSecond_);
        framesThisSecond_ = 1;
        secondStart_ = time;
    } else {
        ++framesThisSecond_;
    }

    ++frameNumber_;
    if (peers_.gameInfoExists() && peers_.gamePaused()) ++pausedFramesSinceReplayStart_;
    return time;
}

PerformanceCounter& FrameCounter::section(std::string_view name) { return profile_[internName(name)]; }

void FrameCounter::beginSection(std::string_view name) { section(name).start(); }

void FrameCounter::endSection(std::string_view name) { section(name).stop(); }

float FrameCounter::getSectionAverage(std::string_view name) { return section(name).getAverage(); }

void FrameCounter::samplePlayerPosition() {
    if (std::optional<PlayerCentre> centre = peers_.playerCentre()) {
        playerX_ = centre->x;
        playerY_ = centre->y;
    }
}

float FrameCounter::getPlayerX() { return peers_.playerCentre() ? playerX_ : 0.0f; }

float FrameCounter::getPlayerY() { return peers_.playerCentre() ? playerY_ : 0.0f; }

void FrameCounter::noteReplayStart() {
    replayStartFrame_ = frameNumber_;
    pausedFramesSinceReplayStart_ = 0;
}

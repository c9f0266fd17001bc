// The game's clock: numbers frames, measures frames per second, paces frames
// to 60 a second, tells which frames a fast-forwarded replay skips, keeps the
// per-play frame counters, and runs the profiler, whose sections are
// PerformanceCounters named by pooled names. All times are milliseconds of
// the platform timer.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "services/FrameCounterPeers.h"
#include "services/NamePool.h"
#include "services/PerformanceCounter.h"

class FrameCounter {
public:
    // A per-play counter's value when it has expired.
    static constexpr std::uint32_t kExpiredFrames = 360000;

    explicit FrameCounter(FrameCounterPeers& peers = FrameCounterPeers::managers());
    FrameCounter(const FrameCounter&) = delete;
    FrameCounter& operator=(const FrameCounter&) = delete;
    // Writes the element-id profile to the debug log.
    virtual ~FrameCounter();

    // Starts counting from now; returns the start of the second.
    std::uint32_t start();

    // The frame pacing wait, run before Present.
    void waitNextFrame();
    // Non-zero on frames whose drawing and Present a fast-forwarded replay skips.
    std::uint32_t isSkippedFrame();
    // The per-Present update (dropped frames, profile fold, fps, frame number);
    // returns the time of this Present.
    std::uint32_t onPresent();

    int getFps() const { return static_cast<int>(framesPerSecond_); }
    std::uint32_t getFrameNumber() const { return frameNumber_; }

    void beginSection(std::string_view name);
    void endSection(std::string_view name);
    float getSectionAverage(std::string_view name);

    void samplePlayerPosition();
    float getPlayerX();
    float getPlayerY();

    std::uint32_t nextSerial() { return serial_++; }
    void resetSerial() { serial_ = 0; }

    // Replay start: the frame number now, paused frames since then cleared.
    void noteReplayStart();
    void markReplayStart() { noteReplayStart(); }
    std::uint32_t getFramesSinceMark() const { return frameNumber_ - replayStartFrame_; }
    std::uint32_t getPausedFramesSinceReplayStart() const { return pausedFramesSinceReplayStart_; }

    // Game reset: frames are counted from here for the play.
    void resetPlayFrameBase() { playFrameBase_ = frameNumber_; }
    std::uint32_t getFramesSinceReset() const { return frameNumber_ - playFrameBase_; }

    void resetMagicFrames() { magicFrames_ = 0; }
    void tickMagicFrames() { ++magicFrames_; }
    void expireMagicFrames() { magicFrames_ = kExpiredFrames; }
    std::uint32_t getMagicFrames() const { return magicFrames_; }
    void resetMissFrames() { missFrames_ = 0; }
    void tickMissFrames() { ++missFrames_; }
    void expireMissFrames() { missFrames_ = kExpiredFrames; }
    std::uint32_t getMissFrames() const { return missFrames_; }
    void resetGrazeFrames() { grazeFrames_ = 0; }
    void tickGrazeFrames() { ++grazeFrames_; }
    void expireGrazeFrames() { grazeFrames_ = kExpiredFrames; }
    std::uint32_t getGrazeFrames() const { return grazeFrames_; }
    void resetDamageFrames() { damageFrames_ = 0; }
    void tickDamageFrames() { ++damageFrames_; }
    void expireDamageFrames() { damageFrames_ = kExpiredFrames; }
    void resetPauseFrames() { pauseFrames_ = 0; }
    void tickPauseFrames() { ++pauseFrames_; }
    void resetPlayerFrames() { playerFrames_ = 0; }
    void tickPlayerFrames() { ++playerFrames_; }
    std::uint32_t getPlayerFrames() const { return playerFrames_; }

    // The id-to-name table: script element and parameter-child ids and the
    // profiler's own step and checkpoint ids, each name blank-padded to 16.
    const std::map<std::uint32_t, std::string>& idNames() const { return idNames_; }

private:
    // True when this wait, not the retrace, paces the frames.
    bool pacesFrames();
    // 1, or the playback speed (1 to 8) while a replay plays back.
    std::uint32_t pacingSpeed();
    PerformanceCounter& section(std::string_view name);

    FrameCounterPeers& peers_;
    NameHandle stageNumName_;

    std::uint32_t framesThisSecond_ = 0;
    std::uint32_t frameNumber_ = 0;
    std::uint32_t secondStart_;
    std::uint32_t lastFold_;
    float framesPerSecond_ = 1.0f;
    std::map<NameHandle, PerformanceCounter> profile_;
    // Nothing records into it; the destructor prints it.
    std::map<std::uint32_t, PerformanceCounter> elementProfile_;
    std::map<std::uint32_t, std::string> idNames_;
    std::uint32_t lastPresent_;
    std::uint32_t lastPaced_;
    float playerX_ = 0.0f;
    float playerY_ = 0.0f;
    std::uint32_t serial_ = 0;
    std::uint32_t replayStartFrame_ = 0;
    std::uint32_t pausedFramesSinceReplayStart_ = 0;
    std::uint32_t playFrameBase_ = 0;
    std::uint32_t magicFrames_ = kExpiredFrames;
    std::uint32_t missFrames_ = kExpiredFrames;
    std::uint32_t grazeFrames_ = kExpiredFrames;
    std::uint32_t damageFrames_ = kExpiredFrames;
    std::uint32_t pauseFrames_ = kExpiredFrames;
    std::uint32_t playerFrames_ = 0;
};

// Fills the id-to-name table (208 rows).
void fillProfilerIdNames(std::map<std::uint32_t, std::string>& names);
// A profiler name padded on the right with blanks to 16 characters.
std::string padProfilerName(std::string_view name);

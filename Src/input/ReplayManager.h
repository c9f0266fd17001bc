// The replay manager: one instance, created with the input managers and
// released after the game records. It records a play stage by stage, keeps
// every replay file of the "replay" folder in memory by slot (coded blocks
// only), plays a selected replay back stage by stage or restarts a stage from
// its recorded starting state, and answers the replay variables of the menus.
//
// Two flags live side by side: the active flag (between "startreplay" and
// "endreplay") and the replay-started flag, which the game records consult
// before they register a play, write the score file or read a replay stage's
// game flags; it is set by `startReplay` and cleared by `clearReplay`.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "input/ReplayData.h"
#include "network/OnlineReplayFiles.h"
#include "platform/HResult.h"

class ReplayManager : public OnlineReplayFiles {
public:
    static constexpr std::int32_t kRecord = 0;
    static constexpr std::int32_t kPlayBack = 1;
    static constexpr std::int32_t kRestart = 2;
    static constexpr std::int32_t kSlotCount = 1000;

    // What the start of a stage needs from the script side: the shared random
    // generator goes back to its start value before every "startreplay", the
    // five top objects' running scripts stop, the player step's slow counter
    // clears. The interpreter installs them; unset hooks do nothing.
    struct Hooks {
        std::function<void()> reseedRandom;
        std::function<void()> stopTopScripts;
        std::function<void()> resetSlowCounter;
    };

    ReplayManager();
    virtual ~ReplayManager();

    // Creates both replays, loads every slot, selects the configured slot and
    // plays it when the configuration's replay setting is above 0.
    void setup();
    void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }

    // ---- mode and flags ----
    void setMode(std::int32_t mode) { mode_ = mode; }
    std::int32_t getMode() const { return mode_; }
    std::int32_t isActive() const { return active_; }
    std::int32_t isReplayStarted() const { return replayStarted_; }
    void setReplayStarted(std::int32_t started) { replayStarted_ = started; }
    std::int32_t getReplaySpeed() const { return speed_; }
    void speedUp() { speed_ = speed_ < 8 ? speed_ + 1 : 8; }
    void speedDown() { speed_ = speed_ > 1 ? speed_ - 1 : 1; }
    void resetSpeed() { speed_ = 1; }
    std::int32_t isOtherMachine() const { return otherMachine_; }

    // ---- slots and files ----
    void loadAllReplays();
    std::int32_t firstFreeSlot();
    std::int32_t hasReplay(std::int32_t slot) const;
    HRESULT selectReplay(std::int32_t slot);
    HRESULT saveReplay(std::int32_t slot);
    HRESULT saveReplayAuto();
    void clearReplay();
    // The whole file of a slot, for upload (any thread: reads the file only).
    bool readReplayFile(std::uint32_t slot, std::vector<std::uint8_t>& bytes) override;
    // A downloaded replay: checked as a load would, then written to the
    // download slot's file; false (nothing written) when it fails.
    bool writeReplayFile(const std::uint8_t* bytes, std::size_t size) override;
    void saveOnlineReplay(std::int32_t slot, std::int32_t entry);
    std::int32_t getDownloadSlot() const { return downloadSlot_; }

    static std::string slotPath(std::int32_t slot);
    // Fills a replay from a file; a file failing the checks leaves it without stages.
    static HRESULT LoadReplayFile(ReplayData& replay, const std::string& path);
    static HRESULT SaveReplayFile(ReplayData& replay, const std::string& path);

    // ---- recording and play back ----
    // "startreplay": the generator goes back to its start value, then startReplay.
    void startReplayCommand();
    void startReplay();
    HRESULT playStage(std::int32_t stage);
    void endReplay();
    // Once per frame after the object step: while a stage is recorded or
    // played, the game is not paused and the replay trace channel has a sink,
    // the stage and the frame (counted from the replay start without the
    // paused ones) whose play hash the trace takes; nothing otherwise.
    struct TracePoint {
        std::int32_t stage = 0;
        std::uint32_t frame = 0;
    };
    std::optional<TracePoint> tracePoint() const;

    // ---- queries for scripts ----
    enum class Fact {
        Valid, MajorVersion, MinorVersion1, MinorVersion2, DroppedFrames, Score, ScoreFigure, MaxStage,
        Year, Month, Day, Hour, Minute, Vorly, Weapon, Difficulty, RealDifficulty, PracticeMode, Id, EachStage
    };
    // A slot's fact (_replay_...); an empty or out-of-range slot answers 0, 1 for the major version.
    std::int32_t replayFact(Fact fact, std::int32_t slot) const;
    std::int32_t replayName(std::int32_t slot, std::int32_t position) const;
    std::int32_t selectedStageFlag() const;
    std::int32_t selectedEachStage(std::int32_t stage) const;
    std::int32_t selectedStageScore(std::int32_t stage) const;
    void setOnlineReplay(std::int32_t a, std::int32_t b, std::int32_t c);
    void setOnlineReplayStage(std::int32_t key) { onlineKeys_[3] = key; }
    std::int32_t onlineFact(Fact fact, std::int32_t rank) const;
    std::int32_t onlineReplayName(std::int32_t rank, std::int32_t position) const;
    std::int32_t onlineStageScore(std::int32_t rank, std::int32_t stage) const;

    const ReplayData* getRecordingReplay() const { return recording_.get(); }
    const ReplayData* getSelectedReplay() const { return selected_.get(); }
    const ReplayData* getSlot(std::int32_t slot) const;

private:
    void takeStageStartValues();
    HRESULT prepareRestart(std::int32_t stage);
    void captureStage();
    std::int32_t stageNumber() const;

    std::map<std::int32_t, std::shared_ptr<ReplayData>> slots_;
    std::shared_ptr<ReplayData> recording_;
    std::shared_ptr<ReplayData> selected_;
    std::int32_t mode_ = kRecord;
    std::uint32_t startTime_ = 0;
    std::int32_t active_ = 0;
    // First extra-crystal count, maxlife x 256 + life, buzz, tension, the two
    // vorly counters, prate, item 3 count, tbchain, play frames, rank, ring,
    // spirit, secret, avgprate, misscount.
    std::array<std::uint32_t, 16> startValues_{};
    std::int32_t speed_ = 1;
    bool carriedSet_ = false;
    std::uint32_t carriedFlags_ = 0;
    std::array<std::int32_t, 4> onlineKeys_{};
    std::int32_t downloadSlot_ = 0;
    std::int32_t otherMachine_ = 0;
    std::int32_t replayStarted_ = 0;
    Hooks hooks_;
};

// The game-state record: the game variables that scripts read and write, the
// named switches, global, lock and dynamic variables, the game flags, the
// read-text sets and the play state that the player logic, the collision code,
// the draw code and the script commands change every frame. One heap object,
// reached through g_gameInfo; all of it runs on the main thread, except the
// online tables and the upload of the best local scores, which the network
// worker reaches (those tables carry their own locks).
//
// Variables are keyed by the 32-bit handle of their name in the name pool.
// Reads and writes through the variable maps create a missing entry with 0,
// as map subscripts do; flag, lock and dynamic lookups never create one.
//
// Indexes that come from scripts (item types, name positions, ending numbers,
// stage numbers, difficulty and pairing indexes) are checked: a read outside
// the table gives 0 (a blank for a name character), a write is ignored.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string_view>

#include "records/LocalScoreTables.h"
#include "records/OnlineTables.h"
#include "script/BulletML_Node_Number_Manager.h"
#include "services/Managers.h"
#include "services/NamePool.h"

using ScriptVarMap = std::map<std::uint32_t, float>;
using NamedIntMap = std::map<std::uint32_t, std::int32_t>;
using GlobalVarMap = std::map<std::uint32_t, float>;
using LockMap = std::map<std::uint32_t, std::int32_t>;
// Bindings made by the "dynamic" command; the expressions are not owned.
using DynamicVarMap = std::map<std::uint32_t, const BulletML_Node_Number*>;
using GameFlagMap = std::map<std::int32_t, std::int32_t>;
using ReadTextSet = std::set<std::uint32_t>;

class GameInfo {
public:
    static constexpr int kItemTypes = 7;
    static constexpr int kStageScores = 16;
    static constexpr int kReachStageWords = 9;
    static constexpr int kEndingWords = 8;
    // Flag ids 0..127 are the ones the records initialise, merge and save.
    static constexpr std::int32_t kSavedFlagIds = 128;
    // Dynamic variables bound to each other deeper than this read 0.0.
    static constexpr int kMaxDynamicDepth = 64;

    GameInfo();
    // Saves the record files when the record was initialised, then writes the
    // continue count back into the configuration.
    virtual ~GameInfo();
    GameInfo(const GameInfo&) = delete;
    GameInfo& operator=(const GameInfo&) = delete;

    // Resets the score tables and reads the score and cache files, then
    // clears the crystal and item counts and the text-block flag.
    virtual void load();
    // Once after construction: defaults of the tables, the player name, the
    // flag maps and the continue count; reads the read-text file.
    void init();

    // ---- variable store ----
    float getVar(std::uint32_t id);
    // Where variable `id` is kept (made 0 when new, as getVar makes it). It
    // stays there as long as this record: variables are never removed.
    const float& varRef(std::uint32_t id) { return scriptVars_[id]; }
    // A number no other record of this process had: a caller keeping varRef
    // results tells a new record from an old one at the same address.
    std::uint64_t serial() const { return serial_; }
    void setVar(std::uint32_t id, float value);
    void addVar(std::uint32_t id, float value);
    void incVar(std::uint32_t id);
    void decVar(std::uint32_t id);
    float getVarDigits(std::uint32_t id);
    float getVarLeadingDigit(std::uint32_t id);
    void setGlobalVar(std::uint32_t id, float value);
    float getGlobalVar(std::uint32_t id);
    void setDynamicVar(std::uint32_t id, const BulletML_Node_Number* expression);
    double resolveVar(std::uint32_t id);
    void setNamedVar(std::string_view name, std::int32_t value);
    std::int32_t getNamedVar(std::string_view name);
    void setLock(std::uint32_t id);
    void releaseLock(std::uint32_t id);
    std::int32_t isLocked(std::uint32_t id) const;
    void releaseAllLocks();

    // ---- game flags ----
    void setGameFlag(std::int32_t id, std::int32_t value);
    void setStageGameFlag(std::int32_t id, std::int32_t value);
    std::int32_t getGameFlag(std::int32_t id) const;
    void clearGameFlags();
    void updateGameFlags();
    std::int32_t getSavedGameFlag(std::int32_t id);
    std::int32_t getAllGameFlag(std::int32_t id) const;

    // ---- numbers shown as digits ----
    static std::int32_t countDigits(std::int32_t n);
    static std::int32_t digitAt(std::int32_t value, std::int32_t n);

    // ---- play state ----
    void setMinX(std::int32_t v) { minX_ = v; }
    void setMaxX(std::int32_t v) { maxX_ = v; }
    void setMinY(std::int32_t v) { minY_ = v; }
    void setMaxY(std::int32_t v) { maxY_ = v; }
    std::int32_t getMinX() const { return minX_; }
    std::int32_t getMaxX() const { return maxX_; }
    std::int32_t getMinY() const { return minY_; }
    std::int32_t getMaxY() const { return maxY_; }

    void setScore(std::uint32_t v) { score_ = v; }
    void addScore(std::uint32_t amount) { score_ += amount; }
    std::uint32_t getScore();
    std::int32_t getScoreDigits() const { return countDigits(static_cast<std::int32_t>(score_)); }
    void clearStageFlag() { stageFlagWord_ = 0; }

    void setBuzz(std::int32_t v) { buzz_ = v; }
    void addBuzz(std::int32_t amount);
    std::int32_t getBuzz() const { return buzz_; }
    std::int32_t getBuzzDigits() const { return countDigits(buzz_); }

    void setGroupScoreFlag(std::int32_t v) { groupScoreFlag_ = v; }

    std::int32_t isPaused() const { return paused_; }
    std::int32_t isPauseAllowed() const { return pauseAllowed_; }
    std::int32_t isPauseToggleRequested() const { return pauseToggleRequest_; }
    void setPauseAllowed(std::int32_t v) { pauseAllowed_ = v; }
    void requestPauseState(std::int32_t paused);
    void requestPauseToggle() { pauseToggleRequest_ = 1; }
    void applyPauseToggle();

    void setItemCount(std::int32_t type, std::int32_t value);
    std::int32_t getItemCount(std::int32_t type) const;
    std::int32_t getItemCountDigits(std::int32_t type) const { return countDigits(getItemCount(type)); }
    void incItemCount(std::int32_t type);

    std::int32_t getECrystal1() const { return eCrystal1_; }
    std::int32_t getECrystal2() const { return eCrystal2_; }
    std::int32_t getMaxCrystal() const { return maxCrystal_; }
    void setECrystal1(std::int32_t v) { eCrystal1_ = v; }
    void setECrystal2(std::int32_t v) { eCrystal2_ = v; }
    void setMaxCrystal(std::int32_t v) { maxCrystal_ = v; }
    std::int32_t getECrystal1Digits() const { return countDigits(eCrystal1_); }
    std::int32_t getECrystal2Digits() const { return countDigits(eCrystal2_); }
    void incECrystal1();
    void incECrystal2();

    void setPrate(std::int32_t v);
    void addPrate(std::int32_t amount);
    std::int32_t getPrate() const { return prate_; }
    std::int32_t getPrateDigits() const { return countDigits(prate_); }

    void setRank(std::int32_t v);
    void addRank(std::int32_t amount);
    std::int32_t getRank() const { return rank_; }
    std::int32_t getRankDigits() const { return countDigits(rank_); }

    void setSpirit(std::int32_t v);
    void addSpirit(std::int32_t amount);
    std::int32_t getSpirit() const { return spirit_; }
    std::int32_t getSpiritNonNegative() const { return spirit_ < 0 ? 0 : spirit_; }
    std::int32_t getSpiritDigits() const { return countDigits(getSpiritNonNegative()); }

    void incVorlyCount1();
    void incVorlyCount2();
    void resetVorlyRate() { vorlyCount1_ = 1; vorlyCount2_ = 0; }
    void setVorlyCounts(std::int32_t first, std::int32_t second) { vorlyCount1_ = first; vorlyCount2_ = second; }
    std::int32_t getVorlyCount1() const { return vorlyCount1_; }
    std::int32_t getVorlyCount2() const { return vorlyCount2_; }
    std::int32_t getVorlyRate() const;
    std::int32_t getVorlyRateDigits() const { return countDigits(getVorlyRate()); }
    void shiftVorlyRateUp();
    void shiftVorlyRateDown();

    void setFullDraw(std::int32_t v) { fullDraw_ = v; }
    std::int32_t isFullDraw() const { return fullDraw_; }
    void setPlayerMoveEnabled(std::int32_t v) { playerMoveEnabled_ = v; }
    std::int32_t isPlayerMoveEnabled() const { return playerMoveEnabled_; }
    void setSkipPressed(std::int32_t v) { skipPressed_ = v; }
    void setSkipButtonEnabled(std::int32_t v) { skipButtonEnabled_ = v; }
    std::int32_t isSkipPressed() const { return skipPressed_; }
    std::int32_t isSkipButtonEnabled() const { return skipButtonEnabled_; }
    void setReconfigCount(std::int32_t v) { reconfigCount_ = v; }
    std::int32_t getReconfigCount() const { return reconfigCount_; }
    void decReconfigCount() { if (reconfigCount_ > 0) --reconfigCount_; }
    void setEscToCancel(std::int32_t v) { escToCancel_ = v; }
    std::int32_t isEscToCancel() const { return escToCancel_; }
    void setGameOver(std::int32_t v) { gameOver_ = v; }
    std::int32_t isGameOver() const { return gameOver_; }
    void setWaitKey(std::int32_t v) { waitKey_ = v; }
    void setWaitKeyValue(std::int32_t v) { waitKeyValue_ = v; }
    std::int32_t isWaitKey() const { return waitKey_; }
    std::int32_t getWaitKeyValue() const { return waitKeyValue_; }
    void setPlayerSwitchable(std::int32_t v) { playerSwitchable_ = v; }
    std::int32_t isPlayerSwitchable() const { return playerSwitchable_; }
    void setClearTextureRequest(std::int32_t v) { clearTextureRequest_ = v; }
    std::int32_t isClearTextureRequested() const { return clearTextureRequest_; }

    void resetDroppedFrames() { droppedFrames_ = 0; }
    void clearPlayFrameCount() { playFrames_ = 0; }
    std::int32_t getPlayFrameCount() const { return playFrames_; }
    std::int32_t getDroppedFrames() const { return droppedFrames_; }
    void countDroppedFrame();

    std::uint32_t getMachineId0() const { return machineId_[0]; }
    std::uint32_t getMachineId1() const { return machineId_[1]; }
    void setMachineId(std::uint32_t word0, std::uint32_t word1) { machineId_ = {word0, word1}; }

    std::uint32_t getPlayerName0() const { return playerName_[0]; }
    std::uint32_t getPlayerName1() const { return playerName_[1]; }
    void setPlayerName(std::uint32_t word0, std::uint32_t word1) { playerName_ = {word0, word1}; }
    void createTmpName() { editedName_ = playerName_; }
    void commitMyName() { playerName_ = editedName_; }
    void setMyNameChar(std::int32_t position, std::int32_t character);
    std::int32_t getMyNameLength() const;
    std::int32_t getMyNameChar(std::int32_t position) const;
    // Packs the first eight bytes of `name` (blank-padded) as a name's words.
    static std::array<std::uint32_t, 2> packName(std::string_view name);

    std::int32_t isMyScoreUpdated() const { return myScoreUpdated_.load(); }
    void setMyScoreUpdated(std::int32_t v) { myScoreUpdated_ = v; }

    void setEndingSeen(std::int32_t n);
    std::int32_t isEndingSeen(std::int32_t n) const;

    std::int32_t hasReachedStage(std::int32_t stage, std::int32_t bit, std::int32_t pairing,
                                 std::int32_t difficulty) const;
    std::int32_t hasReachedStageAll(std::int32_t stage, std::int32_t bit) const;
    std::uint32_t getMaxScoreStage() const { return reachStage_[0]; }
    void setMaxStageUpdate(std::int32_t v);
    std::int32_t getMaxStageUpdate() const { return maxStageUpdate_; }

    std::uint32_t getDiffScore();
    std::int32_t getDiffScoreDigits();

    void setMpoint(float v);
    void addMpoint(float amount);
    float getMpoint() const { return mpoint_; }

    void setCutinMode(std::int32_t v) { cutinMode_ = v; }
    std::int32_t getCutinMode() const { return cutinMode_; }
    void setTextBlockActive(std::int32_t v) { textBlockActive_ = v; }
    std::int32_t isTextBlockActive() const { return textBlockActive_; }

    // Number records owned by the game records (apart from the scripts' registry).
    BulletML_Node_Number_Manager& numberManager() { return numbers_; }

    ReadTextSet& getPlayReadTextSet() { return playReadTexts_; }
    ReadTextSet& getReadTextSet() { return readTexts_; }
    // Text blocks read in any play (kept in "data\\textread.dat") and in this play.
    void addReadText(std::uint32_t id) { readTexts_.insert(id); }
    std::int32_t isTextRead(std::uint32_t id) const { return readTexts_.count(id) ? 1 : 0; }
    std::int32_t isTextReadThisPlay(std::uint32_t id) const { return playReadTexts_.count(id) ? 1 : 0; }
    // The running play starts from what every play has read so far.
    void fixReadText() { playReadTexts_ = readTexts_; }

    std::int32_t isInitialised() const { return initialised_; }

    // ---- tables the record files and the score code fill ----
    std::array<std::uint32_t, kStageScores>& stageScores() { return stageScores_; }
    std::array<std::uint32_t, kReachStageWords>& reachStageWords() { return reachStage_; }
    const std::array<std::uint32_t, kReachStageWords>& reachStageWords() const { return reachStage_; }
    std::array<std::uint32_t, kEndingWords>& endingWords() { return endingBits_; }
    const std::array<std::uint32_t, kEndingWords>& endingWords() const { return endingBits_; }
    std::uint32_t& stageFlagWord() { return stageFlagWord_; }
    std::uint32_t& modeWord() { return modeWord_; }
    // The saved flag map of a pairing type (vorlytype 2: second, 3: third,
    // any other: first).
    GameFlagMap& savedGameFlags(std::int32_t pairingType);
    const GameFlagMap& savedGameFlags(std::int32_t pairingType) const;
    std::array<std::uint32_t, 2>& machineIdWords() { return machineId_; }
    std::array<std::uint32_t, 2>& playerNameWords() { return playerName_; }

    // ---- local score tables (GameInfoScores.cpp) ----
    // Makes the table hold n + 1 entries, defaults in the ranking words.
    static void resetTable(ScoreTable& table, int n);
    void commitStageScore();
    void registerScore();
    std::uint32_t getHiscore2();
    std::int32_t getHiscore2Digits();
    // Table getters: (rank, difficulty index 0..3, pairing index 0..2); 0 for
    // anything outside the tables.
    std::uint32_t getHiscore(int rank, int d, int t) const;
    std::int32_t getHiscoreDigits(int rank, int d, int t) const;
    std::uint32_t getHiscoreYear(int rank, int d, int t) const;
    std::uint32_t getHiscoreMonthDay(int rank, int d, int t) const;
    std::uint32_t getHiscoreTime(int rank, int d, int t) const;
    std::uint32_t getHiscoreWeapon(int rank, int d, int t) const;
    std::uint32_t getHiscoreStageScore(int rank, int d, int t, int index) const;
    std::int32_t getHiscoreStageScoreDigits(int rank, int d, int t, int index) const;
    std::uint32_t getHiscoreMajorVersion(int rank, int d, int t) const;
    std::uint32_t getHiscoreMinorVersion1(int rank, int d, int t) const;
    std::uint32_t getHiscoreMinorVersion2(int rank, int d, int t) const;
    std::uint32_t getHiscoreDroppedFrames(int rank, int d, int t) const;
    std::uint32_t getHiscoreEachStage(int rank, int d, int t, int stage) const;
    // Writes "data\score.dat" unless a replay slot is configured, a replay
    // plays back (or no replay manager exists) or the play is a practice;
    // 1 when a due write failed.
    int writeScoreFile();
    // The best entry of every local ranking table, for the upload (worker).
    void collectScoresForUpload(std::span<ScoreEntry, 12> records) const;
    // Gives this machine's entries the current player name.
    void updateScoreName();
    LocalScoreTables& localScoreTables() { return localScores_; }

    // ---- online tables (GameInfoOnline.cpp) ----
    void resetOnlineTables();
    void fillOnlineScores(const ScoreEntry* records, std::size_t count);
    void fillRankingCache();
    void fillRanking(const ScoreEntry* records, std::size_t count);
    void fillOnlineReplayList();
    void setOnlineRank(int d, int t, std::uint32_t rank);
    std::uint32_t getOnlineRank(int d, int t) const;
    std::int32_t getOnlineRankDigits(int d, int t) const;
    // The ranking cache, with the ranges of the local getters.
    std::uint32_t getOnlineHiscore(int rank, int d, int t) const;
    std::int32_t getOnlineHiscoreDigits(int rank, int d, int t) const;
    std::uint32_t getOnlineHiscoreYear(int rank, int d, int t) const;
    std::uint32_t getOnlineHiscoreMonthDay(int rank, int d, int t) const;
    std::uint32_t getOnlineHiscoreTime(int rank, int d, int t) const;
    std::uint32_t getOnlineHiscoreWeapon(int rank, int d, int t) const;
    std::uint32_t getOnlineHiscoreStageScore(int rank, int d, int t, int index) const;
    std::int32_t getOnlineHiscoreStageScoreDigits(int rank, int d, int t, int index) const;
    std::uint32_t getOnlineMajorVersion(int rank, int d, int t) const;
    std::uint32_t getOnlineMinorVersion1(int rank, int d, int t) const;
    std::uint32_t getOnlineMinorVersion2(int rank, int d, int t) const;
    std::uint32_t getOnlineHiscoreDroppedFrames(int rank, int d, int t) const;
    std::uint32_t getOnlineHiscoreName(int rank, int d, int t, int position) const;
    std::uint32_t getOnlineHiscoreEachStage(int rank, int d, int t, int stage) const;
    // The online replay lists: the keyed practice table of t and `key` when
    // kind is 1 and key is at least 1, else table [3 x (4 if kind is 1, else d) + t].
    std::uint32_t getOnlineReplayYear(int rank, int d, int t, int kind, int key) const;
    std::uint32_t getOnlineReplayWeapon(int rank, int d, int t, int kind, int key) const;
    std::uint32_t getOnlineReplayDate(int rank, int d, int t, int kind, int key) const;
    std::uint32_t getOnlineReplayTime(int rank, int d, int t, int kind, int key) const;
    std::uint32_t getOnlineReplayStageScore(int rank, int d, int t, int index, int kind, int key) const;
    std::uint32_t getOnlineReplayName(int rank, int d, int t, int kind, int key, int position) const;
    std::uint32_t getOnlineReplayEachStage(int rank, int d, int t, int kind, int key) const;
    std::uint32_t getOnlineReplayId(int rank, int d, int t, int kind, int key) const;
    std::int32_t isOnlineReplayValid(int rank, int d, int t, int kind, int key) const;
    std::uint32_t getOnlineReplayDifficulty(int rank, int d, int t, int kind, int key) const;
    std::uint32_t getOnlineReplayScore(int rank, int d, int t, int kind, int key) const;
    std::uint32_t getOnlineReplayMachineId0(int rank, int d, int t, int kind, int key) const;
    std::uint32_t getOnlineReplayMachineId1(int rank, int d, int t, int kind, int key) const;
    // Version words of the online replay table [3d + t], d = 0..4.
    std::uint32_t getOnlineReplayMajorVersion(int rank, int d, int t) const;
    std::uint32_t getOnlineReplayMinorVersion1(int rank, int d, int t) const;
    std::uint32_t getOnlineReplayMinorVersion2(int rank, int d, int t) const;
    std::uint32_t getOnlineReplayDroppedFrames(int rank, int d, int t) const;
    OnlineTables& onlineTables() { return online_; }

private:
    // Handles of the variables the record itself reads and writes by name.
    struct VarNames {
        NameHandle continueNum, maxContinueNum, difficulty, vorlyType, weaponType, practiceMode,
            stageNum, stageFlag, targetScore, ignoreCollision;
    };
    std::int32_t truncatedVar(NameHandle id);
    void zeroSavedFlagIds();

    ScriptVarMap scriptVars_;
    std::uint64_t serial_ = 0;
    NamedIntMap namedInts_;
    GlobalVarMap globalVars_;
    LockMap locks_;

    std::array<std::uint32_t, kStageScores> stageScores_{};
    std::array<std::uint32_t, kReachStageWords> reachStage_{};
    std::array<std::uint32_t, 2> playerName_{};
    std::array<std::uint32_t, 2> editedName_{};
    std::array<std::uint32_t, kEndingWords> endingBits_{};

    BulletML_Node_Number_Manager numbers_;
    DynamicVarMap dynamicVars_;
    GameFlagMap currentFlags_;
    GameFlagMap replayStageFlags_;
    std::array<GameFlagMap, 3> savedFlags_;
    ReadTextSet readTexts_;
    ReadTextSet playReadTexts_;

    // Play state, with the defaults a new record starts from.
    std::array<std::int32_t, kItemTypes> itemCounts_{};
    std::uint32_t score_ = 0;
    std::uint32_t modeWord_ = 0;
    std::uint32_t stageFlagWord_ = 0;
    std::int32_t buzz_ = 0;
    // Cleared by the network worker when a ranking reply is committed.
    std::atomic<std::int32_t> myScoreUpdated_{0};
    std::int32_t groupScoreFlag_ = 0;
    std::int32_t paused_ = 0;
    std::int32_t pauseAllowed_ = 1;
    std::int32_t pauseToggleRequest_ = 0;
    std::int32_t fullDraw_ = 1;
    std::int32_t playerMoveEnabled_ = 1;
    std::int32_t skipPressed_ = 0;
    std::int32_t escToCancel_ = 1;
    std::int32_t gameOver_ = 0;
    std::int32_t waitKey_ = 0;
    std::int32_t playerSwitchable_ = 1;
    std::int32_t clearTextureRequest_ = 0;
    std::int32_t maxStageUpdate_ = 1;
    std::int32_t skipButtonEnabled_ = 1;
    std::int32_t textBlockActive_ = 0;
    std::int32_t initialised_ = 0;
    std::int32_t minX_ = 0, maxX_ = 640, minY_ = 0, maxY_ = 480;
    std::int32_t eCrystal1_ = 0, eCrystal2_ = 0;
    std::int32_t maxCrystal_ = 255;
    std::int32_t prate_ = 500000;
    std::int32_t rank_ = 0;
    std::int32_t spirit_ = 10000;
    std::int32_t vorlyCount1_ = 0, vorlyCount2_ = 0;
    std::int32_t reconfigCount_ = 0;
    std::int32_t waitKeyValue_ = 0;
    std::int32_t droppedFrames_ = 0;
    std::int32_t playFrames_ = 0;
    std::array<std::uint32_t, 2> machineId_{};
    float mpoint_ = 0.0f;
    std::int32_t cutinMode_ = 0;

    LocalScoreTables localScores_;
    OnlineTables online_;

    VarNames names_;
    // Nesting of resolveVar, to stop dynamic variables bound in a cycle.
    int resolveDepth_ = 0;
    std::set<std::uint32_t> reportedCycles_;
};

// GameInfo: the online tables the ranking client fills (on its worker
// thread) and the getters that scripts and the replay manager read. The
// tables lock themselves; getters work on copies of the entries.
#include <optional>

#include "records/GameInfo.h"

namespace {
template <typename Read>
std::uint32_t readEntry(const std::optional<ScoreEntry>& entry, Read read) {
    return entry ? read(*entry) : 0;
}
}  // namespace

void GameInfo::resetOnlineTables() { online_.resetOnlineTables(); }

void GameInfo::fillOnlineScores(const ScoreEntry* records, std::size_t count) {
    online_.fillOnlineScores(std::span<const ScoreEntry>(records, records ? count : 0));
}

void GameInfo::fillRankingCache() {
    myScoreUpdated_ = 0;
    online_.fillRankingCache();
}

void GameInfo::fillRanking(const ScoreEntry* records, std::size_t count) {
    online_.fillRanking(std::span<const ScoreEntry>(records, records ? count : 0));
}

void GameInfo::fillOnlineReplayList() { online_.fillOnlineReplayList(); }

void GameInfo::setOnlineRank(int d, int t, std::uint32_t rank) { online_.setOnlineRank(d, t, rank); }
std::uint32_t GameInfo::getOnlineRank(int d, int t) const { return online_.getOnlineRank(d, t); }
std::int32_t GameInfo::getOnlineRankDigits(int d, int t) const {
    return countDigits(static_cast<std::int32_t>(getOnlineRank(d, t)));
}

// ---- the ranking cache ----

std::uint32_t GameInfo::getOnlineHiscore(int rank, int d, int t) const {
    return readEntry(online_.cacheEntry(rank, d, t), [](const ScoreEntry& e) { return e.score(); });
}
std::int32_t GameInfo::getOnlineHiscoreDigits(int rank, int d, int t) const {
    return countDigits(static_cast<std::int32_t>(getOnlineHiscore(rank, d, t)));
}
std::uint32_t GameInfo::getOnlineHiscoreYear(int rank, int d, int t) const {
    return readEntry(online_.cacheEntry(rank, d, t), [](const ScoreEntry& e) { return e.year(); });
}
std::uint32_t GameInfo::getOnlineHiscoreMonthDay(int rank, int d, int t) const {
    return readEntry(online_.cacheEntry(rank, d, t), [](const ScoreEntry& e) { return e.monthDay(); });
}
std::uint32_t GameInfo::getOnlineHiscoreTime(int rank, int d, int t) const {
    return readEntry(online_.cacheEntry(rank, d, t), [](const ScoreEntry& e) { return e.time(); });
}
std::uint32_t GameInfo::getOnlineHiscoreWeapon(int rank, int d, int t) const {
    return readEntry(online_.cacheEntry(rank, d, t), [](const ScoreEntry& e) { return e.weapon(); });
}
std::uint32_t GameInfo::getOnlineHiscoreStageScore(int rank, int d, int t, int index) const {
    return readEntry(online_.cacheEntry(rank, d, t), [index](const ScoreEntry& e) { return e.stageScore(index); });
}
std::int32_t GameInfo::getOnlineHiscoreStageScoreDigits(int rank, int d, int t, int index) const {
    return countDigits(static_cast<std::int32_t>(getOnlineHiscoreStageScore(rank, d, t, index)));
}
std::uint32_t GameInfo::getOnlineMajorVersion(int rank, int d, int t) const {
    return readEntry(online_.cacheEntry(rank, d, t), [](const ScoreEntry& e) { return e.majorVersion(); });
}
std::uint32_t GameInfo::getOnlineMinorVersion1(int rank, int d, int t) const {
    return readEntry(online_.cacheEntry(rank, d, t), [](const ScoreEntry& e) { return e.minorVersion1(); });
}
std::uint32_t GameInfo::getOnlineMinorVersion2(int rank, int d, int t) const {
    return readEntry(online_.cacheEntry(rank, d, t), [](const ScoreEntry& e) { return e.minorVersion2(); });
}
std::uint32_t GameInfo::getOnlineHiscoreDroppedFrames(int rank, int d, int t) const {
    return readEntry(online_.cacheEntry(rank, d, t), [](const ScoreEntry& e) { return e.droppedFrames(); });
}
std::uint32_t GameInfo::getOnlineHiscoreName(int rank, int d, int t, int position) const {
    return readEntry(online_.cacheEntry(rank, d, t), [position](const ScoreEntry& e) { return e.nameChar(position); });
}
// The flag of the stage the caller names, as the local getter gives it (the
// script variable passes a stage, and the first stage's flag for every stage
// would be a wrong answer).
std::uint32_t GameInfo::getOnlineHiscoreEachStage(int rank, int d, int t, int stage) const {
    return readEntry(online_.cacheEntry(rank, d, t), [stage](const ScoreEntry& e) { return e.eachStage(stage); });
}

// ---- the online replay lists ----

std::uint32_t GameInfo::getOnlineReplayYear(int rank, int d, int t, int kind, int key) const {
    return readEntry(online_.replayEntry(rank, d, t, kind, key), [](const ScoreEntry& e) { return e.year(); });
}
std::uint32_t GameInfo::getOnlineReplayWeapon(int rank, int d, int t, int kind, int key) const {
    return readEntry(online_.replayEntry(rank, d, t, kind, key), [](const ScoreEntry& e) { return e.weapon(); });
}
std::uint32_t GameInfo::getOnlineReplayDate(int rank, int d, int t, int kind, int key) const {
    return readEntry(online_.replayEntry(rank, d, t, kind, key), [](const ScoreEntry& e) { return e.monthDay(); });
}
std::uint32_t GameInfo::getOnlineReplayTime(int rank, int d, int t, int kind, int key) const {
    return readEntry(online_.replayEntry(rank, d, t, kind, key), [](const ScoreEntry& e) { return e.time(); });
}
std::uint32_t GameInfo::getOnlineReplayStageScore(int rank, int d, int t, int index, int kind, int key) const {
    return readEntry(online_.replayEntry(rank, d, t, kind, key),
                     [index](const ScoreEntry& e) { return e.stageScore(index); });
}
std::uint32_t GameInfo::getOnlineReplayName(int rank, int d, int t, int kind, int key, int position) const {
    return readEntry(online_.replayEntry(rank, d, t, kind, key),
                     [position](const ScoreEntry& e) { return e.nameChar(position); });
}
std::uint32_t GameInfo::getOnlineReplayEachStage(int rank, int d, int t, int kind, int key) const {
    return readEntry(online_.replayEntry(rank, d, t, kind, key),
                     [](const ScoreEntry& e) { return e[ScoreEntry::kStageMask]; });
}
std::uint32_t GameInfo::getOnlineReplayId(int rank, int d, int t, int kind, int key) const {
    return readEntry(online_.replayEntry(rank, d, t, kind, key),
                     [](const ScoreEntry& e) { return e[ScoreEntry::kReplayId]; });
}
std::int32_t GameInfo::isOnlineReplayValid(int rank, int d, int t, int kind, int key) const {
    return static_cast<std::int32_t>(readEntry(online_.replayEntry(rank, d, t, kind, key),
                                               [](const ScoreEntry& e) { return e.hasMachineId() ? 1u : 0u; }));
}
std::uint32_t GameInfo::getOnlineReplayDifficulty(int rank, int d, int t, int kind, int key) const {
    return readEntry(online_.replayEntry(rank, d, t, kind, key),
                     [](const ScoreEntry& e) { return e.mode().difficultyCode(); });
}
std::uint32_t GameInfo::getOnlineReplayScore(int rank, int d, int t, int kind, int key) const {
    return readEntry(online_.replayEntry(rank, d, t, kind, key), [](const ScoreEntry& e) { return e.score(); });
}
std::uint32_t GameInfo::getOnlineReplayMachineId0(int rank, int d, int t, int kind, int key) const {
    return readEntry(online_.replayEntry(rank, d, t, kind, key),
                     [](const ScoreEntry& e) { return e[ScoreEntry::kMachineId0]; });
}
std::uint32_t GameInfo::getOnlineReplayMachineId1(int rank, int d, int t, int kind, int key) const {
    return readEntry(online_.replayEntry(rank, d, t, kind, key),
                     [](const ScoreEntry& e) { return e[ScoreEntry::kMachineId1]; });
}

std::uint32_t GameInfo::getOnlineReplayMajorVersion(int rank, int d, int t) const {
    return readEntry(online_.replayTableEntry(rank, d, t), [](const ScoreEntry& e) { return e.majorVersion(); });
}
std::uint32_t GameInfo::getOnlineReplayMinorVersion1(int rank, int d, int t) const {
    return readEntry(online_.replayTableEntry(rank, d, t), [](const ScoreEntry& e) { return e.minorVersion1(); });
}
std::uint32_t GameInfo::getOnlineReplayMinorVersion2(int rank, int d, int t) const {
    return readEntry(online_.replayTableEntry(rank, d, t), [](const ScoreEntry& e) { return e.minorVersion2(); });
}
std::uint32_t GameInfo::getOnlineReplayDroppedFrames(int rank, int d, int t) const {
    return readEntry(online_.replayTableEntry(rank, d, t), [](const ScoreEntry& e) { return e.droppedFrames(); });
}

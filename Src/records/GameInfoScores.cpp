// GameInfo: the local score tables — committing stages, registering a play,
// the table getters and the score file.
#include <algorithm>

#include "platform/Clock.h"
#include "records/GameInfo.h"
#include "records/MachineId.h"
#include "records/PlayEnvironment.h"
#include "records/ScoreFile.h"
#include "services/Truncate.h"

namespace {
constexpr int kHighestStage = 15;

// The pairing index of a vorly type: 1 for type 2, 2 for type 3, else 0.
int pairingIndexOf(std::int32_t vorlyType) { return vorlyType == 2 ? 1 : vorlyType == 3 ? 2 : 0; }

// One word of a local table entry; 0 outside the tables.
template <typename Read>
std::uint32_t readLocal(const LocalScoreTables& tables, int rank, int d, int t, Read read) {
    const ScoreEntry* entry = tables.find(rank, d, t);
    return entry ? read(*entry) : 0;
}
}  // namespace

void GameInfo::resetTable(ScoreTable& table, int n) { table.reset(static_cast<std::size_t>(std::max(n, 0))); }

void GameInfo::commitStageScore() {
    std::int32_t stage = truncatedVar(names_.stageNum);
    std::int32_t flag = truncateToInt32(static_cast<double>(getVar(names_.stageFlag)) + 1.0);
    if (stage <= 0) return;
    stage = std::min(stage, kHighestStage);

    std::uint32_t reachBit = flag >= 1 && flag <= 4 ? 1u << (flag - 1) : 0u;
    std::int32_t pairingType = truncatedVar(names_.vorlyType);
    std::int32_t difficulty = truncatedVar(names_.difficulty);
    if (pairingType < 0) return;

    // The word index is the vorly type itself, not the pairing index: stored
    // files carry words filed this way. An index past the nine words (vorly
    // type 3 at difficulty 2, or any type above 3) has no word to take it.
    if (playenv::replayManagerExists() && !playenv::replayPlayingBack() && maxStageUpdate_ == 1 && difficulty < 3) {
        std::int64_t index = static_cast<std::int64_t>(pairingType) + 3 * static_cast<std::int64_t>(difficulty);
        if (index >= 0 && index < kReachStageWords)
            reachStage_[static_cast<std::size_t>(index)] |= reachBit << ((4u * static_cast<std::uint32_t>(stage - 1)) & 31u);
    }
    stageFlagWord_ |= static_cast<std::uint32_t>(flag) << (2 * (stage - 1));

    std::int32_t continues = playenv::systemType() == 3 ? 0 : truncatedVar(names_.continueNum);
    if (score_ != 0) stageScores_[static_cast<std::size_t>(stage)] = score_ + static_cast<std::uint32_t>(continues);
}

void GameInfo::registerScore() {
    if (playenv::replaySlot() > 0 || !playenv::replayManagerExists() || playenv::replayPlayingBack()) return;
    if (getVar(names_.practiceMode) != 0.0f || score_ == 0) return;

    myScoreUpdated_ = 1;
    modeWord_ = 0;
    std::int32_t pairingType = truncatedVar(names_.vorlyType);
    int pairing = pairingIndexOf(pairingType);
    modeWord_ |= static_cast<std::uint32_t>(pairing);
    updateGameFlags();

    std::int32_t difficulty = truncatedVar(names_.difficulty);
    int d = 0;
    if (difficulty >= 1 && difficulty <= 3) {
        static constexpr std::uint32_t kDifficultyCodes[] = {0x10, 0x20, 0x40};
        modeWord_ |= kDifficultyCodes[difficulty - 1];
        d = difficulty;
    }
    std::int32_t weapon = truncatedVar(names_.weaponType);
    if (weapon == 1) modeWord_ |= ScoreMode::kWeapon1;
    if (weapon == 2) modeWord_ |= ScoreMode::kWeapon2;

    std::int32_t continues = playenv::systemType() == 3 ? 0 : truncatedVar(names_.continueNum);
    LocalTime now = Clock::instance().localTime();

    ScoreEntry play;
    play[ScoreEntry::kName0] = playerName_[0];
    play[ScoreEntry::kName1] = playerName_[1];
    play[ScoreEntry::kMode] = modeWord_;
    play[ScoreEntry::kScore] = score_ + static_cast<std::uint32_t>(continues);
    play[ScoreEntry::kStageMask] = stageFlagWord_;
    play[ScoreEntry::kDroppedFrames] = static_cast<std::uint32_t>(droppedFrames_);
    play[ScoreEntry::kMachineId0] = machineId_[0];
    play[ScoreEntry::kMachineId1] = machineId_[1];
    for (std::size_t i = 0; i < ScoreEntry::kStageScoreCount; ++i) play[ScoreEntry::kStageScore0 + i] = stageScores_[i];
    play[ScoreEntry::kDate] = now.year * 10000u + now.month * 100u + now.day;
    play[ScoreEntry::kTime] = now.hour * 100u + now.minute;
    play[ScoreEntry::kVersion] = playenv::versionWord();
    // A new play has no online replay yet: the replaced entry's replay id
    // must not travel with it into the upload.
    play[ScoreEntry::kReplayId] = 0;
    localScores_.registerPlay(play, d, pairing, score_);
}

std::uint32_t GameInfo::getHiscore2() {
    std::int32_t d = truncatedVar(names_.difficulty);
    std::int32_t t = truncateToInt32(static_cast<double>(getVar(names_.vorlyType)) - 1.0);
    return std::max(getHiscore(0, d, t), getScore());
}

std::int32_t GameInfo::getHiscore2Digits() { return countDigits(static_cast<std::int32_t>(getHiscore2())); }

std::uint32_t GameInfo::getHiscore(int rank, int d, int t) const {
    return readLocal(localScores_, rank, d, t, [](const ScoreEntry& e) { return e.score(); });
}
std::uint32_t GameInfo::getHiscoreYear(int rank, int d, int t) const {
    return readLocal(localScores_, rank, d, t, [](const ScoreEntry& e) { return e.year(); });
}
std::uint32_t GameInfo::getHiscoreMonthDay(int rank, int d, int t) const {
    return readLocal(localScores_, rank, d, t, [](const ScoreEntry& e) { return e.monthDay(); });
}
std::uint32_t GameInfo::getHiscoreTime(int rank, int d, int t) const {
    return readLocal(localScores_, rank, d, t, [](const ScoreEntry& e) { return e.time(); });
}
std::uint32_t GameInfo::getHiscoreWeapon(int rank, int d, int t) const {
    return readLocal(localScores_, rank, d, t, [](const ScoreEntry& e) { return e.weapon(); });
}
std::uint32_t GameInfo::getHiscoreMajorVersion(int rank, int d, int t) const {
    return readLocal(localScores_, rank, d, t, [](const ScoreEntry& e) { return e.majorVersion(); });
}
std::uint32_t GameInfo::getHiscoreMinorVersion1(int rank, int d, int t) const {
    return readLocal(localScores_, rank, d, t, [](const ScoreEntry& e) { return e.minorVersion1(); });
}
std::uint32_t GameInfo::getHiscoreMinorVersion2(int rank, int d, int t) const {
    return readLocal(localScores_, rank, d, t, [](const ScoreEntry& e) { return e.minorVersion2(); });
}
std::uint32_t GameInfo::getHiscoreDroppedFrames(int rank, int d, int t) const {
    return readLocal(localScores_, rank, d, t, [](const ScoreEntry& e) { return e.droppedFrames(); });
}
std::uint32_t GameInfo::getHiscoreStageScore(int rank, int d, int t, int index) const {
    return readLocal(localScores_, rank, d, t, [index](const ScoreEntry& e) { return e.stageScore(index); });
}
std::uint32_t GameInfo::getHiscoreEachStage(int rank, int d, int t, int stage) const {
    return readLocal(localScores_, rank, d, t, [stage](const ScoreEntry& e) { return e.eachStage(stage); });
}

std::int32_t GameInfo::getHiscoreDigits(int rank, int d, int t) const {
    return countDigits(static_cast<std::int32_t>(getHiscore(rank, d, t)));
}

std::int32_t GameInfo::getHiscoreStageScoreDigits(int rank, int d, int t, int index) const {
    return countDigits(static_cast<std::int32_t>(getHiscoreStageScore(rank, d, t, index)));
}

int GameInfo::writeScoreFile() {
    if (!playenv::configurationExists() || playenv::replaySlot() > 0 || !playenv::replayManagerExists() || playenv::replayPlayingBack()) return 0;
    if (getVar(names_.practiceMode) != 0.0f) return 0;
    ScoreFileFields fields{localScores_, machineId_, playerName_, reachStage_, endingBits_,
                           {&savedFlags_[0], &savedFlags_[1], &savedFlags_[2]}};
    return writeScoreFileContents(fields);
}

void GameInfo::collectScoresForUpload(std::span<ScoreEntry, 12> records) const {
    std::array<ScoreEntry, LocalScoreTables::kRankingTables> best = localScores_.bestEntries();
    std::copy(best.begin(), best.end(), records.begin());
}

void GameInfo::updateScoreName() {
    localScores_.updateName(machineId_[0], machineId_[1], playerName_[0], playerName_[1]);
}

#include "records/LocalScoreTables.h"

LocalScoreTables::LocalScoreTables() {
    for (ScoreTable& table : ranking_) table.reset(ScoreTable::kRanks);
    for (ScoreTable& table : route_) table.reset(ScoreTable::kRanks);
}

void LocalScoreTables::resetForLoad() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int d = 0; d < kDifficulties; ++d) {
        for (int t = 0; t < kPairings; ++t) {
            ScoreTable& table = ranking(d, t);
            table.reset(ScoreTable::kRanks);
            table.setModeWords(static_cast<std::uint32_t>((d << 4) + t));
        }
    }
    for (ScoreTable& table : route_) table.reset(kRouteEntries);
}

const ScoreEntry* LocalScoreTables::find(int rank, int d, int t) const {
    if (d < 0 || d >= kDifficulties || t < 0 || t >= kPairings) return nullptr;
    return ranking(d, t).find(rank);
}

void LocalScoreTables::registerPlay(const ScoreEntry& play, int d, int t, std::uint32_t scoreWithoutContinues) {
    if (d < 0 || d >= kDifficulties || t < 0 || t >= kPairings) return;
    std::lock_guard<std::mutex> lock(mutex_);
    ScoreTable& table = ranking(d, t);
    table[ScoreTable::kRanks] = play;
    table.sortByScore();

    if (d >= 3) return;
    std::uint32_t sixthStageFlag = (play[ScoreEntry::kStageMask] >> 10) & 3u;
    if (sixthStageFlag == 0) return;
    ScoreEntry& routeEntry = route(d, t)[sixthStageFlag - 1];
    if (routeEntry.score() < scoreWithoutContinues) {
        routeEntry = play;
        routeEntry[ScoreEntry::kScore] = scoreWithoutContinues;
    }
}

std::array<ScoreEntry, LocalScoreTables::kRankingTables> LocalScoreTables::bestEntries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::array<ScoreEntry, kRankingTables> best;
    for (std::size_t i = 0; i < ranking_.size(); ++i) best[i] = ranking_[i][0];
    return best;
}

void LocalScoreTables::updateName(std::uint32_t machineId0, std::uint32_t machineId1, std::uint32_t name0,
                                  std::uint32_t name1) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto rename = [&](ScoreTable& table, std::size_t count) {
        for (std::size_t i = 0; i < count && i < table.size(); ++i) {
            ScoreEntry& entry = table[i];
            if (entry[ScoreEntry::kMachineId0] == machineId0 && entry[ScoreEntry::kMachineId1] == machineId1) {
                entry[ScoreEntry::kName0] = name0;
                entry[ScoreEntry::kName1] = name1;
            }
        }
    };
    for (ScoreTable& table : ranking_) rename(table, ScoreTable::kRanks);
    for (ScoreTable& table : route_) rename(table, kRouteEntries);
}

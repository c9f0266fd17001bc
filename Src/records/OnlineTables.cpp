#include "records/OnlineTables.h"

#include <algorithm>
#include <string>

#include "services/DebugInfo.h"

namespace {
constexpr std::uint32_t kPracticeMask = 0xF00;

// Replies come from the network: a record whose rank or table lies outside
// the tables is dropped, and the reply logs one line for all it dropped.
void logDroppedRecords(int dropped) {
    if (dropped > 0) logLine("範囲外のランキングレコードを無視しました: " + std::to_string(dropped));
}

bool rankInTable(std::size_t index) { return index <= ScoreTable::kRanks; }

// The practice-replay key of a stage mask: the first stage s (1..10) with a
// non-zero flag f gives 10 x s + f - 1; 0 when no stage has one.
int practiceKey(std::uint32_t stageMask) {
    for (int stage = 1; stage <= 10; ++stage) {
        std::uint32_t flag = (stageMask >> (2 * (stage - 1))) & 3u;
        if (flag != 0) return 10 * stage + static_cast<int>(flag) - 1;
    }
    return 0;
}

bool isReplayKey(int key) {
    return std::find(OnlineTables::kReplayKeys.begin(), OnlineTables::kReplayKeys.end(), key) !=
           OnlineTables::kReplayKeys.end();
}
}  // namespace

OnlineTables::OnlineTables() { resetAll(); }

void OnlineTables::resetAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (ScoreTable& table : ranking_) table.resetEmpty(ScoreTable::kRanks);
    for (ScoreTable& table : cache_) table.resetEmpty(ScoreTable::kRanks);
    for (ScoreTable& table : replay_) table.resetEmpty(ScoreTable::kRanks);
    for (ScoreTable& table : received_) table.resetEmpty(ScoreTable::kRanks);
    for (KeyedTables& tables : keyedReplay_) resetKeyed(tables);
    for (KeyedTables& tables : keyedReceived_) resetKeyed(tables);
}

void OnlineTables::resetKeyed(KeyedTables& tables) {
    tables.clear();
    for (int key : kReplayKeys) tables[key].resetEmpty(ScoreTable::kRanks);
}

void OnlineTables::copyRanks(const ScoreTable& from, ScoreTable& to) {
    for (std::size_t i = 0; i < ScoreTable::kRanks && i < from.size() && i < to.size(); ++i) to[i] = from[i];
}

// Online tables are emptied before every reset: a reset alone keeps the date,
// replay id and machine id of the entries present, and stale machine ids would
// pass for valid online replays.
void OnlineTables::resetOnlineTables() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (ScoreTable& table : ranking_) table.resetEmpty(ScoreTable::kRanks);
}

void OnlineTables::fillOnlineScores(std::span<const ScoreEntry> records) {
    int dropped = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Only the tables this answer fills are emptied: the opening asks for
        // each table in its own answer, and every answer must not wipe the
        // ones before it.
        std::array<bool, kRankingTables> emptied{};
        for (std::size_t i = 0; i < records.size(); ++i) {
            const ScoreEntry& record = records[i];
            std::uint32_t t = record.mode().pairingCode();
            std::uint32_t d = std::min<std::uint32_t>(record.mode().difficultyCode(), 3);
            if (t >= kPairings || !rankInTable(i)) {
                ++dropped;
                continue;
            }
            if (!emptied[3 * d + t]) {
                ranking_[3 * d + t].resetEmpty(ScoreTable::kRanks);
                emptied[3 * d + t] = true;
            }
            ranking_[3 * d + t][i] = record;
        }
    }
    logDroppedRecords(dropped);
}

void OnlineTables::fillRankingCache() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < cache_.size(); ++i) {
        cache_[i].resetEmpty(ScoreTable::kRanks);
        copyRanks(ranking_[i], cache_[i]);
    }
}

void OnlineTables::fillRanking(std::span<const ScoreEntry> records) {
    int dropped = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // As with the ranking answers, only the tables filed into are emptied.
        std::array<bool, kReplayTables> emptied{};
        std::array<std::map<int, bool>, kPairings> emptiedKeyed;

        for (std::size_t i = 0; i < records.size(); ++i) {
            const ScoreEntry& record = records[i];
            if (!record.hasMachineId()) continue;
            ScoreMode mode = record.mode();
            std::uint32_t t = mode.pairingCode();
            std::uint32_t d = mode.difficultyCode();
            std::uint32_t x = mode.flags();
            // Row 3 holds difficulty code 4, row 4 the practice records.
            std::uint32_t row = (x == 1 || (d == 4 && x == 0)) ? x + 3 : d;
            if (t >= kPairings || row > 4 || !rankInTable(i)) {
                ++dropped;
                continue;
            }
            if (!emptied[3 * row + t]) {
                received_[3 * row + t].resetEmpty(ScoreTable::kRanks);
                emptied[3 * row + t] = true;
            }
            received_[3 * row + t][i] = record;
        }

        // Practice records are also filed by the stage they start from.
        for (std::size_t i = 0; i < records.size(); ++i) {
            const ScoreEntry& record = records[i];
            if ((record[ScoreEntry::kMode] & kPracticeMask) != ScoreMode::kPractice || !record.hasMachineId()) continue;
            int key = practiceKey(record[ScoreEntry::kStageMask]);
            if (!isReplayKey(key)) continue;
            std::uint32_t t = record.mode().pairingCode();
            if (t >= kPairings || !rankInTable(i)) continue;  // already counted by the first pass
            if (!emptiedKeyed[t][key]) {
                keyedReceived_[t][key].resetEmpty(ScoreTable::kRanks);
                emptiedKeyed[t][key] = true;
            }
            keyedReceived_[t][key][i] = record;
        }
    }
    logDroppedRecords(dropped);
}

void OnlineTables::fillOnlineReplayList() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < replay_.size(); ++i) {
        replay_[i].resetEmpty(ScoreTable::kRanks);
        copyRanks(received_[i], replay_[i]);
    }
    for (int t = 0; t < kPairings; ++t) {
        resetKeyed(keyedReplay_[t]);
        for (auto& [key, table] : keyedReceived_[t]) {
            auto target = keyedReplay_[t].find(key);
            if (target != keyedReplay_[t].end()) copyRanks(table, target->second);
        }
    }
}

void OnlineTables::setOnlineRank(int d, int t, std::uint32_t rank) {
    if (d < 0 || d > 3 || t < 0 || t >= kPairings) return;
    std::lock_guard<std::mutex> lock(mutex_);
    rank_[static_cast<std::size_t>(3 * d + t)] = rank;
}

std::uint32_t OnlineTables::getOnlineRank(int d, int t) const {
    if (d < 0 || d > 3 || t < 0 || t >= kPairings) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    return rank_[static_cast<std::size_t>(3 * d + t)];
}

void OnlineTables::clearOnlineRanks() {
    std::lock_guard<std::mutex> lock(mutex_);
    rank_.fill(0);
}

std::optional<ScoreEntry> OnlineTables::cacheEntry(int rank, int d, int t) const {
    if (d < 0 || d > 3 || t < 0 || t >= kPairings) return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    const ScoreEntry* entry = cache_[static_cast<std::size_t>(3 * d + t)].find(rank);
    if (!entry) return std::nullopt;
    return *entry;
}

std::optional<ScoreEntry> OnlineTables::replayEntry(int rank, int d, int t, int kind, int key) const {
    if (t < 0 || t >= kPairings) return std::nullopt;
    if (kind == 1 && key >= 1) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto table = keyedReplay_[static_cast<std::size_t>(t)].find(key);
        if (table == keyedReplay_[static_cast<std::size_t>(t)].end()) return std::nullopt;
        const ScoreEntry* entry = table->second.find(rank);
        if (!entry) return std::nullopt;
        return *entry;
    }
    return replayTableEntry(rank, kind == 1 ? 4 : d, t);
}

std::optional<ScoreEntry> OnlineTables::replayTableEntry(int rank, int d, int t) const {
    if (d < 0 || d > 4 || t < 0 || t >= kPairings) return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    const ScoreEntry* entry = replay_[static_cast<std::size_t>(3 * d + t)].find(rank);
    if (!entry) return std::nullopt;
    return *entry;
}

void OnlineTables::storeCache(std::uint8_t* body) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const ScoreTable& table : cache_) {
        for (std::size_t i = 0; i < ScoreTable::kRanks; ++i) {
            table[i].store(body);
            body += ScoreEntry::kByteSize;
        }
    }
}

void OnlineTables::loadCache(const std::uint8_t* body, int tableCount) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int n = 0; n < tableCount && n < kRankingTables; ++n) {
        ScoreTable& table = cache_[static_cast<std::size_t>(n)];
        for (std::size_t i = 0; i < ScoreTable::kRanks; ++i) {
            table[i] = ScoreEntry::load(body);
            body += ScoreEntry::kByteSize;
        }
    }
}

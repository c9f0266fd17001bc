// The tables the ranking server fills: the online ranking tables and their
// cache (kept in "data\\cache.dat"), the received replay lists and the online
// replay tables copied from them, the keyed practice-replay tables and the
// player's online rank words.
//
// The network worker fills them while the main thread reads them, so every
// operation takes the one lock, and readers get copies of entries, never
// references into a table that a reply may be rebuilding.
//
// Table indices: 3d + t with d the difficulty index and t the pairing index
// 0..2; ranking tables and rank words have d = 0..3, replay tables d = 0..4
// (row 3 holds difficulty code 4, row 4 the practice records).
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>

#include "records/ScoreTable.h"

class OnlineTables {
public:
    static constexpr int kPairings = 3;
    static constexpr int kRankingTables = 12;  // d = 0..3
    static constexpr int kReplayTables = 15;   // rows 0..4
    // The keys of the practice-replay tables: 10 x stage + stage flag - 1.
    static constexpr std::array<int, 16> kReplayKeys = {10, 20, 21, 30, 31, 40, 41, 42,
                                                        50, 51, 52, 60, 61, 62, 70, 71};

    // Every table with 101 default entries, the rank words 0.
    OnlineTables();

    // Start-up: every table back to 101 default entries.
    void resetAll();
    // Empties and resets the twelve online ranking tables.
    void resetOnlineTables();
    // A ranking reply: record i goes to rank i of the table of its mode word.
    void fillOnlineScores(std::span<const ScoreEntry> records);
    // Copies ranks 0..99 of the online ranking tables into the cache.
    void fillRankingCache();
    // A replay-list reply: into the received tables and, for practice
    // records, the keyed received tables.
    void fillRanking(std::span<const ScoreEntry> records);
    // Copies the received tables into the online replay tables.
    void fillOnlineReplayList();

    // Rank word [3d + t], d = 0..3; out-of-range indices are ignored / read 0.
    void setOnlineRank(int d, int t, std::uint32_t rank);
    std::uint32_t getOnlineRank(int d, int t) const;
    void clearOnlineRanks();

    // The cache entry at (rank, d 0..3, t 0..2); nothing outside the ranges.
    std::optional<ScoreEntry> cacheEntry(int rank, int d, int t) const;
    // The online replay entry: the keyed table of t and `key` when kind is 1
    // and key is at least 1, else the table [3 x (4 when kind is 1, else d) + t].
    std::optional<ScoreEntry> replayEntry(int rank, int d, int t, int kind, int key) const;
    // The online replay table [3d + t], d = 0..4.
    std::optional<ScoreEntry> replayTableEntry(int rank, int d, int t) const;

    // The cache as stored in "data\\cache.dat": ranks 0..99 of the twelve
    // tables in index order (the older form has only the nine of d = 0..2).
    static constexpr std::size_t kCacheBodySize = 12 * ScoreTable::kRanks * ScoreEntry::kByteSize;
    static constexpr std::size_t kOlderCacheBodySize = 9 * ScoreTable::kRanks * ScoreEntry::kByteSize;
    void storeCache(std::uint8_t* body) const;
    // Reads `tableCount` (9 or 12) tables; the others keep their contents.
    void loadCache(const std::uint8_t* body, int tableCount);

private:
    using KeyedTables = std::map<int, ScoreTable>;
    static void resetKeyed(KeyedTables& tables);
    static void copyRanks(const ScoreTable& from, ScoreTable& to);

    mutable std::mutex mutex_;
    std::array<ScoreTable, kRankingTables> ranking_;
    std::array<ScoreTable, kRankingTables> cache_;
    std::array<ScoreTable, kReplayTables> replay_;
    std::array<KeyedTables, kPairings> keyedReplay_;
    std::array<ScoreTable, kReplayTables> received_;
    std::array<KeyedTables, kPairings> keyedReceived_;
    std::array<std::uint32_t, kRankingTables> rank_{};
};

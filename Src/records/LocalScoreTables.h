// The local score tables of the game records: a ranking table of 100 ranks per
// difficulty index d (0..3) and pairing index t (0..2), at index 3d + t, and for
// d = 0..2 a route table whose entry k holds the best play whose sixth-stage
// flag was k + 1.
//
// Only the main thread changes the tables; the network worker reads the best
// entries to upload them, so changes and that read take the lock. Reads on the
// main thread need none.
#pragma once
#include <array>
#include <cstdint>
#include <mutex>

#include "records/ScoreTable.h"

class LocalScoreTables {
public:
    static constexpr int kDifficulties = 4;  // d = 3 holds the tables of the highest difficulty
    static constexpr int kPairings = 3;
    static constexpr int kRankingTables = kDifficulties * kPairings;
    static constexpr int kRouteTables = 9;
    static constexpr std::size_t kRouteEntries = 3;

    // Every table reset with n = 100.
    LocalScoreTables();

    // The start-up reset: ranking tables with n = 100 and mode words (d << 4) + t
    // (0x30 + t for d = 3), route tables with n = 3.
    void resetForLoad();

    // Ranking table 3d + t; route table 3d + t for d = 0..2. Callers keep the
    // indices in range.
    ScoreTable& ranking(int d, int t) { return ranking_[static_cast<std::size_t>(3 * d + t)]; }
    const ScoreTable& ranking(int d, int t) const { return ranking_[static_cast<std::size_t>(3 * d + t)]; }
    ScoreTable& route(int d, int t) { return route_[static_cast<std::size_t>(3 * d + t)]; }
    const ScoreTable& route(int d, int t) const { return route_[static_cast<std::size_t>(3 * d + t)]; }

    // The entry the table getters read: null for a negative rank, a rank past
    // the table's last entry, d outside 0..3 or t outside 0..2.
    const ScoreEntry* find(int rank, int d, int t) const;

    // Files a finished play: `play` (score including continues) goes into the
    // spare entry of its ranking table, which is then sorted; for d = 0..2 and
    // a non-zero sixth-stage flag v in the play's stage mask, route entry v - 1
    // takes the play with `scoreWithoutContinues` when it scored lower.
    void registerPlay(const ScoreEntry& play, int d, int t, std::uint32_t scoreWithoutContinues);

    // Entry 0 of each ranking table in table order (d = 0..2, then d = 3).
    std::array<ScoreEntry, kRankingTables> bestEntries() const;

    // Gives every entry played on this machine the current player name.
    void updateName(std::uint32_t machineId0, std::uint32_t machineId1, std::uint32_t name0,
                    std::uint32_t name1);

    // Held by whoever replaces the tables wholesale (the score file reader).
    std::mutex& mutex() const { return mutex_; }

private:
    mutable std::mutex mutex_;
    std::array<ScoreTable, kRankingTables> ranking_;
    std::array<ScoreTable, kRouteTables> route_;
};

// A growable table of score records. A ranking table of 100 ranks holds 101
// entries: ranks 0..99 and a spare entry that registration writes before
// sorting.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "records/ScoreEntry.h"

class ScoreTable {
public:
    static constexpr std::size_t kRanks = 100;

    ScoreTable() = default;

    // Makes the table hold n + 1 entries (default entries added at the end),
    // then sets name, score, mode, stage mask, version word and stage scores of
    // every entry to their defaults; date, time, replay id, dropped frames and
    // machine id of entries already present stay as they were.
    void reset(std::size_t n);
    // Empties the table and then resets it: n + 1 wholly default entries.
    void resetEmpty(std::size_t n);
    // Sets the mode word of every entry.
    void setModeWords(std::uint32_t mode);

    std::size_t size() const { return entries_.size(); }
    ScoreEntry& operator[](std::size_t index) { return entries_[index]; }
    const ScoreEntry& operator[](std::size_t index) const { return entries_[index]; }
    // The entry at `rank`, or null for a negative rank or one past the end.
    const ScoreEntry* find(int rank) const;

    // Orders the whole table by score, highest first, comparing scores as
    // unsigned numbers; entries of equal score keep their order, so an entry
    // written into the spare slot ends after the older ones of its score.
    void sortByScore();

private:
    std::vector<ScoreEntry> entries_;
};

#include "records/ScoreTable.h"

#include <algorithm>

void ScoreTable::reset(std::size_t n) {
    entries_.resize(n + 1);
    const ScoreEntry defaults;
    for (ScoreEntry& entry : entries_) {
        entry[ScoreEntry::kName0] = defaults[ScoreEntry::kName0];
        entry[ScoreEntry::kName1] = defaults[ScoreEntry::kName1];
        entry[ScoreEntry::kScore] = 0;
        entry[ScoreEntry::kMode] = 0;
        entry[ScoreEntry::kStageMask] = 0;
        entry[ScoreEntry::kVersion] = defaults[ScoreEntry::kVersion];
        for (std::size_t i = 0; i < ScoreEntry::kStageScoreCount; ++i) entry[ScoreEntry::kStageScore0 + i] = 0;
    }
}

void ScoreTable::resetEmpty(std::size_t n) {
    entries_.clear();
    reset(n);
}

void ScoreTable::setModeWords(std::uint32_t mode) {
    for (ScoreEntry& entry : entries_) entry[ScoreEntry::kMode] = mode;
}

const ScoreEntry* ScoreTable::find(int rank) const {
    if (rank < 0 || static_cast<std::size_t>(rank) >= entries_.size()) return nullptr;
    return &entries_[static_cast<std::size_t>(rank)];
}

void ScoreTable::sortByScore() {
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const ScoreEntry& a, const ScoreEntry& b) { return a.score() > b.score(); });
}

#include "records/ScoreEntry.h"

#include "records/LittleEndianWords.h"
#include "records/PlayEnvironment.h"

std::uint32_t ScoreMode::weapon() const {
    switch (word & 0xF000u) {
        case kWeapon1: return 1;
        case kWeapon2: return 2;
        default: return 0;
    }
}

std::array<std::uint32_t, 2> packName(const char (&characters)[9]) {
    std::array<std::uint32_t, 2> words{};
    for (int i = 0; i < 8; ++i) {
        std::uint32_t c = static_cast<std::uint8_t>(characters[i]);
        words[static_cast<std::size_t>(i / 4)] |= c << (8 * (3 - i % 4));
    }
    return words;
}

std::uint32_t nameCharacter(std::uint32_t word0, std::uint32_t word1, int position) {
    if (position < 0 || position > 7) return 32;
    std::uint32_t word = position < 4 ? word0 : word1;
    return (word >> (8 * (3 - position % 4))) & 0xFFu;
}

ScoreEntry::ScoreEntry() {
    std::array<std::uint32_t, 2> name = packName("NONAME  ");
    words[kName0] = name[0];
    words[kName1] = name[1];
    words[kDate] = kDefaultDate;
    words[kTime] = kDefaultTime;
    words[kVersion] = playenv::versionWord();
}

std::uint32_t ScoreEntry::stageScore(int index) const {
    if (index < 0 || index >= static_cast<int>(kStageScoreCount)) return 0;
    return words[kStageScore0 + static_cast<std::size_t>(index)];
}

std::uint32_t ScoreEntry::eachStage(int stage) const {
    std::uint32_t shift = (static_cast<std::uint32_t>(stage) - 1u) * 2u & 31u;
    return (words[kStageMask] >> shift) & 3u;
}

void ScoreEntry::store(std::uint8_t* bytes) const {
    for (std::size_t i = 0; i < kWordCount; ++i) storeWordLE(bytes + 4 * i, words[i]);
}

ScoreEntry ScoreEntry::load(const std::uint8_t* bytes) {
    ScoreEntry entry;
    for (std::size_t i = 0; i < kWordCount; ++i) entry.words[i] = loadWordLE(bytes + 4 * i);
    return entry;
}

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "records/LocalScoreTables.h"
#include "records/ScoreEntry.h"
#include "records/ScoreTable.h"

namespace {
ScoreEntry entryWithScore(std::uint32_t score, std::uint32_t tag = 0) {
    ScoreEntry entry;
    entry[ScoreEntry::kScore] = score;
    entry[ScoreEntry::kDroppedFrames] = tag;  // tells entries of equal score apart
    return entry;
}
}  // namespace

TEST(ScoreTableEntry, DefaultEntryBytes) {
    // "NONAME  " packed big-endian inside little-endian words, date 20080101,
    // time 1200, version 2.0, everything else zero.
    const std::uint8_t expected[16 * 2] = {0x41, 0x4E, 0x4F, 0x4E, 0x20, 0x20, 0x45, 0x4D,  // name
                                           0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                // score, mode, mask
                                           0xE5, 0x65, 0x32, 0x01,                            // 20080101
                                           0xB0, 0x04, 0, 0,                                  // 1200
                                           0x00, 0x02, 0, 0};                                 // version 2.0
    std::uint8_t bytes[ScoreEntry::kByteSize];
    ScoreEntry().store(bytes);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 32), std::vector<std::uint8_t>(expected, expected + 32));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes + 32, bytes + 112), std::vector<std::uint8_t>(80, 0));
    EXPECT_EQ(ScoreEntry::load(bytes).words, ScoreEntry().words);
}

TEST(ScoreTableEntry, FieldReaders) {
    ScoreEntry entry;
    entry.words = {0x41424320, 0x44202020, 1234, 0x2041, 0x00000C05, 20231231, 2359, 0x0213, 77, 9, 1, 2};
    entry[ScoreEntry::kStageScore0 + 15] = 4242;
    EXPECT_EQ(entry.nameChar(0), 'A');
    EXPECT_EQ(entry.nameChar(3), ' ');
    EXPECT_EQ(entry.nameChar(4), 'D');
    EXPECT_EQ(entry.nameChar(8), 32u);
    EXPECT_EQ(entry.nameChar(-1), 32u);
    EXPECT_EQ(entry.year(), 2023u);
    EXPECT_EQ(entry.monthDay(), 1231u);
    EXPECT_EQ(entry.weapon(), 2u);
    EXPECT_EQ(entry.mode().difficultyCode(), 4u);
    EXPECT_EQ(entry.mode().pairingCode(), 1u);
    EXPECT_EQ(entry.majorVersion(), 2u);
    EXPECT_EQ(entry.minorVersion1(), 1u);
    EXPECT_EQ(entry.minorVersion2(), 3u);
    EXPECT_EQ(entry.stageScore(15), 4242u);
    EXPECT_EQ(entry.stageScore(16), 0u);
    EXPECT_EQ(entry.stageScore(-1), 0u);
    EXPECT_EQ(entry.eachStage(1), 1u);
    EXPECT_EQ(entry.eachStage(2), 1u);
    EXPECT_EQ(entry.eachStage(6), 3u);
    EXPECT_EQ(entry.eachStage(7), 0u);
}

TEST(ScoreTable, ResetKeepsDateTimeReplayAndMachineOfPresentEntries) {
    ScoreTable table;
    table.reset(2);
    ASSERT_EQ(table.size(), 3u);
    table[1].words.fill(0xABCDu);
    table.reset(4);
    ASSERT_EQ(table.size(), 5u);
    const ScoreEntry defaults;
    for (std::size_t word : {ScoreEntry::kName0, ScoreEntry::kName1, ScoreEntry::kVersion})
        EXPECT_EQ(table[1][word], defaults[word]);
    for (std::size_t word : {ScoreEntry::kScore, ScoreEntry::kMode, ScoreEntry::kStageMask}) EXPECT_EQ(table[1][word], 0u);
    for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(table[1][ScoreEntry::kStageScore0 + i], 0u);
    for (std::size_t word : {ScoreEntry::kDate, ScoreEntry::kTime, ScoreEntry::kReplayId, ScoreEntry::kDroppedFrames,
                             ScoreEntry::kMachineId0, ScoreEntry::kMachineId1})
        EXPECT_EQ(table[1][word], 0xABCDu);
    EXPECT_EQ(table[4].words, defaults.words);

    table.resetEmpty(4);
    EXPECT_EQ(table[1].words, defaults.words);
}

TEST(ScoreTable, RegistrationOrderIsUnsignedDescendingAndTiesKeepTheOlderFirst) {
    LocalScoreTables tables;
    ScoreTable& table = tables.ranking(1, 2);
    for (std::size_t i = 0; i < 100; ++i) table[i] = entryWithScore(100 - static_cast<std::uint32_t>(i) / 10 * 10, 1);

    tables.registerPlay(entryWithScore(50, 2), 1, 2, 50);          // ties with ranks 50..59
    tables.registerPlay(entryWithScore(0x80000000u, 3), 1, 2, 0);  // above everything when unsigned
    tables.registerPlay(entryWithScore(5, 4), 1, 2, 5);            // below all 100 ranks

    EXPECT_EQ(table[0].score(), 0x80000000u);
    // The old 50s sit at ranks 51..60 (shifted by one); the new 50 follows them.
    for (std::size_t i = 51; i <= 60; ++i) EXPECT_EQ(table[i].droppedFrames(), 1u) << i;
    EXPECT_EQ(table[61].score(), 50u);
    EXPECT_EQ(table[61].droppedFrames(), 2u);
    EXPECT_EQ(table[100].score(), 5u);  // the spare entry, not ranked
    for (std::size_t i = 1; i < table.size(); ++i) EXPECT_GE(table[i - 1].score(), table[i].score());
}

TEST(ScoreTable, RouteEntryTakesTheBetterPlayOfItsSixthStageFlag) {
    struct Case {
        std::uint32_t mask;
        int d;
        std::uint32_t routeScoreBefore;
        bool replaced;
        std::size_t routeEntry;
    };
    const Case cases[] = {
        {0x000, 0, 0, false, 0},     // stage 6 without a flag
        {0x400, 0, 0, true, 0},      // flag 1 -> entry 0
        {0xC00, 2, 0, true, 2},      // flag 3 -> entry 2
        {0x800, 1, 999, false, 1},   // a better route play stays
        {0x800, 1, 100, false, 1},   // an equal one stays too
        {0x400, 3, 0, false, 0},     // d = 3 has no route tables
    };
    for (const Case& c : cases) {
        LocalScoreTables tables;
        tables.resetForLoad();
        ScoreEntry play = entryWithScore(103);
        play[ScoreEntry::kStageMask] = c.mask;
        if (c.d < 3) tables.route(c.d, 1)[c.routeEntry][ScoreEntry::kScore] = c.routeScoreBefore;
        tables.registerPlay(play, c.d, 1, 100);
        if (c.d >= 3) continue;
        const ScoreEntry& route = tables.route(c.d, 1)[c.routeEntry];
        EXPECT_EQ(route.score(), c.replaced ? 100u : c.routeScoreBefore) << c.mask;
        // The score alone cannot tell an equal play that replaced the entry
        // from one that left it: the stage mask, 0 after the reset, can.
        EXPECT_EQ(route[ScoreEntry::kStageMask], c.replaced ? c.mask : 0u) << c.mask;
    }
}

TEST(ScoreTable, LoadResetAndGetterRanges) {
    LocalScoreTables tables;
    tables.resetForLoad();
    EXPECT_EQ(tables.route(2, 2).size(), 4u);
    EXPECT_EQ(tables.ranking(2, 1).size(), 101u);
    EXPECT_EQ(tables.find(0, 2, 1)->mode().word, 0x21u);
    EXPECT_EQ(tables.find(99, 3, 2)->mode().word, 0x32u);

    EXPECT_NE(tables.find(100, 0, 0), nullptr);  // the spare entry
    EXPECT_EQ(tables.find(101, 0, 0), nullptr);
    EXPECT_EQ(tables.find(-1, 0, 0), nullptr);
    EXPECT_EQ(tables.find(0, 4, 0), nullptr);
    EXPECT_EQ(tables.find(0, -1, 0), nullptr);
    EXPECT_EQ(tables.find(0, 0, 3), nullptr);
}

TEST(ScoreTable, BestEntriesAndNameUpdate) {
    LocalScoreTables tables;
    tables.resetForLoad();
    ScoreEntry mine = entryWithScore(500);
    mine[ScoreEntry::kMachineId0] = 7;
    mine[ScoreEntry::kMachineId1] = 8;
    ScoreEntry other = mine;
    other[ScoreEntry::kMachineId1] = 9;
    tables.registerPlay(mine, 3, 1, 500);
    tables.registerPlay(other, 3, 1, 400);
    ScoreEntry mineEasy = mine;
    mineEasy[ScoreEntry::kScore] = 300;
    tables.registerPlay(mineEasy, 0, 0, 300);

    std::array<ScoreEntry, 12> best = tables.bestEntries();
    EXPECT_EQ(best[0].score(), 300u);
    EXPECT_EQ(best[10].score(), 500u);
    EXPECT_EQ(best[5].score(), 0u);

    std::array<std::uint32_t, 2> name = packName("ZED     ");
    tables.updateName(7, 8, name[0], name[1]);
    EXPECT_EQ(tables.ranking(3, 1)[0].nameChar(0), 'Z');
    EXPECT_EQ(tables.ranking(3, 1)[1].nameChar(0), 'N');  // another machine's entry keeps its name
    EXPECT_EQ(tables.ranking(0, 0)[0].nameChar(2), 'D');
}

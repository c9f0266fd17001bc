#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "records/GameInfo.h"
#include "records/OnlineTables.h"
#include "support/TestSupport.h"

namespace {
constexpr const char* kDroppedLine = "範囲外のランキングレコードを無視しました: ";

ScoreEntry record(std::uint32_t mode, std::uint32_t score, bool withMachine = true, std::uint32_t stageMask = 0) {
    ScoreEntry entry;
    entry[ScoreEntry::kMode] = mode;
    entry[ScoreEntry::kScore] = score;
    entry[ScoreEntry::kStageMask] = stageMask;
    entry[ScoreEntry::kReplayId] = score + 1;
    if (withMachine) entry[ScoreEntry::kMachineId0] = 0xAB;
    return entry;
}

int linesStartingWith(const LoggedTest& log, const std::string& prefix) {
    int count = 0;
    for (const std::string& line : log.logLines()) count += line.rfind(prefix, 0) == 0;
    return count;
}
}  // namespace

TEST(OnlineTables, RankingReplyRoutesRecordsByTheirModeWord) {
    GameInfo info;
    std::vector<ScoreEntry> reply = {record(0x00, 500), record(0x12, 400), record(0x40, 300), record(0x31, 200),
                                     record(0x1021, 100)};
    info.fillOnlineScores(reply.data(), reply.size());
    info.fillRankingCache();
    // Record i lands at rank i of its table; difficulty codes 3 and above go
    // to the d = 3 tables; the upper nibbles do not matter.
    EXPECT_EQ(info.getOnlineHiscore(0, 0, 0), 500u);
    EXPECT_EQ(info.getOnlineHiscore(1, 1, 2), 400u);
    EXPECT_EQ(info.getOnlineHiscore(2, 3, 0), 300u);
    EXPECT_EQ(info.getOnlineHiscore(3, 3, 1), 200u);
    EXPECT_EQ(info.getOnlineHiscore(4, 2, 1), 100u);
    EXPECT_EQ(info.getOnlineHiscoreWeapon(4, 2, 1), 1u);
    EXPECT_EQ(info.getOnlineHiscore(0, 1, 2), 0u);

    // The next reply replaces the tables it fills and leaves the others (each
    // table comes in its own answer); the cache keeps the committed set.
    std::vector<ScoreEntry> next = {record(0x12, 999)};
    info.fillOnlineScores(next.data(), next.size());
    EXPECT_EQ(info.getOnlineHiscore(1, 1, 2), 400u);
    info.fillRankingCache();
    EXPECT_EQ(info.getOnlineHiscore(0, 1, 2), 999u);
    EXPECT_EQ(info.getOnlineHiscore(1, 1, 2), 0u);
    EXPECT_EQ(info.getOnlineHiscore(0, 0, 0), 500u);

    // An answer without records changes nothing; a reset empties all twelve.
    info.fillOnlineScores(nullptr, 0);
    info.fillRankingCache();
    EXPECT_EQ(info.getOnlineHiscore(0, 0, 0), 500u);
    info.resetOnlineTables();
    info.fillRankingCache();
    EXPECT_EQ(info.getOnlineHiscore(0, 0, 0), 0u);
    EXPECT_EQ(info.getOnlineHiscore(0, 1, 2), 0u);
}

TEST(OnlineTables, ReplayListReplyRoutesRowsAndFilesPracticeRecordsByStage) {
    GameInfo info;
    const std::uint32_t stage2Flag2 = 2u << 2, stage1Flag1 = 1u, stage8Flag3 = 3u << 14;
    std::vector<ScoreEntry> reply = {
        record(0x021, 10),                     // 0: row 2
        record(0x040, 11),                     // 1: difficulty code 4 -> row 3
        record(0x102, 12, true, stage2Flag2),  // 2: practice -> row 4, key 21
        record(0x031, 13, false),              // 3: no machine: skipped
        record(0x100, 14, true, stage1Flag1),  // 4: practice -> row 4, key 10
        record(0x100, 15, true, 0),            // 5: practice without a stage: row 4 only
        record(0x101, 16, true, stage8Flag3),  // 6: key 82 is none of the keys
        record(0x230, 17),                     // 7: other flags keep the difficulty row
    };
    info.fillRanking(reply.data(), reply.size());
    info.fillOnlineReplayList();

    EXPECT_EQ(info.getOnlineReplayScore(0, 2, 1, 0, 0), 10u);
    EXPECT_EQ(info.getOnlineReplayScore(1, 3, 0, 0, 0), 11u);
    EXPECT_EQ(info.getOnlineReplayScore(2, 0, 2, 1, 0), 12u) << "kind 1 without a key reads row 4";
    EXPECT_EQ(info.getOnlineReplayScore(2, 0, 2, 1, 21), 12u);
    EXPECT_EQ(info.getOnlineReplayId(2, 0, 2, 1, 21), 13u);
    EXPECT_EQ(info.isOnlineReplayValid(3, 3, 1, 0, 0), 0);
    EXPECT_EQ(info.getOnlineReplayScore(3, 3, 1, 0, 0), 0u);
    EXPECT_EQ(info.getOnlineReplayScore(4, 0, 0, 1, 10), 14u);
    EXPECT_EQ(info.getOnlineReplayScore(5, 0, 0, 1, 0), 15u);
    EXPECT_EQ(info.getOnlineReplayScore(5, 0, 0, 1, 10), 0u);
    EXPECT_EQ(info.getOnlineReplayScore(6, 0, 1, 1, 0), 16u);
    EXPECT_EQ(info.getOnlineReplayScore(6, 0, 1, 1, 82), 0u);
    EXPECT_EQ(info.getOnlineReplayScore(7, 3, 0, 0, 0), 17u);
    EXPECT_EQ(info.getOnlineReplayDifficulty(7, 3, 0, 0, 0), 3u);
    EXPECT_EQ(info.isOnlineReplayValid(0, 2, 1, 0, 0), 1);
    EXPECT_EQ(info.getOnlineReplayMachineId0(0, 2, 1, 0, 0), 0xABu);
}

TEST(OnlineTables, RefillsLeaveNoStaleReplays) {
    GameInfo info;
    std::vector<ScoreEntry> reply;
    for (std::uint32_t i = 0; i < 5; ++i) reply.push_back(record(0x010, 100 - i));
    info.fillRanking(reply.data(), reply.size());
    info.fillOnlineReplayList();
    EXPECT_EQ(info.isOnlineReplayValid(4, 1, 0, 0, 0), 1);

    std::vector<ScoreEntry> other = {record(0x021, 60)};
    info.fillRanking(other.data(), other.size());
    std::vector<ScoreEntry> shorter = {record(0x010, 50)};
    info.fillRanking(shorter.data(), shorter.size());
    info.fillOnlineReplayList();
    // A list answer leaves the tables it does not fill.
    EXPECT_EQ(info.getOnlineReplayScore(0, 2, 1, 0, 0), 60u);
    // Ranks the new reply did not fill are wholly default: no machine, no
    // replay id, so nothing offers them for download.
    for (int rank = 1; rank <= 100; ++rank) {
        EXPECT_EQ(info.isOnlineReplayValid(rank, 1, 0, 0, 0), 0) << rank;
        EXPECT_EQ(info.getOnlineReplayId(rank, 1, 0, 0, 0), 0u) << rank;
        EXPECT_EQ(info.getOnlineReplayDate(rank, 1, 0, 0, 0), 101u) << rank;
    }
}

TEST(OnlineTables, HostileRepliesAreDroppedWithoutWritesOutsideTheTables) {
    LoggedTest log;
    GameInfo info;
    // 1200 records (the client's capacity) with every nibble value in the
    // pairing, difficulty and flag positions.
    std::vector<ScoreEntry> reply;
    for (std::uint32_t i = 0; i < 1200; ++i) reply.push_back(record(i * 0x111u & 0xFFFu, 5000 + i, true, 0x55555555u));
    info.fillOnlineScores(reply.data(), reply.size());
    info.fillRanking(reply.data(), reply.size());
    info.fillRankingCache();
    info.fillOnlineReplayList();
    EXPECT_EQ(linesStartingWith(log, kDroppedLine), 2) << "one line a reply";

    // Kept: ranks 0..100 with a pairing of 0..2 (and rows 0..4 for the list).
    EXPECT_EQ(info.getOnlineHiscore(0, 0, 0), 5000u);
    EXPECT_EQ(info.getOnlineHiscore(1, 1, 1), 5001u);
    EXPECT_EQ(info.getOnlineHiscore(2, 2, 2), 5002u);
    EXPECT_EQ(info.getOnlineHiscore(17, 2, 1), 5017u);  // mode 0x221
    EXPECT_EQ(info.getOnlineReplayScore(2, 2, 2, 0, 0), 5002u);
    EXPECT_EQ(info.getOnlineReplayScore(1, 4, 1, 0, 0), 5001u);  // flag nibble 1: practice row
    EXPECT_EQ(info.getOnlineReplayScore(1, 0, 1, 1, 10), 5001u);  // stage 1 flag 1: key 10

    // A second reply of sane records is taken whole after a hostile one.
    std::vector<ScoreEntry> sane = {record(0x21, 7)};
    info.fillOnlineScores(sane.data(), sane.size());
    info.fillRankingCache();
    EXPECT_EQ(info.getOnlineHiscore(0, 2, 1), 7u);
    EXPECT_EQ(linesStartingWith(log, kDroppedLine), 2);
}

TEST(OnlineTables, RankWordsAndGetterRanges) {
    GameInfo info;
    info.setOnlineRank(0, 0, 12);
    info.setOnlineRank(3, 2, 345);
    info.setOnlineRank(4, 0, 9);   // ignored
    info.setOnlineRank(0, 3, 9);   // ignored
    info.setOnlineRank(-1, 0, 9);  // ignored
    EXPECT_EQ(info.getOnlineRank(0, 0), 12u);
    EXPECT_EQ(info.getOnlineRank(3, 2), 345u);
    EXPECT_EQ(info.getOnlineRankDigits(3, 2), 3);
    EXPECT_EQ(info.getOnlineRank(4, 0), 0u);

    std::vector<ScoreEntry> reply = {record(0x02, 77)};
    reply[0][ScoreEntry::kName0] = 0x41424344;
    info.fillOnlineScores(reply.data(), reply.size());
    info.fillRankingCache();
    EXPECT_EQ(info.getOnlineHiscoreName(0, 0, 2, 3), 'D');
    EXPECT_EQ(info.getOnlineHiscoreName(0, 0, 2, 8), 32u);
    EXPECT_EQ(info.getOnlineHiscoreName(-1, 0, 2, 0), 0u);
    EXPECT_EQ(info.getOnlineHiscoreYear(100, 0, 2), 2008u) << "rank 100 reads the spare entry";
    EXPECT_EQ(info.getOnlineHiscoreYear(101, 0, 2), 0u);
    EXPECT_EQ(info.getOnlineHiscoreYear(-1, 0, 2), 0u);
    EXPECT_EQ(info.getOnlineHiscoreYear(0, 4, 0), 0u);
    EXPECT_EQ(info.getOnlineHiscoreYear(0, 0, 3), 0u);
    EXPECT_EQ(info.getOnlineReplayYear(0, 5, 0, 0, 0), 0u);
    EXPECT_EQ(info.getOnlineReplayYear(0, 0, 3, 0, 0), 0u);
    EXPECT_EQ(info.getOnlineReplayYear(0, 0, 0, 1, 99), 0u) << "an unknown key";
    EXPECT_EQ(info.getOnlineReplayStageScore(0, 0, 0, 16, 0, 0), 0u);
}

// The network worker fills the tables while the main thread reads them and
// registers plays; run under ThreadSanitizer.
TEST(OnlineTablesThreads, WorkerRepliesWhileTheMainThreadReads) {
    GameInfo info;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        std::vector<ScoreEntry> reply;
        for (std::uint32_t i = 0; i < 120; ++i) reply.push_back(record((i % 3) | ((i % 5) << 4), 1000 - i));
        std::array<ScoreEntry, 12> upload;
        for (int round = 0; round < 40; ++round) {
            info.resetOnlineTables();
            info.fillOnlineScores(reply.data(), reply.size());
            info.fillRankingCache();
            info.fillRanking(reply.data(), reply.size());
            info.fillOnlineReplayList();
            info.setOnlineRank(round % 4, round % 3, static_cast<std::uint32_t>(round));
            info.collectScoresForUpload(upload);
        }
        done = true;
    });
    std::uint64_t sum = 0;
    ScoreEntry mine;
    while (!done) {
        sum += info.getOnlineHiscore(3, 0, 0) + info.getOnlineReplayScore(5, 1, 1, 0, 0) +
               static_cast<std::uint32_t>(info.isOnlineReplayValid(0, 4, 0, 1, 10)) + info.getOnlineRank(1, 1) +
               static_cast<std::uint32_t>(info.isMyScoreUpdated());
        mine[ScoreEntry::kScore] = static_cast<std::uint32_t>(sum % 1000);
        info.localScoreTables().registerPlay(mine, 1, 1, mine.score());
    }
    worker.join();
    EXPECT_EQ(info.getOnlineHiscore(3, 3, 0), 997u);
}

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "RecordFileFixture.h"
#include "records/CacheFile.h"
#include "records/Crc32.h"
#include "records/LittleEndianWords.h"
#include "records/MachineId.h"
#include "records/OnlineTables.h"
#include "records/TextReadFile.h"

namespace {
constexpr const char* kScoreLine = "スコアデータのチェックサムが一致しません";
constexpr const char* kCacheLine = "キャッシュデータのチェックサムが一致しません";
constexpr const char* kTextLine = "既読データのチェックサムが一致しません";

std::uint32_t crcOf(const std::string& text) { return crc32(text.data(), text.size()); }

// Distinct contents in every part of the score file.
void fillScoreRecord(ScoreRecordFields& record) {
    for (int d = 0; d < 4; ++d)
        for (int t = 0; t < 3; ++t)
            for (std::size_t i = 0; i < 101; ++i)
                for (std::size_t w = 0; w < 28; ++w)
                    record.tables.ranking(d, t)[i][w] = static_cast<std::uint32_t>((d * 3 + t) * 100000 + i * 100 + w);
    for (int d = 0; d < 3; ++d)
        for (int t = 0; t < 3; ++t)
            for (std::size_t i = 0; i < 3; ++i) record.tables.route(d, t)[i][ScoreEntry::kScore] = 7000 + 10 * d + t + i;
    record.machineId = {0xCAFE, 0xBEEF};
    record.playerName = packName("PLAYER 1");
    for (std::size_t i = 0; i < 9; ++i) record.reachStage[i] = 0x1111u * (i + 1);
    for (std::size_t i = 0; i < 8; ++i) record.endingBits[i] = 1u << i;
    for (int m = 0; m < 3; ++m) {
        record.savedFlags[m].clear();
        for (int id = 0; id < 128; id += 5) record.savedFlags[m][id] = id * (m + 1);
    }
}

void expectSameScoreRecord(ScoreRecordFields& a, ScoreRecordFields& b) {
    for (int d = 0; d < 4; ++d)
        for (int t = 0; t < 3; ++t)
            for (std::size_t i = 0; i < 100; ++i)
                ASSERT_EQ(a.tables.ranking(d, t)[i].words, b.tables.ranking(d, t)[i].words) << d << t << i;
    for (int d = 0; d < 3; ++d)
        for (int t = 0; t < 3; ++t)
            for (std::size_t i = 0; i < 3; ++i)
                EXPECT_EQ(a.tables.route(d, t)[i].words, b.tables.route(d, t)[i].words);
    EXPECT_EQ(a.machineId, b.machineId);
    EXPECT_EQ(a.playerName, b.playerName);
    EXPECT_EQ(a.reachStage, b.reachStage);
    EXPECT_EQ(a.endingBits, b.endingBits);
    for (int m = 0; m < 3; ++m)
        for (int id = 0; id < 128; ++id) EXPECT_EQ(a.savedFlags[m][id], b.savedFlags[m][id]);
}

void fillCache(OnlineTables& tables) {
    std::vector<ScoreEntry> records(100);
    std::vector<ScoreEntry> all;
    for (std::uint32_t n = 0; n < 12; ++n) {
        ScoreEntry record;
        record[ScoreEntry::kMode] = ((n / 3) << 4) | (n % 3);
        record[ScoreEntry::kScore] = 1000 + n;
        all.push_back(record);
    }
    tables.fillOnlineScores(all);
    tables.fillRankingCache();
}
}  // namespace

class RecordFiles : public RecordFileTest {};

TEST_F(RecordFiles, Crc32OfKnownInputs) {
    EXPECT_EQ(crcOf("123456789"), 0xCBF43926u);
    EXPECT_EQ(crcOf(""), 0u);
    EXPECT_EQ(crcOf("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
    // Chained updates give the same checksum as one pass.
    const std::string text = "123456789";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    std::uint32_t state = crc32Update(crc32InitialState(), bytes, bytes + 4);
    EXPECT_EQ(~crc32Update(state, bytes + 4, bytes + 9), 0xCBF43926u);
    EXPECT_EQ(reverseBits32(0x00000001u), 0x80000000u);
    EXPECT_EQ(reverseBits8(0x01), 0x80);
}

TEST_F(RecordFiles, TextReadFileBytes) {
    ASSERT_EQ(writeTextReadFile({3, 1, 2}), 0);
    // CRC over the first 3 bytes only (01 00 00), the count, the ids ascending.
    EXPECT_EQ(readBytes("data/textread.dat"),
              (std::vector<std::uint8_t>{0x25, 0xB3, 0x83, 0xFE, 3, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0}));
    ASSERT_EQ(writeTextReadFile({}), 0);
    EXPECT_EQ(readBytes("data/textread.dat"), std::vector<std::uint8_t>(8, 0));
}

TEST_F(RecordFiles, TextReadChecksumCoversOnlyTheFirstNBytes) {
    ASSERT_EQ(writeTextReadFile({1, 2, 3}), 0);
    std::vector<std::uint8_t> bytes = readBytes("data/textread.dat");
    bytes[8 + 3] = 0x7F;  // the fourth byte of the id array is outside the checksum
    writeBytes("data/textread.dat", bytes);
    ReadTextIds ids{99};
    EXPECT_EQ(readTextReadFile(ids), 0);
    EXPECT_EQ(ids, (ReadTextIds{0x7F000001u, 2, 3}));

    bytes[8 + 2] = 0x01;  // the third byte is inside it
    writeBytes("data/textread.dat", bytes);
    EXPECT_EQ(readTextReadFile(ids), 1);
    EXPECT_TRUE(log_.logContains(kTextLine));
}

TEST_F(RecordFiles, RoundTrips) {
    ScoreRecordFields written;
    fillScoreRecord(written);
    ScoreFileFields writtenFields = written.fields();
    ASSERT_EQ(writeScoreFileContents(writtenFields), 0);
    EXPECT_EQ(readBytes("data/score.dat").size(), 16u + 139036u);
    ScoreRecordFields read;
    ScoreFileFields readFields = read.fields();
    ASSERT_EQ(readScoreFile(readFields), 0);
    expectSameScoreRecord(written, read);

    OnlineTables cache;
    fillCache(cache);
    ASSERT_EQ(writeCacheFile(cache), 0);
    EXPECT_EQ(readBytes("data/cache.dat").size(), 4u + 134400u);
    OnlineTables cacheRead;
    ASSERT_EQ(readCacheFile(cacheRead), 0);
    for (int d = 0; d < 4; ++d)
        for (int t = 0; t < 3; ++t)
            for (int rank = 0; rank < 100; ++rank)
                ASSERT_EQ(cacheRead.cacheEntry(rank, d, t)->words, cache.cacheEntry(rank, d, t)->words);
    EXPECT_EQ(cacheRead.cacheEntry(11, 3, 2)->score(), 1011u);

    const ReadTextIds ids{5, 0xFFFFFFFFu, 17, 0};
    ASSERT_EQ(writeTextReadFile(ids), 0);
    ReadTextIds idsRead;
    ASSERT_EQ(readTextReadFile(idsRead), 0);
    EXPECT_EQ(idsRead, ids);
    EXPECT_EQ(log_.logLines().size(), 0u);
}

// Stored files rely on every section's offset, not only on a round trip.
TEST_F(RecordFiles, ScoreAndCacheFilesPlaceEachSectionAtItsOffset) {
    ScoreRecordFields written;
    fillScoreRecord(written);
    ScoreFileFields writtenFields = written.fields();
    ASSERT_EQ(writeScoreFileContents(writtenFields), 0);
    std::vector<std::uint8_t> score = readBytes("data/score.dat");
    ASSERT_EQ(score.size(), 139052u);
    auto word = [&](std::size_t offset) { return loadWordLE(score.data() + offset); };
    auto entryWord = [&](std::size_t base, std::size_t entry, std::size_t w) { return word(base + 112 * entry + 4 * w); };

    EXPECT_EQ(word(0), crc32(score.data() + 16, 139036));
    EXPECT_EQ(word(4), 0xCAFEu);
    EXPECT_EQ(word(8), 0xBEEFu);
    EXPECT_EQ(word(12), 0u);
    // Ranking tables of d = 0..2 from 16, 100 entries each in order 3d + t:
    // the spare entry 100 is not stored.
    EXPECT_EQ(entryWord(16, 0, 0), written.tables.ranking(0, 0)[0][0]);
    EXPECT_EQ(entryWord(16, 100 * 5 + 99, 27), written.tables.ranking(1, 2)[99][27]);
    EXPECT_EQ(entryWord(16, 100 * 8 + 99, 27), written.tables.ranking(2, 2)[99][27]);
    // Route tables from 100816, three entries each in order 3d + t.
    EXPECT_EQ(entryWord(100816, 0, ScoreEntry::kScore), 7000u);
    EXPECT_EQ(entryWord(100816, 3 * 5 + 2, ScoreEntry::kScore), 7000u + 10 + 2 + 2);
    EXPECT_EQ(entryWord(100816, 3 * 8 + 2, ScoreEntry::kScore), 7000u + 20 + 2 + 2);
    // Ranking tables of d = 3 from 103840, t = 0..2.
    EXPECT_EQ(entryWord(103840, 0, 0), written.tables.ranking(3, 0)[0][0]);
    EXPECT_EQ(entryWord(103840, 100 * 2 + 99, 27), written.tables.ranking(3, 2)[99][27]);
    EXPECT_EQ(word(137440), written.playerName[0]);
    EXPECT_EQ(word(137444), written.playerName[1]);
    for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(word(137448 + 4 * i), written.reachStage[i]) << i;
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(word(137484 + 4 * i), written.endingBits[i]) << i;
    // Saved flags 0..127 of the three maps in turn; a missing id is 0.
    for (std::size_t m = 0; m < 3; ++m) {
        EXPECT_EQ(word(137516 + 512 * m + 4 * 125), static_cast<std::uint32_t>(125 * (m + 1))) << m;
        EXPECT_EQ(word(137516 + 512 * m + 4 * 126), 0u) << m;
    }

    OnlineTables cache;
    fillCache(cache);
    ASSERT_EQ(writeCacheFile(cache), 0);
    std::vector<std::uint8_t> cached = readBytes("data/cache.dat");
    ASSERT_EQ(cached.size(), 134404u);
    EXPECT_EQ(loadWordLE(cached.data()), crc32(cached.data() + 4, 134400));
    // Table n = 3d + t holds its reply's record at rank n: d = 0..2 from 4,
    // d = 3 from 100804.
    for (std::size_t n = 0; n < 12; ++n) {
        std::size_t base = n < 9 ? 4 + 100 * 112 * n : 100804 + 100 * 112 * (n - 9);
        EXPECT_EQ(loadWordLE(cached.data() + base + 112 * n + 4 * ScoreEntry::kScore), 1000u + n) << n;
        EXPECT_EQ(loadWordLE(cached.data() + base + 112 * n + 4 * ScoreEntry::kMode), ((n / 3) << 4) | (n % 3)) << n;
    }
}

TEST_F(RecordFiles, FlippedByteGivesTheLineAndKeepsTheDefaults) {
    struct Case {
        const char* file;
        std::size_t offset;
        const char* line;
    };
    const Case cases[] = {
        {"data/score.dat", 0, kScoreLine},            // the checksum itself
        {"data/score.dat", 16 + 5000, kScoreLine},    // a ranking entry
        {"data/score.dat", 137516 + 16, kScoreLine},  // a saved flag
        {"data/cache.dat", 4 + 134399, kCacheLine},
        {"data/textread.dat", 8, kTextLine},
        {"data/textread.dat", 4, kTextLine},  // the count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " @" + std::to_string(c.offset));
        ScoreRecordFields written;
        fillScoreRecord(written);
        ScoreFileFields writtenFields = written.fields();
        ASSERT_EQ(writeScoreFileContents(writtenFields), 0);
        OnlineTables cache;
        fillCache(cache);
        ASSERT_EQ(writeCacheFile(cache), 0);
        ASSERT_EQ(writeTextReadFile({1, 2, 3, 4}), 0);

        std::vector<std::uint8_t> bytes = readBytes(c.file);
        bytes[c.offset] ^= 0x10;
        writeBytes(c.file, bytes);

        ScoreRecordFields read;
        ScoreFileFields readFields = read.fields();
        OnlineTables cacheRead;
        ReadTextIds ids{42};
        int result = std::string(c.file) == "data/score.dat"   ? readScoreFile(readFields)
                     : std::string(c.file) == "data/cache.dat" ? readCacheFile(cacheRead)
                                                               : readTextReadFile(ids);
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(log_.logContains(c.line));
        ScoreRecordFields defaults;
        EXPECT_EQ(read.tables.ranking(1, 1)[3].words, defaults.tables.ranking(1, 1)[3].words);
        EXPECT_EQ(read.playerName, defaults.playerName);
        EXPECT_TRUE(read.savedFlags[0].empty());
        EXPECT_EQ(cacheRead.cacheEntry(0, 0, 0)->words, ScoreEntry().words);
        EXPECT_EQ(ids, ReadTextIds{42});
    }
}

TEST_F(RecordFiles, LengthsThatDoNotFitCountAsMismatch) {
    auto words = [](std::initializer_list<std::uint32_t> list) {
        std::vector<std::uint8_t> bytes(list.size() * 4);
        std::size_t at = 0;
        for (std::uint32_t w : list) storeWordLE(bytes.data() + 4 * at++, w);
        return bytes;
    };
    struct Case {
        const char* name;
        const char* file;
        std::vector<std::uint8_t> bytes;
        const char* line;
    };
    std::vector<Case> cases = {
        // 4n wraps to 4 in 32 bits; the checksum of 0 bytes would match 0.
        {"count whose 4n wraps", "data/textread.dat", words({0, 0x40000001u, 7}), kTextLine},
        {"count past the file", "data/textread.dat", words({0, 3, 1, 2}), kTextLine},
        {"half a header", "data/textread.dat", words({0}), kTextLine},
        {"cache between the two forms", "data/cache.dat", std::vector<std::uint8_t>(4 + 100800 + 100, 0), kCacheLine},
        {"cache shorter than the older form", "data/cache.dat", std::vector<std::uint8_t>(100, 0), kCacheLine},
        {"score body cut short", "data/score.dat", std::vector<std::uint8_t>(16 + 139035, 0), kScoreLine},
        {"score header cut short", "data/score.dat", std::vector<std::uint8_t>(10, 0), kScoreLine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(c.file, c.bytes);
        ScoreRecordFields read;
        ScoreFileFields readFields = read.fields();
        OnlineTables cacheRead;
        ReadTextIds ids{42};
        std::size_t linesBefore = log_.logLines().size();
        int result = std::string(c.file) == "data/score.dat"   ? readScoreFile(readFields)
                     : std::string(c.file) == "data/cache.dat" ? readCacheFile(cacheRead)
                                                               : readTextReadFile(ids);
        EXPECT_EQ(result, 1);
        ASSERT_EQ(log_.logLines().size(), linesBefore + 1);
        EXPECT_EQ(log_.logLines().back(), c.line);
        EXPECT_EQ(ids, ReadTextIds{42});
        std::filesystem::remove(log_.root().path() / c.file);
    }
}

TEST_F(RecordFiles, LongerFilesAreReadAndTheOlderCacheFormFillsNineTables) {
    ASSERT_EQ(writeTextReadFile({1, 2}), 0);
    std::vector<std::uint8_t> bytes = readBytes("data/textread.dat");
    bytes.insert(bytes.end(), {9, 9, 9, 9});  // left over from an earlier, longer set
    writeBytes("data/textread.dat", bytes);
    ReadTextIds ids;
    EXPECT_EQ(readTextReadFile(ids), 0);
    EXPECT_EQ(ids, (ReadTextIds{1, 2}));

    OnlineTables cache;
    fillCache(cache);
    ASSERT_EQ(writeCacheFile(cache), 0);
    bytes = readBytes("data/cache.dat");
    bytes.resize(4 + 100800);
    storeWordLE(bytes.data(), crc32(bytes.data() + 4, 100800));
    writeBytes("data/cache.dat", bytes);
    OnlineTables cacheRead;
    ASSERT_EQ(readCacheFile(cacheRead), 0);
    EXPECT_EQ(cacheRead.cacheEntry(8, 2, 2)->score(), 1008u);
    EXPECT_EQ(cacheRead.cacheEntry(9, 3, 0)->words, ScoreEntry().words);
    EXPECT_FALSE(log_.logContains(kCacheLine));
}

TEST_F(RecordFiles, MachineIdentityFromTheHeaderOrTheAdapter) {
    struct Case {
        const char* name;
        bool fileExists;
        std::uint32_t header0, header1;
        bool adapter;
        std::array<std::uint32_t, 2> expected;
    };
    const Case cases[] = {
        {"no file: the adapter", false, 0, 0, true, {0x44332211u, 0x6655u}},
        {"zero header: the adapter", true, 0, 0, true, {0x44332211u, 0x6655u}},
        {"another machine's header is kept", true, 0, 5, true, {0, 5}},
        {"no adapter: the words stay", false, 0, 0, false, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(log_.root().path() / "data/score.dat");
        if (c.fileExists) {
            ScoreRecordFields written;
            written.machineId = {c.header0, c.header1};
            ScoreFileFields writtenFields = written.fields();
            ASSERT_EQ(writeScoreFileContents(writtenFields), 0);
        }
        if (!c.adapter) machine_.address.reset();
        ScoreRecordFields read;
        ScoreFileFields readFields = read.fields();
        EXPECT_EQ(readScoreFile(readFields), c.fileExists ? 0 : 1);
        EXPECT_EQ(read.machineId, c.expected);
        machine_.address = HardwareAddress{0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    }
    EXPECT_FALSE(log_.logContains(kScoreLine));
}

TEST_F(RecordFiles, MachineIdWordsStampOnlyAnExistingScoreFile) {
    const std::array<std::uint32_t, 2> id{0x01020304u, 0x0506u};
    EXPECT_EQ(writeMachineIdWords(id), 1);
    EXPECT_FALSE(log_.root().exists("data/score.dat"));

    ScoreRecordFields written;
    fillScoreRecord(written);
    ScoreFileFields writtenFields = written.fields();
    ASSERT_EQ(writeScoreFileContents(writtenFields), 0);
    std::vector<std::uint8_t> before = readBytes("data/score.dat");
    EXPECT_EQ(writeMachineIdWords(id), 0);
    std::vector<std::uint8_t> after = readBytes("data/score.dat");
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(loadWordLE(after.data() + 4), 0x01020304u);
    EXPECT_EQ(loadWordLE(after.data() + 8), 0x0506u);
    EXPECT_TRUE(std::equal(after.begin() + 12, after.end(), before.begin() + 12));
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + 4, before.begin()));
}

TEST_F(RecordFiles, FailedSaveIsLoggedAndLeavesTheOldFile) {
    ASSERT_EQ(writeTextReadFile({1}), 0);
    ScoreRecordFields record;
    ScoreFileFields fields = record.fields();
    ASSERT_EQ(writeScoreFileContents(fields), 0);
    std::vector<std::uint8_t> oldText = readBytes("data/textread.dat");
    std::vector<std::uint8_t> oldScore = readBytes("data/score.dat");
    // A temporary file cannot be created where a folder of its name stands.
    for (const char* blocked : {"data/textread.dat.tmp", "data/score.dat.tmp", "data/cache.dat.tmp"})
        std::filesystem::create_directories(log_.root().path() / blocked);
    EXPECT_EQ(writeTextReadFile({1, 2}), 1);
    EXPECT_EQ(writeScoreFileContents(fields), 1);
    EXPECT_EQ(writeMachineIdWords(std::array<std::uint32_t, 2>{1, 2}), 1);
    EXPECT_EQ(writeCacheFile(OnlineTables()), 1);
    EXPECT_EQ(log_.logLines(), (std::vector<std::string>{"既読データの保存に失敗しました", "スコアデータの保存に失敗しました",
                                                         "スコアデータの保存に失敗しました",
                                                         "キャッシュデータの保存に失敗しました"}));
    EXPECT_EQ(readBytes("data/textread.dat"), oldText);
    EXPECT_EQ(readBytes("data/score.dat"), oldScore);
    EXPECT_FALSE(log_.root().exists("data/cache.dat"));
}

TEST_F(RecordFiles, GameFolderWithoutDataFolderSavesNothingQuietly) {
    std::filesystem::remove_all(log_.root().path() / "data");
    ScoreRecordFields record;
    ScoreFileFields fields = record.fields();
    EXPECT_EQ(writeScoreFileContents(fields), 1);
    EXPECT_EQ(writeCacheFile(OnlineTables()), 1);
    EXPECT_EQ(writeTextReadFile({}), 1);
    EXPECT_TRUE(log_.logLines().empty());
    EXPECT_FALSE(log_.root().exists("data"));
}

TEST_F(RecordFiles, MissingFilesGiveOneAndNoLine) {
    ScoreRecordFields read;
    ScoreFileFields readFields = read.fields();
    OnlineTables cache;
    ReadTextIds ids{7};
    EXPECT_EQ(readScoreFile(readFields), 1);
    EXPECT_EQ(readCacheFile(cache), 1);
    EXPECT_EQ(readTextReadFile(ids), 1);
    EXPECT_EQ(ids, ReadTextIds{7});
    EXPECT_TRUE(log_.logLines().empty());
}

// The first use of the checksum may come from several threads at once (the
// network worker and the main thread): every one must see the whole table.
TEST(RecordFilesThreads, FirstChecksumUseFromManyThreads) {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&wrong] {
            for (int n = 0; n < 50; ++n)
                if (crcOf("123456789") != 0xCBF43926u) ++wrong;
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

// A file that fails its checksum is moved aside to "<name>.bad" before the
// first save over it, so the records in it are not destroyed by the defaults.
TEST_F(RecordFiles, ADamagedFileIsSetAsideBeforeTheFirstSave) {
    struct Case {
        const char* file;
        const char* windowsPath;
        std::size_t offset;
    };
    const Case cases[] = {
        {"data/score.dat", "data\\score.dat", 16 + 5000},
        {"data/cache.dat", "data\\cache.dat", 4 + 77},
        {"data/textread.dat", "data\\textread.dat", 9},
    };
    auto readIt = [](const Case& c) {
        ScoreRecordFields read;
        ScoreFileFields fields = read.fields();
        OnlineTables cache;
        ReadTextIds ids;
        std::string file = c.file;
        return file == "data/score.dat" ? readScoreFile(fields)
               : file == "data/cache.dat" ? readCacheFile(cache)
                                          : readTextReadFile(ids);
    };
    auto writeIt = [](const Case& c) {
        ScoreRecordFields defaults;
        std::string file = c.file;
        return file == "data/score.dat" ? writeScoreFileContents(defaults.fields())
               : file == "data/cache.dat" ? writeCacheFile(OnlineTables())
                                          : writeTextReadFile({});
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ScoreRecordFields written;
        fillScoreRecord(written);
        ASSERT_EQ(writeScoreFileContents(written.fields()), 0);
        OnlineTables cache;
        fillCache(cache);
        ASSERT_EQ(writeCacheFile(cache), 0);
        ASSERT_EQ(writeTextReadFile({1, 2, 3, 4}), 0);
        // An earlier damaged file is kept: this one takes the next number.
        const std::string earlier = std::string(c.file) + ".bad";
        writeBytes(earlier, {'o', 'l', 'd'});
        const std::string bad = std::string(c.file) + ".bad2";

        std::vector<std::uint8_t> damaged = readBytes(c.file);
        damaged[c.offset] ^= 0x01;
        writeBytes(c.file, damaged);
        ASSERT_EQ(readIt(c), 1);

        const std::string line =
            std::string("破損した ") + c.windowsPath + " を " + c.windowsPath + ".bad2 として残しました";
        EXPECT_FALSE(log_.logContains(line));
        ASSERT_EQ(writeIt(c), 0);
        EXPECT_EQ(readBytes(bad), damaged);
        EXPECT_EQ(readBytes(earlier), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
        EXPECT_TRUE(log_.logContains(line));
        EXPECT_EQ(readIt(c), 0);  // the defaults were saved whole

        // Only the first save after the mismatch sets a file aside; a file that
        // reads well, or none at all, is saved over as before.
        ASSERT_EQ(writeIt(c), 0);
        ASSERT_EQ(readIt(c), 0);
        ASSERT_EQ(writeIt(c), 0);
        std::filesystem::remove(log_.root().path() / c.file);
        ASSERT_EQ(readIt(c), 1);
        ASSERT_EQ(writeIt(c), 0);
        EXPECT_EQ(readBytes(bad), damaged);
        std::vector<std::string> lines = log_.logLines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1);
        std::filesystem::remove(log_.root().path() / bad);
        std::filesystem::remove(log_.root().path() / earlier);
    }
}

// With ".bad" to ".bad99" all taken, the save goes over the damaged file
// rather than stop saving for good; the kept ones stay as they are.
TEST_F(RecordFiles, WithEveryNameForDamagedFilesTakenTheSaveGoesOn) {
    const std::vector<std::uint8_t> kept = {'k', 'e', 'p', 't'};
    writeBytes("data/textread.dat.bad", kept);
    for (int n = 2; n <= 99; ++n) writeBytes("data/textread.dat.bad" + std::to_string(n), kept);
    writeBytes("data/textread.dat", {1, 2, 3});
    ReadTextIds ids;
    ASSERT_EQ(readTextReadFile(ids), 1);
    ASSERT_EQ(writeTextReadFile({5}), 0);
    EXPECT_TRUE(log_.logContains("破損した data\\textread.dat を残す名前が残っていないため、上書きします"));
    EXPECT_EQ(readTextReadFile(ids), 0);
    EXPECT_EQ(ids, ReadTextIds{5});
    EXPECT_EQ(readBytes("data/textread.dat.bad99"), kept);
    EXPECT_FALSE(log_.root().exists("data/textread.dat.bad100"));
}

// Every save keeps the whole file it replaces as "<name>.old": after two
// saves and a flipped bit, the records of the first save are back. With both
// copies damaged the records keep their defaults, and later saves set both
// damaged files aside instead of writing over them.
TEST_F(RecordFiles, ADamagedFileGivesWayToTheCopyKeptByTheSaveBefore) {
    struct Case {
        const char* file;
        const char* windowsPath;
        const char* mismatch;
        std::size_t offset;                         // a byte under the checksum
        std::function<int(std::uint32_t)> save;     // saves records that carry the mark
        std::function<std::uint32_t()> read;        // the mark read back, 0 for the defaults
    };
    const Case cases[] = {
        {"data/score.dat", "data\\score.dat", kScoreLine, 16 + 4 * ScoreEntry::kScore,
         [](std::uint32_t mark) {
             ScoreRecordFields record;
             fillScoreRecord(record);
             record.tables.ranking(0, 0)[0][ScoreEntry::kScore] = mark;
             return writeScoreFileContents(record.fields());
         },
         [] {
             ScoreRecordFields record;
             ScoreFileFields fields = record.fields();
             return readScoreFile(fields) == 0 ? record.tables.ranking(0, 0)[0][ScoreEntry::kScore] : 0u;
         }},
        {"data/cache.dat", "data\\cache.dat", kCacheLine, 4 + 4 * ScoreEntry::kScore,
         [](std::uint32_t mark) {
             OnlineTables tables;
             ScoreEntry record;
             record[ScoreEntry::kScore] = mark;
             tables.fillOnlineScores(std::vector<ScoreEntry>{record});
             tables.fillRankingCache();
             return writeCacheFile(tables);
         },
         [] {
             OnlineTables tables;
             return readCacheFile(tables) == 0 ? (*tables.cacheEntry(0, 0, 0))[ScoreEntry::kScore] : 0u;
         }},
        {"data/textread.dat", "data\\textread.dat", kTextLine, 8,
         [](std::uint32_t mark) { return writeTextReadFile({mark}); },
         [] {
             ReadTextIds ids;
             return readTextReadFile(ids) == 0 && !ids.empty() ? *ids.begin() : 0u;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string file = c.file;
        const std::string windowsPath = c.windowsPath;
        auto damage = [this](const std::string& name, std::size_t offset) {
            std::vector<std::uint8_t> bytes = readBytes(name);
            bytes[offset] ^= 0x01;
            writeBytes(name, bytes);
            return bytes;
        };
        ASSERT_EQ(c.save(1), 0);
        ASSERT_EQ(c.save(2), 0);
        ASSERT_EQ(c.save(2), 0);  // the same records again: the kept copy stays the first save
        EXPECT_EQ(c.read(), 2u);

        damage(file, c.offset);
        EXPECT_EQ(c.read(), 1u);
        EXPECT_TRUE(log_.logContains(c.mismatch));
        EXPECT_TRUE(log_.logContains(windowsPath + " の代わりに " + windowsPath + ".old を読み込みました"));

        // Both copies damaged: the defaults, one line for each copy.
        ASSERT_EQ(c.save(3), 0);  // sets the damaged file aside; the kept copy stays
        std::vector<std::uint8_t> damagedFile = damage(file, c.offset);
        std::vector<std::uint8_t> damagedCopy = damage(file + ".old", c.offset);
        std::size_t linesBefore = log_.logLines().size();
        EXPECT_EQ(c.read(), 0u);
        std::vector<std::string> lines = log_.logLines();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(linesBefore), lines.end()),
                  (std::vector<std::string>{c.mismatch, windowsPath + ".old も壊れているため、既定値を使います"}));

        // Two saves later both damaged files are still there.
        ASSERT_EQ(c.save(4), 0);
        ASSERT_EQ(c.save(5), 0);
        EXPECT_EQ(readBytes(file + ".bad2"), damagedFile);
        EXPECT_EQ(readBytes(file + ".old.bad"), damagedCopy);
        EXPECT_EQ(c.read(), 5u);
        damage(file, c.offset);
        EXPECT_EQ(c.read(), 4u);
    }
}

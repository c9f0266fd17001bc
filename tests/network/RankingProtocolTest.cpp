#include <gtest/gtest.h>

#include "network/RankingProtocol.h"
#include "network/NetTestSupport.h"

namespace {
std::vector<std::uint8_t> bytesOf(const RankingMessage& message) {
    return {message.bytes.begin(), message.bytes.begin() + static_cast<std::ptrdiff_t>(message.size)};
}
}  // namespace

TEST(RankingProtocol, EveryRequestAsBytes) {
    struct Case {
        const char* name;
        RankingMessage message;
        const char* expected;
    };
    const Case cases[] = {
        {"hello 1.2", buildHello(ranking::versionWord(1, 2)), "00000000 00000001 00000102 00000000"},
        {"bye 2.0", buildBye(ranking::versionWord(2, 0)), "00000001 00000001 00000200 00000000"},
        {"identity", buildIdentity(0x11223344, 0x55667788), "00000002 11223344 55667788 00000000"},
        {"name", buildName(0x50454552, 0x31323334), "00000003 50454552 31323334 00000000"},
        {"ranking a=3 b=2", buildRankingQuery(3, 2, 0), "00000020 02030000 00000000 00000001"},
        {"ranking cut to low bytes", buildRankingQuery(0x103, 0x1FF, 0x2AB), "00000020 ff03ab00 00000000 00000001"},
        {"replay download", buildReplayDownload(0xA1, 0xB2, 20081224, 1530, 987654),
         "00000020 000000a1 000000b2 00000002 01326a48 000005fa 000f1206 00000000"},
        {"rank table", buildRankTableQuery(), "00000020 00000000 00000000 00000004"},
        {"replay list", buildReplayListQuery(0, 2, 1, 71), "00000020 02000147 00000000 00000008"},
        {"replay list cut", buildReplayListQuery(0x1234, 0x5601, 0x7802, 0x9A03), "00000020 01340203 00000000 00000008"},
        {"commit 0", buildCommit(0), "00000030 00000000 00000000 00000000"},
        {"commit 1", buildCommit(1), "00000030 00000000 00000000 00000001"},
        {"replay upload", buildReplayUploadHeader(5, 0xCAFEBABE), "00000010 00000005 cafebabe 00000002"},
    };
    for (const Case& c : cases) EXPECT_EQ(nettest::hex(bytesOf(c.message)), c.expected) << c.name;
    EXPECT_EQ(ranking::versionWord(1, 2), 258u);
}

TEST(RankingProtocol, ScoreUploadIsWordsZeroToTwentyWithItsOwnCrc) {
    ScoreEntry entry;
    for (std::size_t w = 0; w < ScoreEntry::kWordCount; ++w) entry[w] = 0x01020304u * static_cast<std::uint32_t>(w + 1);
    auto message = buildScoreUpload(entry);
    ASSERT_EQ(message.size(), 100u);
    std::vector<std::uint8_t> record(message.begin() + 16, message.end());
    std::vector<std::uint8_t> header(message.begin(), message.begin() + 16);
    std::vector<std::uint8_t> expectedHeader;
    nettest::putWord(expectedHeader, 16);
    nettest::putWord(expectedHeader, 84);
    nettest::putWord(expectedHeader, nettest::zcrc(record));
    nettest::putWord(expectedHeader, 1);
    EXPECT_EQ(header, expectedHeader);
    // Word 0 first, big-endian; word 20 last; words 21-27 are not sent.
    EXPECT_EQ(nettest::hex({record.begin(), record.begin() + 8}), "01020304 02040608");
    EXPECT_EQ(nettest::hex({record.end() - 4, record.end()}), "152a3f54");
}

TEST(RankingProtocol, DecodedRecordHasWordsTwentyOneOnZero) {
    std::vector<std::uint8_t> bytes = nettest::records(10, 0x21, 1000);
    ASSERT_EQ(bytes.size(), 840u);
    for (std::size_t k = 0; k < 10; ++k) {
        ScoreEntry entry;
        entry.words.fill(0xFFFFFFFFu);
        RankingRecord::decode(bytes.data() + 84 * k, entry);
        EXPECT_EQ(entry[0], 0x01000000u + k);
        EXPECT_EQ(entry.score(), 1000u - k);
        EXPECT_EQ(entry[3], 0x21u);
        EXPECT_EQ(entry[20], 0x15000000u + k);
        for (std::size_t w = 21; w < 28; ++w) EXPECT_EQ(entry[w], 0u) << k << " word " << w;
    }
}

TEST(RankingProtocol, PayloadLimitsAndRankWordCounts) {
    EXPECT_EQ(ranking::payloadLimit(1), 100800u);
    EXPECT_EQ(ranking::payloadLimit(8), 126000u);
    EXPECT_EQ(ranking::payloadLimit(2), 64u * 1024 * 1024);
    EXPECT_EQ(ranking::payloadLimit(4), 65536u);
    EXPECT_EQ(ranking::payloadLimit(99), 65536u);
    const std::pair<std::size_t, std::size_t> counts[] = {{0, 0}, {35, 0}, {36, 9}, {37, 9}, {47, 9}, {48, 12}, {100, 12}};
    for (auto [length, words] : counts) EXPECT_EQ(ranking::rankWordCount(length), words) << length;
}

// The replay file layout and the input coding, pinned by literal bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "input/ReplayFormat.h"
#include "input/ReplayFileBuilder.h"
#include "platform/Clock.h"
#include "records/GameInfo.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"
#include "support/TestSupport.h"

namespace {

std::vector<std::uint8_t> wordBytes(const std::vector<std::uint16_t>& words) {
    std::vector<std::uint8_t> b;
    for (auto w : words) {
        b.push_back(static_cast<std::uint8_t>(w >> 8));
        b.push_back(static_cast<std::uint8_t>(w));
    }
    return b;
}

}  // namespace

TEST(ReplayFormat, CodingCasesGiveTheseBytesAndExpandBack) {
    struct Case {
        const char* name;
        std::vector<std::uint16_t> words;
        std::vector<std::uint8_t> coded;
    };
    std::vector<Case> cases = {
        {"600 equal", std::vector<std::uint16_t>(600, 0x1234),
         {0x00, 0x00, 0x04, 0xB0, 254, 0x12, 0x34, 254, 0x12, 0x34, 92, 0x12, 0x34}},
        {"w1 w2 w1", {0x0001, 0x8002, 0x0001}, {0, 0, 0, 6, 1, 0x00, 0x01, 1, 0x80, 0x02, 1, 0x00, 0x01}},
        {"single", {0xABCD}, {0, 0, 0, 2, 1, 0xAB, 0xCD}},
        {"254 then other", [] { auto v = std::vector<std::uint16_t>(254, 7); v.push_back(8); return v; }(),
         {0, 0, 0x01, 0xFE, 254, 0, 7, 1, 0, 8}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = wordBytes(c.words);
        size_t codedLength = 0;
        auto coded = CompressInputWords(bytes.data(), bytes.size(), codedLength);
        EXPECT_EQ(coded, c.coded);
        EXPECT_EQ(codedLength, c.coded.size());
        EXPECT_EQ(ExpandInputWords(c.coded.data(), c.coded.size(), bytes.size()), bytes);
    }
    size_t codedLength = 99;
    EXPECT_TRUE(CompressInputWords(nullptr, 4, codedLength).empty());
    EXPECT_EQ(codedLength, 0u);
}

TEST(ReplayFormat, ExpansionStaysInsideBlockAndBuffer) {
    // Length word larger than the buffer, a zero count, a partial last triple.
    const std::vector<std::uint8_t> coded = {0, 0, 0, 40, 3, 0, 5, 0, 0, 6, 9, 0, 7, 2, 0};
    auto out = ExpandInputWords(coded.data(), coded.size(), 8);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 5, 0, 5, 0, 5, 0, 7}));
    // Runs ending early leave zeros, never old memory.
    auto shortRuns = ExpandInputWords(coded.data(), 7, 10);
    EXPECT_EQ(shortRuns, (std::vector<std::uint8_t>{0, 5, 0, 5, 0, 5, 0, 0, 0, 0}));
    EXPECT_EQ(ExpandInputWords(coded.data(), 4, 6), std::vector<std::uint8_t>(6, 0));
    EXPECT_TRUE(ExpandInputWords(nullptr, 4, 6).empty());
}

TEST(ReplayFormat, DifficultyCodesSwapThreeAndFour) {
    const std::pair<int, std::uint32_t> table[] = {{0, 0}, {1, 1}, {2, 2}, {3, 4}, {4, 3}, {5, 5}, {6, 6}, {7, 0}, {-1, 0}};
    for (auto [d, code] : table) EXPECT_EQ(DifficultyCode(d), code) << d;
}

TEST(ReplayFormat, ParsesHeaderNameDateAndStageMasks) {
    LoggedTest log;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> nameBytes;
        std::string expected;
    };
    const Case names[] = {{"AB", {'A', 'B', 0, 0, 0, 0, 0, 0}, "AB"},
                          {"0x80", {'A', 'B', 'C', 0x80, 'D', 'E', 'F', 'G'}, "ABC"},
                          {"no end", {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}, "ABCDEFGH"}};
    for (const auto& c : names) {
        SCOPED_TRACE(c.name);
        auto file = buildReplayFile({});
        std::memcpy(file.data() + 20, c.nameBytes.data(), 8);
        file[28] = 'Z';  // the date's first byte follows the name: never part of it
        ReplayData replay;
        ASSERT_EQ(ParseReplayHeader(replay, file.data(), file.size()), S_OK);
        EXPECT_EQ(replay.name, c.expected);
        EXPECT_EQ(replay.score, 1234u);
    }
    auto dated = buildReplayFile({});
    ReplayData replay0;
    ASSERT_EQ(ParseReplayHeader(replay0, dated.data(), dated.size()), S_OK);
    EXPECT_EQ(replay0.date, "2026/12/3 9:5");
    EXPECT_EQ(replay0.name, "TESTER  ");
    // 0x15: stages 1, 2, 3; 0x31: stages 1 and 3.
    EXPECT_EQ(StagesInMask(0x15), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(StagesInMask(0x31), (std::vector<int>{1, 3}));
    auto bad = buildReplayFile({});
    bad[0] = 'X';
    ReplayData replay;
    EXPECT_EQ(ParseReplayHeader(replay, bad.data(), bad.size()), E_FAIL);
}

TEST(ReplayFormat, HeaderAndRecordsWrittenAtTheirOffsets) {
    LoggedTest log;
    FakeClock clock;
    LocalTime t;
    t.year = 2026;
    t.month = 12;
    t.day = 3;
    t.hour = 9;
    t.minute = 5;
    clock.setLocalTime(t);
    Clock::setInstance(&clock);
    g_systemInfo = new SystemInfo();
    g_gameInfo = new GameInfo();
    g_gameInfo->setMyNameChar(0, 'A');
    g_gameInfo->setMyNameChar(1, 'B');
    g_gameInfo->commitMyName();
    g_gameInfo->setMachineId(0x01020304, 0x05060708);
    g_gameInfo->setGameFlag(0, 7);
    g_gameInfo->setGameFlag(99, 9);
    g_gameInfo->setVar(internName("vorlytype"), 3.0f);
    g_gameInfo->setVar(internName("weapontype"), 2.0f);
    g_gameInfo->setVar(internName("practice_mode"), 1.0f);

    struct Case {
        float difficulty;
        std::uint32_t mode;
    };
    for (auto c : {Case{3.0f, 0x2142}, Case{4.0f, 0x2132}}) {
        g_gameInfo->setVar(internName("difficulty"), c.difficulty);
        ReplayData replay;
        replay.score = 0x00ABCDEF;
        auto stage = std::make_shared<StageReplayData>();
        stage->field(4) = 0x1003;
        stage->field(22) = 0x11223344;
        replay.stages[3] = stage;
        replay.stages[1] = std::make_shared<StageReplayData>();
        replay.stages[1]->field(4) = 1;
        std::vector<std::uint8_t> b(512, 0xEE);
        BuildReplayHeader(replay, b.data());
        // Version 1.0 of a default configuration: 0x100.
        std::vector<std::uint8_t> head(b.begin(), b.begin() + 44);
        EXPECT_EQ(head, (std::vector<std::uint8_t>{'R', 'P', 'L', 0, 0, 0, 0x01, 0x00, 0, 0, (std::uint8_t)(c.mode >> 8),
                                                   (std::uint8_t)c.mode, 0, 0xAB, 0xCD, 0xEF, 0, 0, 0, 0x31, 'A', 'B',
                                                   ' ', ' ', ' ', ' ', ' ', ' ', 0x00, 0x08, 0x90, 0x33, 0, 0, 0x03,
                                                   0x89, 1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 44, b.begin() + 64), std::vector<std::uint8_t>(20, 0));
        EXPECT_EQ(b[64], 7);
        EXPECT_EQ(b[163], 9);
        EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 164, b.begin() + 172), std::vector<std::uint8_t>(8, 0));
        EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 172, b.end()), std::vector<std::uint8_t>(340, 7));

        std::vector<std::uint8_t> rec(128, 0xEE);
        WriteStageRecord(replay, 3, rec.data());
        EXPECT_EQ(std::vector<std::uint8_t>(rec.begin() + 12, rec.begin() + 16), (std::vector<std::uint8_t>{0, 0, 0x10, 3}));
        EXPECT_EQ(std::vector<std::uint8_t>(rec.begin() + 84, rec.begin() + 88),
                  (std::vector<std::uint8_t>{0x11, 0x22, 0x33, 0x44}));
        EXPECT_EQ(std::vector<std::uint8_t>(rec.begin() + 88, rec.end()), std::vector<std::uint8_t>(40, 0));
        std::vector<std::uint8_t> untouched(128, 0xEE);
        WriteStageRecord(replay, 2, untouched.data());
        EXPECT_EQ(untouched, std::vector<std::uint8_t>(128, 0xEE));
    }
    delete g_gameInfo;
    g_gameInfo = nullptr;
    delete g_systemInfo;
    g_systemInfo = nullptr;
    Clock::setInstance(nullptr);
}

// Headless runs write replays on virtual time: its date is a real one, so
// the stored date and time words read back as the date they stand for.
TEST(ReplayFormat, VirtualTimeDatesAReplayWithARealDate) {
    FakeClock clock;
    Clock::setInstance(&clock);
    ReplayData replay;
    std::vector<std::uint8_t> b(512, 0);
    BuildReplayHeader(replay, b.data());
    Clock::setInstance(nullptr);
    // (2008 - 1970) x 10000 + 10 x 100 + 3 = 381003, and 12:00.
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 28, b.begin() + 36),
              (std::vector<std::uint8_t>{0x00, 0x05, 0xD0, 0x4B, 0x00, 0x00, 0x04, 0xB0}));
    EXPECT_EQ(replay.date, "2008/10/3 12:0");
}

TEST(ReplayFormat, TestBuiltFileParsesAndPassesChecks) {
    LoggedTest log;
    auto file = buildReplayFile({{1, 1, {{254, 0x10}, {254, 0x10}, {92, 0x10}}, 500, 0, 600},
                                 {3, 3, {{1, 1}, {1, 2}, {1, 1}}, 900, 4, 3}});
    std::string problem;
    ASSERT_TRUE(CheckReplayBytes(file.data(), file.size(), problem)) << problem;
    ReplayData replay;
    ASSERT_EQ(ParseReplayHeader(replay, file.data(), file.size()), S_OK);
    EXPECT_EQ(replay.stageMask, 0x31u);
    EXPECT_EQ(ParseStageRecord(replay, 1, file.data() + 512, file.data(), file.size()), S_OK);
    EXPECT_EQ(ParseStageRecord(replay, 3, file.data() + 640, file.data(), file.size()), S_OK);
    const auto& s3 = *replay.stages.at(3);
    EXPECT_EQ(s3.field(2), 6u);
    EXPECT_EQ(s3.field(3), 900u);
    EXPECT_EQ(s3.field(21), 4u);
    EXPECT_EQ(ExpandInputWords(s3.block.data(), s3.block.size(), s3.field(2)),
              (std::vector<std::uint8_t>{0, 1, 0, 2, 0, 1}));
    EXPECT_EQ(replay.stages.at(1)->field(2), 1200u);
}

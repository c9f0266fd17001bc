// vorly-replay on files written by the test-side builder.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "input/ReplayFileBuilder.h"
#include "shell/HeadlessRun.h"
#include "support/TestSupport.h"

namespace {
CommandRun runReplayTool(const std::string& arguments) {
    return runCommand(std::string(VORLY_BINARY_DIR) + "/tools/vorly-replay " + arguments + " 2>/dev/null");
}
}  // namespace

TEST(ReplayTool, DumpsAndExpandsAGoodFileAndRefusesBrokenOnes) {
    TempRoot root;
    auto good = buildReplayFile({{1, 1, {{254, 0x10}, {254, 0x10}, {92, 0x10}}, 500, 0, 600},
                                 {3, 3, {{1, 0x0001}, {1, 0x8002}, {1, 0x0001}}, 900, 4, 3}},
                                "PILOT");
    root.writeFile("good.rpy", good);
    const std::string dir = root.path().string() + "/";
    const CommandRun dump = runReplayTool("dump " + dir + "good.rpy");
    EXPECT_EQ(dump.status, 0);
    for (const char* piece : {"stagemask 0x31\n", "name PILOT   \n", "score 1234\n", "date 2026/12/3 9:5\n"})
        EXPECT_NE(dump.out.find(piece), std::string::npos) << piece << dump.out;
    EXPECT_NE(dump.out.find("\nstage 1 "), std::string::npos);
    EXPECT_NE(dump.out.find(" words=600\n"), std::string::npos);
    EXPECT_NE(dump.out.find("\nstage 3 "), std::string::npos);
    EXPECT_NE(dump.out.find(" words=3\n"), std::string::npos);
    const CommandRun words = runReplayTool("words " + dir + "good.rpy 3");
    EXPECT_EQ(words.status, 0);
    EXPECT_EQ(words.out, "0001\n8002\n0001\n");

    auto truncated = good;
    truncated.resize(600);
    auto hugeCount = good;
    putBE(hugeCount, 164, 0x7FFFFFFF);
    auto outside = good;
    putBE(outside, 512, 0x01000000);
    auto shortRuns = good;
    putBE(shortRuns, 516, 1400);
    putBE(shortRuns, 768, 1400);
    for (auto* bytes : {&truncated, &hugeCount, &outside, &shortRuns}) {
        root.writeFile("bad.rpy", *bytes);
        const CommandRun run = runReplayTool("dump " + dir + "bad.rpy");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.out.find("log: リプレイファイル bad.rpy のヘッダが壊れています"), std::string::npos) << run.out;
        EXPECT_EQ(root.readFile("bad.rpy"), std::string(bytes->begin(), bytes->end()));
    }
}

// verify on the fixture game: one hash three times over at least 600 frames;
// play on a slot that has no file, and verify on an input file that does not
// parse, refuse with status 1.
TEST(ReplayTool, VerifiesTheFixtureAndRefusesBadArguments) {
    const std::string fixtures = std::string(VORLY_FIXTURES) + "/replay/";
    const CommandRun verify = runReplayTool("verify " + fixtures + "game " + fixtures + "input.txt");
    EXPECT_EQ(verify.status, 0) << verify.out;
    unsigned frames = 0;
    char record[17] = {}, play1x[17] = {}, play8x[17] = {};
    ASSERT_EQ(std::sscanf(verify.out.c_str(), "verify: frames %u record %16s play1x %16s play8x %16s", &frames, record,
                          play1x, play8x),
              4)
        << verify.out;
    EXPECT_GE(frames, 600u);
    EXPECT_STREQ(play1x, record);
    EXPECT_STREQ(play8x, record);

    EXPECT_EQ(runReplayTool("play " + fixtures + "game 7").status, 1);
    // play on a copy of the fixture whose play saved slot 1: the slot is
    // played back from the program's start, as the configuration's "replay"
    // setting starts it, and every frame line is printed.
    HeadlessRun saved(std::filesystem::path(fixtures) / "game");
    InputScript keys;
    std::string error;
    ASSERT_TRUE(keys.parse("10 60 0xCB\n", error)) << error;
    saved.run(keys, 0, 2000);
    ASSERT_EQ(saved.replaySlots(), std::vector<std::int32_t>{1});
    const CommandRun played = runReplayTool("play " + saved.folder().string() + " 1");
    EXPECT_EQ(played.status, 0);
    EXPECT_EQ(played.out.substr(0, 4), "1 0 ") << played.out.substr(0, 200);
    EXPECT_NE(played.out.find("\n2 0 "), std::string::npos);
    TempRoot root;
    root.writeFile("keys.txt", "0 x 1\n");
    EXPECT_EQ(runReplayTool("verify " + fixtures + "game " + (root.path() / "keys.txt").string()).status, 1);
}

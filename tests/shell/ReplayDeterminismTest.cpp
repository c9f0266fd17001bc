// Replays play back what was recorded: the fixture game's two stages,
// recorded from its input script, give the same play hash on every frame when
// played back at 1x, at 8x and with a pause in the middle; a stage restarted
// from its recorded starting state with the same keys plays the same again.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "shell/HeadlessRun.h"

namespace {

constexpr std::uint32_t kMaxFrames = 5000;
constexpr int kKeyEscape = 0x01;
constexpr int kKeyRight = 0xCD;
constexpr int kKeyLeft = 0xCB;

const std::filesystem::path kGame = std::filesystem::path(VORLY_FIXTURES) / "replay/game";

InputScript fixtureInput() {
    std::ifstream in(std::filesystem::path(VORLY_FIXTURES) / "replay/input.txt");
    std::stringstream text;
    text << in.rdbuf();
    InputScript script;
    std::string error;
    EXPECT_TRUE(script.parse(text.str(), error)) << error;
    return script;
}

// Records the fixture's play and returns the slot its replay was saved in.
std::int32_t record(HeadlessRun& run, const InputScript& input, HeadlessRun::Result& result) {
    const std::vector<std::int32_t> before = run.replaySlots();
    result = run.run(input, 0, kMaxFrames);
    for (std::int32_t slot : run.replaySlots())
        if (std::find(before.begin(), before.end(), slot) == before.end()) return slot;
    return 0;
}

TEST(ReplayDeterminism, PlayBackMatchesTheRecordingAt1xAt8xAndAcrossAPause) {
    HeadlessRun run(kGame);
    ASSERT_TRUE(run.ok()) << run.error();
    HeadlessRun::Result recorded;
    const std::int32_t slot = record(run, fixtureInput(), recorded);
    ASSERT_NE(slot, 0) << "the recorded play saved no replay";
    const std::vector<std::string> frames = frameLines(recorded.trace);
    ASSERT_GE(frames.size(), 600u);
    // Both stages are in the trace.
    EXPECT_EQ(frames.front().substr(0, 2), "1 ");
    EXPECT_EQ(frames.back().substr(0, 2), "2 ");

    const HeadlessRun::Result normal = run.run(InputScript(), slot, kMaxFrames);
    EXPECT_EQ(frameLines(normal.trace), frames);

    InputScript fast;
    for (std::uint32_t frame = 0; frame < 60; frame += 2) fast.add({frame, frame, {kKeyRight}});
    const HeadlessRun::Result quick = run.run(fast, slot, kMaxFrames);
    EXPECT_EQ(frameLines(quick.trace), frames);

    // Escape at frame 100 pauses the play back, again at 160 resumes it: the
    // paused frames write no line and the play goes on where it stopped.
    InputScript pause;
    pause.add({100, 100, {kKeyEscape}});
    pause.add({160, 160, {kKeyEscape}});
    const HeadlessRun::Result paused = run.run(pause, slot, kMaxFrames);
    EXPECT_EQ(frameLines(paused.trace), frames);
    EXPECT_GT(paused.frames, normal.frames);
}

TEST(ReplayDeterminism, OneMoreHeldKeyChangesTheHashes) {
    HeadlessRun first(kGame), second(kGame);
    ASSERT_TRUE(first.ok() && second.ok());
    HeadlessRun::Result plain, changed;
    ASSERT_NE(record(first, fixtureInput(), plain), 0);
    InputScript input = fixtureInput();
    input.add({340, 350, {kKeyLeft}});
    ASSERT_NE(record(second, input, changed), 0);
    EXPECT_EQ(frameLines(changed.trace).size(), frameLines(plain.trace).size());
    EXPECT_NE(hashTrace(changed.trace), hashTrace(plain.trace));
}

// The frame step that wrote stage `stage`'s first frame line, or -1.
long firstFrameOf(const HeadlessRun::Result& result, const std::string& stage) {
    for (std::size_t i = 0; i < result.trace.size(); ++i)
        if (result.trace[i].rfind(stage + " 0 ", 0) == 0) return static_cast<long>(result.traceFrames[i]);
    return -1;
}

std::vector<std::string> stageLines(const HeadlessRun::Result& result, const std::string& stage) {
    std::vector<std::string> lines;
    for (const std::string& line : frameLines(result.trace))
        if (line.rfind(stage + " ", 0) == 0) lines.push_back(line);
    return lines;
}

// Stage 2 restarted from its recorded starting state, on a copy of the game
// whose first scene is stage 2, with stage 2's keys held on the same frames of
// the stage: the same hashes as in the recording.
TEST(ReplayDeterminism, RestartedStageWithItsRecordedKeysPlaysTheSame) {
    HeadlessRun recording(kGame);
    ASSERT_TRUE(recording.ok()) << recording.error();
    HeadlessRun::Result recorded;
    const std::int32_t slot = record(recording, fixtureInput(), recorded);
    ASSERT_NE(slot, 0);

    HeadlessRun restart(recording.folder());
    ASSERT_TRUE(restart.ok()) << restart.error();
    // The copy starts at stage 2 (the packed scripts are re-made from it).
    {
        const std::filesystem::path init = restart.folder() / "script/init.xml";
        std::ifstream in(init);
        std::stringstream text;
        text << in.rdbuf();
        std::string xml = text.str();
        const std::size_t at = xml.find("stage1.xml");
        ASSERT_NE(at, std::string::npos);
        xml.replace(at, 10, "stage2.xml");
        std::ofstream(init, std::ios::trunc) << xml;
    }
    HeadlessRun stage2(restart.folder());
    ASSERT_TRUE(stage2.ok()) << stage2.error();

    // Where stage 2 starts in each run, then the keys moved by the difference.
    const long recordedStart = firstFrameOf(recorded, "2");
    const long restartStart = firstFrameOf(stage2.run(InputScript(), slot, kMaxFrames, 2), "2");
    ASSERT_GE(recordedStart, 0);
    ASSERT_GE(restartStart, 0);
    InputScript keys;
    const InputScript recordedKeys = fixtureInput();
    for (InputScript::Span span : recordedKeys.spans()) {
        const long first = static_cast<long>(span.first) - recordedStart + restartStart;
        const long last = static_cast<long>(span.last) - recordedStart + restartStart;
        if (last < 0) continue;
        span.first = static_cast<std::uint32_t>(std::max(first, 0L));
        span.last = static_cast<std::uint32_t>(last);
        keys.add(span);
    }
    const HeadlessRun::Result restarted = stage2.run(keys, slot, kMaxFrames, 2);
    const std::vector<std::string> expected = stageLines(recorded, "2");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(stageLines(restarted, "2"), expected);
}

}  // namespace

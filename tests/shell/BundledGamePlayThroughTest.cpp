// The bundled game played from start to end on the headless backends: the
// title's START leads to stage 1, the stage is recorded and saved as a replay
// and hands back to the title, whose QUIT ends the program with status 0;
// every scene loads without a complaint in the debug log; the saved replay,
// watched through the title's REPLAY entry and played back by the runner at
// 1x and at 8x, gives the same per-frame hashes as the recorded play.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "shell/HeadlessRun.h"

namespace {

constexpr std::uint32_t kMaxFrames = 6000;
constexpr int kKeyRight = 0xCD;
constexpr int kKeyDown = 0xD0;
constexpr int kKeyZ = 0x2C;

const std::filesystem::path kGame = std::filesystem::path(VORLY_FIXTURES) / ".." / ".." / "game";

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// START at the title, then the stage's keys: moves and the shot.
InputScript playInput() {
    InputScript script;
    std::string error;
    EXPECT_TRUE(script.parse(readText(std::filesystem::path(VORLY_FIXTURES) / "playthrough/input.txt"), error))
        << error;
    return script;
}

std::size_t countOf(const std::string& text, const std::string& needle) {
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

// A log of a whole run: no script complaint, no missing label, no failed
// load (a texture or sound file the scripts name), the release block
// complete.
void expectCleanLog(const std::string& log) {
    EXPECT_EQ(countOf(log, "不正"), 0u) << log;
    EXPECT_EQ(countOf(log, "FAILED"), 0u) << log;
    EXPECT_EQ(countOf(log, "Warning"), 0u) << log;
    EXPECT_EQ(countOf(log, "不明なタグ"), 0u) << log;
    EXPECT_EQ(countOf(log, "が見つかりません"), 0u) << log;
    // The release block at the end: every manager in its order, each with
    // its line (the loader threads' step says 停止, the other fifteen 開放).
    const std::string block =
        "全てのマネージャー及びオブジェクトの開放を行います...\n"
        "Bullet Manager を開放しました\n"
        "DirectSound Manager を開放しました\n"
        "Sprite Manager を開放しました\n"
        "Particle Manager を開放しました\n"
        "BoardMesh Manager を開放しました\n"
        "Texture Manager を開放しました\n"
        "Direct3D Manager を開放しました\n"
        "DirectInput Manager を開放しました\n"
        "非同期 XML 読み込みを停止しました\n"
        "XML Manager を開放しました\n"
        "Network Manager を開放しました\n"
        "GameInfo Manager を開放しました\n"
        "Replay Manager を開放しました\n"
        "SystemInfo Manager を開放しました\n"
        "Frame Manager を開放しました\n"
        "Archive Manager を開放しました\n"
        "開放処理が終了しました\n";
    ASSERT_GE(log.size(), block.size());
    EXPECT_EQ(log.substr(log.size() - block.size()), block);
    EXPECT_EQ(countOf(log, "を開放しました"), 15u);
}

// The frame step that wrote the last frame line of the stage.
std::uint32_t lastFrameLineStep(const HeadlessRun::Result& result) {
    const std::string last = frameLines(result.trace).back();
    for (std::size_t i = result.trace.size(); i-- > 0;)
        if (result.trace[i] == last) return result.traceFrames[i];
    return 0;
}

TEST(BundledGamePlayThrough, TitleToStage1AndBackRecordsAReplayThatPlaysBackAt1xAnd8x) {
    HeadlessRun run(kGame);
    ASSERT_TRUE(run.ok()) << run.error();
    const HeadlessRun::Result recorded = run.run(playInput(), 0, kMaxFrames);
    expectCleanLog(readText(run.folder() / "debug.txt"));
    EXPECT_LT(recorded.frames, kMaxFrames) << "the stage never ended";

    // Stage 1 was recorded for its whole length and saved in slot 1.
    const std::vector<std::string> frames = frameLines(recorded.trace);
    ASSERT_GE(frames.size(), 3400u);
    EXPECT_EQ(frames.front().substr(0, 4), "1 0 ");
    EXPECT_TRUE(std::all_of(frames.begin(), frames.end(), [](const std::string& l) { return l.rfind("1 ", 0) == 0; }));
    EXPECT_EQ(run.replaySlots(), std::vector<std::int32_t>{1});

    // The same play once more, with Down and Z at the title after the stage:
    // its QUIT ends the program with status 0, so the title did come back.
    // (The program ends its own process: the run goes to a child process.)
    const std::uint32_t stageEnd = lastFrameLineStep(recorded);
    InputScript quit = playInput();
    quit.add({stageEnd + 40, stageEnd + 41, {kKeyDown}});
    quit.add({stageEnd + 50, stageEnd + 51, {kKeyDown}});
    quit.add({stageEnd + 70, stageEnd + 71, {kKeyZ}});
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(run.run(quit, 0, kMaxFrames), ::testing::ExitedWithCode(0), "");
    expectCleanLog(readText(run.folder() / "debug.txt"));

    // The title's REPLAY entry plays slot 1 back; the slot is not saved
    // again while it is watched.
    const auto saved = std::filesystem::last_write_time(run.folder() / "replay/replay1.rpy");
    InputScript watch;
    watch.add({15, 16, {kKeyDown}});
    watch.add({30, 31, {kKeyZ}});
    EXPECT_EQ(frameLines(run.run(watch, 0, kMaxFrames).trace), frames);
    EXPECT_EQ(std::filesystem::last_write_time(run.folder() / "replay/replay1.rpy"), saved);
    expectCleanLog(readText(run.folder() / "debug.txt"));

    // The replay selected by the runner at 1x and at 8x (Right pressed every
    // other frame of the stage's first second climbs to the top speed). Only
    // the title's START is pressed live: the stage's keys come from the
    // replay.
    InputScript start;
    start.add({30, 31, {kKeyZ}});
    const HeadlessRun::Result normal = run.run(start, 1, kMaxFrames);
    EXPECT_EQ(frameLines(normal.trace), frames);
    InputScript fast = start;
    for (std::uint32_t frame = 40; frame < 100; frame += 2) fast.add({frame, frame, {kKeyRight}});
    const HeadlessRun::Result quick = run.run(fast, 1, kMaxFrames);
    EXPECT_EQ(frameLines(quick.trace), frames);
    EXPECT_EQ(hashTrace(quick.trace), hashTrace(recorded.trace));
}

}  // namespace

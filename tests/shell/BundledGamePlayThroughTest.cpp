// The bundled game played from start to end on the headless backends: the
// title's START leads to stage 1, which is recorded; after it the result,
// the name entry (the name goes into the local ranking and the score file),
// saving the replay into a slot from the replay list, the ranking, and the
// title again, whose QUIT ends the program with status 0; every scene loads
// without a complaint in the debug log; the saved replay, watched through
// the title's REPLAY entry and its list, and played back by the runner at
// 1x and at 8x, gives the same per-frame hashes as the recorded play.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/TempFolder.h"
#include "shell/HeadlessRun.h"

namespace {

constexpr std::uint32_t kMaxFrames = 12000;
constexpr int kKeyUp = 0xC8;
constexpr int kKeyRight = 0xCD;
constexpr int kKeyDown = 0xD0;
constexpr int kKeyZ = 0x2C;
constexpr int kKeyC = 0x2E;
constexpr int kKeyEscape = 0x01;

const std::filesystem::path kGame = std::filesystem::path(VORLY_FIXTURES) / ".." / ".." / "game";

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A whole play: START at the title, the stage's keys (moves, the shot,
// bombs), then the name entry and the replay list after the stage.
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

// How many times stage 1 started: its frame 0 lines.
std::ptrdiff_t stageStarts(const std::vector<std::string>& frames) {
    return std::count_if(frames.begin(), frames.end(),
                         [](const std::string& line) { return line.rfind("1 0 ", 0) == 0; });
}

// One key pressed for one frame, `at` frames after `base`.
void press(InputScript& script, std::uint32_t base, std::uint32_t at, int key) {
    script.add({base + at, base + at, {key}});
}

std::uint32_t bigEndianWord(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::string littleEndianWord(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return bytes;
}

// The name and score of the best place of the ranking the game plays in
// (difficulty 0, pairing 0): in the score file, after its 16-byte header,
// the first entry begins with the name (two little-endian words of
// big-endian characters) and the score.
std::string bestRankingEntry(const HeadlessRun& run) {
    const std::string file = readText(run.folder() / "data/score.dat");
    return file.size() >= 28 ? file.substr(16, 12) : std::string();
}

TEST(BundledGamePlayThrough, TitleToStage1ToRankingAndBackRecordsAReplayThatPlaysBackAt1xAnd8x) {
    HeadlessRun run(kGame);
    ASSERT_TRUE(run.ok()) << run.error();
    const HeadlessRun::Result recorded = run.run(playInput(), 0, kMaxFrames);
    expectCleanLog(readText(run.folder() / "debug.txt"));
    EXPECT_LT(recorded.frames, kMaxFrames) << "the stage never ended";

    // Stage 1 was recorded for its whole length; nothing is saved before
    // the player picks a slot.
    const std::vector<std::string> frames = frameLines(recorded.trace);
    ASSERT_GE(frames.size(), 3400u);
    EXPECT_EQ(frames.front().substr(0, 4), "1 0 ");
    EXPECT_TRUE(std::all_of(frames.begin(), frames.end(), [](const std::string& l) { return l.rfind("1 ", 0) == 0; }));
    EXPECT_TRUE(run.replaySlots().empty());

    // The same play once more, on through the scenes after the stage, with
    // the input file's keys timed from the stage's end (frame step 4632):
    // three seconds of result, then the name entry: A, Right and B, Up to
    // the last row, Left twice round to OK; the replay list in saving mode:
    // slot 1; six seconds of ranking; at the title Up wraps round to QUIT,
    // which ends the program with status 0, so the title did come back.
    // (The program ends its own process: the run goes to a child process.)
    const std::uint32_t stageEnd = lastFrameLineStep(recorded);
    EXPECT_EQ(stageEnd, 4632u) << "the name entry keys of the input file are timed from this end";
    InputScript whole = playInput();
    press(whole, stageEnd, 800, kKeyUp);
    press(whole, stageEnd, 820, kKeyZ);
    GTEST_FLAG_SET(death_test_style, "fast");
    run.setIdleLimit(0);
    EXPECT_EXIT(run.run(whole, 0, stageEnd + 1200), ::testing::ExitedWithCode(0), "");
    run.setIdleLimit(120);
    expectCleanLog(readText(run.folder() / "debug.txt"));

    // The replay went into slot 1 under the name typed, with the stage's
    // score; the ranking's best place holds that name with that score.
    ASSERT_EQ(run.replaySlots(), std::vector<std::int32_t>{1});
    const std::string replay = readText(run.folder() / "replay/replay1.rpy");
    ASSERT_GE(replay.size(), 28u);
    EXPECT_EQ(replay.substr(20, 8), "AB      ");
    const std::uint32_t score = bigEndianWord(replay, 12);
    EXPECT_GT(score, 0u);
    EXPECT_EQ(bestRankingEntry(run), "  BA    " + littleEndianWord(score));

    // REPLAY at the title opens the list; slot 1 plays back, with Right (the
    // speed-up key) pressed over and over; the slot is not saved again while
    // it is watched.
    const auto saved = std::filesystem::last_write_time(run.folder() / "replay/replay1.rpy");
    InputScript watch;
    press(watch, 0, 15, kKeyDown);
    press(watch, 0, 25, kKeyDown);
    press(watch, 0, 35, kKeyZ);
    press(watch, 0, 70, kKeyZ);
    for (std::uint32_t at = 90; at < 120; at += 2) press(watch, 0, at, kKeyRight);
    EXPECT_EQ(frameLines(run.run(watch, 0, kMaxFrames).trace), frames);
    EXPECT_EQ(std::filesystem::last_write_time(run.folder() / "replay/replay1.rpy"), saved);
    expectCleanLog(readText(run.folder() / "debug.txt"));

    // The replay selected by the runner at 1x and at 8x (Right pressed every
    // other frame of the stage's first second climbs to the top speed), and
    // played back through the configuration's "replay" setting: the title
    // sees the play back switched on and starts it at once, no key pressed.
    // A START pressed live at the title's time changes nothing: the stage's
    // keys come from the replay.
    InputScript start;
    start.add({30, 31, {kKeyZ}});
    const HeadlessRun::Result normal = run.run(start, 1, kMaxFrames);
    EXPECT_EQ(frameLines(normal.trace), frames);
    InputScript fast = start;
    for (std::uint32_t frame = 40; frame < 100; frame += 2) fast.add({frame, frame, {kKeyRight}});
    const HeadlessRun::Result quick = run.run(fast, 1, kMaxFrames);
    EXPECT_EQ(frameLines(quick.trace), frames);
    EXPECT_EQ(hashTrace(quick.trace), hashTrace(recorded.trace));
    ASSERT_TRUE(run.setReplaySetting(1)) << run.error();
    EXPECT_EQ(frameLines(run.run(InputScript(), 0, kMaxFrames).trace), frames);
    ASSERT_TRUE(run.setReplaySetting(0)) << run.error();
}

// OPTIONS from the title: Z on BGM VOLUME turns the level from 5 round to 0;
// on SHOT BUTTON the next button pressed (C, the keyboard's button 2) is
// taken for the shot; BACK saves the button map and returns to the title.
// The volume is in the settings file the program writes at its end, the
// button in the key file.
TEST(BundledGamePlayThrough, OptionsKeepTheVolumeAndTheShotButtonInTheirFiles) {
    HeadlessRun run(kGame);
    ASSERT_TRUE(run.ok()) << run.error();
    InputScript keys;
    for (std::uint32_t at : {15u, 25u, 35u, 45u}) press(keys, 0, at, kKeyDown);
    press(keys, 0, 55, kKeyZ);
    press(keys, 0, 80, kKeyZ);
    for (std::uint32_t at : {100u, 110u, 120u}) press(keys, 0, at, kKeyDown);
    press(keys, 0, 130, kKeyZ);
    press(keys, 0, 150, kKeyC);
    for (std::uint32_t at : {180u, 190u, 200u, 210u}) press(keys, 0, at, kKeyDown);
    press(keys, 0, 220, kKeyZ);
    run.run(keys, 0, 300);
    expectCleanLog(readText(run.folder() / "debug.txt"));

    // Eleven little-endian words: music, effect and voice levels first.
    const std::string settings = readText(run.folder() / "data/gameconfig.dat");
    ASSERT_EQ(settings.size(), 44u);
    EXPECT_EQ(settings.substr(0, 12), std::string("\0\0\0\0\5\0\0\0\5\0\0\0", 12));
    // The joystick name field (260 bytes), then the 16-entry map: the
    // directions, then virtual buttons 0 to 11 from entry 4.
    const std::string keyFile = readText(run.folder() / "data/keyconfig.dat");
    ASSERT_EQ(keyFile.size(), 280u);
    EXPECT_EQ(keyFile.substr(260, 8), std::string("\x64\x65\x66\x67\x02\x01\x02\x03", 8));
}

// PRACTICE at the title (Down, Z), then Esc, Down and Z early in stage 1:
// RETRY from the pause menu.
InputScript practiceWithRetry() {
    InputScript practice;
    press(practice, 0, 15, kKeyDown);
    press(practice, 0, 30, kKeyZ);
    press(practice, 0, 40, kKeyEscape);
    press(practice, 0, 48, kKeyDown);
    press(practice, 0, 56, kKeyZ);
    return practice;
}

// PRACTICE from the title plays stage 1; Esc, Down and Z early in it pick
// RETRY from the pause menu, which starts the stage again from the same
// first frame. With no keys after that the ships run out: the continue
// screen counts down, the result goes straight back to the title: no name
// entry, nothing in the ranking, no replay saved. The program writes its
// score file at the end only when it is no longer in practice, so the file
// shows the title did take practice off.
TEST(BundledGamePlayThrough, PracticePlaysStage1OutsideTheRankingAndRetriesFromThePauseMenu) {
    const InputScript practice = practiceWithRetry();
    HeadlessRun run(kGame);
    ASSERT_TRUE(run.ok()) << run.error();
    // Long enough for the continue screen's ten seconds and the result.
    run.setIdleLimit(1500);
    const HeadlessRun::Result played = run.run(practice, 0, kMaxFrames);
    expectCleanLog(readText(run.folder() / "debug.txt"));
    const std::vector<std::string> frames = frameLines(played.trace);
    std::vector<std::string> firstFrames;
    std::copy_if(frames.begin(), frames.end(), std::back_inserter(firstFrames),
                 [](const std::string& line) { return line.rfind("1 0 ", 0) == 0; });
    ASSERT_EQ(firstFrames.size(), 2u);
    EXPECT_EQ(firstFrames[0], firstFrames[1]);
    EXPECT_TRUE(run.replaySlots().empty());
    EXPECT_EQ(bestRankingEntry(run), "ANON  EM" + littleEndianWord(0));
}

// The pause menu opens at RESUME every time: opened, moved to RETRY and
// closed with Esc, then opened again, Down and Z pick RETRY (not TITLE), so
// the stage starts again from its first frame.
TEST(BundledGamePlayThrough, ThePauseMenuOpensAtResumeEveryTime) {
    InputScript keys;
    press(keys, 0, 15, kKeyDown);
    press(keys, 0, 30, kKeyZ);
    for (std::uint32_t at : {40u, 56u, 64u}) press(keys, 0, at, kKeyEscape);
    for (std::uint32_t at : {48u, 72u}) press(keys, 0, at, kKeyDown);
    press(keys, 0, 80, kKeyZ);
    HeadlessRun run(kGame);
    ASSERT_TRUE(run.ok()) << run.error();
    const std::vector<std::string> frames = frameLines(run.run(keys, 0, 150).trace);
    EXPECT_EQ(stageStarts(frames), 2);
    expectCleanLog(readText(run.folder() / "debug.txt"));
}

// A keyboard map of 16 bytes of 0xFF names no key: every button falls back
// to its fixed key, so Z still picks PRACTICE and decides, and Esc still
// pauses (RETRY starts the stage again), and the log names the file.
TEST(BundledGamePlayThrough, ADamagedKeyboardMapStillStartsAndPausesTheGame) {
    const InputScript practice = practiceWithRetry();
    HeadlessRun run(kGame);
    ASSERT_TRUE(run.ok()) << run.error();
    std::filesystem::create_directories(run.folder() / "data");
    std::ofstream(run.folder() / "data/keyboardconfig.dat", std::ios::binary) << std::string(16, '\xFF');
    const HeadlessRun::Result played = run.run(practice, 0, 150);
    const std::vector<std::string> frames = frameLines(played.trace);
    EXPECT_EQ(stageStarts(frames), 2);
    EXPECT_EQ(countOf(readText(run.folder() / "debug.txt"), "data\\keyboardconfig.dat の "), 6u);
}

// The bundled game with its first scene changed to `scene` (init.xml's
// "exefile"), in a folder of its own.
class GameStartingAt {
public:
    explicit GameStartingAt(const std::string& scene) : folder_("sorvanthe") {
        std::filesystem::copy(kGame, folder_.path(), std::filesystem::copy_options::recursive);
        const std::filesystem::path init = folder_.path() / "script/init.xml";
        std::string text = readText(init);
        const std::string first = "<exefile>title.xml</exefile>";
        const std::size_t at = text.find(first);
        if (at != std::string::npos) text.replace(at, first.size(), "<exefile>" + scene + "</exefile>");
        std::ofstream(init, std::ios::binary) << text;
    }
    const std::filesystem::path& path() const { return folder_.path(); }

private:
    TempFolder folder_;
};

// The player name in the score file the program writes at its end: two
// little-endian words of big-endian characters, followed by the reached
// stages (36 bytes), the endings (32) and three maps of 128 flag words.
std::string playerNameInScoreFile(const HeadlessRun& run) {
    const std::string file = readText(run.folder() / "data/score.dat");
    constexpr std::size_t kFromEnd = 8 + 36 + 32 + 3 * 128 * 4;
    return file.size() >= kFromEnd + 16 ? file.substr(file.size() - kFromEnd, 8) : std::string();
}

// The continue screen the stage loads when the last life is lost: YES plays
// stage 1 again at once; NO, and ten seconds without a choice, end the game:
// the result, then the name entry (Z there types an A).
TEST(BundledGamePlayThrough, TheContinueScreenRestartsTheStageOrEndsTheGame) {
    GameStartingAt continueScreen("continue.xml");
    HeadlessRun run(continueScreen.path());
    ASSERT_TRUE(run.ok()) << run.error();

    InputScript yes;
    press(yes, 0, 60, kKeyZ);
    const std::vector<std::string> restarted = frameLines(run.run(yes, 0, 200).trace);
    ASSERT_FALSE(restarted.empty());
    EXPECT_EQ(restarted.front().substr(0, 4), "1 0 ");
    expectCleanLog(readText(run.folder() / "debug.txt"));
    EXPECT_EQ(playerNameInScoreFile(run), "ANON  EM");

    // NO at frame 60, or no choice (the countdown ends at frame 600).
    for (const std::uint32_t end : {60u, 600u}) {
        InputScript no;
        if (end == 60) {
            press(no, 0, 40, kKeyDown);
            press(no, 0, end, kKeyZ);
        }
        // Three seconds of result, then the name entry.
        const std::uint32_t names = end + 200;
        press(no, names, 20, kKeyZ);
        const HeadlessRun::Result ended = run.run(no, 0, names + 60);
        EXPECT_TRUE(frameLines(ended.trace).empty()) << end;
        EXPECT_EQ(playerNameInScoreFile(run), std::string("   A    ", 8)) << end;
        expectCleanLog(readText(run.folder() / "debug.txt"));
        std::filesystem::remove(run.folder() / "data/score.dat");
    }
}

}  // namespace

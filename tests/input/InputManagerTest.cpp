#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "InputTestSupport.h"
#include "input/DInputDeviceKeyboard.h"

namespace {
// Frame by frame (oldest first): Z on the keyboard, Escape, pad button 0,
// and the recorded word the reader plays.
struct Frame {
    bool z, escape, padButton0;
    InputWord word;
};
constexpr Frame kFrames[] = {
    {true, false, false, 0x0010},
    {true, true, false, 0x0000},
    {true, false, true, 0x0000},
};
// Masks after the three frames: keyboard Z 0b111, Escape 0b010, pad 0b001,
// reader 0b100 (button 0 in the oldest word only).
}  // namespace

using InputManager = InputTest;

TEST_F(InputManager, WhichHistoryAnswers) {
    struct Case {
        const char* name;
        bool pad;
        std::int32_t mode;
        std::int32_t lock;  // added to the bit 8 that init sets
        bool pausedFrame;   // a fourth update while paused, everything released
        std::int32_t enabled;
        std::int32_t button;
        std::int32_t getButton;
        std::int32_t getButtonFrame;
    } cases[] = {
        {"keyboard alone, recording", false, 0, 0, false, 1, 0, 0b111, 0b111},
        {"keyboard handing over to the pad reads as held while recording", true, 0, 0, false, 1, 0, 0b111, 0b001},
        {"restart mode records too", true, 2, 0, false, 1, 0, 0b111, 0b001},
        {"play back with lock bit 4", true, 1, 0x4, false, 1, 0, 0b100, 0b100},
        {"play back with lock bit 1 holds past the stage end", true, 1, 0x1 | 0x10, false, 1, 0, 0b100, 0b100},
        {"play back after the stage ended: devices again", true, 1, 0x4 | 0x10, false, 1, 0, 0b001, 0b001},
        {"play back without a lock bit: devices", true, 1, 0, false, 1, 0, 0b001, 0b001},
        {"pause button is live in play back", true, 1, 0x4, false, 1, 5, 0b010, 0b010},
        {"pause button is live while recording", false, 0, 0, false, 1, 5, 0b010, 0b010},
        {"paused, keyboard: play history stands, live moves", false, 0, 0, true, 1, 0, 0b111, 0b1110},
        {"paused, pad: its non-zero masks win", true, 0, 0, true, 1, 0, 0b001, 0b010},
        {"paused play back reads the devices", true, 1, 0x4, true, 1, 0, 0b001, 0b010},
        {"disabled while recording", true, 0, 0, false, 0, 0, 0, 0},
        {"disabled play back still plays the words", true, 1, 0x4, false, 0, 0, 0b100, 0b100},
        {"no virtual button while recording", true, 0, 0, false, 1, 12, 0, 0},
        {"no virtual button in play back", true, 1, 0x4, false, 1, -1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedInput scripted;
        Input::setInstance(&scripted);
        if (c.pad) scripted.addController("Pad", "pad-1");
        g_replayManager->setMode(c.mode);
        DInputObject& input = start();
        ASSERT_EQ(input.getChosenJoystick(), c.pad ? 1 : 0);
        input.setLockMask(c.lock);
        input.setEnabled(c.enabled);
        std::vector<std::uint8_t> words;
        for (const Frame& f : kFrames) {
            words.push_back(static_cast<std::uint8_t>(f.word >> 8));
            words.push_back(static_cast<std::uint8_t>(f.word));
        }
        input.loadRecordedWords(words.data(), words.size());
        for (const Frame& f : kFrames) {
            scripted.setKey(kDikZ, f.z);
            scripted.setKey(kDikEscape, f.escape);
            scripted.setButton(0, 0, f.padButton0);
            input.update();
        }
        if (c.pausedFrame) {
            scripted.releaseAllKeys();
            scripted.setButton(0, 0, false);
            setPaused(true);
            input.update();
        }
        EXPECT_EQ(input.getButton(c.button), c.getButton);
        EXPECT_EQ(input.getButtonFrame(c.button), c.getButtonFrame);
        setPaused(false);
        manager.reset();
    }
    Input::setInstance(&input);
}

TEST_F(InputManager, RecordedWordsPlayBackTheAnswersOfTheRecording) {
    input.addController("Pad", "pad-1");
    g_replayManager->setMode(ReplayManager::kRecord);
    DInputObject& recorder = start();
    // Shot on the keyboard, then on the pad while the key is let go, a pause
    // in the middle, up on the pad's stick at the end.
    struct Step {
        bool z, pad, up, paused;
    } steps[] = {
        {true, false, false, false}, {true, false, false, false}, {false, true, false, false},
        {false, true, false, true},  {false, true, false, false}, {false, false, true, false},
        {true, true, true, false},   {false, false, false, false},
    };
    const std::int32_t asked[] = {0, 1, 100};
    std::vector<std::vector<std::int32_t>> answers;
    for (const Step& s : steps) {
        input.setKey(kDikZ, s.z);
        input.setButton(0, 0, s.pad);
        input.setAxes(0, 0, s.up ? -1000 : 0);
        setPaused(s.paused);
        recorder.update();
        if (s.paused) continue;
        std::vector<std::int32_t> frame;
        for (std::int32_t n : asked) frame.push_back(recorder.getButton(n));
        answers.push_back(frame);
    }
    // The word of the last frame is still the writer's current word.
    const std::vector<std::uint8_t> words = recorder.takeRecordedWords();
    ASSERT_EQ(words.size(), 2 * (answers.size() - 1));
    EXPECT_EQ(words[0], 0x00);
    EXPECT_EQ(words[1], 0x10);
    EXPECT_TRUE(recorder.takeRecordedWords().empty());

    ScriptedInput idle;
    Input::setInstance(&idle);
    g_replayManager->setMode(ReplayManager::kPlayBack);
    DInputObject& player = start();
    player.setLockMask(DInputObject::kLockReplayStage);
    player.loadRecordedWords(words.data(), words.size());
    for (std::size_t frame = 0; frame + 1 < answers.size(); ++frame) {
        SCOPED_TRACE(frame);
        player.update();
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(player.getButton(asked[i]), answers[frame][i]) << asked[i];
    }
    Input::setInstance(&input);
}

TEST_F(InputManager, ClearKeyStateEmptiesHistoriesAndQueuesButAWriterResetKeepsTheWordHistory) {
    g_replayManager->setMode(ReplayManager::kRecord);
    DInputObject& input_ = start();
    input.setKey(kDikZ, true);
    input_.update();
    input_.update();
    input_.update();
    ASSERT_EQ(input_.getReplayWriter()->getWords().size(), 2u);
    // The writer reset of a captured stage keeps the game's answers.
    input_.takeRecordedWords();
    EXPECT_EQ(input_.getButton(0), 0b111);
    input_.clearKeyState();
    EXPECT_EQ(input_.getButton(0), 0);
    EXPECT_EQ(input_.getButtonFrame(0), 0);
    EXPECT_EQ(input_.getReplayWriter()->getWords().size(), 0u);
    // The first frame after the clear appends nothing.
    input_.update();
    input_.update();
    EXPECT_EQ(input_.getReplayWriter()->getWordBytes(), (std::vector<std::uint8_t>{0x00, 0x10}));

    const std::uint8_t played[] = {0x00, 0x10};
    input_.loadRecordedWords(played, sizeof played);
    input_.clearKeyState();
    EXPECT_EQ(input_.getReplayReader()->getRemainingWords(), 0u);
}

TEST_F(InputManager, WithoutGameRecordsOrReplayManagerUpdateDoesNothing) {
    DInputObject& input_ = start();
    input.setKey(kDikZ, true);
    delete g_replayManager;
    g_replayManager = nullptr;
    EXPECT_EQ(input_.update(), 0);
    EXPECT_EQ(input.keyboardReads(), 0);
    // Questions still answer from the devices.
    EXPECT_EQ(input_.getButton(0), 0);
    input_.pollDevice(0);
    EXPECT_EQ(input_.getButton(0), 1);
    EXPECT_EQ(input_.pollDevice(1) | input_.pollDevice(-1) | input_.pollDeviceNoFrame(7), 0);
}

TEST_F(InputManager, RawQueriesAskTheJoystickForItsOwnButtonNumbers) {
    input.addController("Pad", "pad-1");
    writeData("keyconfig.dat", [] {
        std::vector<std::uint8_t> file(280, 0);
        const std::string name = "Pad";
        std::copy(name.begin(), name.end(), file.begin());
        const std::uint8_t map[16] = {100, 101, 102, 103, 7, 1, 2, 3, 4, 5, 6, 7, 0, 0, 0, 0};
        std::copy(std::begin(map), std::end(map), file.begin() + 260);
        return file;
    }());
    DInputObject& input_ = start();
    ASSERT_EQ(input_.getChosenJoystick(), 1);
    input.setButton(0, 7, true);
    input_.update();
    EXPECT_EQ(input_.getButton(0), 1);           // button 0 is pad button 7
    EXPECT_EQ(input_.getButtonRaw(0), 0);        // raw: pad button 0
    EXPECT_EQ(input_.getButtonRaw(7), 1);        // raw: pad button 7
    EXPECT_EQ(input_.getDeviceButtonRaw(1, 7), 1);
    EXPECT_EQ(input_.getDeviceButtonRaw(1, 31), 0);
    EXPECT_EQ(input_.getDeviceButtonRaw(1, -1), 0);
    EXPECT_EQ(input_.getDeviceButtonRaw(2, 7), 0);  // no such device
    EXPECT_EQ(input_.getDeviceButton(-1, 0), 0);
}

// Numbers that are no virtual button answer 0 on every path, whatever is held
// and whatever the maps hold.
TEST_F(InputManager, NumbersOutsideTheVirtualButtonsAnswerZeroOnEveryPath) {
    input.addController("Pad", "pad-1");
    writeData("keyboardconfig.dat", std::vector<std::uint8_t>(16, 44));
    DInputObject& input_ = start();
    for (int key = 0; key < 256; ++key) input.setKey(key, true);
    for (int b = 0; b < 32; ++b) input.setButton(0, b, true);
    input.setAxes(0, 1000, 1000);
    input_.update();
    ASSERT_NE(input_.getButton(0), 0);
    for (std::int32_t n : {-100, -5, -1, 12, 13, 50, 99, 104, 200, 1000}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(input_.getDeviceButton(0, n), 0);
        EXPECT_EQ(input_.getDeviceButton(1, n), 0);
        EXPECT_EQ(input_.getDeviceButtonFrame(0, n), 0);
        EXPECT_EQ(input_.getDeviceButtonFrame(1, n), 0);
        EXPECT_EQ(input_.getButton(n), 0);
        EXPECT_EQ(input_.getButtonFrame(n), 0);
    }
}

TEST_F(InputManager, KeyboardMapFromTheKeyboardFile) {
    // Buttons 0 and 1 on A and S; a short file keeps the preset after its bytes.
    writeData("keyboardconfig.dat", {0, 0, 0, 0, kDikA, kDikS});
    DInputObject& input_ = start();
    ASSERT_EQ(input_.hasKeyboardMap(), 1);
    EXPECT_EQ(input_.getKeyboardMap(6), 46);
    EXPECT_EQ(input_.getKeyboardMap(9), 1);
    EXPECT_TRUE(log.logContains("data\\keyboardconfig.dat が短すぎます (6 バイト)"));
    struct Case {
        int key;
        std::int32_t button;
        std::int32_t mask;
    } cases[] = {
        {kDikA, 0, 1}, {kDikReturn, 0, 1},  // button 0 also answers to Return
        {kDikZ, 0, 0}, {kDikS, 1, 1}, {kDikReturn, 1, 0}, {kDikC, 2, 1}, {kDikEscape, 5, 1},
        {kDikUp, 100, 1}, {kDikRight, 103, 1}, {kDikZ, 6, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.key << " button " << c.button);
        input.releaseAllKeys();
        input.setKey(c.key, true);
        input_.update();
        EXPECT_EQ(input_.getButton(c.button) & 1, c.mask);
        EXPECT_EQ(input_.getButtonFrame(c.button) & 1, c.mask);
    }
}

// A button entry that names no key of the keyboard takes the button's fixed
// key, one line each; a valid map is used as it stands.
TEST_F(InputManager, KeyboardMapEntriesThatNameNoKeyFallBackToTheFixedKeys) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        std::vector<std::int32_t> map;      // entries 4..9: buttons 0..5
        std::vector<std::size_t> badEntries;  // logged
    } cases[] = {
        {"all 0xFF", std::vector<std::uint8_t>(16, 0xFF), {44, 45, 46, 29, 47, 1}, {4, 5, 6, 7, 8, 9}},
        {"all zero", std::vector<std::uint8_t>(16, 0x00), {44, 45, 46, 29, 47, 1}, {4, 5, 6, 7, 8, 9}},
        {"one code no keyboard reports",
         {200, 208, 203, 205, kDikA, 84, kDikS, 29, 47, 1, 0, 0, 0, 0, 0, 0}, {kDikA, 45, kDikS, 29, 47, 1}, {5}},
        {"a valid map", {0, 0, 0, 0, kDikA, kDikS, kDikD, kDikF, kDikV, kDikX, 0, 0, 0, 0, 0, 0},
         {kDikA, kDikS, kDikD, kDikF, kDikV, kDikX}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t linesBefore = log.logLines().size();
        writeData("keyboardconfig.dat", c.file);
        DInputObject& input_ = start();
        for (std::size_t i = 0; i < c.map.size(); ++i)
            EXPECT_EQ(input_.getKeyboardMap(static_cast<std::int32_t>(i + 4)), c.map[i]) << i;
        for (std::int32_t entry : {10, 11, 12, 13, 14, 15})  // no fixed key: kept
            EXPECT_EQ(input_.getKeyboardMap(entry), c.file[static_cast<std::size_t>(entry)]);
        std::vector<std::string> lines = log.logLines();
        std::vector<std::string> expected;
        for (std::size_t entry : c.badEntries)
            expected.push_back("data\\keyboardconfig.dat の " + std::to_string(entry) + " 番目の値 " +
                               std::to_string(c.file[entry]) + " はキーではないため、既定のキー " +
                               std::to_string(c.map[entry - 4]) + " を使います");
        EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(linesBefore), lines.end()), expected);
        // Z starts (button 0), X bombs (button 1), Esc pauses (button 5).
        if (c.file[4] == 0xFF) {
            const std::pair<int, std::int32_t> presses[] = {{kDikZ, 0}, {kDikX, 1}, {kDikEscape, 5}};
            for (const auto& [key, button] : presses) {
                input.releaseAllKeys();
                input.setKey(key, true);
                input_.update();
                EXPECT_EQ(input_.getButton(button) & 1, 1) << button;
            }
        }
    }
}

TEST_F(InputManager, KeyAssignsAreBoundedAndResetReplayReaderFollowsTheSetting) {
    DInputObject& input_ = start();
    input_.setKeyAssign(15, 9);  // index above 11 writes button 11
    input_.setKeyAssign(-3, 8);  // negative writes button 0
    EXPECT_EQ(input_.getKeyAssign(11), 9);
    EXPECT_EQ(input_.getKeyAssign(0), 8);
    for (std::int32_t index : {-1, 12, 100, -100000}) EXPECT_EQ(input_.getKeyAssign(index), 0) << index;
    input_.clearKeyConfig();
    EXPECT_EQ(input_.getKeyAssign(11), 11);
    EXPECT_EQ(input_.getKeyAssign(0), 0);

    const std::uint8_t words[] = {0x00, 0x10, 0x00, 0x10};
    input_.loadRecordedWords(words, sizeof words);
    g_systemInfo->setReplay(0);
    input_.resetReplayReader();
    EXPECT_EQ(input_.getReplayReader()->getRemainingWords(), 2u);
    g_systemInfo->setReplay(1);
    input_.resetReplayReader();
    EXPECT_EQ(input_.getReplayReader()->getRemainingWords(), 0u);

    input_.setLockMask(0x14);
    input_.clearLockMask(0x10 | 0x1);
    EXPECT_EQ(input_.getLockMask(), 0x8 | 0x4);
    input_.clearLockMask(0x1);  // none of the bits set: nothing changes
    EXPECT_EQ(input_.getLockMask(), 0xC);
}

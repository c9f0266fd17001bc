#include <gtest/gtest.h>

#include <vector>

#include "InputTestSupport.h"
#include "input/DInputDeviceJoystick.h"
#include "input/DInputDeviceKeyboard.h"
#include "input/DInputDeviceReplayReader.h"
#include "input/DInputDeviceReplayWriter.h"
#include "input/VirtualButton.h"

namespace {
// Frame polls of a keyboard with `key` down in the polls marked true
// (oldest first).
DInputDeviceKeyboard& pollKey(ScriptedInput& input, DInputDeviceKeyboard& keyboard, int key,
                              const std::vector<bool>& downs) {
    for (bool down : downs) {
        input.setKey(key, down);
        keyboard.pollFrame();
    }
    return keyboard;
}
}  // namespace

using KeyboardDevice = InputTest;

TEST_F(KeyboardDevice, HistoryMasksOverTheLastSixteenPolls) {
    struct Case {
        const char* name;
        std::vector<bool> downs;
        std::int32_t mask;
    } cases[] = {
        {"held for 20 polls", std::vector<bool>(20, true), 0xFFFF},
        {"pressed in this poll only", {false, false, false, true}, 0x0001},
        {"released in this poll after being held", {true, true, true, false}, 0x000E},
        {"pressed 16 polls ago has left the history", {true, false, false, false, false, false, false, false,
                                                       false, false, false, false, false, false, false, false, false},
         0x0000},
        {"pressed 15 polls ago is bit 15", {true, false, false, false, false, false, false, false, false, false,
                                            false, false, false, false, false, false},
         0x8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        input.releaseAllKeys();
        DInputDeviceKeyboard keyboard;
        keyboard.create(&input, nullptr);
        pollKey(input, keyboard, kDikZ, c.downs);
        EXPECT_EQ(keyboard.getKeyHistory(kDikZ), c.mask);
        EXPECT_EQ(keyboard.getKeyHistoryFrame(kDikZ), c.mask);
        EXPECT_EQ(keyboard.getButtonHistory(0), c.mask);
    }
}

TEST_F(KeyboardDevice, KeyMergesWorkOneWayOnly) {
    struct Case {
        int held;
        std::int32_t asked;
        bool down;
    } cases[] = {
        {75, 5, true},    // numeric-pad 4 counts for main-row 4
        {5, 75, false},   // not the reverse
        {79, 2, true},    // pad 1 -> 1
        {73, 10, true},   // pad 9 -> 9
        {82, 11, true},   // pad 0 -> 0
        {76, 5, false},   // pad 5 is not 4
        {54, 42, true},   // right Shift counts for left Shift
        {42, 54, false},
        {157, 29, true},  // right Control counts for left Control
        {29, 157, false},
        {255, 300, true},  // codes are clipped to 255
        {0, 0, true},      // code 0 is read like any other
        {-1, -1, false},   // a negative code is no key, with every key held
        {-1, -256, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "held " << c.held << " asked " << c.asked);
        input.releaseAllKeys();
        DInputDeviceKeyboard keyboard;
        keyboard.create(&input, nullptr);
        if (c.held < 0) {
            for (int key = 0; key < 256; ++key) input.setKey(key, true);
            keyboard.pollFrame();
        } else {
            pollKey(input, keyboard, c.held, {true});
        }
        EXPECT_EQ(keyboard.getKeyHistory(c.asked), c.down ? 1 : 0);
        EXPECT_EQ(keyboard.getKeyHistoryFrame(c.asked), c.down ? 1 : 0);
    }
}

TEST_F(KeyboardDevice, FixedKeySetsAndReturnInTheExQueries) {
    struct Case {
        int key;
        std::int32_t button;
    } presses[] = {
        {kDikSpace, 0}, {kDikReturn, 0}, {kDikNumpadEnter, 0}, {kDikZ, 0}, {kDikX, 1},     {kDikC, 2},
        {kDikLeftControl, 3}, {kDikRightControl, 3}, {kDikV, 4}, {kDikEscape, 5}, {kDikUp, 100},
        {kDikDown, 101}, {kDikLeft, 102}, {kDikRight, 103},
    };
    const std::int32_t asked[] = {0, 1, 2, 3, 4, 5, 6, 11, 12, 99, 100, 101, 102, 103, 104, -1};
    for (const Case& press : presses) {
        input.releaseAllKeys();
        DInputDeviceKeyboard keyboard;
        keyboard.create(&input, nullptr);
        pollKey(input, keyboard, press.key, {true});
        for (std::int32_t n : asked) {
            SCOPED_TRACE(testing::Message() << "key " << press.key << " button " << n);
            EXPECT_EQ(keyboard.getButtonHistory(n), n == press.button ? 1 : 0);
        }
    }

    // Ex: flag 0 ORs in Return, any other flag does not.
    input.releaseAllKeys();
    DInputDeviceKeyboard keyboard;
    keyboard.create(&input, nullptr);
    pollKey(input, keyboard, kDikReturn, {true, false});
    EXPECT_EQ(keyboard.getKeyHistoryEx(kDikZ, 0), 0b10);
    EXPECT_EQ(keyboard.getKeyHistoryExFrame(kDikZ, 0), 0b10);
    EXPECT_EQ(keyboard.getKeyHistoryEx(kDikZ, 1), 0);
    EXPECT_EQ(keyboard.getKeyHistoryExFrame(kDikZ, 3), 0);
}

TEST_F(KeyboardDevice, PausePollsMoveOnlyTheLiveHistory) {
    DInputDeviceKeyboard keyboard;
    keyboard.create(&input, nullptr);
    pollKey(input, keyboard, kDikX, {true});
    input.setKey(kDikX, false);
    keyboard.poll();
    keyboard.poll();
    EXPECT_EQ(keyboard.getButtonHistory(1), 0b100);
    EXPECT_EQ(keyboard.getButtonHistoryFrame(1), 0b1);
    keyboard.clearState();
    EXPECT_EQ(keyboard.getButtonHistory(1) | keyboard.getButtonHistoryFrame(1), 0);
}

TEST_F(KeyboardDevice, FailedReadsAreRetriedOnceThenReadAsAllReleased) {
    struct Case {
        const char* name;
        HRESULT code;
        int failures;
        bool focused;
        std::int32_t result;
        std::int32_t mask;
        int reads;
    } cases[] = {
        {"input lost once: acquired and read again", DIERR_INPUTLOST, 1, true, 0, 1, 2},
        {"not acquired once", DIERR_NOTACQUIRED, 1, true, 0, 1, 2},
        {"lost twice", DIERR_INPUTLOST, 2, true, 1, 0, 2},
        {"another failure is not retried", E_FAIL, 1, true, 1, 0, 1},
        {"window without the keyboard focus", DI_OK, 0, false, 1, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedInput scripted;
        DInputDeviceKeyboard keyboard;
        keyboard.create(&scripted, nullptr);
        scripted.setKey(kDikZ, true);
        scripted.setKeyboardFocus(c.focused);
        scripted.failKeyboardReads(c.code, c.failures);
        EXPECT_EQ(keyboard.pollFrame(), c.result);
        EXPECT_EQ(keyboard.getKeyHistory(kDikZ), c.mask);
        EXPECT_EQ(scripted.keyboardReads(), c.reads);
    }
}

TEST_F(KeyboardDevice, DebugKeysActOnFramePollsOnlyWithTheDebugSwitch) {
    struct Case {
        const char* name;
        std::vector<int> keys;
        bool debug;
        bool framePoll;
        std::int32_t prateChange;
        std::int32_t vorly1Change;
    } cases[] = {
        {"A lowers the prate", {kDikA}, true, true, -1000, 0},
        {"S raises it", {kDikS}, true, true, 1000, 0},
        {"A wins over S", {kDikA, kDikS}, true, true, -1000, 0},
        {"D shifts the vorly rate down", {kDikD}, true, true, 0, -2},
        {"F shifts it up", {kDikF}, true, true, 0, 2},
        {"D wins over F, beside A", {kDikD, kDikF, kDikA}, true, true, -1000, -2},
        {"switch off", {kDikA, kDikD}, false, true, 0, 0},
        {"pause polls do not act", {kDikA, kDikD}, true, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_systemInfo->setFlagDebug(c.debug ? 1 : 0);
        g_gameInfo->setVorlyCounts(10, 10);
        const std::int32_t prate = g_gameInfo->getPrate();
        input.releaseAllKeys();
        for (int key : c.keys) input.setKey(key, true);
        DInputDeviceKeyboard keyboard;
        keyboard.create(&input, nullptr);
        // Every frame the key is held.
        for (int i = 0; i < 2; ++i) c.framePoll ? keyboard.pollFrame() : keyboard.poll();
        EXPECT_EQ(g_gameInfo->getPrate() - prate, 2 * c.prateChange);
        EXPECT_EQ(g_gameInfo->getVorlyCount1() - 10, 2 * c.vorly1Change);
    }
}

using JoystickDevice = InputTest;

TEST_F(JoystickDevice, AxisTestsAtTheThresholdAndButtons) {
    input.addController("Pad", "pad-1");
    input.start();
    struct Case {
        std::int32_t x, y;
        int button;
        std::int32_t asked;
        bool down;
    } cases[] = {
        {0, -500, -1, 100, true},  {0, -499, -1, 100, false}, {0, 500, -1, 101, true},  {0, 499, -1, 101, false},
        {-500, 0, -1, 102, true},  {-499, 0, -1, 102, false}, {500, 0, -1, 103, true},  {499, 0, -1, 103, false},
        {0, -1000, -1, 101, false}, {1000, 1000, -1, 100, false},
        {0, 0, 0, 0, true},        {0, 0, 31, 31, true},      {0, 0, 3, 2, false},
        // Numbers outside 0..31 and 100..103 are no button, negative ones too.
        {0, 0, 0, 32, false},      {0, 0, 0, -1, false},      {0, 0, 0, 99, false},      {0, 0, 0, 104, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "x " << c.x << " y " << c.y << " asked " << c.asked);
        DInputDeviceJoystick pad;
        pad.createAt(&input, 0);
        EXPECT_EQ(pad.getName(), "Pad");
        input.setAxes(0, c.x, c.y);
        for (int b = 0; b < 32; ++b) input.setButton(0, b, b == c.button);
        EXPECT_EQ(pad.pollFrame(), 0);
        EXPECT_EQ(pad.getButtonHistory(c.asked), c.down ? 1 : 0);
        EXPECT_EQ(pad.getButtonHistoryFrame(c.asked), c.down ? 1 : 0);
        EXPECT_EQ(pad.getKeyHistory(57) | pad.getKeyHistoryEx(57, 0), 0);
    }
}

TEST_F(JoystickDevice, UnpluggedReadsReleasedAndThePluggedBackPadResumes) {
    input.addController("Pad", "pad-1");
    input.start();
    DInputDeviceJoystick pad;
    pad.createAt(&input, 0);
    input.setButton(0, 2, true);
    pad.pollFrame();
    input.unplug(0);
    EXPECT_EQ(pad.pollFrame(), 0);
    pad.poll();
    input.plugIn(0);
    input.setButton(0, 2, true);
    pad.pollFrame();
    EXPECT_EQ(pad.getButtonHistoryFrame(2), 0b101);
    EXPECT_EQ(pad.getButtonHistory(2), 0b1001);
}

TEST(ReplayWriter, FirstPushAfterResetIsSkippedAndWordsGoOutHighByteFirst) {
    DInputDeviceReplayWriter writer;
    writer.create(nullptr, nullptr);
    writer.setButton(0, 1);
    writer.pollFrame();  // skipped: the word of the frame before the reset
    EXPECT_EQ(writer.getWords().size(), 0u);
    writer.setButton(100, 1);
    writer.setButton(11, 3);  // bit 0 of the value counts
    writer.setButton(1, 2);   // even values set nothing
    writer.setButton(12, 1);  // no virtual button
    writer.setButton(-1, 1);
    EXPECT_EQ(writer.getCurrentWord(), 0x8001);
    writer.pollFrame();
    writer.setButton(0, 1);
    writer.setButton(103, 1);
    writer.pollFrame();
    EXPECT_EQ(writer.getWordBytes(), (std::vector<std::uint8_t>{0x80, 0x01, 0x00, 0x18}));
    EXPECT_EQ(writer.getCurrentWord(), 0);
    EXPECT_EQ(writer.getButtonHistory(0) | writer.getButtonHistoryFrame(0) | writer.getKeyHistory(0), 0);

    // A pause poll clears the skip flag.
    writer.clearState();
    EXPECT_TRUE(writer.getWordBytes().empty());
    writer.poll();
    writer.setButton(5, 1);
    writer.pollFrame();
    EXPECT_EQ(writer.getWordBytes(), (std::vector<std::uint8_t>{0x02, 0x00}));
}

TEST(ReplayReader, PlaysWordsThenFreezesItsHistoryAndIgnoresAnOddByte) {
    DInputDeviceReplayReader reader;
    reader.create(nullptr, nullptr);
    // Button 0 (bit 4) in both words, up (bit 0) in the second, then a lone byte.
    const std::uint8_t bytes[] = {0x00, 0x10, 0x00, 0x11, 0xFF};
    reader.loadWords(bytes, sizeof bytes);
    EXPECT_EQ(reader.getRemainingWords(), 2u);
    reader.pollFrame();
    reader.pollFrame();
    EXPECT_EQ(reader.getCurrentWord(), 0x0011);
    EXPECT_EQ(reader.getButtonHistory(0), 0b11);
    EXPECT_EQ(reader.getButtonHistory(100), 0b1);
    // Past the last word: the word is 0, the history stands.
    reader.pollFrame();
    reader.pollFrame();
    EXPECT_EQ(reader.getCurrentWord(), 0);
    EXPECT_EQ(reader.getButtonHistory(0), 0b11);
    EXPECT_EQ(reader.getButtonHistory(100), 0b1);
    EXPECT_EQ(reader.getButtonHistory(12) | reader.getButtonHistory(-1) | reader.getButtonHistoryFrame(0), 0);

    // A null or empty string leaves the reader as it was.
    reader.loadWords(nullptr, 4);
    reader.loadWords(bytes, 0);
    EXPECT_EQ(reader.getButtonHistory(0), 0b11);
    // A new string clears the history and the word.
    const std::uint8_t one[] = {0x02, 0x00};
    reader.loadWords(one, 1);  // a single byte is no word
    EXPECT_EQ(reader.getRemainingWords(), 0u);
    EXPECT_EQ(reader.getButtonHistory(0), 0);
    reader.loadWords(one, sizeof one);
    reader.pollFrame();
    EXPECT_EQ(reader.getButtonHistory(5), 1);
    reader.clearState();
    EXPECT_EQ(reader.getButtonHistory(5), 0);
}

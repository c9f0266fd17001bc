#include <SDL.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "input/DInputDeviceJoystick.h"
#include "platform/Input.h"
#include "platform/InputKeyTable.h"

namespace {

// One of SDL's virtual joysticks: two axes, eight buttons, one hat.
int attachVirtualPad() { return SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 8, 1); }

int deviceIndexOf(int instance) {
    for (int device = 0; device < SDL_NumJoysticks(); ++device) {
        if (SDL_JoystickGetDeviceInstanceID(device) == instance) return device;
    }
    return -1;
}

class SdlInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    }
    void TearDown() override {
        for (SDL_Joystick* joystick : handles_) SDL_JoystickClose(joystick);
        while (SDL_NumJoysticks() > 0 && SDL_JoystickIsVirtual(0)) SDL_JoystickDetachVirtual(0);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    // Attaches the pad and opens our own handle on it to move its controls.
    SDL_Joystick* plugPad() {
        const int device = attachVirtualPad();
        EXPECT_GE(device, 0) << SDL_GetError();
        SDL_Joystick* joystick = SDL_JoystickOpen(device);
        handles_.insert(joystick);
        return joystick;
    }
    std::set<SDL_Joystick*> handles_;
};
}  // namespace

TEST(SdlInputAxes, ScaledTowardZeroAndClamped) {
    struct Case {
        std::int32_t raw, scaled;
    } cases[] = {
        {0, 0}, {32767, 1000}, {-32768, -1000}, {-32767, -1000}, {16384, 500}, {16383, 499},
        {-16384, -500}, {-16383, -499}, {32, 0}, {-33, -1}, {40000, 1000}, {-40000, -1000},
    };
    for (const Case& c : cases) EXPECT_EQ(SdlInput::scaleAxis(c.raw), c.scaled) << c.raw;
}

TEST_F(SdlInputTest, VirtualPadIsListedReadUnpluggedAndPluggedBackIntoItsEntry) {
    SDL_Joystick* pad = plugPad();
    ASSERT_NE(pad, nullptr);
    const std::string name = SDL_JoystickName(pad);
    SdlInput input;
    ASSERT_TRUE(input.start());
    std::size_t entry = input.controllers().size();
    for (std::size_t i = 0; i < input.controllers().size(); ++i) {
        if (input.controllers()[i].name == name) entry = i;
    }
    ASSERT_LT(entry, input.controllers().size());
    EXPECT_FALSE(input.controllers()[entry].id.empty());

    DInputDeviceJoystick device;
    device.createAt(&input, entry);
    EXPECT_EQ(device.getName(), name);

    // Y at the threshold is up, one step short is not; X full right.
    SDL_JoystickSetVirtualAxis(pad, 1, -16384);
    SDL_JoystickSetVirtualAxis(pad, 0, 32767);
    SDL_JoystickSetVirtualButton(pad, 6, SDL_PRESSED);
    device.pollFrame();
    DIJOYSTATE state;
    ASSERT_EQ(input.readController(entry, state), DI_OK);
    EXPECT_EQ(state.lY, -500);
    EXPECT_EQ(state.lX, 1000);
    EXPECT_EQ(state.rgbButtons[6], 0x80);
    EXPECT_EQ(state.rgbButtons[5], 0);
    EXPECT_EQ(device.getButtonHistoryFrame(100), 1);
    EXPECT_EQ(device.getButtonHistoryFrame(103), 1);
    EXPECT_EQ(device.getButtonHistoryFrame(6), 1);
    SDL_JoystickSetVirtualAxis(pad, 1, -16383);
    device.pollFrame();
    EXPECT_EQ(device.getButtonHistoryFrame(100), 0b10);

    // Pulled out: every read is a failed one, all released.
    const int instance = SDL_JoystickInstanceID(pad);
    handles_.erase(pad);
    SDL_JoystickClose(pad);
    ASSERT_EQ(SDL_JoystickDetachVirtual(deviceIndexOf(instance)), 0) << SDL_GetError();
    device.pollFrame();
    EXPECT_EQ(input.readController(entry, state), DIERR_INPUTLOST);
    EXPECT_EQ(device.getButtonHistoryFrame(6), 0b110);
    EXPECT_EQ(device.getButtonHistoryFrame(103), 0b110);

    // Plugged in again: the same entry reads it.
    SDL_Joystick* again = plugPad();
    ASSERT_NE(again, nullptr);
    SDL_JoystickSetVirtualButton(again, 2, SDL_PRESSED);
    device.pollFrame();
    EXPECT_EQ(device.getButtonHistoryFrame(2), 1);
    EXPECT_EQ(device.getButtonHistoryFrame(6), 0b1100);
}

TEST_F(SdlInputTest, APadFirstPluggedInAfterStartIsNotAdded) {
    SdlInput input;
    ASSERT_TRUE(input.start());
    const std::size_t before = input.controllers().size();
    ASSERT_NE(plugPad(), nullptr);
    EXPECT_EQ(input.controllers().size(), before);
    DIJOYSTATE state;
    EXPECT_EQ(input.readController(before, state), DIERR_INPUTLOST);
}

TEST(SdlInputKeyboard, WithoutOurWindowTheKeyboardIsNotAcquired) {
    SdlInput input;
    std::uint8_t state[256];
    state[57] = 0x80;
    EXPECT_EQ(input.readKeyboard(state), DIERR_NOTACQUIRED);
    EXPECT_EQ(state[57], 0);
    EXPECT_EQ(input.acquireKeyboard(), E_ACCESSDENIED);
}

TEST(InputKeyTable, SpotCheckAgainstDirectInputCodes) {
    // DirectInput's documented scan codes (hexadecimal, as its header lists them).
    struct Case {
        SDL_Scancode scancode;
        std::uint8_t dik;
    } cases[] = {
        {SDL_SCANCODE_ESCAPE, 0x01},      {SDL_SCANCODE_1, 0x02},        {SDL_SCANCODE_0, 0x0B},
        {SDL_SCANCODE_Q, 0x10},           {SDL_SCANCODE_RETURN, 0x1C},   {SDL_SCANCODE_LCTRL, 0x1D},
        {SDL_SCANCODE_A, 0x1E},           {SDL_SCANCODE_GRAVE, 0x29},    {SDL_SCANCODE_LSHIFT, 0x2A},
        {SDL_SCANCODE_Z, 0x2C},           {SDL_SCANCODE_RSHIFT, 0x36},   {SDL_SCANCODE_KP_MULTIPLY, 0x37},
        {SDL_SCANCODE_SPACE, 0x39},       {SDL_SCANCODE_F1, 0x3B},       {SDL_SCANCODE_KP_7, 0x47},
        {SDL_SCANCODE_KP_4, 0x4B},        {SDL_SCANCODE_KP_0, 0x52},     {SDL_SCANCODE_F11, 0x57},
        {SDL_SCANCODE_INTERNATIONAL2, 0x70}, {SDL_SCANCODE_INTERNATIONAL1, 0x73},
        {SDL_SCANCODE_INTERNATIONAL4, 0x79}, {SDL_SCANCODE_INTERNATIONAL5, 0x7B},
        {SDL_SCANCODE_INTERNATIONAL3, 0x7D}, {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RCTRL, 0x9D},
        {SDL_SCANCODE_KP_DIVIDE, 0xB5},   {SDL_SCANCODE_PRINTSCREEN, 0xB7}, {SDL_SCANCODE_RALT, 0xB8},
        {SDL_SCANCODE_PAUSE, 0xC5},       {SDL_SCANCODE_HOME, 0xC7},     {SDL_SCANCODE_UP, 0xC8},
        {SDL_SCANCODE_LEFT, 0xCB},        {SDL_SCANCODE_RIGHT, 0xCD},    {SDL_SCANCODE_DOWN, 0xD0},
        {SDL_SCANCODE_DELETE, 0xD3},      {SDL_SCANCODE_LGUI, 0xDB},     {SDL_SCANCODE_APPLICATION, 0xDD},
        {SDL_SCANCODE_F24, 0},            {SDL_SCANCODE_UNKNOWN, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(dikOfScancode(c.scancode), c.dik) << SDL_GetScancodeName(c.scancode);
    EXPECT_EQ(dikOfScancode(-1), 0);
    EXPECT_EQ(dikOfScancode(SDL_NUM_SCANCODES), 0);

    // One line per scancode, in order, every one with a code.
    int previous = -1;
    for (const InputKeyMapping& mapping : inputKeyTable()) {
        EXPECT_GT(mapping.scancode, previous);
        EXPECT_NE(mapping.dik, 0);
        previous = mapping.scancode;
    }
    EXPECT_EQ(inputKeyTable().size(), 139u);
}

// The program's spine: start-up (WinMain), the main window and its procedure.
#pragma once
#include <cstdint>

#include "platform/HResult.h"
#include "platform/Window.h"

inline constexpr const char* kEngineVersion = "Engine_20081003";
inline constexpr const char* kWindowClassName = "VorlyEngine";
inline constexpr const char* kWindowTitle = "Sorvanthe";

// Runs the whole program on the installed platform Window; returns 0 (a
// normal quit, a cancelled dialog). A fatal start-up failure ends the process
// with status 1 through fatalExit.
int WinMain(int showCommand);

struct WindowOrigin {
    int x = 0;
    int y = 0;
};
// Where the window's top-left corner goes: where a 640 x 480 window would be
// centred on the desktop, whatever size is configured.
WindowOrigin computeWindowOrigin(const ScreenRect& desktop);

// When the configuration turns the start-up dialog on: skips it where
// "nodialog.txt" exists (then vsync and vertical scrolling are on), else shows
// it. False when the program is to end (Cancel; the network manager is
// destroyed first, nothing else). A dialog that cannot be shown is logged and
// start-up goes on.
bool runStartupDialog();

// The main window's procedure.
std::intptr_t WndProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);


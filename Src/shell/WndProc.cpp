#include <cstdlib>

#include "graphics/D3DObject.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/ReleaseAll.h"
#include "shell/WinMain.h"

namespace {
// Whether the device ends up windowed after a screen-mode switch. Without a
// device the window stays a window.
bool deviceIsWindowed() { return !g_d3dObject || g_d3dObject->isWindowed(); }

void toggleScreenMode() {
    if (g_d3dObject) g_d3dObject->toggleFullScreen();
}

// The device is reset (its result ignored) whenever the window may have lost
// or changed the screen.
void resetDevice() {
    if (g_d3dObject) g_d3dObject->resetDevice(0);
}
}  // namespace

std::intptr_t WndProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    Window* window = Window::instance();
    switch (message) {
        case WM_DESTROY:
            window->showCursor(true);
            releaseAll();
            window->postQuitMessage(0);
            std::exit(0);
        case WM_SYSKEYDOWN:
            // Only under the "screenchange" switch; otherwise the system's
            // default handling (Alt+F4 then closes the window).
            if (!g_systemInfo || !g_systemInfo->getScreenChange()) break;
            if (wParam == VK_RETURN) {
                toggleScreenMode();
                window->showCursor(deviceIsWindowed());
                return 0;
            }
            if (wParam == VK_F4) {
                window->showCursor(true);
                releaseAll();
                std::exit(0);
            }
            break;
        case WM_SETFOCUS:
            resetDevice();
            break;
        case WM_SYSCOMMAND:
            // The command value is compared whole.
            if (wParam == SC_SIZE || wParam == SC_MAXIMIZE) resetDevice();
            break;
        default:
            break;
    }
    return window->defaultHandling(message, wParam, lParam);
}

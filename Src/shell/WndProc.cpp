#include <cstdlib>

#include "shell/Managers.h"
#include "shell/ReleaseAll.h"
#include "shell/SystemInfo.h"
#include "shell/WinMain.h"

namespace {
// Whether the device ends up windowed after a screen-mode switch. Without a
// device the window stays a window.
bool deviceIsWindowed() { return true; }

void toggleScreenMode() {}
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
        default:
            break;
    }
    return window->defaultHandling(message, wParam, lParam);
}

#include <cstdlib>

#include "shell/Managers.h"
#include "shell/ReleaseAll.h"
#include "shell/WinMain.h"

std::intptr_t WndProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    Window* window = Window::instance();
    switch (message) {
        case WM_DESTROY:
            window->showCursor(true);
            releaseAll();
            window->postQuitMessage(0);
            std::exit(0);
        case WM_SETFOCUS:
            break;
        case WM_SYSKEYDOWN:
            break;
        case WM_SYSCOMMAND:
            // The command value is compared whole.
            if (wParam == SC_SIZE || wParam == SC_MAXIMIZE) {
            }
            break;
        default:
            break;
    }
    return window->defaultHandling(message, wParam, lParam);
}

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
        default:
            // Focus, Alt+Enter / Alt+F4 and the size commands gain their own
            // handling with the device and the configuration record.
            break;
    }
    return window->defaultHandling(message, wParam, lParam);
}

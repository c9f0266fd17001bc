#include "platform/Window.h"

#include <SDL.h>

#include <atomic>

namespace {
std::atomic<Window*> g_window{nullptr};
}

Window* Window::instance() { return g_window.load(std::memory_order_acquire); }

void Window::setInstance(Window* window) { g_window.store(window, std::memory_order_release); }

void Window::destroyWindow() {
    if (!exists()) return;
    if (procedure_) procedure_(WM_DESTROY, 0, 0);
    closeBackend();
}

bool Window::peekMessage(WindowMessage& out) {
    {
        std::lock_guard<std::mutex> lock(postedLock_);
        if (!posted_.empty()) {
            out = posted_.front();
            posted_.pop_front();
            return true;
        }
    }
    return pollBackend(out);
}

std::intptr_t Window::dispatch(const WindowMessage& message) {
    if (message.message == WM_QUIT) return 0;
    if (procedure_) return procedure_(message.message, message.wParam, message.lParam);
    return defaultHandling(message.message, message.wParam, message.lParam);
}

std::intptr_t Window::defaultHandling(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
    switch (message) {
        case WM_CLOSE:
            destroyWindow();
            return 0;
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4) postMessage(WM_SYSCOMMAND, SC_CLOSE);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) postMessage(WM_CLOSE);
            return 0;
        default:
            return 0;
    }
}

void Window::postQuitMessage(int exitCode) {
    postMessage(WM_QUIT, static_cast<std::uintptr_t>(exitCode));
}

void Window::postMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    std::lock_guard<std::mutex> lock(postedLock_);
    posted_.push_back({message, wParam, lParam});
}

int Window::showCursor(bool show) {
    cursorCounter_ += show ? 1 : -1;
    applyCursor(cursorCounter_ >= 0);
    return cursorCounter_;
}

// ---------------------------------------------------------------- SDL backend

SdlWindow::SdlWindow() = default;

SdlWindow::~SdlWindow() { closeBackend(); }

bool SdlWindow::initEvents() { return SDL_InitSubSystem(SDL_INIT_EVENTS) == 0; }

void SdlWindow::leaveSignalsToProcess() { SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); }

bool SdlWindow::create(const std::string& title, int x, int y, int clientWidth, int clientHeight,
                       WindowProcedure procedure) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    procedure_ = procedure;
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
    // The window's own framebuffer only receives the finished back buffer
    // (a colour blit at present); drawing and its depth buffer live in the
    // graphics layer's framebuffer, so the window needs no depth buffer.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    window_ = SDL_CreateWindow(title.c_str(), x, y, clientWidth, clientHeight, flags | SDL_WINDOW_OPENGL);
    // Without OpenGL the window still serves the message loop; the graphics
    // layer reports its own failure.
    if (!window_) window_ = SDL_CreateWindow(title.c_str(), x, y, clientWidth, clientHeight, flags);
    return window_ != nullptr;
}

void SdlWindow::show() {
    if (window_) SDL_ShowWindow(window_);
}

ScreenRect SdlWindow::desktopRect() {
    SDL_Rect bounds{0, 0, 640, 480};
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_GetDisplayBounds(0, &bounds);
    return {bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
}

ScreenRect SdlWindow::windowRect() {
    if (!window_) return {};
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(window_, &x, &y);
    SDL_GetWindowSize(window_, &w, &h);
    return {x, y, x + w, y + h};
}

void SdlWindow::messageBox(const std::string& text, const std::string& caption) {
    // Fails at once where no display can show it (headless runs).
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), window_);
}

void SdlWindow::setStyle(std::uint32_t style) {
    if (!window_) return;
    SDL_SetWindowFullscreen(window_, (style & WS_POPUP) && !(style & WS_OVERLAPPEDWINDOW)
                                         ? SDL_WINDOW_FULLSCREEN_DESKTOP
                                         : 0);
}

void SdlWindow::setPlacement(int x, int y, int width, int height) {
    if (!window_) return;
    SDL_SetWindowPosition(window_, x, y);
    if (width > 0 && height > 0) SDL_SetWindowSize(window_, width, height);
    SDL_ShowWindow(window_);
}

bool SdlWindow::pollBackend(WindowMessage& out) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_QUIT:  // window manager close, SIGINT, SIGTERM
                out = {WM_CLOSE, 0, 0};
                return true;
            case SDL_WINDOWEVENT:
                // Only this window's (or one naming no window): a late close
                // of another window (a dialog's) must not end the game.
                if (event.window.windowID != 0 && (!window_ || event.window.windowID != SDL_GetWindowID(window_)))
                    break;
                switch (event.window.event) {
                    case SDL_WINDOWEVENT_CLOSE: out = {WM_CLOSE, 0, 0}; return true;
                    case SDL_WINDOWEVENT_FOCUS_GAINED: out = {WM_SETFOCUS, 0, 0}; return true;
                    case SDL_WINDOWEVENT_MAXIMIZED: out = {WM_SYSCOMMAND, SC_MAXIMIZE, 0}; return true;
                    case SDL_WINDOWEVENT_RESIZED: out = {WM_SYSCOMMAND, SC_SIZE, 0}; return true;
                    default: break;
                }
                break;
            case SDL_KEYDOWN:
                // Held keys repeat: only the first press is a command.
                if ((event.key.keysym.mod & KMOD_ALT) && !event.key.repeat) {
                    // The keypad's Enter is VK_RETURN too (an extended key).
                    if (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER) {
                        out = {WM_SYSKEYDOWN, VK_RETURN, 0};
                        return true;
                    }
                    if (event.key.keysym.sym == SDLK_F4) { out = {WM_SYSKEYDOWN, VK_F4, 0}; return true; }
                }
                break;
            default:
                break;
        }
    }
    return false;
}

void SdlWindow::applyCursor(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

void SdlWindow::closeBackend() {
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
}

// --------------------------------------------------------------- test backend

bool TestWindow::create(const std::string& t, int px, int py, int w, int h, WindowProcedure procedure) {
    title = t;
    x = px;
    y = py;
    width = w;
    height = h;
    procedure_ = procedure;
    created = true;
    return true;
}

bool TestWindow::pollBackend(WindowMessage& out) {
    if (injected.empty()) return false;
    out = injected.front();
    injected.pop_front();
    return true;
}

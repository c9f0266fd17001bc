// The main window and its message queue, in the shape of the Win32 calls the
// engine makes: messages carry Win32's numbers, a window procedure handles
// them, PeekMessage takes one without blocking, the cursor keeps Win32's
// show/hide counter. Two backends: SDL2 (SdlWindow) and a scripted test
// window (TestWindow).
#pragma once
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

constexpr std::uint32_t WM_DESTROY = 0x0002;
constexpr std::uint32_t WM_SETFOCUS = 0x0007;
constexpr std::uint32_t WM_CLOSE = 0x0010;
constexpr std::uint32_t WM_QUIT = 0x0012;
constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
constexpr std::uint32_t WM_APP = 0x8000;

constexpr std::uint32_t VK_RETURN = 0x0D;
constexpr std::uint32_t VK_F4 = 0x73;

constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint32_t WS_POPUP = 0x80000000;

constexpr std::uint32_t SC_SIZE = 0xF000;
constexpr std::uint32_t SC_MAXIMIZE = 0xF030;
constexpr std::uint32_t SC_CLOSE = 0xF060;

struct WindowMessage {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

using WindowProcedure = std::intptr_t (*)(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

class Window {
public:
    virtual ~Window() = default;

    // Creates the window with a client area of clientWidth x clientHeight whose
    // top-left corner is at (x, y); hidden until show(). False on failure.
    virtual bool create(const std::string& title, int x, int y, int clientWidth, int clientHeight,
                        WindowProcedure procedure) = 0;
    virtual void show() = 0;
    // DestroyWindow: sends WM_DESTROY to the procedure, then closes the window.
    void destroyWindow();
    virtual bool exists() const = 0;

    // The desktop's rectangle (the whole primary display).
    virtual ScreenRect desktopRect() = 0;
    // The window's rectangle on the screen.
    virtual ScreenRect windowRect() = 0;

    // PeekMessage with removal: true when a message was taken.
    bool peekMessage(WindowMessage& out);
    // DispatchMessage: hands the message to the window procedure.
    std::intptr_t dispatch(const WindowMessage& message);
    // DefWindowProc: WM_CLOSE destroys the window; Alt+F4 closes it.
    std::intptr_t defaultHandling(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // PostQuitMessage: the next peek returns WM_QUIT.
    void postQuitMessage(int exitCode);
    // PostMessage: thread-safe, may be called from any thread.
    void postMessage(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

    // ShowCursor: adds 1 or subtracts 1 from the display counter and returns
    // it; the cursor is visible while the counter is 0 or more.
    int showCursor(bool show);
    int cursorCounter() const { return cursorCounter_; }

    // A modal message box with an OK button (text and caption in UTF-8).
    virtual void messageBox(const std::string& text, const std::string& caption) = 0;

    // The backend's own window object (SDL_Window*), for the graphics layer.
    virtual void* nativeHandle() const = 0;

    // SetWindowLong(GWL_STYLE): a WS_POPUP style makes the window cover the
    // desktop (full screen), any other style makes it a normal window again.
    virtual void setStyle(std::uint32_t style) = 0;
    // SetWindowPos(HWND_NOTOPMOST, ..., SWP_SHOWWINDOW): moves and sizes the
    // window to the rectangle given as windowRect() reports it.
    virtual void setPlacement(int x, int y, int width, int height) = 0;

    static Window* instance();
    static void setInstance(Window* window);

protected:
    // Takes one event from the backend and translates it; false when none.
    virtual bool pollBackend(WindowMessage& out) = 0;
    virtual void applyCursor(bool visible) = 0;
    virtual void closeBackend() = 0;

    WindowProcedure procedure_ = nullptr;

private:
    std::mutex postedLock_;
    std::deque<WindowMessage> posted_;
    int cursorCounter_ = 0;
};

class SdlWindow : public Window {
public:
    SdlWindow();
    ~SdlWindow() override;
    // Starts SDL's event handling early, so SIGINT/SIGTERM become a quit
    // message even before the window exists.
    static bool initEvents();
    // For programs that never read the quit message (tools, benchmarks):
    // SDL is to leave SIGINT and SIGTERM alone, so they end the process as
    // usual instead of queueing a quit event nobody takes. Call before the
    // first SDL initialisation.
    static void leaveSignalsToProcess();

    bool create(const std::string& title, int x, int y, int clientWidth, int clientHeight,
                WindowProcedure procedure) override;
    void show() override;
    bool exists() const override { return window_ != nullptr; }
    ScreenRect desktopRect() override;
    ScreenRect windowRect() override;
    void messageBox(const std::string& text, const std::string& caption) override;
    void* nativeHandle() const override { return window_; }
    void setStyle(std::uint32_t style) override;
    void setPlacement(int x, int y, int width, int height) override;

protected:
    bool pollBackend(WindowMessage& out) override;
    void applyCursor(bool visible) override;
    void closeBackend() override;

private:
    struct SDL_Window* window_ = nullptr;
};

class TestWindow : public Window {
public:
    bool create(const std::string& title, int x, int y, int clientWidth, int clientHeight,
                WindowProcedure procedure) override;
    void show() override { shown = true; }
    bool exists() const override { return created && !closed; }
    ScreenRect desktopRect() override { return desktop; }
    ScreenRect windowRect() override { return {x, y, x + width, y + height}; }
    void messageBox(const std::string& text, const std::string& caption) override {
        messageBoxes.emplace_back(text, caption);
    }
    void* nativeHandle() const override { return nullptr; }
    void setStyle(std::uint32_t s) override { style = s; }
    void setPlacement(int px, int py, int w, int h) override {
        x = px;
        y = py;
        width = w;
        height = h;
        ++placements;
    }

    // Queues a message as if the user or the system had produced it.
    void inject(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        injected.push_back({message, wParam, lParam});
    }

    ScreenRect desktop{0, 0, 1024, 768};
    std::string title;
    int x = 0, y = 0, width = 0, height = 0;
    bool created = false, shown = false, closed = false, cursorVisible = true;
    std::uint32_t style = WS_POPUP | WS_OVERLAPPEDWINDOW;
    int placements = 0;
    std::deque<WindowMessage> injected;
    std::vector<std::pair<std::string, std::string>> messageBoxes;

protected:
    bool pollBackend(WindowMessage& out) override;
    void applyCursor(bool visible) override { cursorVisible = visible; }
    void closeBackend() override { closed = true; }
};

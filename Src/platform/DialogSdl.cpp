// The SDL2 backend of the dialog boxes (declared in Dialog.h).
#include <SDL.h>

#include "platform/Dialog.h"
#include "platform/DialogCanvas.h"
#include "platform/Window.h"

namespace {
// The window an event names; 0 for events of no window (and for kinds that
// carry none).
Uint32 eventWindowId(const SDL_Event& event) {
    switch (event.type) {
        case SDL_WINDOWEVENT: return event.window.windowID;
        case SDL_KEYDOWN:
        case SDL_KEYUP: return event.key.windowID;
        case SDL_TEXTEDITING: return event.edit.windowID;
        case SDL_TEXTINPUT: return event.text.windowID;
        case SDL_MOUSEMOTION: return event.motion.windowID;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: return event.button.windowID;
        case SDL_MOUSEWHEEL: return event.wheel.windowID;
        default: return 0;
    }
}

int dropEventsOfWindow(void* userdata, SDL_Event* event) {
    const Uint32 id = *static_cast<const Uint32*>(userdata);
    return eventWindowId(*event) == id ? 0 : 1;
}

DialogKey dialogKeyOf(SDL_Keycode key) {
    switch (key) {
        case SDLK_TAB: return DialogKey::Tab;
        case SDLK_SPACE: return DialogKey::Space;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return DialogKey::Return;
        case SDLK_ESCAPE: return DialogKey::Escape;
        default: return DialogKey::Other;
    }
}

class SdlDialogWindow : public DialogHost {
public:
    SdlDialogWindow(SDL_Window* window, ScreenRect desktop) : window_(window), desktop_(desktop) {}

    // At the desktop's centre, the divisions signed and truncating toward
    // zero, then shown on top.
    void centre() override {
        int width = 0, height = 0;
        SDL_GetWindowSize(window_, &width, &height);
        SDL_SetWindowPosition(window_, (desktop_.right - width) / 2, (desktop_.bottom - height) / 2);
        show();
    }
    void show() {
        SDL_ShowWindow(window_);
        SDL_RaiseWindow(window_);
        shown_ = true;
    }
    bool shown() const { return shown_; }

private:
    SDL_Window* window_;
    ScreenRect desktop_;
    bool shown_ = false;
};

// Copies the canvas onto the window's surface; false when the window has none.
bool present(SDL_Window* window, std::vector<std::uint8_t>& rgb, int width, int height, int& surfaceWidth,
             int& surfaceHeight) {
    SDL_Surface* target = SDL_GetWindowSurface(window);
    if (!target) return false;
    surfaceWidth = target->w;
    surfaceHeight = target->h;
    SDL_Surface* source =
        SDL_CreateRGBSurfaceWithFormatFrom(rgb.data(), width, height, 24, width * 3, SDL_PIXELFORMAT_RGB24);
    if (!source) return false;
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(window);
    return true;
}
}  // namespace

std::intptr_t SdlDialogBackend::dialogBox(const DialogTemplate& dialogTemplate, Window* owner,
                                          DialogProcedure procedure) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return -1;
    // Window surfaces in plain memory where the driver has them (X11,
    // offscreen), not through an OpenGL texture: the dialog needs no GPU and
    // draws the same everywhere. SDL reads this once, at the first surface.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && (SDL_strcmp(driver, "x11") == 0 || SDL_strcmp(driver, "offscreen") == 0)) {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    ScreenRect desktop;
    if (owner) {
        desktop = owner->desktopRect();
    } else {
        SDL_Rect bounds{0, 0, 640, 480};
        SDL_GetDisplayBounds(0, &bounds);
        desktop = {bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
    }
    const int width = dialogUnitsToPixelsX(dialogTemplate.width);
    const int height = dialogUnitsToPixelsY(dialogTemplate.height);
    SDL_Window* window =
        SDL_CreateWindow(dialogTemplate.caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                         height, SDL_WINDOW_HIDDEN | SDL_WINDOW_ALWAYS_ON_TOP);
    if (!window) return -1;
    Uint32 windowId = SDL_GetWindowID(window);
    auto closeWindow = [&] {
        SDL_DestroyWindow(window);
        SDL_PumpEvents();
        SDL_FilterEvents(dropEventsOfWindow, &windowId);
    };
    // Without a surface nothing can be shown.
    if (!SDL_GetWindowSurface(window)) {
        closeWindow();
        return -1;
    }

    SdlDialogWindow host(window, desktop);
    DialogCanvas canvas(dialogTemplate);
    Dialog dialog(dialogTemplate, procedure, &host);
    dialog.setTextUnavailable(!canvas.hasFont());
    dialog.start();
    // A procedure that does not place the dialog still gets it shown.
    if (!host.shown()) host.show();

    auto redraw = [&] {
        canvas.paint(dialog, lastPicture);
        present(window, lastPicture, dialog.clientWidth(), dialog.clientHeight(), lastSurfaceWidth,
                lastSurfaceHeight);
    };
    std::uint64_t drawn = dialog.changeCount();
    if (!dialog.ended()) redraw();
    while (!dialog.ended()) {
        SDL_Event event;
        if (SDL_WaitEvent(&event) == 0) {
            // The event queue failed: nothing more can reach the dialog.
            dialog.closeRequested();
            if (!dialog.ended()) dialog.end(IDCANCEL);
            break;
        }
        bool exposed = false;
        if (event.type == SDL_QUIT) {
            dialog.closeRequested();
        } else {
            const Uint32 id = eventWindowId(event);
            if (id != 0 && id != windowId) continue;  // another window's event
            switch (event.type) {
                case SDL_WINDOWEVENT:
                    switch (event.window.event) {
                        case SDL_WINDOWEVENT_CLOSE: dialog.closeRequested(); break;
                        case SDL_WINDOWEVENT_SHOWN:
                        case SDL_WINDOWEVENT_EXPOSED:
                        case SDL_WINDOWEVENT_SIZE_CHANGED: exposed = true; break;
                        default: break;
                    }
                    break;
                case SDL_KEYDOWN: {
                    DialogKey key = dialogKeyOf(event.key.keysym.sym);
                    // A held key repeats only the focus moves.
                    if (event.key.repeat && key != DialogKey::Tab) break;
                    dialog.keyDown(key, (event.key.keysym.mod & KMOD_SHIFT) != 0);
                    break;
                }
                case SDL_MOUSEBUTTONDOWN:
                    if (event.button.button == SDL_BUTTON_LEFT) dialog.mouseDown(event.button.x, event.button.y);
                    break;
                case SDL_MOUSEMOTION: dialog.mouseMove(event.motion.x, event.motion.y); break;
                case SDL_MOUSEBUTTONUP:
                    if (event.button.button == SDL_BUTTON_LEFT) dialog.mouseUp(event.button.x, event.button.y);
                    break;
                default: break;
            }
        }
        if (!dialog.ended() && (exposed || dialog.changeCount() != drawn)) {
            redraw();
            drawn = dialog.changeCount();
        }
    }
    closeWindow();
    return dialog.result();
}

#include "platform/gfx/GlAdapter.h"

#include <SDL2/SDL.h>

#include <mutex>

#include "platform/Window.h"
#include "platform/gfx/GfxFormat.h"
#include "platform/gfx/GlDevice.h"

namespace {

std::mutex errorLock;
std::string& lastError() {
    static std::string error;
    return error;
}

void setError(std::string error) {
    std::lock_guard<std::mutex> guard(errorLock);
    lastError() = std::move(error);
}

}  // namespace

std::string openGlAdapterError() {
    std::lock_guard<std::mutex> guard(errorLock);
    return lastError();
}

GfxAdapter* createOpenGlAdapter(Window* window) {
    if (!window) {
        setError("no main window");
        return nullptr;
    }
    std::string error;
    auto context = GlContext::create(static_cast<SDL_Window*>(window->nativeHandle()), error);
    if (!context) {
        setError(error);
        return nullptr;
    }
    setError("");
    return new GlAdapter(AdapterSurvey::standard(), std::move(context));
}

GlAdapter::GlAdapter(AdapterSurvey survey, std::shared_ptr<GlContext> context)
    : SurveyedAdapter(std::move(survey)), context_(std::move(context)) {
    // The anisotropy the driver offers, none on a CPU renderer.
    survey_.offerAnisotropy(context_->maxAnisotropy(), context_->isSoftware());
    // The identifier names the renderer that really draws.
    D3DADAPTER_IDENTIFIER9& id = survey_.identifier;
    id.Description = context_->renderer();
    id.Driver = "OpenGL " + context_->version();
    id.DriverVersion = (std::int64_t(context_->majorVersion()) << 48) | (std::int64_t(context_->minorVersion()) << 32);
}

HRESULT GlAdapter::getAdapterIdentifier(std::uint32_t adapter, std::uint32_t /*flags*/,
                                        D3DADAPTER_IDENTIFIER9* identifier) {
    if (adapter != 0 || !identifier) return D3DERR_INVALIDCALL;
    *identifier = survey_.identifier;
    return D3D_OK;
}

HRESULT GlAdapter::createDevice(std::uint32_t adapter, D3DDEVTYPE type, Window* focusWindow,
                                std::uint32_t behaviorFlags, D3DPRESENT_PARAMETERS* parameters, GfxDevice** device) {
    if (!device) return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (HRESULT valid = validateCreation(adapter, type, focusWindow, behaviorFlags, parameters); FAILED(valid))
        return valid;
    Window* window = parameters->hDeviceWindow ? parameters->hDeviceWindow : focusWindow;
    if (!window->nativeHandle()) return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS p = *parameters;
    if (p.Windowed && (p.BackBufferWidth == 0 || p.BackBufferHeight == 0)) {
        ScreenRect r = window->windowRect();
        if (p.BackBufferWidth == 0) p.BackBufferWidth = std::uint32_t(std::max(1, r.right - r.left));
        if (p.BackBufferHeight == 0) p.BackBufferHeight = std::uint32_t(std::max(1, r.bottom - r.top));
    }
    if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = survey_.desktop.Format;
    if (p.BackBufferWidth > survey_.caps.MaxTextureWidth || p.BackBufferHeight > survey_.caps.MaxTextureHeight)
        return D3DERR_NOTAVAILABLE;
    const std::uint64_t needed =
        levelBytes(p.BackBufferFormat, p.BackBufferWidth, p.BackBufferHeight) +
        (p.EnableAutoDepthStencil ? levelBytes(p.AutoDepthStencilFormat, p.BackBufferWidth, p.BackBufferHeight) : 0);
    if (needed > survey_.totalTextureMemory) return D3DERR_OUTOFVIDEOMEMORY;
    auto* made = new GlDevice(*this, context_, window, behaviorFlags, p);
    std::string error;
    if (!made->initialise(error)) {
        setError(error);
        made->release();
        return D3DERR_NOTAVAILABLE;
    }
    *parameters = p;
    *device = made;
    return D3D_OK;
}

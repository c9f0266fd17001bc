// The OpenGL 3.3 backend's adapter: creates the OpenGL context on the main
// window and reports the synthetic survey, with the real renderer's name in
// its identifier.
#pragma once
#include <memory>
#include <string>

#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/GlContext.h"

class Window;

class GlAdapter : public SurveyedAdapter {
public:
    GlAdapter(AdapterSurvey survey, std::shared_ptr<GlContext> context);

    HRESULT getAdapterIdentifier(std::uint32_t adapter, std::uint32_t flags,
                                 D3DADAPTER_IDENTIFIER9* identifier) override;
    HRESULT createDevice(std::uint32_t adapter, D3DDEVTYPE type, Window* focusWindow, std::uint32_t behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, GfxDevice** device) override;

private:
    std::shared_ptr<GlContext> context_;
};

// Null when the window is missing or has no OpenGL 3.3 core context; the
// reason is then in openGlAdapterError().
GfxAdapter* createOpenGlAdapter(Window* window);
std::string openGlAdapterError();

#include "platform/gfx/GfxAdapter.h"

#include <mutex>

#include "platform/Window.h"
#include "platform/gfx/GfxFormat.h"
#include "platform/gfx/GlAdapter.h"

namespace {

std::mutex factoryLock;
GfxAdapter::Factory& installedFactory() {
    static GfxAdapter::Factory factory;
    return factory;
}

}  // namespace

GfxAdapter* GfxAdapter::create(std::uint32_t /*sdkVersion*/) {
    Factory factory;
    {
        std::lock_guard<std::mutex> guard(factoryLock);
        factory = installedFactory();
    }
    if (factory) return factory();
    return createOpenGlAdapter(Window::instance());
}

void GfxAdapter::setFactory(Factory factory) {
    std::lock_guard<std::mutex> guard(factoryLock);
    installedFactory() = std::move(factory);
}

namespace {

bool isDisplayFormat(const AdapterSurvey& survey, D3DFORMAT format) {
    for (const auto& mode : survey.modes)
        if (mode.Format == format) return true;
    return false;
}

}  // namespace

HRESULT SurveyedAdapter::getDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
    if (adapter != 0 || !caps) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    *caps = survey_.caps;
    return D3D_OK;
}

std::uint32_t SurveyedAdapter::getAdapterModeCount(std::uint32_t adapter, D3DFORMAT format) {
    if (adapter != 0) return 0;
    std::uint32_t count = 0;
    for (const auto& mode : survey_.modes)
        if (mode.Format == format) ++count;
    return count;
}

HRESULT SurveyedAdapter::enumAdapterModes(std::uint32_t adapter, D3DFORMAT format, std::uint32_t index,
                                          D3DDISPLAYMODE* displayMode) {
    if (adapter != 0 || !displayMode) return D3DERR_INVALIDCALL;
    for (const auto& mode : survey_.modes) {
        if (mode.Format != format) continue;
        if (index == 0) {
            *displayMode = mode;
            return D3D_OK;
        }
        --index;
    }
    return D3DERR_INVALIDCALL;
}

HRESULT SurveyedAdapter::getAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* displayMode) {
    if (adapter != 0 || !displayMode) return D3DERR_INVALIDCALL;
    *displayMode = survey_.desktop;
    return D3D_OK;
}

HRESULT SurveyedAdapter::checkDeviceType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                                         D3DFORMAT backBufferFormat, std::int32_t /*windowed*/) {
    if (adapter != 0) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    return survey_.deviceTypes.count({displayFormat, backBufferFormat}) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT SurveyedAdapter::checkDeviceFormat(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                           std::uint32_t usage, D3DRESOURCETYPE resourceType,
                                           D3DFORMAT checkFormat) {
    if (adapter != 0) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL || !isDisplayFormat(survey_, adapterFormat)) return D3DERR_NOTAVAILABLE;
    bool supported;
    if (usage & D3DUSAGE_DEPTHSTENCIL) {
        supported = survey_.depthFormats.count(checkFormat) > 0;
    } else if (usage & D3DUSAGE_RENDERTARGET) {
        supported = survey_.renderTargetFormats.count(checkFormat) > 0;
    } else if (resourceType == D3DRTYPE_VERTEXBUFFER || resourceType == D3DRTYPE_INDEXBUFFER) {
        supported = true;
    } else if (resourceType == D3DRTYPE_TEXTURE || resourceType == D3DRTYPE_SURFACE) {
        supported = survey_.textureFormats.count(checkFormat) > 0;
    } else {
        supported = false;  // no volume or cube textures
    }
    return supported ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT SurveyedAdapter::checkDepthStencilMatch(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                                D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) {
    if (adapter != 0) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL || !isDisplayFormat(survey_, adapterFormat)) return D3DERR_NOTAVAILABLE;
    bool match = survey_.renderTargetFormats.count(renderTargetFormat) && survey_.depthFormats.count(depthStencilFormat);
    return match ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT SurveyedAdapter::checkDeviceMultiSampleType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat,
                                                    std::int32_t /*windowed*/, D3DMULTISAMPLE_TYPE multiSampleType,
                                                    std::uint32_t* qualityLevels) {
    if (qualityLevels) *qualityLevels = 0;
    if (adapter != 0) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    bool known = survey_.renderTargetFormats.count(surfaceFormat) || survey_.depthFormats.count(surfaceFormat);
    // The emulated device renders without multisampling.
    if (!known || multiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
    if (qualityLevels) *qualityLevels = 1;
    return D3D_OK;
}

HRESULT SurveyedAdapter::validateCreation(std::uint32_t adapter, D3DDEVTYPE type, Window* focusWindow,
                                          std::uint32_t behaviorFlags,
                                          const D3DPRESENT_PARAMETERS* parameters) const {
    if (adapter != 0 || !parameters) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    if (!focusWindow && !parameters->hDeviceWindow) return D3DERR_INVALIDCALL;
    const std::uint32_t processing = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                                      D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                                      D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_MIXED_VERTEXPROCESSING)
        return D3DERR_INVALIDCALL;
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
        !(survey_.caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT))
        return D3DERR_INVALIDCALL;
    if (parameters->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
    if (parameters->EnableAutoDepthStencil && !survey_.depthFormats.count(parameters->AutoDepthStencilFormat))
        return D3DERR_INVALIDCALL;
    const D3DFORMAT back = parameters->BackBufferFormat;
    if (parameters->Windowed) {
        if (back == D3DFMT_UNKNOWN) return D3D_OK;
        for (const auto& pair : survey_.deviceTypes)
            if (pair.second == back) return D3D_OK;
        return D3DERR_NOTAVAILABLE;
    }
    // Full screen: a display mode of the back buffer's size and rate must exist.
    for (const auto& pair : survey_.deviceTypes) {
        if (pair.second != back) continue;
        for (const auto& mode : survey_.modes) {
            if (mode.Format != pair.first) continue;
            if (mode.Width == parameters->BackBufferWidth && mode.Height == parameters->BackBufferHeight &&
                (parameters->FullScreen_RefreshRateInHz == 0 ||
                 mode.RefreshRate == parameters->FullScreen_RefreshRateInHz))
                return D3D_OK;
        }
    }
    return D3DERR_INVALIDCALL;
}

#include "graphics/RenderTarget.h"

#include "graphics/D3DDevice.h"
#include "services/DebugInfo.h"

namespace {
constexpr const char* kSource = "RenderManager";
}

RenderTarget::RenderTarget(const RenderTargetDevice& device) : device_(device) { setActive(1); }

RenderTarget::~RenderTarget() { release(); }

std::int32_t RenderTarget::setActive(std::int32_t flag) {
    active_ = flag != 0 ? 1 : 0;
    return flag;
}

HRESULT RenderTarget::configure(std::uint32_t width, std::uint32_t height, D3DFORMAT colourFormat,
                                D3DFORMAT depthFormat, std::uint32_t mode) {
    width_ = width;
    height_ = height;
    colourFormat_ = colourFormat;
    depthFormat_ = depthFormat;
    mode_ = mode;
    return S_OK;
}

HRESULT RenderTarget::setup() {
    GfxDevice* device = g_d3dDevice;
    if (!device) return E_FAIL;
    if (mode_ != kModeBackBuffer) return E_NOTIMPL;
    HRESULT result = device->getRenderTarget(0, colour_.put());
    if (FAILED(result)) {
        logFailure(kSource, 158, result);
        return result;
    }
    if (device_.useDepthStencil) {
        result = device->getDepthStencilSurface(depth_.put());
        if (FAILED(result)) {
            logFailure(kSource, 162, result);
            return result;
        }
    }
    return S_OK;
}

HRESULT RenderTarget::select() {
    GfxDevice* device = g_d3dDevice;
    if (!device) return E_FAIL;
    HRESULT result = device->setRenderTarget(0, colour_.get());
    if (FAILED(result)) {
        logFailure(kSource, 400, result);
        return result;
    }
    result = device->setDepthStencilSurface(depth_.get());
    if (FAILED(result)) {
        logFailure(kSource, 403, result);
        return result;
    }
    return S_OK;
}

HRESULT RenderTarget::draw() { return S_OK; }

HRESULT RenderTarget::release() {
    depth_.reset();
    colour_.reset();
    return S_OK;
}

HRESULT RenderTarget::detachSprites() { return S_OK; }

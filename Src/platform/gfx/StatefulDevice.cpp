#include "platform/gfx/StatefulDevice.h"

#include <algorithm>

#include "platform/gfx/AdapterSurvey.h"
#include "platform/gfx/GfxFormat.h"

StatefulDevice::StatefulDevice(SurveyedAdapter& adapter, std::uint32_t behaviorFlags,
                               const D3DPRESENT_PARAMETERS& parameters)
    : adapter_(&adapter), behaviorFlags_(behaviorFlags), parameters_(parameters) {
    state_.setDefaults(parameters_.EnableAutoDepthStencil != 0);
}

// ---------------------------------------------------------------------------
// Memory and capabilities.

std::uint32_t StatefulDevice::getAvailableTextureMem() {
    const std::uint64_t total = adapter_->survey().totalTextureMemory;
    return std::uint32_t(total - std::min(memoryUsed_, total));
}

HRESULT StatefulDevice::getDeviceCaps(D3DCAPS9* caps) {
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = adapter_->survey().caps;
    return D3D_OK;
}

bool StatefulDevice::reserveMemory(std::uint64_t bytes) {
    if (memoryUsed_ + bytes > adapter_->survey().totalTextureMemory) return false;
    memoryUsed_ += bytes;
    return true;
}

void StatefulDevice::freeMemory(std::uint64_t bytes) { memoryUsed_ -= std::min(bytes, memoryUsed_); }

bool StatefulDevice::reserveMemoryOf(D3DPOOL pool, std::uint64_t bytes) {
    return !countsAsVideoMemory(pool) || reserveMemory(bytes);
}

// ---------------------------------------------------------------------------
// Scene and states.

HRESULT StatefulDevice::beginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT StatefulDevice::endScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

HRESULT StatefulDevice::getViewport(D3DVIEWPORT9* viewport) { return state_.getViewport(viewport); }

HRESULT StatefulDevice::getRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) {
    return state_.getRenderState(state, value);
}

HRESULT StatefulDevice::getTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                             std::uint32_t* value) {
    return state_.getTextureStageState(stage, type, value);
}

HRESULT StatefulDevice::getSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t* value) {
    return state_.getSamplerState(sampler, type, value);
}

HRESULT StatefulDevice::getTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    return state_.getTransform(state, matrix);
}

HRESULT StatefulDevice::getLight(std::uint32_t index, D3DLIGHT9* light) { return state_.getLight(index, light); }

HRESULT StatefulDevice::getLightEnable(std::uint32_t index, std::int32_t* enable) {
    return state_.getLightEnable(index, enable);
}

HRESULT StatefulDevice::getMaterial(D3DMATERIAL9* material) { return state_.getMaterial(material); }

HRESULT StatefulDevice::getFVF(std::uint32_t* fvf) { return state_.getFVF(fvf); }

// ---------------------------------------------------------------------------
// Back buffer and render targets.

D3DSURFACE_DESC StatefulDevice::backBufferDesc() const {
    D3DSURFACE_DESC desc;
    desc.Format = parameters_.BackBufferFormat;
    desc.Usage = D3DUSAGE_RENDERTARGET;
    desc.Pool = D3DPOOL_DEFAULT;
    desc.Width = parameters_.BackBufferWidth;
    desc.Height = parameters_.BackBufferHeight;
    return desc;
}

D3DSURFACE_DESC StatefulDevice::autoDepthDesc() const {
    D3DSURFACE_DESC desc = backBufferDesc();
    desc.Format = parameters_.AutoDepthStencilFormat;
    desc.Usage = D3DUSAGE_DEPTHSTENCIL;
    return desc;
}

void StatefulDevice::adoptBackBuffer(GfxSurface* backBuffer, GfxSurface* autoDepth) {
    backBuffer_ = GfxRef<GfxSurface>::adopt(backBuffer);
    autoDepth_ = GfxRef<GfxSurface>::adopt(autoDepth);
    reserveMemory(levelBytes(parameters_.BackBufferFormat, parameters_.BackBufferWidth, parameters_.BackBufferHeight));
    if (parameters_.EnableAutoDepthStencil)
        reserveMemory(levelBytes(parameters_.AutoDepthStencilFormat, parameters_.BackBufferWidth,
                                 parameters_.BackBufferHeight));
    state_.renderTarget = backBuffer_;
    state_.depthStencil = autoDepth_;
    state_.viewport = {0, 0, parameters_.BackBufferWidth, parameters_.BackBufferHeight, 0.0f, 1.0f};
}

void StatefulDevice::freeBackBufferMemory() {
    freeMemory(levelBytes(parameters_.BackBufferFormat, parameters_.BackBufferWidth, parameters_.BackBufferHeight));
    if (parameters_.EnableAutoDepthStencil)
        freeMemory(levelBytes(parameters_.AutoDepthStencilFormat, parameters_.BackBufferWidth,
                              parameters_.BackBufferHeight));
}

HRESULT StatefulDevice::getBackBuffer(GfxSurface** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    backBuffer_->addRef();
    *surface = backBuffer_.get();
    return D3D_OK;
}

HRESULT StatefulDevice::getRenderTarget(std::uint32_t index, GfxSurface** surface) {
    if (!surface || index != 0) return D3DERR_INVALIDCALL;
    state_.renderTarget->addRef();
    *surface = state_.renderTarget.get();
    return D3D_OK;
}

HRESULT StatefulDevice::getDepthStencilSurface(GfxSurface** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (!state_.depthStencil) return D3DERR_NOTFOUND;
    state_.depthStencil->addRef();
    *surface = state_.depthStencil.get();
    return D3D_OK;
}

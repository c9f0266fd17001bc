// The device part both backends share: the adapter and present parameters,
// the kept state with the getters that answer from it, the scene bracket,
// the back buffer with its automatic depth surface, and the video memory
// counted against the adapter's survey. The backends add what they do with
// the state (drawing, or logging every call) around it.
#pragma once
#include <cstdint>

#include "platform/gfx/DeviceState.h"
#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/GfxDevice.h"

class StatefulDevice : public GfxDevice {
public:
    std::uint32_t getAvailableTextureMem() override;
    HRESULT getDeviceCaps(D3DCAPS9* caps) override;

    HRESULT beginScene() override;
    HRESULT endScene() override;
    HRESULT getViewport(D3DVIEWPORT9* viewport) override;

    HRESULT getRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) override;
    HRESULT getTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t* value) override;
    HRESULT getSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t* value) override;
    HRESULT getTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT getLight(std::uint32_t index, D3DLIGHT9* light) override;
    HRESULT getLightEnable(std::uint32_t index, std::int32_t* enable) override;
    HRESULT getMaterial(D3DMATERIAL9* material) override;
    HRESULT getFVF(std::uint32_t* fvf) override;

    HRESULT getBackBuffer(GfxSurface** surface) override;
    HRESULT getRenderTarget(std::uint32_t index, GfxSurface** surface) override;
    HRESULT getDepthStencilSurface(GfxSurface** surface) override;

protected:
    // Starts from Direct3D's initial states for the parameters.
    StatefulDevice(SurveyedAdapter& adapter, std::uint32_t behaviorFlags, const D3DPRESENT_PARAMETERS& parameters);

    // Video memory against the survey's total: a reservation that does not
    // fit fails and takes nothing.
    bool reserveMemory(std::uint64_t bytes);
    void freeMemory(std::uint64_t bytes);
    // The same for a resource of a pool; only some pools take video memory
    // (countsAsVideoMemory), the others always fit.
    bool reserveMemoryOf(D3DPOOL pool, std::uint64_t bytes);

    // The back buffer and automatic depth surface the present parameters ask for.
    D3DSURFACE_DESC backBufferDesc() const;
    D3DSURFACE_DESC autoDepthDesc() const;
    // Takes over a new back buffer and automatic depth surface (null when
    // the parameters ask for none): counts their memory, makes them the
    // render target and depth surface, and the viewport the whole back buffer.
    void adoptBackBuffer(GfxSurface* backBuffer, GfxSurface* autoDepth);
    // Gives back the memory adoptBackBuffer counted, before a reset changes
    // the parameters.
    void freeBackBufferMemory();

    GfxRef<SurveyedAdapter> adapter_;
    std::uint32_t behaviorFlags_;
    D3DPRESENT_PARAMETERS parameters_;
    DeviceState state_;
    GfxRef<GfxSurface> backBuffer_;
    GfxRef<GfxSurface> autoDepth_;
    bool inScene_ = false;

private:
    std::uint64_t memoryUsed_ = 0;
};

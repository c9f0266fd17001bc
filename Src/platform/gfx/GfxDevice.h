// The device: Direct3D 9's IDirect3DDevice9 and its resources, reduced to the
// calls the engine makes, with Direct3D's arguments, numbering and results.
// Backends: OpenGL 3.3 (GlDevice) and the recording device of the tests
// (RecordingDevice). Main thread only.
//
// Both backends keep every state across a reset: render, texture-stage and
// sampler states, transforms, light, material and bound textures survive, so a
// state cache of the caller never goes stale. A reset only returns the
// viewport to the whole back buffer and the render target and depth surface to
// the back buffer's own.
#pragma once
#include <cstdint>

#include "platform/HResult.h"
#include "platform/gfx/GfxResource.h"
#include "platform/gfx/GfxTypes.h"

class GfxDevice;

// A colour or depth surface: the back buffer, a level of a texture, or a
// depth-stencil surface.
class GfxSurface : public GfxObject {
public:
    virtual HRESULT getDesc(D3DSURFACE_DESC* desc) = 0;
    // Colour surfaces can be read back (flags D3DLOCK_READONLY): the pixels
    // come in the surface's format, rows top first. Depth surfaces refuse
    // with D3DERR_INVALIDCALL.
    virtual HRESULT lockRect(D3DLOCKED_RECT* locked, const D3DRECT* rect, std::uint32_t flags) = 0;
    virtual HRESULT unlockRect() = 0;
};

class GfxTexture : public GfxObject {
public:
    virtual std::uint32_t getLevelCount() = 0;
    virtual HRESULT getLevelDesc(std::uint32_t level, D3DSURFACE_DESC* desc) = 0;
    // The pixels of one level, rows top first, in the texture's format
    // (D3DFMT_A8R8G8B8: bytes B, G, R, A). The picture changes at unlock.
    virtual HRESULT lockRect(std::uint32_t level, D3DLOCKED_RECT* locked, const D3DRECT* rect,
                             std::uint32_t flags) = 0;
    virtual HRESULT unlockRect(std::uint32_t level) = 0;
    virtual HRESULT getSurfaceLevel(std::uint32_t level, GfxSurface** surface) = 0;
};

class GfxVertexBuffer : public GfxObject {
public:
    virtual HRESULT getDesc(D3DVERTEXBUFFER_DESC* desc) = 0;
    // size 0 locks from offset to the end. D3DLOCK_DISCARD gives fresh
    // storage, D3DLOCK_NOOVERWRITE promises not to touch data in use.
    virtual HRESULT lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) = 0;
    virtual HRESULT unlock() = 0;
};

class GfxIndexBuffer : public GfxObject {
public:
    virtual HRESULT getDesc(D3DINDEXBUFFER_DESC* desc) = 0;
    virtual HRESULT lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) = 0;
    virtual HRESULT unlock() = 0;
};

class GfxDevice : public GfxObject {
public:
    // Lifetime and presentation.
    virtual HRESULT testCooperativeLevel() = 0;
    virtual HRESULT reset(D3DPRESENT_PARAMETERS* parameters) = 0;
    // Present(NULL, NULL, NULL, NULL): shows the back buffer in the window.
    virtual HRESULT present() = 0;
    // True when Present waits for the vertical retrace and the display
    // refreshes 60 times a second, so presenting alone paces the game at 60
    // frames a second. False when presenting immediately, on a display of
    // another rate, or when the retrace cannot be waited for (software
    // rendering); the frame counter must pace the frames itself then.
    virtual bool presentsAt60Hz() = 0;
    virtual std::uint32_t getAvailableTextureMem() = 0;
    virtual HRESULT getDeviceCaps(D3DCAPS9* caps) = 0;

    // Scene and clearing.
    virtual HRESULT beginScene() = 0;
    virtual HRESULT endScene() = 0;
    // Clears the given rectangles (all of the viewport when count is 0),
    // each clipped to the viewport.
    virtual HRESULT clear(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color, float z,
                          std::uint32_t stencil) = 0;
    virtual HRESULT setViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT getViewport(D3DVIEWPORT9* viewport) = 0;

    // States.
    virtual HRESULT setRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) = 0;
    virtual HRESULT getRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) = 0;
    virtual HRESULT setTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                         std::uint32_t value) = 0;
    virtual HRESULT getTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                         std::uint32_t* value) = 0;
    virtual HRESULT setSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value) = 0;
    virtual HRESULT getSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t* value) = 0;
    virtual HRESULT setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT getTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT setLight(std::uint32_t index, const D3DLIGHT9* light) = 0;
    virtual HRESULT getLight(std::uint32_t index, D3DLIGHT9* light) = 0;
    virtual HRESULT lightEnable(std::uint32_t index, std::int32_t enable) = 0;
    virtual HRESULT getLightEnable(std::uint32_t index, std::int32_t* enable) = 0;
    virtual HRESULT setMaterial(const D3DMATERIAL9* material) = 0;
    virtual HRESULT getMaterial(D3DMATERIAL9* material) = 0;
    virtual HRESULT setTexture(std::uint32_t stage, GfxTexture* texture) = 0;
    virtual HRESULT setFVF(std::uint32_t fvf) = 0;
    virtual HRESULT getFVF(std::uint32_t* fvf) = 0;

    // Resources.
    virtual HRESULT createTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                                  std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, GfxTexture** texture) = 0;
    virtual HRESULT createVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                                       GfxVertexBuffer** buffer) = 0;
    virtual HRESULT createIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                      GfxIndexBuffer** buffer) = 0;
    virtual HRESULT createDepthStencilSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality,
                                              std::int32_t discard, GfxSurface** surface) = 0;

    // Render targets. Target 0 at start and after a reset is the back buffer.
    virtual HRESULT getBackBuffer(GfxSurface** surface) = 0;
    virtual HRESULT getRenderTarget(std::uint32_t index, GfxSurface** surface) = 0;
    virtual HRESULT setRenderTarget(std::uint32_t index, GfxSurface* surface) = 0;
    virtual HRESULT getDepthStencilSurface(GfxSurface** surface) = 0;
    virtual HRESULT setDepthStencilSurface(GfxSurface* surface) = 0;

    // Drawing.
    virtual HRESULT setStreamSource(std::uint32_t stream, GfxVertexBuffer* buffer, std::uint32_t offset,
                                    std::uint32_t stride) = 0;
    virtual HRESULT setIndices(GfxIndexBuffer* buffer) = 0;
    virtual HRESULT drawPrimitive(D3DPRIMITIVETYPE type, std::uint32_t startVertex,
                                  std::uint32_t primitiveCount) = 0;
    virtual HRESULT drawIndexedPrimitive(D3DPRIMITIVETYPE type, std::int32_t baseVertexIndex,
                                         std::uint32_t minVertexIndex, std::uint32_t numVertices,
                                         std::uint32_t startIndex, std::uint32_t primitiveCount) = 0;
    // Draws vertices from the caller's memory; the stream source is unset
    // afterwards, as Direct3D does.
    virtual HRESULT drawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                                    std::uint32_t stride) = 0;
};

// Where a vertex format puts its parts, and its size in bytes.
struct VertexLayout {
    std::uint32_t stride = 0;
    bool pretransformed = false;  // XYZRHW
    std::int32_t normalOffset = -1, diffuseOffset = -1, specularOffset = -1, texCoordOffset = -1;
    std::uint32_t texCoordCount = 0;
};
VertexLayout vertexLayout(std::uint32_t fvf);
// The number of vertices a primitive count of the type spans, in 64 bits so
// that a huge count never wraps round to a small draw.
std::uint64_t vertexCountOf(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount);
// The most vertices one draw may span (what OpenGL's signed counts hold).
constexpr std::uint64_t kMaxDrawVertices = 0x7FFFFFFF;

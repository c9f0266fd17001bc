// The state a device keeps, with Direct3D 9's defaults: render, texture-stage
// and sampler states, transforms, lights, material, viewport, vertex format
// and the bound resources. Both backends keep it the same way, so the
// getters answer alike and a reset keeps everything (see GfxDevice.h).
#pragma once
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/HResult.h"
#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/GfxTypes.h"

constexpr std::uint32_t kLightCount = 8;

struct DeviceState {
    std::array<std::uint32_t, kRenderStateCount> renderStates{};
    std::array<std::array<std::uint32_t, kTextureStageStateCount>, kTextureStageCount> stageStates{};
    std::array<std::array<std::uint32_t, kSamplerStateCount>, kSamplerCount> samplerStates{};
    D3DMATRIX world, view, projection;
    std::array<D3DMATRIX, kTextureStageCount> textureTransforms;
    std::array<D3DLIGHT9, kLightCount> lights;
    std::array<bool, kLightCount> lightSet{};
    std::array<bool, kLightCount> lightEnabled{};
    D3DMATERIAL9 material;
    D3DVIEWPORT9 viewport;
    std::uint32_t fvf = 0;

    std::array<GfxRef<GfxTexture>, kTextureStageCount> textures;
    GfxRef<GfxVertexBuffer> streamBuffer;
    std::uint32_t streamOffset = 0, streamStride = 0;
    GfxRef<GfxIndexBuffer> indices;
    GfxRef<GfxSurface> renderTarget;
    GfxRef<GfxSurface> depthStencil;

    // Direct3D's initial states; ZENABLE is on when the device was created
    // with an automatic depth buffer.
    void setDefaults(bool autoDepthStencil);

    // Range checks of the setters: D3DERR_INVALIDCALL for a state number or
    // index outside the tables.
    static bool validRenderState(std::uint32_t state) { return state < kRenderStateCount; }
    static bool validStage(std::uint32_t stage, std::uint32_t type) {
        return stage < kTextureStageCount && type < kTextureStageStateCount;
    }
    static bool validSampler(std::uint32_t sampler, std::uint32_t type) {
        return sampler < kSamplerCount && type < kSamplerStateCount;
    }
    // The matrix slot of a transform state, or null for one not kept.
    D3DMATRIX* transform(std::uint32_t state);
    const D3DMATRIX* transform(std::uint32_t state) const;

    // Setting and reading the states as both backends answer them:
    // D3DERR_INVALIDCALL, with nothing changed, for a null pointer or a
    // number outside the tables.
    HRESULT setRenderState(D3DRENDERSTATETYPE state, std::uint32_t value);
    HRESULT getRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) const;
    HRESULT setTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value);
    HRESULT getTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t* value) const;
    HRESULT setSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value);
    HRESULT getSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t* value) const;
    HRESULT setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
    HRESULT getTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const;
    // A light can be read only once set or enabled; enabling one never set
    // gives it the default light.
    HRESULT setLight(std::uint32_t index, const D3DLIGHT9* light);
    HRESULT getLight(std::uint32_t index, D3DLIGHT9* light) const;
    HRESULT lightEnable(std::uint32_t index, std::int32_t enable);
    HRESULT getLightEnable(std::uint32_t index, std::int32_t* enable) const;
    HRESULT setMaterial(const D3DMATERIAL9* material);
    HRESULT getMaterial(D3DMATERIAL9* material) const;
    HRESULT setTexture(std::uint32_t stage, GfxTexture* texture);
    HRESULT getFVF(std::uint32_t* fvf) const;
    // The viewport must lie inside the render target and not be empty.
    HRESULT setViewport(const D3DVIEWPORT9* viewport);
    HRESULT getViewport(D3DVIEWPORT9* viewport) const;
    // How many whole vertices the stream source holds past its offset in a
    // vertex buffer of bufferBytes; none without a stride.
    std::uint64_t streamCapacity(std::uint64_t bufferBytes) const;
    // Whether it holds the vertices of a draw from startVertex on (no
    // product of the arguments can wrap round).
    bool streamHolds(std::uint64_t bufferBytes, std::uint32_t startVertex, std::uint64_t vertexCount) const;
    // Only stream 0 exists.
    HRESULT setStreamSource(std::uint32_t stream, GfxVertexBuffer* buffer, std::uint32_t offset,
                            std::uint32_t stride);

    // The light Direct3D gives an index enabled without being set: a white
    // directional light shining along +z.
    static D3DLIGHT9 defaultLight();
};

D3DMATRIX identityMatrix();

// The argument checks of Clear: rectangles given when counted, and nothing
// but the target, depth and stencil to clear. False means
// D3DERR_INVALIDCALL.
inline bool validClearArguments(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags) {
    return !(count > 0 && !rects) && !(flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL));
}

// Calls clearOne(rect) for each rectangle of a Clear clipped to the viewport
// (the whole viewport when count is 0), skipping those clipped away.
template <class ClearOne>
void forEachClearRect(std::uint32_t count, const D3DRECT* rects, const D3DVIEWPORT9& viewport, ClearOne clearOne) {
    const D3DVIEWPORT9& v = viewport;
    const D3DRECT whole{std::int32_t(v.X), std::int32_t(v.Y), std::int32_t(v.X + v.Width),
                        std::int32_t(v.Y + v.Height)};
    for (std::uint32_t i = 0; i < std::max<std::uint32_t>(count, 1); ++i) {
        D3DRECT r = count ? rects[i] : whole;
        r.x1 = std::max(r.x1, whole.x1);
        r.y1 = std::max(r.y1, whole.y1);
        r.x2 = std::min(r.x2, whole.x2);
        r.y2 = std::min(r.y2, whole.y2);
        if (r.x1 < r.x2 && r.y1 < r.y2) clearOne(r);
    }
}

// The checks a draw makes before it reads any buffer: the indices lie inside
// the index buffer and every index (plus the base vertex) names a vertex
// inside the vertex buffer. False means D3DERR_INVALIDCALL and no drawing.
bool indexedDrawInBounds(const std::uint8_t* indexData, std::uint64_t indexBytes, bool index32,
                         std::uint32_t startIndex, std::uint64_t indexCount, std::int32_t baseVertex,
                         std::uint64_t vertexCapacity);

// Resources of these pools take video memory; system-memory and scratch
// ones do not.
inline bool countsAsVideoMemory(D3DPOOL pool) { return pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED; }

// What CreateVertexBuffer, CreateIndexBuffer and CreateDepthStencilSurface
// make, described from their arguments.
D3DVERTEXBUFFER_DESC vertexBufferDesc(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool);
D3DINDEXBUFFER_DESC indexBufferDesc(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool);
D3DSURFACE_DESC depthStencilDesc(std::uint32_t width, std::uint32_t height, D3DFORMAT format);

// The argument checks of the buffer creations, shared by the backends:
// D3DERR_INVALIDCALL for an empty buffer or indices of neither 16 nor 32
// bits, else D3D_OK.
HRESULT checkBufferCreation(const D3DVERTEXBUFFER_DESC& desc);
HRESULT checkBufferCreation(const D3DINDEXBUFFER_DESC& desc);

// The bytes a buffer lock covers: size 0 reaches from offset to the end of
// the buffer. False, for D3DERR_INVALIDCALL, when they reach past it.
bool bufferLockRange(std::uint32_t offset, std::uint32_t& size, std::size_t length);

struct AdapterSurvey;

// The argument checks of CreateTexture against the survey, shared by the
// backends: D3D_OK with the level count (0 asks for a full chain) and the
// bytes of all levels, or D3DERR_INVALIDCALL.
HRESULT checkTextureCreation(const AdapterSurvey& survey, std::uint32_t width, std::uint32_t height,
                             std::uint32_t& levels, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                             std::uint64_t& bytes);

// The OpenGL 3.3 device. Draws into a framebuffer of the configured
// back-buffer size whose rows are stored top first (as Direct3D numbers
// them), and shows it stretched over the whole window at Present; the window
// may be resized or full screen on the desktop. The fixed-function states
// are emulated by shader programs chosen by state (GlProgram); OpenGL state
// is sent only where it differs from what is set (GlStateCache), uniforms by
// group, and user-pointer vertices stream through one ring buffer. Main
// thread only.
#pragma once
#include <memory>
#include <set>

#include "platform/gfx/GlContext.h"
#include "platform/gfx/GlProgram.h"
#include "platform/gfx/GlResources.h"
#include "platform/gfx/GlStateCache.h"
#include "platform/gfx/StatefulDevice.h"

class GlAdapter;
class Window;

class GlDevice : public StatefulDevice {
public:
    GlDevice(GlAdapter& adapter, std::shared_ptr<GlContext> context, Window* window, std::uint32_t behaviorFlags,
             const D3DPRESENT_PARAMETERS& parameters);
    ~GlDevice() override;
    // Builds the program and the framebuffers; false with the reason.
    bool initialise(std::string& error);

    HRESULT testCooperativeLevel() override { return D3D_OK; }
    HRESULT reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT present() override;
    bool presentsAt60Hz() override;

    HRESULT clear(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color, float z,
                  std::uint32_t stencil) override;
    HRESULT setViewport(const D3DVIEWPORT9* viewport) override;

    HRESULT setRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) override;
    HRESULT setTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value) override;
    HRESULT setSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value) override;
    HRESULT setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT setLight(std::uint32_t index, const D3DLIGHT9* light) override;
    HRESULT lightEnable(std::uint32_t index, std::int32_t enable) override;
    HRESULT setMaterial(const D3DMATERIAL9* material) override;
    HRESULT setTexture(std::uint32_t stage, GfxTexture* texture) override;
    HRESULT setFVF(std::uint32_t fvf) override;

    HRESULT createTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, std::uint32_t usage,
                          D3DFORMAT format, D3DPOOL pool, GfxTexture** texture) override;
    HRESULT createVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                               GfxVertexBuffer** buffer) override;
    HRESULT createIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                              GfxIndexBuffer** buffer) override;
    HRESULT createDepthStencilSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality, std::int32_t discard,
                                      GfxSurface** surface) override;

    HRESULT setRenderTarget(std::uint32_t index, GfxSurface* surface) override;
    HRESULT setDepthStencilSurface(GfxSurface* surface) override;

    HRESULT setStreamSource(std::uint32_t stream, GfxVertexBuffer* buffer, std::uint32_t offset,
                            std::uint32_t stride) override;
    HRESULT setIndices(GfxIndexBuffer* buffer) override;
    HRESULT drawPrimitive(D3DPRIMITIVETYPE type, std::uint32_t startVertex, std::uint32_t primitiveCount) override;
    HRESULT drawIndexedPrimitive(D3DPRIMITIVETYPE type, std::int32_t baseVertexIndex, std::uint32_t minVertexIndex,
                                 std::uint32_t numVertices, std::uint32_t startIndex,
                                 std::uint32_t primitiveCount) override;
    HRESULT drawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                            std::uint32_t stride) override;

    // Used by the resources.
    void track(GlResource* resource) { live_.insert(resource); }
    void forget(GlResource* resource, std::uint64_t bytes);
    // Reads a colour surface back as rows top first in its own format.
    bool readPixels(const GlSurface& surface, std::vector<std::uint8_t>& out);
    // The bindings the resources change go through the device's cache.
    GlStateCache& stateCache() { return gl_; }
    // A buffer object is deleted: bindings and vertex set-up naming it go.
    void bufferDeleted(GLuint buffer);
    float maxAnisotropy() const { return maxAnisotropy_; }

private:
    bool createBackBuffer(std::string& error);
    // CreateVertexBuffer and CreateIndexBuffer, alike but for the kind.
    template <class Buffer, class Interface, class Desc>
    HRESULT createBuffer(const Desc& desc, Interface** buffer);
    void applyFramebuffer();
    void applyFixedStates(bool pretransformed);
    GlProgramKey programKey(const VertexLayout& layout) const;
    void sendUniforms(GlProgram& program);
    void applySampler();
    bool prepareDraw(const VertexLayout& layout);
    // Binds the anisotropic sampler only when the draw minifies the texture.
    void selectSampler(bool minifies);
    bool wantsFootprint(const VertexLayout& layout) const;
    void bindVertices(GLuint buffer, std::uint64_t offset, std::uint32_t stride, std::uint32_t fvf);
    // Copies user-pointer vertices into the ring; their first vertex there.
    bool streamUserVertices(const void* vertices, std::uint64_t bytes, std::uint32_t stride, GLint& first);
    const D3DSURFACE_DESC& targetDesc() const;
    bool targetIsOpaque() const;
    void applyPresentation();
    // A state of a uniform group changed.
    void touch(GlUniformGroup group) { ++versions_[group]; }

    std::shared_ptr<GlContext> context_;
    Window* window_;
    struct SDL_Window* sdlWindow_;

    GlStateCache gl_;
    GlPrograms programs_;
    GlProgram* program_ = nullptr;
    GlProgramKey key_;
    GLuint vao_ = 0, drawFramebuffer_ = 0, readFramebuffer_ = 0, sampler_ = 0, plainSampler_ = 0;
    GLuint ring_ = 0;
    std::uint64_t ringSize_ = 0, ringCursor_ = 0;
    bool framebufferDirty_ = true, fixedDirty_ = true, keyDirty_ = true, samplerDirty_ = true;
    bool lastPretransformed_ = false;
    std::uint32_t lastKeyFvf_ = ~0u;
    std::uint64_t versions_[kGroupCount] = {1, 1, 1, 1};
    struct VertexBinding {
        GLuint buffer = 0;
        std::uint64_t offset = ~0ull;
        std::uint32_t stride = 0, fvf = ~0u;
    } vertexBinding_;

    bool swapWaitsForRetrace_ = false;
    float maxAnisotropy_ = 1.0f;
    bool anisotropic_ = false;
    std::set<GlResource*> live_;
};

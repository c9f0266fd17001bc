#include "platform/gfx/GlDevice.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/Window.h"
#include "platform/gfx/AdapterSurvey.h"
#include "platform/gfx/GfxFormat.h"
#include "platform/gfx/GlAdapter.h"
// Last: counts the OpenGL calls below.
#include "platform/gfx/GlCounted.h"

namespace {

constexpr GLenum kMaxAnisotropyName = 0x84FE;     // GL_TEXTURE_MAX_ANISOTROPY
constexpr GLenum kMaxAnisotropyLimit = 0x84FF;    // GL_MAX_TEXTURE_MAX_ANISOTROPY

GLenum blendFactor(std::uint32_t blend) {
    switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

GLenum blendEquation(std::uint32_t op) {
    switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum compareFunction(std::uint32_t func) {
    switch (func) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum stencilOperation(std::uint32_t op) {
    switch (op) {
    case 2: return GL_ZERO;
    case 3: return GL_REPLACE;
    case 4: return GL_INCR;
    case 5: return GL_DECR;
    case 6: return GL_INVERT;
    case 7: return GL_INCR_WRAP;
    case 8: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

GLenum addressMode(std::uint32_t mode) {
    switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
    }
}

GLenum primitiveMode(D3DPRIMITIVETYPE type) {
    switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
    }
}

void colourFloats(D3DCOLOR c, float out[4]) {
    out[0] = float((c >> 16) & 0xFF) / 255.0f;
    out[1] = float((c >> 8) & 0xFF) / 255.0f;
    out[2] = float(c & 0xFF) / 255.0f;
    out[3] = float((c >> 24) & 0xFF) / 255.0f;
}

void uniformColour(GLint location, const D3DCOLORVALUE& c) { glUniform4f(location, c.r, c.g, c.b, c.a); }

void uniformArgb(GLint location, D3DCOLOR c) {
    float f[4];
    colourFloats(c, f);
    glUniform4fv(location, 1, f);
}

GlSurface* surfaceOf(const GfxRef<GfxSurface>& ref) { return static_cast<GlSurface*>(ref.get()); }

}  // namespace

GlDevice::GlDevice(GlAdapter& adapter, std::shared_ptr<GlContext> context, Window* window,
                   std::uint32_t behaviorFlags, const D3DPRESENT_PARAMETERS& parameters)
    : StatefulDevice(adapter, behaviorFlags, parameters),
      context_(std::move(context)),
      window_(window),
      sdlWindow_(static_cast<SDL_Window*>(window->nativeHandle())) {
    if (parameters_.BackBufferCount == 0) parameters_.BackBufferCount = 1;
}

bool GlDevice::initialise(std::string& error) {
    context_->makeCurrent(sdlWindow_);
    if (!program_.build(error)) return false;
    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    glGenFramebuffers(1, &drawFramebuffer_);
    glGenFramebuffers(1, &readFramebuffer_);
    glGenSamplers(1, &sampler_);
    glGenSamplers(1, &plainSampler_);
    glGenBuffers(1, &userVertices_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glDisable(GL_DITHER);
    if (context_->hasExtension("GL_EXT_texture_filter_anisotropic") ||
        context_->hasExtension("GL_ARB_texture_filter_anisotropic")) {
        glGetFloatv(kMaxAnisotropyLimit, &maxAnisotropy_);
        maxAnisotropy_ = std::max(1.0f, maxAnisotropy_);
    }
    if (!createBackBuffer(error)) return false;
    applyPresentation();
    return true;
}

GlDevice::~GlDevice() {
    context_->makeCurrent(sdlWindow_);
    state_ = DeviceState{};
    backBuffer_.reset();
    autoDepth_.reset();
    // Resources the engine still holds lose their OpenGL objects now, while
    // the context exists; they stay valid objects to release.
    std::set<GlResource*> orphans;
    orphans.swap(live_);
    for (GlResource* resource : orphans) resource->orphan();
    if (userVertices_) glDeleteBuffers(1, &userVertices_);
    if (sampler_) glDeleteSamplers(1, &sampler_);
    if (plainSampler_) glDeleteSamplers(1, &plainSampler_);
    if (readFramebuffer_) glDeleteFramebuffers(1, &readFramebuffer_);
    if (drawFramebuffer_) glDeleteFramebuffers(1, &drawFramebuffer_);
    if (vao_) glDeleteVertexArrays(1, &vao_);
}

bool GlDevice::createBackBuffer(std::string& error) {
    backBuffer_.reset();
    autoDepth_.reset();
    GlSurface* backBuffer = GlSurface::makeBackBuffer(this, backBufferDesc());
    adoptBackBuffer(backBuffer,
                    parameters_.EnableAutoDepthStencil ? GlSurface::makeDepth(this, autoDepthDesc(), false) : nullptr);
    framebufferDirty_ = fixedDirty_ = uniformsDirty_ = true;
    applyFramebuffer();
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = "the back buffer cannot be drawn into (format " + formatName(parameters_.BackBufferFormat) + ")";
        return false;
    }
    // Start from black, as a new Direct3D back buffer usually shows.
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFF);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | (autoDepth_ ? GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT : 0));
    fixedDirty_ = true;
    return true;
}

void GlDevice::applyPresentation() {
    SDL_SetWindowFullscreen(sdlWindow_, parameters_.Windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    const int wanted = parameters_.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1;
    SDL_GL_SetSwapInterval(wanted);
    swapWaitsForRetrace_ = wanted == 1 && SDL_GL_GetSwapInterval() == 1;
}

bool GlDevice::presentsAt60Hz() {
    if (!swapWaitsForRetrace_ || context_->isSoftware()) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) return false;
    const int display = SDL_GetWindowDisplayIndex(sdlWindow_);
    SDL_DisplayMode mode;
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) return false;
    return mode.refresh_rate >= 59 && mode.refresh_rate <= 61;
}

// ---------------------------------------------------------------------------
// Lifetime, presentation, memory.

HRESULT GlDevice::reset(D3DPRESENT_PARAMETERS* parameters) {
    if (HRESULT valid = adapter_->validateCreation(0, D3DDEVTYPE_HAL, window_, behaviorFlags_, parameters);
        FAILED(valid))
        return valid;
    context_->makeCurrent(sdlWindow_);
    D3DPRESENT_PARAMETERS p = *parameters;
    if (p.Windowed && (p.BackBufferWidth == 0 || p.BackBufferHeight == 0)) {
        ScreenRect r = window_->windowRect();
        if (p.BackBufferWidth == 0) p.BackBufferWidth = std::uint32_t(std::max(1, r.right - r.left));
        if (p.BackBufferHeight == 0) p.BackBufferHeight = std::uint32_t(std::max(1, r.bottom - r.top));
    }
    if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = adapter_->survey().desktop.Format;
    if (p.BackBufferCount == 0) p.BackBufferCount = 1;
    if (p.BackBufferWidth > adapter_->survey().caps.MaxTextureWidth ||
        p.BackBufferHeight > adapter_->survey().caps.MaxTextureHeight)
        return D3DERR_INVALIDCALL;
    freeBackBufferMemory();
    parameters_ = p;
    *parameters = p;
    std::string error;
    if (!createBackBuffer(error)) return D3DERR_INVALIDCALL;
    applyPresentation();
    inScene_ = false;
    return D3D_OK;
}

HRESULT GlDevice::present() {
    if (inScene_) return D3DERR_INVALIDCALL;
    context_->makeCurrent(sdlWindow_);
    GlSurface* back = surfaceOf(backBuffer_);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer_);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, back->texture(), 0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDrawBuffer(GL_BACK);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(sdlWindow_, &width, &height);
    const GLint bw = GLint(parameters_.BackBufferWidth), bh = GLint(parameters_.BackBufferHeight);
    // The back buffer's rows are stored top first: flip while stretching it
    // over the whole window.
    glBlitFramebuffer(0, 0, bw, bh, 0, height, width, 0, GL_COLOR_BUFFER_BIT,
                      width == bw && height == bh ? GL_NEAREST : GL_LINEAR);
    SDL_GL_SwapWindow(sdlWindow_);
    framebufferDirty_ = fixedDirty_ = true;
    return D3D_OK;
}

void GlDevice::forget(GlResource* resource, std::uint64_t bytes) {
    live_.erase(resource);
    freeMemory(bytes);
}

// ---------------------------------------------------------------------------
// Clear, viewport.

const D3DSURFACE_DESC& GlDevice::targetDesc() const { return surfaceOf(state_.renderTarget)->desc(); }

bool GlDevice::targetIsOpaque() const {
    const D3DFORMAT f = targetDesc().Format;
    return f == D3DFMT_X8R8G8B8 || f == D3DFMT_X1R5G5B5 || f == D3DFMT_R5G6B5;
}

HRESULT GlDevice::clear(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color, float z,
                        std::uint32_t stencil) {
    if (!validClearArguments(count, rects, flags)) return D3DERR_INVALIDCALL;
    GlSurface* depth = surfaceOf(state_.depthStencil);
    if ((flags & D3DCLEAR_ZBUFFER) && !depth) return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && !(depth && depth->hasStencil())) return D3DERR_INVALIDCALL;
    context_->makeCurrent(sdlWindow_);
    applyFramebuffer();
    GLbitfield bits = 0;
    if (flags & D3DCLEAR_TARGET) bits |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER) bits |= GL_DEPTH_BUFFER_BIT;
    if (flags & D3DCLEAR_STENCIL) bits |= GL_STENCIL_BUFFER_BIT;
    if (!bits) return D3D_OK;
    float rgba[4];
    colourFloats(color, rgba);
    if (targetIsOpaque()) rgba[3] = 1.0f;
    glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
    glClearDepth(double(std::clamp(z, 0.0f, 1.0f)));
    glClearStencil(GLint(stencil));
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFF);
    glEnable(GL_SCISSOR_TEST);
    forEachClearRect(count, rects, state_.viewport, [bits](const D3DRECT& r) {
        glScissor(r.x1, r.y1, r.x2 - r.x1, r.y2 - r.y1);
        glClear(bits);
    });
    fixedDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setViewport(const D3DVIEWPORT9* viewport) {
    if (HRESULT kept = state_.setViewport(viewport); FAILED(kept)) return kept;
    fixedDirty_ = uniformsDirty_ = true;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// States: kept in the device state, turned into OpenGL state before a draw.

HRESULT GlDevice::setRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) {
    if (HRESULT kept = state_.setRenderState(state, value); FAILED(kept)) return kept;
    fixedDirty_ = uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value) {
    if (HRESULT kept = state_.setTextureStageState(stage, type, value); FAILED(kept)) return kept;
    uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value) {
    if (HRESULT kept = state_.setSamplerState(sampler, type, value); FAILED(kept)) return kept;
    if (sampler == 0) samplerDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (HRESULT kept = state_.setTransform(state, matrix); FAILED(kept)) return kept;
    uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setLight(std::uint32_t index, const D3DLIGHT9* light) {
    if (HRESULT kept = state_.setLight(index, light); FAILED(kept)) return kept;
    uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::lightEnable(std::uint32_t index, std::int32_t enable) {
    if (HRESULT kept = state_.lightEnable(index, enable); FAILED(kept)) return kept;
    uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setMaterial(const D3DMATERIAL9* material) {
    if (HRESULT kept = state_.setMaterial(material); FAILED(kept)) return kept;
    uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setTexture(std::uint32_t stage, GfxTexture* texture) {
    if (HRESULT kept = state_.setTexture(stage, texture); FAILED(kept)) return kept;
    uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setFVF(std::uint32_t fvf) {
    state_.fvf = fvf;
    uniformsDirty_ = true;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Resources.

HRESULT GlDevice::createTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, std::uint32_t usage,
                                D3DFORMAT format, D3DPOOL pool, GfxTexture** texture) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    std::uint64_t bytes = 0;
    if (HRESULT valid = checkTextureCreation(adapter_->survey(), width, height, levels, usage, format, pool, bytes);
        FAILED(valid))
        return valid;
    if (!reserveMemoryOf(pool, bytes)) return D3DERR_OUTOFVIDEOMEMORY;
    context_->makeCurrent(sdlWindow_);
    *texture = new GlTexture(this, width, height, levels, usage, format, pool, bytes);
    return D3D_OK;
}

template <class Buffer, class Interface, class Desc>
HRESULT GlDevice::createBuffer(const Desc& desc, Interface** buffer) {
    if (!buffer || FAILED(checkBufferCreation(desc))) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (!reserveMemoryOf(desc.Pool, desc.Size)) return D3DERR_OUTOFVIDEOMEMORY;
    context_->makeCurrent(sdlWindow_);
    *buffer = new Buffer(this, desc);
    return D3D_OK;
}

HRESULT GlDevice::createVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                                     GfxVertexBuffer** buffer) {
    return createBuffer<GlVertexBuffer>(vertexBufferDesc(length, usage, fvf, pool), buffer);
}

HRESULT GlDevice::createIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                    GfxIndexBuffer** buffer) {
    return createBuffer<GlIndexBuffer>(indexBufferDesc(length, usage, format, pool), buffer);
}

HRESULT GlDevice::createDepthStencilSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                            D3DMULTISAMPLE_TYPE multiSample, std::uint32_t /*quality*/,
                                            std::int32_t /*discard*/, GfxSurface** surface) {
    if (!surface || width == 0 || height == 0 || !adapter_->survey().depthFormats.count(format) ||
        multiSample != D3DMULTISAMPLE_NONE || width > adapter_->survey().caps.MaxTextureWidth ||
        height > adapter_->survey().caps.MaxTextureHeight)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    const std::uint64_t bytes = levelBytes(format, width, height);
    if (!reserveMemory(bytes)) return D3DERR_OUTOFVIDEOMEMORY;
    context_->makeCurrent(sdlWindow_);
    *surface = GlSurface::makeDepth(this, depthStencilDesc(width, height, format), true);
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Render targets.

HRESULT GlDevice::setRenderTarget(std::uint32_t index, GfxSurface* surface) {
    if (index != 0 || !surface) return D3DERR_INVALIDCALL;
    auto* target = static_cast<GlSurface*>(surface);
    if (!(target->desc().Usage & D3DUSAGE_RENDERTARGET) || !target->texture() || !target->device())
        return D3DERR_INVALIDCALL;
    state_.renderTarget = GfxRef<GfxSurface>(surface);
    // Selecting a target makes the viewport the whole target, as Direct3D does.
    state_.viewport = {0, 0, target->desc().Width, target->desc().Height, 0.0f, 1.0f};
    framebufferDirty_ = fixedDirty_ = uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setDepthStencilSurface(GfxSurface* surface) {
    if (surface) {
        auto* depth = static_cast<GlSurface*>(surface);
        if (!depth->isDepth() || !depth->device()) return D3DERR_INVALIDCALL;
    }
    state_.depthStencil = GfxRef<GfxSurface>(surface);
    framebufferDirty_ = fixedDirty_ = true;
    return D3D_OK;
}

void GlDevice::applyFramebuffer() {
    if (!framebufferDirty_) return;
    glBindFramebuffer(GL_FRAMEBUFFER, drawFramebuffer_);
    GlSurface* target = surfaceOf(state_.renderTarget);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target->texture(), target->level());
    GlSurface* depth = surfaceOf(state_.depthStencil);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    if (depth) {
        glFramebufferRenderbuffer(GL_FRAMEBUFFER,
                                  depth->hasStencil() ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                  GL_RENDERBUFFER, depth->renderbuffer());
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    framebufferDirty_ = false;
}

bool GlDevice::readPixels(const GlSurface& surface, std::vector<std::uint8_t>& out) {
    context_->makeCurrent(sdlWindow_);
    const D3DSURFACE_DESC& desc = surface.desc();
    GlPixelFormat f = glPixelFormat(desc.Format, true);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer_);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, surface.texture(),
                           surface.level());
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    framebufferDirty_ = true;
    if (glCheckFramebufferStatus(GL_READ_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
    out.assign(levelBytes(desc.Format, desc.Width, desc.Height), 0);
    const bool renderedWide = f.internalFormat == GL_RGBA8;
    if (renderedWide && bitsPerPixel(desc.Format) != 32) return false;
    glReadPixels(0, 0, GLsizei(desc.Width), GLsizei(desc.Height), f.format, f.type, out.data());
    // Formats without alpha read it as opaque.
    if (desc.Format == D3DFMT_X8R8G8B8)
        for (std::size_t i = 3; i < out.size(); i += 4) out[i] = 0xFF;
    if (desc.Format == D3DFMT_X1R5G5B5)
        for (std::size_t i = 1; i < out.size(); i += 2) out[i] |= 0x80;
    return true;
}

// ---------------------------------------------------------------------------
// Drawing.

HRESULT GlDevice::setStreamSource(std::uint32_t stream, GfxVertexBuffer* buffer, std::uint32_t offset,
                                  std::uint32_t stride) {
    return state_.setStreamSource(stream, buffer, offset, stride);
}

HRESULT GlDevice::setIndices(GfxIndexBuffer* buffer) {
    state_.indices = GfxRef<GfxIndexBuffer>(buffer);
    return D3D_OK;
}

void GlDevice::applyFixedStates(bool pretransformed) {
    const auto& rs = state_.renderStates;
    const D3DVIEWPORT9& v = state_.viewport;
    const D3DSURFACE_DESC& target = targetDesc();
    if (pretransformed) {
        // Pre-transformed vertices are in target pixels; the viewport only clips.
        glViewport(0, 0, GLsizei(target.Width), GLsizei(target.Height));
        glDepthRange(0.0, 1.0);
    } else {
        glViewport(GLint(v.X), GLint(v.Y), GLsizei(v.Width), GLsizei(v.Height));
        glDepthRange(double(v.MinZ), double(v.MaxZ));
    }
    glEnable(GL_SCISSOR_TEST);
    glScissor(GLint(v.X), GLint(v.Y), GLsizei(v.Width), GLsizei(v.Height));

    if (rs[D3DRS_ALPHABLENDENABLE]) {
        glEnable(GL_BLEND);
        GLenum source = blendFactor(rs[D3DRS_SRCBLEND]), destination = blendFactor(rs[D3DRS_DESTBLEND]);
        if (rs[D3DRS_SRCBLEND] == 12) {  // D3DBLEND_BOTHSRCALPHA
            source = GL_SRC_ALPHA;
            destination = GL_ONE_MINUS_SRC_ALPHA;
        } else if (rs[D3DRS_SRCBLEND] == 13) {  // D3DBLEND_BOTHINVSRCALPHA
            source = GL_ONE_MINUS_SRC_ALPHA;
            destination = GL_SRC_ALPHA;
        }
        glBlendFunc(source, destination);
        glBlendEquation(blendEquation(rs[D3DRS_BLENDOP]));
    } else {
        glDisable(GL_BLEND);
    }

    GlSurface* depth = surfaceOf(state_.depthStencil);
    if (depth && rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(compareFunction(rs[D3DRS_ZFUNC]));
        glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    } else {
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
    }
    if (depth && depth->hasStencil() && rs[D3DRS_STENCILENABLE]) {
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(compareFunction(rs[D3DRS_STENCILFUNC]), GLint(rs[D3DRS_STENCILREF]), rs[D3DRS_STENCILMASK]);
        glStencilOp(stencilOperation(rs[D3DRS_STENCILFAIL]), stencilOperation(rs[D3DRS_STENCILZFAIL]),
                    stencilOperation(rs[D3DRS_STENCILPASS]));
        glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
    } else {
        glDisable(GL_STENCIL_TEST);
    }

    // Rows are stored top first, so a triangle clockwise on screen is
    // counter-clockwise to OpenGL.
    switch (rs[D3DRS_CULLMODE]) {
    case D3DCULL_CW:
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CW);
        glCullFace(GL_BACK);
        break;
    case D3DCULL_CCW:
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
        glCullFace(GL_BACK);
        break;
    default:
        glDisable(GL_CULL_FACE);
        break;
    }
    glPolygonMode(GL_FRONT_AND_BACK, rs[D3DRS_FILLMODE] == D3DFILL_POINT       ? GL_POINT
                                     : rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE
                                                                               : GL_FILL);
    const std::uint32_t mask = rs[D3DRS_COLORWRITEENABLE];
    // A target without alpha keeps reading alpha 1.
    glColorMask(mask & D3DCOLORWRITEENABLE_RED ? GL_TRUE : GL_FALSE, mask & D3DCOLORWRITEENABLE_GREEN ? GL_TRUE : GL_FALSE,
                mask & D3DCOLORWRITEENABLE_BLUE ? GL_TRUE : GL_FALSE,
                (mask & D3DCOLORWRITEENABLE_ALPHA) && !targetIsOpaque() ? GL_TRUE : GL_FALSE);
    lastPretransformed_ = pretransformed;
    fixedDirty_ = false;
}

void GlDevice::applyUniforms(const VertexLayout& layout) {
    const GlProgram::Uniforms& u = program_.uniforms();
    const auto& rs = state_.renderStates;
    const auto& stage = state_.stageStates[0];
    const D3DSURFACE_DESC& target = targetDesc();
    const bool pre = layout.pretransformed;
    glUniform1i(u.pretransformed, pre);
    glUniform2f(u.targetSize, float(target.Width), float(target.Height));
    glUniform2f(u.pixelShift, 1.0f / float(state_.viewport.Width), 1.0f / float(state_.viewport.Height));
    glUniformMatrix4fv(u.world, 1, GL_FALSE, &state_.world._11);
    glUniformMatrix4fv(u.view, 1, GL_FALSE, &state_.view._11);
    glUniformMatrix4fv(u.projection, 1, GL_FALSE, &state_.projection._11);
    glUniform1i(u.hasNormal, layout.normalOffset >= 0);
    glUniform1i(u.hasDiffuse, layout.diffuseOffset >= 0);
    glUniform1i(u.hasSpecular, layout.specularOffset >= 0);
    glUniform1i(u.lighting, rs[D3DRS_LIGHTING] != 0);
    glUniform1i(u.colorVertex, rs[D3DRS_COLORVERTEX] != 0);
    glUniform1i(u.normalizeNormals, rs[D3DRS_NORMALIZENORMALS] != 0);
    glUniform1i(u.diffuseSource, GLint(rs[D3DRS_DIFFUSEMATERIALSOURCE]));
    glUniform1i(u.ambientSource, GLint(rs[D3DRS_AMBIENTMATERIALSOURCE]));
    glUniform1i(u.emissiveSource, GLint(rs[D3DRS_EMISSIVEMATERIALSOURCE]));
    uniformColour(u.materialDiffuse, state_.material.Diffuse);
    uniformColour(u.materialAmbient, state_.material.Ambient);
    uniformColour(u.materialEmissive, state_.material.Emissive);
    uniformArgb(u.globalAmbient, rs[D3DRS_AMBIENT]);

    // One directional light: light 0.
    const D3DLIGHT9& light = state_.lights[0];
    const D3DVECTOR& d = light.Direction;
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    const bool lightOn = state_.lightSet[0] && state_.lightEnabled[0] && light.Type == D3DLIGHT_DIRECTIONAL &&
                         length > 0.0f;
    glUniform1i(u.lightOn, lightOn);
    uniformColour(u.lightDiffuse, light.Diffuse);
    uniformColour(u.lightAmbient, light.Ambient);
    if (length > 0.0f) glUniform3f(u.lightDirection, d.x / length, d.y / length, d.z / length);

    // Vertex fog on the eye-space depth; the table mode, when set, wins as
    // in Direct3D, and is computed the same way.
    std::uint32_t fogMode = 0;
    if (rs[D3DRS_FOGENABLE] && !pre)
        fogMode = rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? rs[D3DRS_FOGTABLEMODE] : rs[D3DRS_FOGVERTEXMODE];
    if (fogMode > D3DFOG_LINEAR) fogMode = 0;
    glUniform1i(u.fogMode, GLint(fogMode));
    glUniform1f(u.fogStart, bitsFloat(rs[D3DRS_FOGSTART]));
    glUniform1f(u.fogEnd, bitsFloat(rs[D3DRS_FOGEND]));
    glUniform1f(u.fogDensity, bitsFloat(rs[D3DRS_FOGDENSITY]));
    glUniform1i(u.fogOn, fogMode != 0);
    float fog[4];
    colourFloats(rs[D3DRS_FOGCOLOR], fog);
    glUniform3f(u.fogColor, fog[0], fog[1], fog[2]);

    glUniform1i(u.anisotropic, anisotropic_);
    glUniform1i(u.hasTexture, state_.textures[0] && static_cast<GlTexture*>(state_.textures[0].get())->id() != 0);
    glUniform1i(u.colorOp, GLint(stage[D3DTSS_COLOROP]));
    glUniform1i(u.colorArg1, GLint(stage[D3DTSS_COLORARG1]));
    glUniform1i(u.colorArg2, GLint(stage[D3DTSS_COLORARG2]));
    glUniform1i(u.alphaOp, GLint(stage[D3DTSS_ALPHAOP]));
    glUniform1i(u.alphaArg1, GLint(stage[D3DTSS_ALPHAARG1]));
    glUniform1i(u.alphaArg2, GLint(stage[D3DTSS_ALPHAARG2]));
    uniformArgb(u.textureFactor, rs[D3DRS_TEXTUREFACTOR]);

    glUniform1i(u.alphaTest, rs[D3DRS_ALPHATESTENABLE] != 0);
    glUniform1i(u.alphaFunc, GLint(rs[D3DRS_ALPHAFUNC]));
    glUniform1i(u.alphaRef, GLint(rs[D3DRS_ALPHAREF] & 0xFF));
    uniformsDirty_ = false;
}

void GlDevice::applySampler() {
    const auto& s = state_.samplerStates[0];
    const std::uint32_t mag = s[D3DSAMP_MAGFILTER], min = s[D3DSAMP_MINFILTER], mip = s[D3DSAMP_MIPFILTER];
    const bool magLinear = mag == D3DTEXF_LINEAR || mag == D3DTEXF_ANISOTROPIC;
    const bool minLinear = min == D3DTEXF_LINEAR || min == D3DTEXF_ANISOTROPIC;
    GLenum minFilter;
    if (mip == D3DTEXF_NONE)
        minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    else if (mip == D3DTEXF_POINT)
        minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else
        minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    float border[4];
    colourFloats(s[D3DSAMP_BORDERCOLOR], border);
    // Two samplers of the same states: the second without anisotropy, for
    // the pixels where the texture is not minified (see GlProgram).
    for (GLuint sampler : {sampler_, plainSampler_}) {
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GLint(addressMode(s[D3DSAMP_ADDRESSU])));
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GLint(addressMode(s[D3DSAMP_ADDRESSV])));
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, GLint(addressMode(s[D3DSAMP_ADDRESSW])));
        glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
        glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
        glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GLint(minFilter));
        glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, float(s[D3DSAMP_MAXMIPLEVEL]));
        glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, bitsFloat(s[D3DSAMP_MIPMAPLODBIAS]));
    }
    anisotropic_ = false;
    if (maxAnisotropy_ > 1.0f) {
        const bool wanted = mag == D3DTEXF_ANISOTROPIC || min == D3DTEXF_ANISOTROPIC;
        const float level = wanted ? std::clamp(float(s[D3DSAMP_MAXANISOTROPY]), 1.0f, maxAnisotropy_) : 1.0f;
        glSamplerParameterf(sampler_, kMaxAnisotropyName, level);
        glSamplerParameterf(plainSampler_, kMaxAnisotropyName, 1.0f);
        anisotropic_ = level > 1.0f;
    }
    samplerDirty_ = false;
    uniformsDirty_ = true;
}

bool GlDevice::prepareDraw(const VertexLayout& layout) {
    if (!inScene_ || state_.fvf == 0 || layout.stride == 0) return false;
    context_->makeCurrent(sdlWindow_);
    const bool wasDirty = framebufferDirty_;
    applyFramebuffer();
    if (wasDirty && glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        framebufferDirty_ = true;
        return false;
    }
    program_.use();
    glBindVertexArray(vao_);
    glBindSampler(0, sampler_);
    glBindSampler(1, plainSampler_);
    if (samplerDirty_) applySampler();
    if (fixedDirty_ || lastPretransformed_ != layout.pretransformed) applyFixedStates(layout.pretransformed);
    if (uniformsDirty_ || lastUniformFvf_ != state_.fvf) {
        applyUniforms(layout);
        lastUniformFvf_ = state_.fvf;
    }
    auto* texture = static_cast<GlTexture*>(state_.textures[0].get());
    for (GLenum unit : {GL_TEXTURE1, GL_TEXTURE0}) {
        glActiveTexture(unit);
        glBindTexture(GL_TEXTURE_2D, texture ? texture->id() : 0);
    }
    return true;
}

void GlDevice::bindVertices(GLuint buffer, std::uint64_t offset, std::uint32_t stride, std::uint32_t fvf) {
    if (vertexBinding_.buffer == buffer && vertexBinding_.offset == offset && vertexBinding_.stride == stride &&
        vertexBinding_.fvf == fvf)
        return;
    vertexBinding_ = {buffer, offset, stride, fvf};
    const VertexLayout layout = vertexLayout(fvf);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    auto at = [&](std::int64_t part) { return reinterpret_cast<const void*>(std::uintptr_t(offset + part)); };
    glEnableVertexAttribArray(kAttributePosition);
    glVertexAttribPointer(kAttributePosition, layout.pretransformed ? 4 : 3, GL_FLOAT, GL_FALSE, GLsizei(stride), at(0));
    auto colour = [&](GLuint slot, std::int32_t part, float r, float g, float b, float a) {
        if (part >= 0) {
            glEnableVertexAttribArray(slot);
            glVertexAttribPointer(slot, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, GLsizei(stride), at(part));
        } else {
            glDisableVertexAttribArray(slot);
            glVertexAttrib4f(slot, r, g, b, a);
        }
    };
    if (layout.normalOffset >= 0) {
        glEnableVertexAttribArray(kAttributeNormal);
        glVertexAttribPointer(kAttributeNormal, 3, GL_FLOAT, GL_FALSE, GLsizei(stride), at(layout.normalOffset));
    } else {
        glDisableVertexAttribArray(kAttributeNormal);
        glVertexAttrib4f(kAttributeNormal, 0, 0, 0, 0);
    }
    colour(kAttributeDiffuse, layout.diffuseOffset, 1, 1, 1, 1);
    colour(kAttributeSpecular, layout.specularOffset, 0, 0, 0, 0);
    if (layout.texCoordOffset >= 0) {
        glEnableVertexAttribArray(kAttributeTexCoord);
        glVertexAttribPointer(kAttributeTexCoord, 2, GL_FLOAT, GL_FALSE, GLsizei(stride), at(layout.texCoordOffset));
    } else {
        glDisableVertexAttribArray(kAttributeTexCoord);
        glVertexAttrib4f(kAttributeTexCoord, 0, 0, 0, 1);
    }
}

HRESULT GlDevice::drawPrimitive(D3DPRIMITIVETYPE type, std::uint32_t startVertex, std::uint32_t primitiveCount) {
    const VertexLayout layout = vertexLayout(state_.fvf);
    auto* buffer = static_cast<GlVertexBuffer*>(state_.streamBuffer.get());
    if (!buffer || !buffer->device() || state_.streamStride < layout.stride) return D3DERR_INVALIDCALL;
    const std::uint64_t count = vertexCountOf(type, primitiveCount);
    if (!state_.streamHolds(buffer->store().bytes().size(), startVertex, count)) return D3DERR_INVALIDCALL;
    if (!prepareDraw(layout)) return D3DERR_INVALIDCALL;
    if (count == 0) return D3D_OK;
    bindVertices(buffer->store().id(), state_.streamOffset, state_.streamStride, state_.fvf);
    glDrawArrays(primitiveMode(type), GLint(startVertex), GLsizei(count));
    return D3D_OK;
}

HRESULT GlDevice::drawIndexedPrimitive(D3DPRIMITIVETYPE type, std::int32_t baseVertexIndex,
                                       std::uint32_t /*minVertexIndex*/, std::uint32_t /*numVertices*/,
                                       std::uint32_t startIndex, std::uint32_t primitiveCount) {
    const VertexLayout layout = vertexLayout(state_.fvf);
    auto* vertices = static_cast<GlVertexBuffer*>(state_.streamBuffer.get());
    auto* indices = static_cast<GlIndexBuffer*>(state_.indices.get());
    if (!vertices || !indices || !vertices->device() || !indices->device() || state_.streamStride < layout.stride)
        return D3DERR_INVALIDCALL;
    const std::uint64_t count = vertexCountOf(type, primitiveCount);
    // Every index is checked before OpenGL reads the buffers.
    if (!indexedDrawInBounds(indices->store().bytes().data(), indices->store().bytes().size(), indices->index32(),
                             startIndex, count, baseVertexIndex,
                             state_.streamCapacity(vertices->store().bytes().size())))
        return D3DERR_INVALIDCALL;
    if (!prepareDraw(layout)) return D3DERR_INVALIDCALL;
    if (count == 0) return D3D_OK;
    bindVertices(vertices->store().id(), state_.streamOffset, state_.streamStride, state_.fvf);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices->store().id());
    const std::uintptr_t indexSize = indices->index32() ? 4 : 2;
    glDrawElementsBaseVertex(primitiveMode(type), GLsizei(count),
                             indices->index32() ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(std::uintptr_t(startIndex) * indexSize), baseVertexIndex);
    return D3D_OK;
}

HRESULT GlDevice::drawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                                  std::uint32_t stride) {
    const VertexLayout layout = vertexLayout(state_.fvf);
    const std::uint64_t count = vertexCountOf(type, primitiveCount);
    if (!vertices || stride < layout.stride || count > kMaxDrawVertices) return D3DERR_INVALIDCALL;
    if (!prepareDraw(layout)) return D3DERR_INVALIDCALL;
    state_.streamBuffer.reset();
    state_.streamOffset = state_.streamStride = 0;
    if (count == 0) return D3D_OK;
    glBindBuffer(GL_ARRAY_BUFFER, userVertices_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(count * stride), vertices, GL_STREAM_DRAW);
    vertexBinding_ = {};
    bindVertices(userVertices_, 0, stride, state_.fvf);
    glDrawArrays(primitiveMode(type), 0, GLsizei(count));
    return D3D_OK;
}

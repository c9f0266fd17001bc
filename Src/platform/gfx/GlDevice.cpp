#include "platform/gfx/GlDevice.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/Window.h"
#include "platform/gfx/AdapterSurvey.h"
#include "platform/gfx/GfxFormat.h"
#include "platform/gfx/GlAdapter.h"
#include "platform/gfx/TextureFootprint.h"
// Last: counts the OpenGL calls below.
#include "platform/gfx/GlCounted.h"

namespace {

constexpr GLenum kMaxAnisotropyName = 0x84FE;     // GL_TEXTURE_MAX_ANISOTROPY

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

void uniformColour(GLint location, const D3DCOLORVALUE& c) {
    if (location >= 0) glUniform4f(location, c.r, c.g, c.b, c.a);
}

void uniformArgb(GLint location, D3DCOLOR c) {
    if (location < 0) return;
    float f[4];
    colourFloats(c, f);
    glUniform4fv(location, 1, f);
}

// Texture-stage operations as the programs tell them apart: the ones not
// emulated act as D3DTOP_SELECTARG1.
std::uint8_t programOperation(std::uint32_t op) {
    switch (op) {
    case D3DTOP_DISABLE:
    case D3DTOP_SELECTARG2:
    case D3DTOP_MODULATE:
    case D3DTOP_MODULATE2X:
    case D3DTOP_MODULATE4X:
    case D3DTOP_ADD:
    case D3DTOP_ADDSIGNED:
    case D3DTOP_SUBTRACT:
        return std::uint8_t(op);
    default:
        return D3DTOP_SELECTARG1;
    }
}

// Which arguments an operation reads (1: the first, 2: the second).
int operationArguments(std::uint8_t op) {
    if (op == D3DTOP_SELECTARG1) return 1;
    if (op == D3DTOP_SELECTARG2) return 2;
    return 3;
}

// The argument bits the programs read: the selector and the complement and
// alpha-replicate modifiers.
std::uint8_t programArgument(std::uint32_t arg) { return std::uint8_t(arg & 63); }

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
    // The program of the 2-D sprites now: a shader the driver refuses shows here.
    if (!programs_.find(programKey(vertexLayout(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1)), error)) return false;
    glGenVertexArrays(1, &vao_);
    gl_.bindVertexArray(vao_);
    glGenFramebuffers(1, &drawFramebuffer_);
    glGenFramebuffers(1, &readFramebuffer_);
    glGenSamplers(1, &sampler_);
    glGenSamplers(1, &plainSampler_);
    glGenBuffers(1, &ring_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glDisable(GL_DITHER);
    maxAnisotropy_ = context_->maxAnisotropy();
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
    programs_.clear();
    if (ring_) glDeleteBuffers(1, &ring_);
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
    framebufferDirty_ = fixedDirty_ = true;
    touch(kGroupTransform);
    applyFramebuffer();
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = "the back buffer cannot be drawn into (format " + formatName(parameters_.BackBufferFormat) + ")";
        return false;
    }
    // Start from black, as a new Direct3D back buffer usually shows.
    gl_.enable(GL_SCISSOR_TEST, false);
    gl_.colorMask(true, true, true, true);
    gl_.depthMask(true);
    gl_.stencilMask(0xFFFFFFFF);
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
    gl_.enable(GL_SCISSOR_TEST, false);
    gl_.colorMask(true, true, true, true);
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
    gl_.colorMask(true, true, true, true);
    gl_.depthMask(true);
    gl_.stencilMask(0xFFFFFFFF);
    gl_.enable(GL_SCISSOR_TEST, true);
    forEachClearRect(count, rects, state_.viewport, [this, bits](const D3DRECT& r) {
        gl_.scissor(r.x1, r.y1, r.x2 - r.x1, r.y2 - r.y1);
        glClear(bits);
    });
    fixedDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setViewport(const D3DVIEWPORT9* viewport) {
    if (HRESULT kept = state_.setViewport(viewport); FAILED(kept)) return kept;
    fixedDirty_ = true;
    touch(kGroupTransform);
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// States: kept in the device state, turned into OpenGL state before a draw.
// A change marks only what it can change: the fixed-function OpenGL states,
// the program key, or one uniform group; setting a value again marks nothing.

HRESULT GlDevice::setRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) {
    const bool valid = DeviceState::validRenderState(state);
    const std::uint32_t previous = valid ? state_.renderStates[state] : 0;
    if (HRESULT kept = state_.setRenderState(state, value); FAILED(kept)) return kept;
    if (previous == value) return D3D_OK;
    switch (state) {
    case D3DRS_FOGSTART:
    case D3DRS_FOGEND:
    case D3DRS_FOGDENSITY:
    case D3DRS_FOGCOLOR:
        touch(kGroupFog);
        break;
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_ALPHAREF:
        touch(kGroupFactor);
        break;
    case D3DRS_AMBIENT:
        touch(kGroupLighting);
        break;
    case D3DRS_LIGHTING:
    case D3DRS_COLORVERTEX:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
    case D3DRS_FOGENABLE:
    case D3DRS_FOGTABLEMODE:
    case D3DRS_FOGVERTEXMODE:
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_ALPHAFUNC:
        keyDirty_ = true;
        break;
    default:
        fixedDirty_ = true;
        break;
    }
    return D3D_OK;
}

HRESULT GlDevice::setTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value) {
    if (HRESULT kept = state_.setTextureStageState(stage, type, value); FAILED(kept)) return kept;
    if (stage == 0) keyDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value) {
    const bool same = DeviceState::validSampler(sampler, type) && state_.samplerStates[sampler][type] == value;
    if (HRESULT kept = state_.setSamplerState(sampler, type, value); FAILED(kept)) return kept;
    if (sampler == 0 && !same) samplerDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (HRESULT kept = state_.setTransform(state, matrix); FAILED(kept)) return kept;
    if (state == D3DTS_WORLD || state == D3DTS_VIEW || state == D3DTS_PROJECTION) touch(kGroupTransform);
    return D3D_OK;
}

HRESULT GlDevice::setLight(std::uint32_t index, const D3DLIGHT9* light) {
    if (HRESULT kept = state_.setLight(index, light); FAILED(kept)) return kept;
    if (index == 0) {
        touch(kGroupLighting);
        keyDirty_ = true;
    }
    return D3D_OK;
}

HRESULT GlDevice::lightEnable(std::uint32_t index, std::int32_t enable) {
    if (HRESULT kept = state_.lightEnable(index, enable); FAILED(kept)) return kept;
    if (index == 0) {
        touch(kGroupLighting);
        keyDirty_ = true;
    }
    return D3D_OK;
}

HRESULT GlDevice::setMaterial(const D3DMATERIAL9* material) {
    if (HRESULT kept = state_.setMaterial(material); FAILED(kept)) return kept;
    touch(kGroupLighting);
    return D3D_OK;
}

HRESULT GlDevice::setTexture(std::uint32_t stage, GfxTexture* texture) {
    const bool same = stage < kTextureStageCount && state_.textures[stage].get() == texture;
    if (HRESULT kept = state_.setTexture(stage, texture); FAILED(kept)) return kept;
    if (stage == 0 && !same) keyDirty_ = true;
    return D3D_OK;
}

HRESULT GlDevice::setFVF(std::uint32_t fvf) {
    state_.fvf = fvf;
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
    framebufferDirty_ = fixedDirty_ = true;
    touch(kGroupTransform);
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
        gl_.viewport(0, 0, GLsizei(target.Width), GLsizei(target.Height));
        gl_.depthRange(0.0, 1.0);
    } else {
        gl_.viewport(GLint(v.X), GLint(v.Y), GLsizei(v.Width), GLsizei(v.Height));
        gl_.depthRange(double(v.MinZ), double(v.MaxZ));
    }
    gl_.enable(GL_SCISSOR_TEST, true);
    gl_.scissor(GLint(v.X), GLint(v.Y), GLsizei(v.Width), GLsizei(v.Height));

    gl_.enable(GL_BLEND, rs[D3DRS_ALPHABLENDENABLE] != 0);
    if (rs[D3DRS_ALPHABLENDENABLE]) {
        GLenum source = blendFactor(rs[D3DRS_SRCBLEND]), destination = blendFactor(rs[D3DRS_DESTBLEND]);
        if (rs[D3DRS_SRCBLEND] == 12) {  // D3DBLEND_BOTHSRCALPHA
            source = GL_SRC_ALPHA;
            destination = GL_ONE_MINUS_SRC_ALPHA;
        } else if (rs[D3DRS_SRCBLEND] == 13) {  // D3DBLEND_BOTHINVSRCALPHA
            source = GL_ONE_MINUS_SRC_ALPHA;
            destination = GL_SRC_ALPHA;
        }
        gl_.blendFunc(source, destination);
        gl_.blendEquation(blendEquation(rs[D3DRS_BLENDOP]));
    }

    GlSurface* depth = surfaceOf(state_.depthStencil);
    if (depth && rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
        gl_.enable(GL_DEPTH_TEST, true);
        gl_.depthFunc(compareFunction(rs[D3DRS_ZFUNC]));
        gl_.depthMask(rs[D3DRS_ZWRITEENABLE] != 0);
    } else {
        gl_.enable(GL_DEPTH_TEST, false);
        gl_.depthMask(false);
    }
    if (depth && depth->hasStencil() && rs[D3DRS_STENCILENABLE]) {
        gl_.enable(GL_STENCIL_TEST, true);
        gl_.stencilFunc(compareFunction(rs[D3DRS_STENCILFUNC]), GLint(rs[D3DRS_STENCILREF]), rs[D3DRS_STENCILMASK]);
        gl_.stencilOp(stencilOperation(rs[D3DRS_STENCILFAIL]), stencilOperation(rs[D3DRS_STENCILZFAIL]),
                      stencilOperation(rs[D3DRS_STENCILPASS]));
        gl_.stencilMask(rs[D3DRS_STENCILWRITEMASK]);
    } else {
        gl_.enable(GL_STENCIL_TEST, false);
    }

    // Rows are stored top first, so a triangle clockwise on screen is
    // counter-clockwise to OpenGL.
    switch (rs[D3DRS_CULLMODE]) {
    case D3DCULL_CW:
        gl_.enable(GL_CULL_FACE, true);
        gl_.cullFace(GL_CW);
        break;
    case D3DCULL_CCW:
        gl_.enable(GL_CULL_FACE, true);
        gl_.cullFace(GL_CCW);
        break;
    default:
        gl_.enable(GL_CULL_FACE, false);
        break;
    }
    gl_.polygonMode(rs[D3DRS_FILLMODE] == D3DFILL_POINT       ? GL_POINT
                    : rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE
                                                              : GL_FILL);
    const std::uint32_t mask = rs[D3DRS_COLORWRITEENABLE];
    // A target without alpha keeps reading alpha 1.
    gl_.colorMask(mask & D3DCOLORWRITEENABLE_RED, mask & D3DCOLORWRITEENABLE_GREEN, mask & D3DCOLORWRITEENABLE_BLUE,
                  (mask & D3DCOLORWRITEENABLE_ALPHA) && !targetIsOpaque());
    lastPretransformed_ = pretransformed;
    fixedDirty_ = false;
}

GlProgramKey GlDevice::programKey(const VertexLayout& layout) const {
    const auto& rs = state_.renderStates;
    const auto& stage = state_.stageStates[0];
    GlProgramKey key;
    key.pretransformed = layout.pretransformed;
    key.hasDiffuse = layout.diffuseOffset >= 0;
    key.hasSpecular = layout.specularOffset >= 0;
    // Lighting and fog apply to transformed vertices only.
    if (!layout.pretransformed && rs[D3DRS_LIGHTING]) {
        key.lighting = true;
        key.hasNormal = layout.normalOffset >= 0;
        key.normalizeNormals = key.hasNormal && rs[D3DRS_NORMALIZENORMALS] != 0;
        key.colorVertex = rs[D3DRS_COLORVERTEX] != 0;
        if (key.colorVertex) {
            // Only the vertex's diffuse (1) and specular (2) colours differ
            // from the material (0).
            auto source = [](std::uint32_t value) { return std::uint8_t(value == 1 || value == 2 ? value : 0); };
            key.diffuseSource = source(rs[D3DRS_DIFFUSEMATERIALSOURCE]);
            key.ambientSource = source(rs[D3DRS_AMBIENTMATERIALSOURCE]);
            key.emissiveSource = source(rs[D3DRS_EMISSIVEMATERIALSOURCE]);
        }
        // One directional light: light 0.
        const D3DLIGHT9& light = state_.lights[0];
        const D3DVECTOR& d = light.Direction;
        key.lightOn = state_.lightSet[0] && state_.lightEnabled[0] && light.Type == D3DLIGHT_DIRECTIONAL &&
                      d.x * d.x + d.y * d.y + d.z * d.z > 0.0f;
    }
    // Vertex fog on the eye-space depth; the table mode, when set, wins as
    // in Direct3D, and is computed the same way.
    std::uint32_t fogMode = 0;
    if (rs[D3DRS_FOGENABLE] && !layout.pretransformed)
        fogMode = rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? rs[D3DRS_FOGTABLEMODE] : rs[D3DRS_FOGVERTEXMODE];
    key.fogMode = std::uint8_t(fogMode > D3DFOG_LINEAR ? 0 : fogMode);

    bool colourReadsTexture = false, alphaReadsTexture = false;
    auto argument = [](std::uint32_t value, bool& readsTexture) {
        const std::uint8_t arg = programArgument(value);
        readsTexture = readsTexture || (arg & 15) == D3DTA_TEXTURE;
        return arg;
    };
    key.colorOp = programOperation(stage[D3DTSS_COLOROP]);
    if (key.colorOp != D3DTOP_DISABLE) {
        const int used = operationArguments(key.colorOp);
        if (used & 1) key.colorArg1 = argument(stage[D3DTSS_COLORARG1], colourReadsTexture);
        if (used & 2) key.colorArg2 = argument(stage[D3DTSS_COLORARG2], colourReadsTexture);
        key.alphaOp = programOperation(stage[D3DTSS_ALPHAOP]);
        if (key.alphaOp != D3DTOP_DISABLE) {
            const int usedAlpha = operationArguments(key.alphaOp);
            if (usedAlpha & 1) key.alphaArg1 = argument(stage[D3DTSS_ALPHAARG1], alphaReadsTexture);
            if (usedAlpha & 2) key.alphaArg2 = argument(stage[D3DTSS_ALPHAARG2], alphaReadsTexture);
        }
    }
    auto* texture = static_cast<GlTexture*>(state_.textures[0].get());
    const bool bound = texture && texture->id() != 0;
    key.hasTexture = (colourReadsTexture || alphaReadsTexture) && bound;
    // A stage whose operation reads a texture while none is bound is passed
    // over: its result is the diffuse colour (a lit, untextured mesh under
    // MODULATE shows its lit colour, not that colour squared).
    if (!bound && colourReadsTexture) {
        key.colorOp = D3DTOP_SELECTARG1;
        key.colorArg1 = D3DTA_DIFFUSE;
        key.colorArg2 = 0;
    }
    if (!bound && alphaReadsTexture) {
        key.alphaOp = D3DTOP_SELECTARG1;
        key.alphaArg1 = D3DTA_DIFFUSE;
        key.alphaArg2 = 0;
    }
    if (rs[D3DRS_ALPHATESTENABLE]) {
        const std::uint32_t func = rs[D3DRS_ALPHAFUNC];
        key.alphaFunc = std::uint8_t(func >= D3DCMP_NEVER && func <= D3DCMP_GREATEREQUAL ? func : D3DCMP_ALWAYS);
    }
    return key;
}

void GlDevice::sendUniforms(GlProgram& program) {
    const GlProgram::Uniforms& u = program.uniforms();
    const auto& rs = state_.renderStates;
    if (program.sent[kGroupTransform] != versions_[kGroupTransform]) {
        const D3DSURFACE_DESC& target = targetDesc();
        if (u.targetSize >= 0) glUniform2f(u.targetSize, float(target.Width), float(target.Height));
        if (u.pixelShift >= 0)
            glUniform2f(u.pixelShift, 1.0f / float(state_.viewport.Width), 1.0f / float(state_.viewport.Height));
        if (u.world >= 0) glUniformMatrix4fv(u.world, 1, GL_FALSE, &state_.world._11);
        if (u.view >= 0) glUniformMatrix4fv(u.view, 1, GL_FALSE, &state_.view._11);
        if (u.projection >= 0) glUniformMatrix4fv(u.projection, 1, GL_FALSE, &state_.projection._11);
        program.sent[kGroupTransform] = versions_[kGroupTransform];
    }
    if (program.sent[kGroupLighting] != versions_[kGroupLighting]) {
        uniformColour(u.materialDiffuse, state_.material.Diffuse);
        uniformColour(u.materialAmbient, state_.material.Ambient);
        uniformColour(u.materialEmissive, state_.material.Emissive);
        uniformArgb(u.globalAmbient, rs[D3DRS_AMBIENT]);
        const D3DLIGHT9& light = state_.lights[0];
        uniformColour(u.lightDiffuse, light.Diffuse);
        uniformColour(u.lightAmbient, light.Ambient);
        const D3DVECTOR& d = light.Direction;
        const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        if (length > 0.0f && u.lightDirection >= 0)
            glUniform3f(u.lightDirection, d.x / length, d.y / length, d.z / length);
        program.sent[kGroupLighting] = versions_[kGroupLighting];
    }
    if (program.sent[kGroupFog] != versions_[kGroupFog]) {
        if (u.fogStart >= 0) glUniform1f(u.fogStart, bitsFloat(rs[D3DRS_FOGSTART]));
        if (u.fogEnd >= 0) glUniform1f(u.fogEnd, bitsFloat(rs[D3DRS_FOGEND]));
        if (u.fogDensity >= 0) glUniform1f(u.fogDensity, bitsFloat(rs[D3DRS_FOGDENSITY]));
        if (u.fogColor >= 0) {
            float fog[4];
            colourFloats(rs[D3DRS_FOGCOLOR], fog);
            glUniform3f(u.fogColor, fog[0], fog[1], fog[2]);
        }
        program.sent[kGroupFog] = versions_[kGroupFog];
    }
    if (program.sent[kGroupFactor] != versions_[kGroupFactor]) {
        uniformArgb(u.textureFactor, rs[D3DRS_TEXTUREFACTOR]);
        if (u.alphaRef >= 0) glUniform1i(u.alphaRef, GLint(rs[D3DRS_ALPHAREF] & 0xFF));
        program.sent[kGroupFactor] = versions_[kGroupFactor];
    }
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
    // the draws that do not minify the texture (see selectSampler).
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
    if (samplerDirty_) applySampler();
    if (fixedDirty_ || lastPretransformed_ != layout.pretransformed) applyFixedStates(layout.pretransformed);
    if (keyDirty_ || lastKeyFvf_ != state_.fvf || !program_) {
        key_ = programKey(layout);
        std::string error;
        program_ = programs_.find(key_, error);
        if (!program_) return false;
        keyDirty_ = false;
        lastKeyFvf_ = state_.fvf;
    }
    gl_.useProgram(program_->id());
    sendUniforms(*program_);
    gl_.bindVertexArray(vao_);
    auto* texture = static_cast<GlTexture*>(state_.textures[0].get());
    gl_.bindTexture(texture ? texture->id() : 0);
    return true;
}

bool GlDevice::wantsFootprint(const VertexLayout& layout) const {
    return anisotropic_ && key_.hasTexture && layout.pretransformed && layout.texCoordOffset >= 0;
}

void GlDevice::selectSampler(bool minifies) {
    // Anisotropic filtering only for draws that minify the texture somewhere:
    // at one texel per pixel or magnified it reads as the linear filter does,
    // as on Direct3D hardware (some OpenGL drivers blur even there). Draws of
    // transformed vertices are taken as minifying.
    gl_.bindSampler(anisotropic_ && minifies ? sampler_ : plainSampler_);
}

void GlDevice::bufferDeleted(GLuint buffer) {
    gl_.bufferDeleted(buffer);
    if (vertexBinding_.buffer == buffer) vertexBinding_ = {};
}

void GlDevice::bindVertices(GLuint buffer, std::uint64_t offset, std::uint32_t stride, std::uint32_t fvf) {
    if (vertexBinding_.buffer == buffer && vertexBinding_.offset == offset && vertexBinding_.stride == stride &&
        vertexBinding_.fvf == fvf)
        return;
    vertexBinding_ = {buffer, offset, stride, fvf};
    const VertexLayout layout = vertexLayout(fvf);
    gl_.bindBuffer(GL_ARRAY_BUFFER, buffer);
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
    bool minifies = true;
    if (wantsFootprint(layout)) {
        const std::uint8_t* first = buffer->store().bytes().data() + state_.streamOffset +
                                    std::uint64_t(startVertex) * state_.streamStride;
        const D3DSURFACE_DESC& size = static_cast<GlTexture*>(state_.textures[0].get())->levelDesc(0);
        const std::uint32_t stride = state_.streamStride;
        minifies = drawMinifies(
            type, count, [&](std::uint64_t i) { return first + i * stride; }, layout.texCoordOffset,
            float(size.Width), float(size.Height));
    }
    selectSampler(minifies);
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
    bool minifies = true;
    if (wantsFootprint(layout)) {
        const std::uint8_t* base = vertices->store().bytes().data() + state_.streamOffset;
        const std::uint8_t* index = indices->store().bytes().data();
        const bool wide = indices->index32();
        const std::uint32_t stride = state_.streamStride;
        const D3DSURFACE_DESC& size = static_cast<GlTexture*>(state_.textures[0].get())->levelDesc(0);
        minifies = drawMinifies(
            type, count,
            [&](std::uint64_t i) {
                std::uint32_t value = 0;
                if (wide) {
                    std::memcpy(&value, index + (std::uint64_t(startIndex) + i) * 4, 4);
                } else {
                    std::uint16_t narrow;
                    std::memcpy(&narrow, index + (std::uint64_t(startIndex) + i) * 2, 2);
                    value = narrow;
                }
                return base + std::uint64_t(std::int64_t(value) + baseVertexIndex) * stride;
            },
            layout.texCoordOffset, float(size.Width), float(size.Height));
    }
    selectSampler(minifies);
    bindVertices(vertices->store().id(), state_.streamOffset, state_.streamStride, state_.fvf);
    gl_.bindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices->store().id());
    const std::uintptr_t indexSize = indices->index32() ? 4 : 2;
    glDrawElementsBaseVertex(primitiveMode(type), GLsizei(count),
                             indices->index32() ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(std::uintptr_t(startIndex) * indexSize), baseVertexIndex);
    return D3D_OK;
}

bool GlDevice::streamUserVertices(const void* vertices, std::uint64_t bytes, std::uint32_t stride, GLint& first) {
    // Draws follow one another in the ring, each starting on a whole vertex
    // of its own stride, so the vertex set-up at offset 0 serves them all; a
    // full ring starts over in fresh storage (draws in flight keep the old).
    constexpr std::uint64_t kMinimumRing = 1u << 20;
    gl_.bindBuffer(GL_ARRAY_BUFFER, ring_);
    std::uint64_t start = (ringCursor_ + stride - 1) / stride * stride;
    if (ringSize_ == 0 || start + bytes > ringSize_) {
        ringSize_ = std::max({ringSize_, kMinimumRing, bytes});
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(ringSize_), nullptr, GL_STREAM_DRAW);
        start = 0;
    }
    void* mapped = glMapBufferRange(GL_ARRAY_BUFFER, GLintptr(start), GLsizeiptr(bytes),
                                    GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (mapped) {
        std::memcpy(mapped, vertices, bytes);
        if (!glUnmapBuffer(GL_ARRAY_BUFFER)) return false;
    } else {
        glBufferSubData(GL_ARRAY_BUFFER, GLintptr(start), GLsizeiptr(bytes), vertices);
    }
    ringCursor_ = start + bytes;
    first = GLint(start / stride);
    return true;
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
    bool minifies = true;
    if (wantsFootprint(layout)) {
        const auto* first = static_cast<const std::uint8_t*>(vertices);
        const D3DSURFACE_DESC& size = static_cast<GlTexture*>(state_.textures[0].get())->levelDesc(0);
        minifies = drawMinifies(
            type, count, [&](std::uint64_t i) { return first + i * stride; }, layout.texCoordOffset,
            float(size.Width), float(size.Height));
    }
    selectSampler(minifies);
    GLint first = 0;
    if (!streamUserVertices(vertices, count * stride, stride, first)) return D3DERR_INVALIDCALL;
    // The ring's position counts in vertices of this stride; OpenGL's first
    // vertex is a signed int.
    if (std::uint64_t(first) + count > kMaxDrawVertices) return D3DERR_INVALIDCALL;
    bindVertices(ring_, 0, stride, state_.fvf);
    glDrawArrays(primitiveMode(type), first, GLsizei(count));
    return D3D_OK;
}

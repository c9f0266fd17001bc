#include "platform/gfx/GlResources.h"

#include <algorithm>
#include <cstring>

#include "platform/gfx/DeviceState.h"
#include "platform/gfx/GfxFormat.h"
#include "platform/gfx/GlDevice.h"
// Last: counts the OpenGL calls below.
#include "platform/gfx/GlCounted.h"

GlPixelFormat glPixelFormat(D3DFORMAT format, bool renderTarget) {
    GlPixelFormat f;  // A8R8G8B8: bytes B, G, R, A
    switch (format) {
    case D3DFMT_X8R8G8B8:
        f.forceOpaque = true;
        break;
    case D3DFMT_R5G6B5:
        f.internalFormat = GL_RGB565;
        f.format = GL_RGB;
        f.type = GL_UNSIGNED_SHORT_5_6_5;
        break;
    case D3DFMT_A1R5G5B5:
    case D3DFMT_X1R5G5B5:
        f.internalFormat = GL_RGB5_A1;
        f.type = GL_UNSIGNED_SHORT_1_5_5_5_REV;
        f.forceOpaque = format == D3DFMT_X1R5G5B5;
        break;
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
        f.internalFormat = GL_RGBA4;
        f.type = GL_UNSIGNED_SHORT_4_4_4_4_REV;
        f.forceOpaque = format == D3DFMT_X4R4G4B4;
        break;
    case D3DFMT_R8G8B8:
        f.internalFormat = GL_RGB8;
        f.format = GL_BGR;
        f.type = GL_UNSIGNED_BYTE;
        break;
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
        f.format = GL_RGBA;
        f.type = GL_UNSIGNED_BYTE;
        f.forceOpaque = format == D3DFMT_X8B8G8R8;
        break;
    case D3DFMT_A8:
        f.internalFormat = GL_R8;
        f.format = GL_RED;
        f.type = GL_UNSIGNED_BYTE;
        f.swizzle[0] = f.swizzle[1] = f.swizzle[2] = GL_ZERO;
        f.swizzle[3] = GL_RED;
        break;
    case D3DFMT_L8:
        f.internalFormat = GL_R8;
        f.format = GL_RED;
        f.type = GL_UNSIGNED_BYTE;
        f.swizzle[0] = f.swizzle[1] = f.swizzle[2] = GL_RED;
        f.swizzle[3] = GL_ONE;
        break;
    case D3DFMT_A8L8:
        f.internalFormat = GL_RG8;
        f.format = GL_RG;
        f.type = GL_UNSIGNED_BYTE;
        f.swizzle[0] = f.swizzle[1] = f.swizzle[2] = GL_RED;
        f.swizzle[3] = GL_GREEN;
        break;
    default:
        f.expandBlocks = isBlockCompressed(format);
        break;
    }
    if (renderTarget && format != D3DFMT_R5G6B5 && format != D3DFMT_A1R5G5B5 && format != D3DFMT_X1R5G5B5) {
        // Render targets of other formats draw into 8-bit channels.
        f.internalFormat = GL_RGBA8;
        f.format = GL_BGRA;
        f.type = GL_UNSIGNED_INT_8_8_8_8_REV;
    }
    if (f.forceOpaque) f.swizzle[3] = GL_ONE;
    return f;
}

// ---------------------------------------------------------------------------

GlResource::GlResource(GlDevice* device, D3DPOOL pool, std::uint64_t bytes, bool counted)
    : device_(device), bytes_(counted && countsAsVideoMemory(pool) ? bytes : 0) {
    device_->track(this);
}

GlResource::~GlResource() {
    if (device_) device_->forget(this, bytes_);
}

void GlResource::orphan() {
    deleteGlObjects();
    device_ = nullptr;
}

// ---------------------------------------------------------------------------

GlTexture::GlTexture(GlDevice* device, std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                     std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, std::uint64_t bytes)
    : GlResource(device, pool, bytes),
      pixelFormat_(glPixelFormat(format, usage & D3DUSAGE_RENDERTARGET)),
      levels_(width, height, levels, usage, format, pool, false) {
    const bool renderTarget = usage & D3DUSAGE_RENDERTARGET;
    lockedRects_.resize(levels);
    glGenTextures(1, &id_);
    device->stateCache().bindTexture(id_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(levels) - 1);
    glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, pixelFormat_.swizzle);
    for (std::uint32_t level = 0; level < levels; ++level) {
        // Lockable textures start as zero bytes, as their CPU copy does.
        if (renderTarget) {
            glTexImage2D(GL_TEXTURE_2D, GLint(level), GLint(pixelFormat_.internalFormat),
                         GLsizei(levels_.desc(level).Width), GLsizei(levels_.desc(level).Height), 0,
                         pixelFormat_.format, pixelFormat_.type, nullptr);
        } else {
            const D3DSURFACE_DESC& desc = levels_.desc(level);
            upload(level, {0, 0, std::int32_t(desc.Width), std::int32_t(desc.Height)}, true);
        }
    }
}

GlTexture::~GlTexture() {
    if (device_) deleteGlObjects();
}

void GlTexture::deleteGlObjects() {
    if (id_) {
        glDeleteTextures(1, &id_);
        device_->stateCache().textureDeleted(id_);
    }
    id_ = 0;
}

void GlTexture::upload(std::uint32_t level, const D3DRECT& rect, bool whole) {
    const D3DSURFACE_DESC& desc = levels_.desc(level);
    const std::vector<std::uint8_t>& bytes = levels_.bytes(level);
    GlStateCache& gl = device_->stateCache();
    gl.bindTexture(id_);
    const GLsizei w = GLsizei(desc.Width), h = GLsizei(desc.Height);
    if (pixelFormat_.expandBlocks) {
        // Blocks are expanded level by level.
        std::vector<std::uint32_t> argb(std::size_t(w) * h);
        decodeBlockCompressed(desc.Format, bytes.data(), desc.Width, desc.Height, argb.data());
        gl.unpackRowLength(0);
        if (whole)
            glTexImage2D(GL_TEXTURE_2D, GLint(level), GLint(pixelFormat_.internalFormat), w, h, 0, GL_BGRA,
                         GL_UNSIGNED_INT_8_8_8_8_REV, argb.data());
        else
            glTexSubImage2D(GL_TEXTURE_2D, GLint(level), 0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                            argb.data());
        return;
    }
    if (whole) {
        gl.unpackRowLength(0);
        glTexImage2D(GL_TEXTURE_2D, GLint(level), GLint(pixelFormat_.internalFormat), w, h, 0, pixelFormat_.format,
                     pixelFormat_.type, bytes.data());
        return;
    }
    // Only the rectangle, read out of the copy's rows.
    const std::uint32_t pixelBytes = bitsPerPixel(desc.Format) / 8;
    const GLsizei rw = rect.x2 - rect.x1, rh = rect.y2 - rect.y1;
    if (rw <= 0 || rh <= 0) return;
    gl.unpackRowLength(rw == w ? 0 : w);
    const std::uint8_t* first = bytes.data() + std::size_t(rect.y1) * rowPitch(desc.Format, desc.Width) +
                                std::size_t(rect.x1) * pixelBytes;
    glTexSubImage2D(GL_TEXTURE_2D, GLint(level), rect.x1, rect.y1, rw, rh, pixelFormat_.format, pixelFormat_.type,
                    first);
}

HRESULT GlTexture::getLevelDesc(std::uint32_t level, D3DSURFACE_DESC* desc) { return levels_.getDesc(level, desc); }

HRESULT GlTexture::lockRect(std::uint32_t level, D3DLOCKED_RECT* locked, const D3DRECT* rect, std::uint32_t flags) {
    if (!device_) return D3DERR_INVALIDCALL;
    if (HRESULT kept = levels_.lock(level, locked, rect, flags); FAILED(kept)) return kept;
    const D3DSURFACE_DESC& desc = levels_.desc(level);
    lockedRects_[level] = rect ? *rect : D3DRECT{0, 0, std::int32_t(desc.Width), std::int32_t(desc.Height)};
    return D3D_OK;
}

HRESULT GlTexture::unlockRect(std::uint32_t level) {
    if (HRESULT unlocked = levels_.unlock(level); FAILED(unlocked)) return unlocked;
    if (device_ && !levels_.lockedReadOnly(level)) upload(level, lockedRects_[level], false);
    return D3D_OK;
}

HRESULT GlTexture::getSurfaceLevel(std::uint32_t level, GfxSurface** surface) {
    if (!device_ || !levels_.has(level) || !surface) return D3DERR_INVALIDCALL;
    *surface = new GlSurface(device_, this, level);
    return D3D_OK;
}

// ---------------------------------------------------------------------------

GlSurface::GlSurface(GlDevice* device, const D3DSURFACE_DESC& desc, bool counted)
    : GlResource(device, desc.Pool, levelBytes(desc.Format, desc.Width, desc.Height), counted), desc_(desc) {}

GlSurface::GlSurface(GlDevice* device, GlTexture* texture, std::uint32_t level)
    : GlResource(device, texture->levelDesc(level).Pool, 0, false),
      desc_(texture->levelDesc(level)),
      container_(texture),
      texture_(texture->id()),
      level_(GLint(level)) {}

GlSurface* GlSurface::makeBackBuffer(GlDevice* device, const D3DSURFACE_DESC& desc) {
    auto* surface = new GlSurface(device, desc, false);
    GlPixelFormat f = glPixelFormat(desc.Format, true);
    glGenTextures(1, &surface->texture_);
    device->stateCache().bindTexture(surface->texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(f.internalFormat), GLsizei(desc.Width), GLsizei(desc.Height), 0, f.format,
                 f.type, nullptr);
    surface->ownsTexture_ = true;
    return surface;
}

GlSurface* GlSurface::makeDepth(GlDevice* device, const D3DSURFACE_DESC& desc, bool counted) {
    auto* surface = new GlSurface(device, desc, counted);
    const bool sixteen = desc.Format == D3DFMT_D16 || desc.Format == D3DFMT_D16_LOCKABLE;
    // Only the formats with stencil bits have a stencil to clear or test.
    surface->hasStencil_ = hasStencilBits(desc.Format);
    glGenRenderbuffers(1, &surface->renderbuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, surface->renderbuffer_);
    glRenderbufferStorage(GL_RENDERBUFFER,
                          sixteen                ? GL_DEPTH_COMPONENT16
                          : surface->hasStencil_ ? GL_DEPTH24_STENCIL8
                                                 : GL_DEPTH_COMPONENT24,
                          GLsizei(desc.Width), GLsizei(desc.Height));
    return surface;
}

GlSurface::~GlSurface() {
    if (device_) deleteGlObjects();
}

void GlSurface::deleteGlObjects() {
    if (ownsTexture_ && texture_) {
        glDeleteTextures(1, &texture_);
        device_->stateCache().textureDeleted(texture_);
    }
    if (renderbuffer_) glDeleteRenderbuffers(1, &renderbuffer_);
    texture_ = 0;
    renderbuffer_ = 0;
    ownsTexture_ = false;
}

HRESULT GlSurface::getDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}

HRESULT GlSurface::lockRect(D3DLOCKED_RECT* locked, const D3DRECT* rect, std::uint32_t /*flags*/) {
    // Colour surfaces are read back; what the caller writes into the copy is
    // not drawn.
    if (!device_ || !locked || locked_ || isDepth() || !texture_) return D3DERR_INVALIDCALL;
    if (!device_->readPixels(*this, readBack_)) return D3DERR_INVALIDCALL;
    std::uint64_t offset = 0;
    if (!lockedRectOffset(desc_.Format, desc_.Width, desc_.Height, rect, offset)) return D3DERR_INVALIDCALL;
    locked->Pitch = std::int32_t(rowPitch(desc_.Format, desc_.Width));
    locked->pBits = readBack_.data() + offset;
    locked_ = true;
    return D3D_OK;
}

HRESULT GlSurface::unlockRect() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    return D3D_OK;
}

// ---------------------------------------------------------------------------

GlBufferStore::GlBufferStore(GlDevice* device, std::uint32_t length, GLenum usage)
    : device_(device),
      bytes_(static_cast<std::uint8_t*>(std::calloc(length ? length : 1, 1))),
      length_(bytes_ ? length : 0),
      usage_(usage) {
    glGenBuffers(1, &id_);
    device_->stateCache().bindBuffer(GL_COPY_WRITE_BUFFER, id_);
    glBufferData(GL_COPY_WRITE_BUFFER, GLsizeiptr(length_), bytes_.get(), usage_);
}

void GlBufferStore::destroy() {
    if (id_) {
        glDeleteBuffers(1, &id_);
        device_->bufferDeleted(id_);
    }
    id_ = 0;
}

HRESULT GlBufferStore::lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) {
    if (!data || !id_ || !bufferLockRange(offset, size, length_)) return D3DERR_INVALIDCALL;
    if (locks_ == 0) {
        dirtyBegin_ = offset;
        dirtyEnd_ = offset + size;
        discard_ = false;
        noOverwrite_ = true;
    } else {
        dirtyBegin_ = std::min(dirtyBegin_, offset);
        dirtyEnd_ = std::max(dirtyEnd_, offset + size);
    }
    if (flags & D3DLOCK_DISCARD) discard_ = true;
    // The promise holds for the upload only when every lock made it.
    if (!(flags & D3DLOCK_NOOVERWRITE)) noOverwrite_ = false;
    if (flags & D3DLOCK_READONLY) {
        if (locks_ == 0) dirtyEnd_ = dirtyBegin_;
    }
    ++locks_;
    *data = bytes_.get() + offset;
    return D3D_OK;
}

HRESULT GlBufferStore::unlock() {
    if (locks_ == 0) return D3DERR_INVALIDCALL;
    if (--locks_ > 0 || !id_) return D3D_OK;
    GlStateCache& gl = device_->stateCache();
    const std::uint8_t* range = bytes_.get() + dirtyBegin_;
    const std::uint32_t size = dirtyEnd_ - dirtyBegin_;
    if (size == 0) return D3D_OK;
    gl.bindBuffer(GL_COPY_WRITE_BUFFER, id_);
    if (noOverwrite_ || discard_) {
        // NOOVERWRITE: unsynchronized, the caller promising that no draw in
        // flight reads the range. DISCARD: only the written range is
        // replaced (its old contents invalidated, so the driver need not
        // keep them for draws in flight); the rest of the storage keeps
        // the copy's bytes, so every byte a draw reads on the GPU is the
        // one the bounds checks saw.
        const GLbitfield access = GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT |
                                  (noOverwrite_ && !discard_ ? GL_MAP_UNSYNCHRONIZED_BIT : 0);
        void* mapped = glMapBufferRange(GL_COPY_WRITE_BUFFER, GLintptr(dirtyBegin_), GLsizeiptr(size), access);
        // A map that fails, or storage lost while mapped, is written in place.
        if (!mapped || (std::memcpy(mapped, range, size), !glUnmapBuffer(GL_COPY_WRITE_BUFFER)))
            glBufferSubData(GL_COPY_WRITE_BUFFER, GLintptr(dirtyBegin_), GLsizeiptr(size), range);
    } else {
        glBufferSubData(GL_COPY_WRITE_BUFFER, GLintptr(dirtyBegin_), GLsizeiptr(size), range);
    }
    GlCallCount::bufferUploadBytes += size;
    return D3D_OK;
}

template <class Interface, class Desc>
GlBuffer<Interface, Desc>::GlBuffer(GlDevice* device, const Desc& desc)
    : GlResource(device, desc.Pool, desc.Size),
      desc_(desc),
      store_(device, desc.Size, (desc.Usage & D3DUSAGE_DYNAMIC) ? GL_STREAM_DRAW : GL_STATIC_DRAW) {}

template <class Interface, class Desc>
GlBuffer<Interface, Desc>::~GlBuffer() {
    if (device_) deleteGlObjects();
}

template <class Interface, class Desc>
HRESULT GlBuffer<Interface, Desc>::getDesc(Desc* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}

template <class Interface, class Desc>
HRESULT GlBuffer<Interface, Desc>::lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) {
    if (!device_) return D3DERR_INVALIDCALL;
    return store_.lock(offset, size, data, flags);
}

template <class Interface, class Desc>
HRESULT GlBuffer<Interface, Desc>::unlock() {
    return store_.unlock();
}

template class GlBuffer<GfxVertexBuffer, D3DVERTEXBUFFER_DESC>;
template class GlBuffer<GfxIndexBuffer, D3DINDEXBUFFER_DESC>;


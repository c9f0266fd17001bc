// The OpenGL backend's textures, surfaces and buffers. Each keeps a CPU copy
// of what the engine locks and uploads what was locked at unlock (the
// rectangle of a texture level, the range of a buffer); each belongs to one
// device, and when the device goes first its OpenGL objects are deleted and
// the resource is orphaned (its calls then fail, release still works).
#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/GlContext.h"
#include "platform/gfx/TextureLevels.h"

class GlDevice;

// How a Direct3D format is stored and uploaded in OpenGL.
struct GlPixelFormat {
    GLenum internalFormat = GL_RGBA8;
    GLenum format = GL_BGRA;
    GLenum type = GL_UNSIGNED_INT_8_8_8_8_REV;
    GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
    bool expandBlocks = false;  // DXT data is expanded to A8R8G8B8 on upload
    bool forceOpaque = false;   // an X8 format: alpha reads 1
};
GlPixelFormat glPixelFormat(D3DFORMAT format, bool renderTarget);

class GlResource {
public:
    GlResource(GlDevice* device, D3DPOOL pool, std::uint64_t bytes, bool counted = true);
    virtual ~GlResource();
    // The device is going: delete the OpenGL objects now, while its context exists.
    void orphan();
    GlDevice* device() const { return device_; }

protected:
    virtual void deleteGlObjects() = 0;
    GlDevice* device_;
    std::uint64_t bytes_;
};

class GlTexture : public GfxTexture, public GlResource {
public:
    GlTexture(GlDevice* device, std::uint32_t width, std::uint32_t height, std::uint32_t levels, std::uint32_t usage,
              D3DFORMAT format, D3DPOOL pool, std::uint64_t bytes);
    ~GlTexture() override;

    std::uint32_t getLevelCount() override { return levels_.count(); }
    HRESULT getLevelDesc(std::uint32_t level, D3DSURFACE_DESC* desc) override;
    HRESULT lockRect(std::uint32_t level, D3DLOCKED_RECT* locked, const D3DRECT* rect, std::uint32_t flags) override;
    HRESULT unlockRect(std::uint32_t level) override;
    HRESULT getSurfaceLevel(std::uint32_t level, GfxSurface** surface) override;

    GLuint id() const { return id_; }
    const D3DSURFACE_DESC& levelDesc(std::uint32_t level) const { return levels_.desc(level); }

private:
    void deleteGlObjects() override;
    // Sends a rectangle of a level's CPU copy; `whole` when the level's
    // storage is being made.
    void upload(std::uint32_t level, const D3DRECT& rect, bool whole);

    GLuint id_ = 0;
    GlPixelFormat pixelFormat_;
    TextureLevels levels_;  // the CPU copy of lockable levels
    std::vector<D3DRECT> lockedRects_;  // per level, what the open lock covers
};

// A colour surface (a texture level, or the back buffer with a texture of its
// own) or a depth-stencil surface (a renderbuffer).
class GlSurface : public GfxSurface, public GlResource {
public:
    // The back buffer: owns its texture.
    static GlSurface* makeBackBuffer(GlDevice* device, const D3DSURFACE_DESC& desc);
    // A depth-stencil surface; `counted` as GlResource.
    static GlSurface* makeDepth(GlDevice* device, const D3DSURFACE_DESC& desc, bool counted);
    // Level `level` of a texture, keeping the texture alive.
    GlSurface(GlDevice* device, GlTexture* texture, std::uint32_t level);
    ~GlSurface() override;

    HRESULT getDesc(D3DSURFACE_DESC* desc) override;
    HRESULT lockRect(D3DLOCKED_RECT* locked, const D3DRECT* rect, std::uint32_t flags) override;
    HRESULT unlockRect() override;

    bool isDepth() const { return renderbuffer_ != 0; }
    GLuint texture() const { return texture_; }
    GLint level() const { return level_; }
    GLuint renderbuffer() const { return renderbuffer_; }
    bool hasStencil() const { return hasStencil_; }
    const D3DSURFACE_DESC& desc() const { return desc_; }

private:
    GlSurface(GlDevice* device, const D3DSURFACE_DESC& desc, bool counted);
    void deleteGlObjects() override;

    D3DSURFACE_DESC desc_;
    GfxRef<GfxTexture> container_;
    GLuint texture_ = 0;
    GLint level_ = 0;
    bool ownsTexture_ = false;
    GLuint renderbuffer_ = 0;
    bool hasStencil_ = false;
    std::vector<std::uint8_t> readBack_;
    bool locked_ = false;
};

// The storage and lock rules shared by vertex and index buffers: the CPU
// copy (the draws check indices and read texture footprints in it), the
// range locked since the last upload, and the OpenGL buffer, which always
// holds the copy's bytes. A lock hands out the CPU copy; the unlock sends
// only the locked range, so a lock costs what the caller writes:
// - DISCARD: the range mapped with its old contents invalidated (draws in
//   flight keep what they read; no fresh storage of the whole length);
// - NOOVERWRITE: mapped unsynchronized, the caller promising not to touch
//   what draws in flight read;
// - otherwise written in place, waiting for draws that read it.
class GlBufferStore {
public:
    GlBufferStore(GlDevice* device, std::uint32_t length, GLenum usage);
    HRESULT lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags);
    HRESULT unlock();
    void destroy();
    GLuint id() const { return id_; }
    std::span<const std::uint8_t> bytes() const { return {bytes_.get(), length_}; }

private:
    struct FreeBytes {
        void operator()(std::uint8_t* bytes) const { std::free(bytes); }
    };
    GlDevice* device_;
    // The copy that locks write into, zero at creation. calloc gives large
    // buffers pages that stay unmapped (and cost no memory) until written:
    // the mesh passes' buffers are 2 MB each and mostly unused.
    std::unique_ptr<std::uint8_t[], FreeBytes> bytes_;
    std::uint32_t length_;
    GLuint id_ = 0;
    GLenum usage_;
    int locks_ = 0;
    std::uint32_t dirtyBegin_ = 0, dirtyEnd_ = 0;
    bool discard_ = false, noOverwrite_ = false;
};

// What vertex and index buffers share: the description and the storage.
template <class Interface, class Desc>
class GlBuffer : public Interface, public GlResource {
public:
    GlBuffer(GlDevice* device, const Desc& desc);
    ~GlBuffer() override;
    HRESULT getDesc(Desc* desc) override;
    HRESULT lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) override;
    HRESULT unlock() override;
    const GlBufferStore& store() const { return store_; }

protected:
    void deleteGlObjects() override { store_.destroy(); }
    Desc desc_;
    GlBufferStore store_;
};

class GlVertexBuffer : public GlBuffer<GfxVertexBuffer, D3DVERTEXBUFFER_DESC> {
public:
    using GlBuffer::GlBuffer;
};

class GlIndexBuffer : public GlBuffer<GfxIndexBuffer, D3DINDEXBUFFER_DESC> {
public:
    using GlBuffer::GlBuffer;
    bool index32() const { return desc_.Format == D3DFMT_INDEX32; }
};

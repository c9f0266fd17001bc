#include "graphics/Texture.h"

#include <cstring>
#include <string>

#include "graphics/D3DDevice.h"
#include "platform/Text.h"
#include "platform/gfx/GfxFormat.h"
#include "services/ArchiveManager.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"

namespace {
constexpr std::string_view kSource = "Texture";
constexpr std::string_view kFolder = "texture";
// A DDS file's magic number and header, which loadSurface skips.
constexpr std::size_t kSurfaceHeaderBytes = 128;
}  // namespace

Texture::Texture() = default;

Texture::~Texture() {
    glyphBuffer_.reset();
    texture_.reset();
    glyphFont_.reset();
    source_.reset();
}

void Texture::init() { texture_.reset(); }

HRESULT Texture::createEmpty(std::uint32_t width, std::uint32_t height, D3DFORMAT format) {
    GfxRef<GfxTexture> made;
    HRESULT hr = g_d3dDevice ? g_d3dDevice->createTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, made.put())
                             : D3DERR_INVALIDCALL;
    if (FAILED(hr)) {
        logFailure(kSource, 109, hr);
        logLine(" width:" + std::to_string(width) + " height:" + std::to_string(height) +
                " format:" + std::to_string(static_cast<std::uint32_t>(format)));
        return hr;
    }
    texture_ = made;
    imageInfo_.Width = width;
    imageInfo_.Height = height;
    imageInfo_.Format = format;
    return D3D_OK;
}

HRESULT Texture::load(std::string_view name, std::uint32_t filter, std::uint32_t mipLevels) {
    const std::string logName = text::cp932ToUtf8(name);
    // The archive ends the program when it cannot deliver the entry.
    const std::uint32_t storedSize = g_archiveManager ? g_archiveManager->lookupEntry(kFolder, name) : 0;
    const ArchiveBytes bytes =
        g_archiveManager ? g_archiveManager->readRle32Entry(kFolder, name, storedSize) : ArchiveBytes{};
    // The byte count is the size of the bytes returned: the archive's own
    // last-size word is shared with the loader threads.
    const auto count = static_cast<std::uint32_t>(bytes.size());

    GfxTexture* made = nullptr;
    HRESULT hr = g_d3dDevice ? D3DXCreateTextureFromFileInMemoryEx(g_d3dDevice, bytes.data(), count, D3DX_DEFAULT,
                                                                   D3DX_DEFAULT, mipLevels, 0, D3DFMT_UNKNOWN,
                                                                   D3DPOOL_MANAGED, filter, D3DX_DEFAULT, kColorKey,
                                                                   nullptr, nullptr, &made)
                             : D3DERR_INVALIDCALL;
    texture_ = GfxRef<GfxTexture>::adopt(made);
    if (FAILED(hr)) {
        logLine(logName + " " + std::to_string(count) + " " + std::to_string(storedSize));
        logFailure(kSource, 65, hr, logName);
        return hr;
    }
    hr = D3DXGetImageInfoFromFileInMemory(bytes.data(), count, &imageInfo_);
    if (FAILED(hr)) {
        logFailure(kSource, 69, hr);
        return hr;
    }
    setName(name);
    return D3D_OK;
}

HRESULT Texture::loadSurface(std::string_view name) {
    const std::string logName = text::cp932ToUtf8(name);
    const std::uint32_t storedSize = g_archiveManager ? g_archiveManager->lookupEntry(kFolder, name) : 0;
    const ArchiveBytes bytes =
        g_archiveManager ? g_archiveManager->readRle32Entry(kFolder, name, storedSize) : ArchiveBytes{};
    auto refuse = [&](HRESULT hr) {
        logFailure(kSource, 137, hr, logName);
        return hr;
    };
    D3DXIMAGE_INFO info;
    if (HRESULT hr = D3DXGetImageInfoFromFileInMemory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &info);
        FAILED(hr))
        return refuse(hr);
    D3DSURFACE_DESC desc;
    if (!texture_ || FAILED(texture_->getLevelDesc(0, &desc))) return refuse(D3DXERR_INVALIDDATA);
    // The entry must be longer than its header, describe this very level and
    // hold all of it.
    const std::uint64_t needed = levelBytes(desc.Format, desc.Width, desc.Height);
    if (bytes.size() <= kSurfaceHeaderBytes || info.Width != desc.Width || info.Height != desc.Height ||
        info.Format != desc.Format || bytes.size() - kSurfaceHeaderBytes < needed)
        return refuse(D3DXERR_INVALIDDATA);
    D3DLOCKED_RECT locked;
    if (HRESULT hr = texture_->lockRect(0, &locked, nullptr, 0); FAILED(hr)) {
        logFailure(kSource, 148, hr);
        return hr;
    }
    const std::uint32_t pitch = rowPitch(desc.Format, desc.Width), rows = rowCount(desc.Format, desc.Height);
    for (std::uint32_t r = 0; r < rows; ++r) {
        std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + std::ptrdiff_t(locked.Pitch) * r,
                    bytes.data() + kSurfaceHeaderBytes + std::size_t(pitch) * r, pitch);
    }
    texture_->unlockRect(0);
    return D3D_OK;
}

HRESULT Texture::clearSurface() {
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    HRESULT hr = texture_ ? texture_->getLevelDesc(0, &desc) : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) hr = texture_->lockRect(0, &locked, nullptr, 0);
    if (FAILED(hr)) {
        logFailure(kSource, 165, hr);
        return hr;
    }
    const std::uint32_t pitch = rowPitch(desc.Format, desc.Width), rows = rowCount(desc.Format, desc.Height);
    for (std::uint32_t r = 0; r < rows; ++r)
        std::memset(static_cast<std::uint8_t*>(locked.pBits) + std::ptrdiff_t(locked.Pitch) * r, 0, pitch);
    texture_->unlockRect(0);
    return D3D_OK;
}

void Texture::releaseAll() {
    glyphBuffer_.reset();
    texture_.reset();
}

#include "graphics/FrameCapture.h"

#include <cstring>

#include "platform/gfx/PngWriter.h"

HRESULT captureFrame(GfxDevice* device, FramePicture& picture) {
    picture = FramePicture();
    if (!device) return E_FAIL;
    GfxRef<GfxSurface> target;
    HRESULT hr = device->getRenderTarget(0, target.put());
    if (FAILED(hr)) return hr;
    D3DSURFACE_DESC desc;
    if (FAILED(hr = target->getDesc(&desc))) return hr;
    if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8) return D3DERR_INVALIDCALL;
    D3DLOCKED_RECT locked;
    if (FAILED(hr = target->lockRect(&locked, nullptr, D3DLOCK_READONLY))) return hr;
    picture.width = desc.Width;
    picture.height = desc.Height;
    picture.format = desc.Format;
    picture.argb.resize(std::size_t(desc.Width) * desc.Height);
    for (std::uint32_t y = 0; y < desc.Height; ++y)
        std::memcpy(&picture.argb[std::size_t(y) * desc.Width],
                    static_cast<const std::uint8_t*>(locked.pBits) + std::size_t(y) * std::size_t(locked.Pitch),
                    std::size_t(desc.Width) * 4);
    target->unlockRect();
    return S_OK;
}

bool encodeFramePng(const FramePicture& picture, std::vector<std::uint8_t>& png) {
    // The back buffer's alpha is what the frame's blending left there, not
    // coverage: a cleared background would look transparent in a viewer.
    return encodePngRgb(picture.width, picture.height, picture.argb.data(), png);
}

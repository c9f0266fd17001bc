// Image files (BMP, TGA, PNG, JPEG, DDS: the loader tells them by their
// bytes) -> the image info and a texture, made as the texture manager makes
// it (a full mip chain, a colour key) on a recording device.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/Window.h"
#include "platform/gfx/D3DXImage.h"
#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/RecordingDevice.h"

namespace {
struct Device {
    RecordingBackend backend;
    TestWindow window;
    GfxRef<GfxAdapter> adapter;
    GfxRef<GfxDevice> device;
    Device() {
        adapter = GfxRef<GfxAdapter>::adopt(GfxAdapter::create(D3D_SDK_VERSION));
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = 64;
        p.BackBufferHeight = 64;
        p.BackBufferFormat = D3DFMT_A8R8G8B8;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = 1;
        window.create("fuzz", 0, 0, 64, 64, nullptr);
        if (!adapter || adapter->createDevice(0, D3DDEVTYPE_HAL, &window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p,
                                              device.put()) != D3D_OK)
            std::abort();
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Device* made = new Device();
    made->backend.clearCalls();
    D3DXIMAGE_INFO info{};
    const bool known = SUCCEEDED(D3DXGetImageInfoFromFileInMemory(data, static_cast<std::uint32_t>(size), &info));
    GfxTexture* texture = nullptr;
    const HRESULT result = D3DXCreateTextureFromFileInMemoryEx(
        made->device.get(), data, static_cast<std::uint32_t>(size), 0, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
        D3DX_DEFAULT, D3DX_DEFAULT, 0xFF000000, nullptr, nullptr, &texture);
    if (SUCCEEDED(result) && !known) std::abort();  // a texture from a file whose info was refused
    if (texture) texture->release();
    return 0;
}

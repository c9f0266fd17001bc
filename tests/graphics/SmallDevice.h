// A small windowed device for the suites that only need one to make textures
// on: 64 x 64 A8R8G8B8, one back buffer, no depth buffer.
#pragma once
#include <gtest/gtest.h>

#include "platform/Window.h"
#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/GfxDevice.h"

// The adapter of the installed graphics backend and a device on it for the
// window; a failed creation fails the test that asked.
inline void createSmallDevice(Window& window, GfxRef<GfxAdapter>& adapter, GfxRef<GfxDevice>& device) {
    adapter = GfxRef<GfxAdapter>::adopt(GfxAdapter::create(D3D_SDK_VERSION));
    ASSERT_TRUE(adapter);
    D3DPRESENT_PARAMETERS p;
    p.BackBufferWidth = 64;
    p.BackBufferHeight = 64;
    p.BackBufferFormat = D3DFMT_A8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = 1;
    ASSERT_EQ(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, device.put()),
              D3D_OK);
}

// Checks that hold for every graphics backend, run by each backend's suite.
#pragma once
#include <gtest/gtest.h>

#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/GfxFormat.h"

// Only a depth format with stencil bits has a stencil to clear.
inline void expectStencilClearsNeedAStencilFormat(GfxDevice* device) {
    const struct {
        D3DFORMAT format;
        HRESULT expected;
    } cases[] = {{D3DFMT_D16, D3DERR_INVALIDCALL}, {D3DFMT_D24X8, D3DERR_INVALIDCALL}, {D3DFMT_D24S8, D3D_OK}};
    for (const auto& c : cases) {
        GfxRef<GfxSurface> depth;
        ASSERT_EQ(device->createDepthStencilSurface(640, 480, c.format, D3DMULTISAMPLE_NONE, 0, 0, depth.put()), D3D_OK);
        ASSERT_EQ(device->setDepthStencilSurface(depth.get()), D3D_OK);
        EXPECT_EQ(device->clear(0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0), c.expected)
            << formatName(c.format);
        EXPECT_EQ(device->clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK) << formatName(c.format);
    }
}

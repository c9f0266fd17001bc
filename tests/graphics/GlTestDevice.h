// A fixture for the OpenGL backend's pixel probes: a hidden 640 x 480 SDL
// window with a device on it. Without an OpenGL 3.3 context the fixture
// fails the test (the tests run where Mesa's llvmpipe exists).
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "graphics/Sprite.h"
#include "platform/Window.h"
#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/GlAdapter.h"


class GlTestDevice : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates (or re-creates) the device with this back buffer.
    void createDevice(std::uint32_t width, std::uint32_t height, D3DFORMAT format = D3DFMT_A8R8G8B8);
    // The render target's pixels as A8R8G8B8, rows top first.
    std::vector<std::uint32_t> readTarget();
    std::uint32_t pixel(int x, int y);
    // A pre-transformed quad with the -0.5 shift that makes texels map to
    // pixels: covers pixels x..x+w-1, y..y+h-1.
    void drawQuad(float x, float y, float w, float h, std::uint32_t colour, float u0 = 0, float v0 = 0, float u1 = 1,
                  float v1 = 1);
    // A managed A8R8G8B8 texture filled with the given texels (rows top first).
    GfxRef<GfxTexture> makeTexture(std::uint32_t width, std::uint32_t height, const std::vector<std::uint32_t>& texels);
    // Stage 0 takes colour and alpha from the arguments.
    void stage(std::uint32_t colorOp, std::uint32_t colorArg1, std::uint32_t colorArg2, std::uint32_t alphaOp,
               std::uint32_t alphaArg1, std::uint32_t alphaArg2);

    SdlWindow window;
    GfxRef<GfxAdapter> adapter;
    GfxRef<GfxDevice> device;
    std::uint32_t width = 0, height = 0;
};

// Channel distance of two colours, the largest over a, r, g, b.
int channelDistance(std::uint32_t a, std::uint32_t b);

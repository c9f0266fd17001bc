// The fixed format tables the device survey walks for one screen mode
// (window or full screen): back-buffer/display format pairs, depth formats
// and display sizes, each with the survey's "supported" flag and an
// "allowed" flag. The names are padded so that log lines joined from them
// line up.
#pragma once
#include <array>
#include <cstdint>

#include "platform/gfx/GfxTypes.h"

struct FormatPairEntry {
    D3DFORMAT backBuffer;
    D3DFORMAT display;
    const char* name;
    std::uint32_t supported = 0;
    std::uint32_t allowed = 1;
};

struct DepthFormatEntry {
    D3DFORMAT format;
    const char* name;
    std::uint32_t supported = 0;
    std::uint32_t allowed = 1;
};

struct DisplaySizeEntry {
    std::uint32_t width;
    std::uint32_t height;
    const char* name;
    std::uint32_t supported = 0;
    std::uint32_t allowed = 1;
};

class FormatD3D {
public:
    FormatD3D();
    virtual ~FormatD3D() = default;

    std::array<FormatPairEntry, 5> pairs;
    std::array<DepthFormatEntry, 8> depths;
    std::array<DisplaySizeEntry, 6> sizes;
};

// One usable combination: indices into the FormatD3D tables of its mode.
// The display-format and back-buffer-format indices are the same pair index.
struct CombinationRecord {
    std::uint32_t displayFormat;
    std::uint32_t backBufferFormat;
    std::uint32_t depthFormat;
    std::uint32_t displaySize;
};

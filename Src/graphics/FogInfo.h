// Fog as the device gets it: linear vertex fog with a start, an end and a
// colour, kept also as four floats (a, r, g, b, 0 to 255) so that timed
// changes can step them.
#pragma once
#include <cstdint>

#include "platform/HResult.h"
#include "platform/gfx/GfxTypes.h"

class FogInfo {
public:
    virtual ~FogInfo() = default;

    // Turns fog on with these values when the adapter has vertex fog;
    // otherwise marks fog unsupported and answers E_FAIL without touching
    // the device.
    HRESULT enable(const D3DCAPS9& caps, float start, float end, D3DCOLOR colour);
    // Stores the values only.
    void set(float start, float end, D3DCOLOR colour);
    // Packs a, r, g, b into the colour and sets colour, start and end.
    void apply();
    // Sets the stored values again after a device reset (the enable state is
    // the device's own and survives).
    HRESULT reapply();

    std::uint32_t supported = 0;
    std::uint32_t enabled = 0;
    float start = 0.0f;
    float end = 1000.0f;
    D3DCOLOR colour = 0;
    float a = 0.0f, r = 0.0f, g = 0.0f, b = 0.0f;
};

// Four 0..255 floats packed as ARGB: each truncated toward zero, the low
// eight bits kept (what D3DCOLOR_ARGB makes of them).
D3DCOLOR packColor(float a, float r, float g, float b);

// Draws one frame inside one Direct3D scene.
#pragma once
#include <functional>

#include "platform/HResult.h"

// Returns 0.
HRESULT renderFrame();
// Clears the play field (or the whole screen with full drawing on) and sets
// the viewport to it, in virtual-screen units.
void setPlayFieldViewport();

// One more drawer at the end of the effect pass, while render target 1 is
// selected (tests and the frame tool draw through it; none in the game).
using EffectPassDrawer = std::function<void()>;
void setEffectPassDrawer(EffectPassDrawer drawer);

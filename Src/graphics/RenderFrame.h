// Draws one frame inside one Direct3D scene.
#pragma once
#include "platform/HResult.h"

// Returns 0.
HRESULT renderFrame();
// Clears the play field (or the whole screen with full drawing on) and sets
// the viewport to it, in virtual-screen units.
void setPlayFieldViewport();

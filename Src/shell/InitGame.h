// The game initialisation that runs once the window exists.
#pragma once
#include "platform/HResult.h"

// Returns 0, or the first failing step's negative code (logged with its line).
HRESULT InitGame(int width, int height, bool use16Bit, int vsync, int windowed);

// Creates the device object and surveys the adapter; a failure is logged and
// shown in a message box, and its code returned.
HRESULT createDirect3DObject();

// The render targets of start-up: 0 the back buffer; 1 the effect target
// (system types 2 and 4 with the background drawn), inactive; 2 the
// full-frame target with wide compression, active.
HRESULT createRenderTargets();
// The scene's states of start-up: ambient colours, lighting, the camera and
// the fog.
HRESULT setupRenderStates();

// The OpenGL 3.3 backend's adapter: creates the OpenGL context on the main
// window and reports the synthetic survey with the real renderer's name.
#pragma once
#include "platform/gfx/GfxAdapter.h"

class Window;

// Null when the window is missing or has no OpenGL 3.3 core context.
GfxAdapter* createOpenGlAdapter(Window* window);

#include "platform/gfx/GlAdapter.h"

GfxAdapter* createOpenGlAdapter(Window*) { return nullptr; }

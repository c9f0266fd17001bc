// The message loop, the per-frame step and the game reset.
#pragma once
#include "platform/HResult.h"

// Takes one pending window message and dispatches it, else runs one frame;
// returns 0 when WM_QUIT arrives.
int runMessageLoop();
// One frame, chosen by the system type.
void onIdle();
int frameStep();
HRESULT resetGame();

// The message loop, the per-frame step and the game reset.
#pragma once
#include "platform/HResult.h"

class BulletML_Node_Manager;
class VirtualXMLManager;

// The running script document and the loader that holds it, set by the game
// reset (empty before the first reset and after the XML manager's release).
extern BulletML_Node_Manager* g_currentDocument;
extern VirtualXMLManager* g_currentLoader;

// Takes one pending window message and dispatches it, else runs one frame;
// returns 0 when WM_QUIT arrives.
int runMessageLoop();
// One frame, chosen by the system type.
void onIdle();
int frameStep();
HRESULT resetGame();

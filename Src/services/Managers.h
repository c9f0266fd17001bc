// One process-wide pointer per manager. An empty pointer means the manager
// does not exist (yet, or any more). Start-up creates them in a fixed order
// (WinMain) and releaseAll frees them in a fixed order.
#pragma once
#include "platform/Window.h"

class DebugInfo;
class ReplayDebugInfo;
class SystemInfo;
class GameInfo;
class ArchiveManager;
class XMLManagerManager;
class NetworkManager;
class D3DObject;
class DInputObject;
class ReplayManager;
class DSoundObjectManager;
class TextureManager;
class SpriteManagerManager;
class MeshManager;
class ParticleManager;
class FrameCounter;
class BulletObjectManager;
class BoardMeshManager;

extern DebugInfo* g_debugInfo;
extern ReplayDebugInfo* g_replayDebugInfo;
extern SystemInfo* g_systemInfo;
extern GameInfo* g_gameInfo;
extern ArchiveManager* g_archiveManager;
extern XMLManagerManager* g_xmlManagerManager;
extern NetworkManager* g_networkManager;
extern D3DObject* g_d3dObject;
extern DInputObject* g_dinputObject;
extern ReplayManager* g_replayManager;
extern DSoundObjectManager* g_dsoundObjectManager;
extern TextureManager* g_textureManager;
extern SpriteManagerManager* g_spriteManagerManager;
extern MeshManager* g_meshManager;
extern ParticleManager* g_particleManager;
extern FrameCounter* g_frameCounter;
extern BulletObjectManager* g_bulletObjectManager;
// Set empty at start-up and never filled: its release step only logs.
extern BoardMeshManager* g_boardMeshManager;

// The main window's screen rectangle, read once after creation (start-up) and
// put back when the device returns from full screen to a window.
extern ScreenRect g_mainWindowRect;

// The release order of every manager: the normal shut-down and the common exit
// of fatal failures. Safe with any set of managers missing and safe to call
// twice. Defined by the shell (the only code that knows every manager); the
// services call it by this declaration alone.
void releaseAll();

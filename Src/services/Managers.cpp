#include "services/Managers.h"

// g_debugInfo and g_replayDebugInfo live with DebugInfo.
SystemInfo* g_systemInfo = nullptr;
GameInfo* g_gameInfo = nullptr;
ArchiveManager* g_archiveManager = nullptr;
XMLManagerManager* g_xmlManagerManager = nullptr;
NetworkManager* g_networkManager = nullptr;
D3DObject* g_d3dObject = nullptr;
DInputObject* g_dinputObject = nullptr;
ReplayManager* g_replayManager = nullptr;
DSoundObjectManager* g_dsoundObjectManager = nullptr;
TextureManager* g_textureManager = nullptr;
SpriteManagerManager* g_spriteManagerManager = nullptr;
MeshManager* g_meshManager = nullptr;
ParticleManager* g_particleManager = nullptr;
FrameCounter* g_frameCounter = nullptr;
BulletObjectManager* g_bulletObjectManager = nullptr;
BoardMeshManager* g_boardMeshManager = nullptr;
ScreenRect g_mainWindowRect{};

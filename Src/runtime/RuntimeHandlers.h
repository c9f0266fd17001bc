// The command handlers the interpreter dispatches to, by element id. Each
// takes the runtime whose current node carries the command and answers 0 (go
// on), 1 (leave the node) or 2 (yield). The id is passed along for the
// object-creation handlers, the only ones that read it.
#pragma once
#include <cstdint>

#include "objects/BulletObjectManager.h"
#include "services/Managers.h"

class ExBulletML_Runtime;
class BulletML_Node;

using RuntimeHandler = std::int32_t (*)(ExBulletML_Runtime& runtime, std::int32_t id);

constexpr std::int32_t kHandlerCount = 160;

// The dispatch table: entry id - 1 for ids 1..160.
const RuntimeHandler* runtimeHandlerTable();

// The angle from one point to another in script degrees (0 up, clockwise):
// atan2 in double of the float differences times 57.2957763671875, plus 90.
// Every aimed angle of the runtime goes through here.
double aimAngle(float fromX, float fromY, float toX, float toY);

// The node's type value for an element id, with the defaults of a type not
// given: "absolute" for "speed", "horizontal" and "vertical", "aim" for
// "direction", "circle" for "collision", "center" for "setposition" and
// "changeposition".
std::int32_t nodeTypeOf(const BulletML_Node* node, std::int32_t id);
// The same for a type already read with getChildType.
std::int32_t typeOrDefault(std::int32_t type, std::int32_t id);

// The object manager and its current object, or null. Inline: most commands
// ask for them, every bullet made several times.
inline BulletObjectManager* runtimeObjectManager() { return g_bulletObjectManager; }
inline BulletObject* runtimeCurrentObject() {
    return g_bulletObjectManager ? g_bulletObjectManager->getCurrentObject() : nullptr;
}

namespace handlers {
// Walk and time.
std::int32_t wait(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t repeat(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t skipWait(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t exit(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t vanish(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t setLock(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t releaseLock(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t waitLock(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t waitSelectable(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t waitDirectionKey(ExBulletML_Runtime& runtime, std::int32_t id);
// References and event blocks.
std::int32_t reference(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t eventBlock(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t presentRef(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t revengeRef(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t damageRef(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t cancelRevenge(ExBulletML_Runtime& runtime, std::int32_t id);
// Motion.
std::int32_t changeSpeed(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t changeDirection(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t accel(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t changePosition(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t setPosition(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t edge(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t definedAction(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t autoTarget(ExBulletML_Runtime& runtime, std::int32_t id);
// Hit shapes, attributes and links.
std::int32_t collision(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t buzz(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t incBuzzCount(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t setInv(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t setPlayerInv(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t setBreakable(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t group(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t setRevenge(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t childRevenge(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t parentRevenge(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t shareVital(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t setSharedVitalNum(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t setVital(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t changeBulletToItem(ExBulletML_Runtime& runtime, std::int32_t id);
// Bullets and objects.
std::int32_t fire(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t create(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t bullet(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t bulletRef(ExBulletML_Runtime& runtime, std::int32_t id);
// The object creation commands by element id (plain and reference forms).
std::int32_t createObject(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t createObjectRef(ExBulletML_Runtime& runtime, std::int32_t id);
// Game records and variables.
std::int32_t eval(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t evalAdd(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t global(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t dynamic(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t addScore(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t addPrate(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t addRank(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t addSpirit(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t setGameFlag(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t setEnding(ExBulletML_Runtime& runtime, std::int32_t id);
// The game's switches, settings and ranking requests.
std::int32_t execSystem(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSysvar(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execNetwork(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execTargetRevenge(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execTargetVanish(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetReflect(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execAddItem(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execTextBlock(ExBulletML_Runtime& runtime, std::int32_t id);
// Images and text of the running object (ImageCommands.cpp).
std::int32_t execImg(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execImgDirection(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetImgSize(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execChangeImgSize(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execChangeColor(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetImgUv(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execRotateImg(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetDrawLevel(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execPreloadImg(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execImgString(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execImgStringRef(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execCreateSurface(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execCreateDupImg(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetString(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execAddString(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetStringNum(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execAddStringNum(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetFontSize(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetFontColor(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetStringWait(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execLoadSurface(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execClearSurface(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execWaitDrawString(ExBulletML_Runtime& runtime, std::int32_t id);
// The camera, light, fog and clear colour of the 3-D scene (SceneCommands.cpp).
std::int32_t execSetEye(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetLookAt(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetUpVec(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execChangeEye(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execChangeLookAt(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execChangeUpVec(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetEyeSpeed(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetLookAtSpeed(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetUpVecSpeed(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execChangeEyeSpeed(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execChangeLookAtSpeed(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execChangeUpVecSpeed(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execPlainShadowPoint(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetLight(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execChangeLight(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetFog(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execChangeFog(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetBgColor(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetRenderTargetColor(ExBulletML_Runtime& runtime, std::int32_t id);
// Meshes of the 3-D scene (MeshCommands.cpp).
std::int32_t execMesh(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execPreloadMesh(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetMeshTexture(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetMeshVelocity(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execSetMeshAccel(ExBulletML_Runtime& runtime, std::int32_t id);
// Particles of the 3-D scene (ParticleCommands.cpp).
std::int32_t execSetupParticle(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t execCreateParticle(ExBulletML_Runtime& runtime, std::int32_t id);
// Script files.
std::int32_t exeFile(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t exeFileAsync(ExBulletML_Runtime& runtime, std::int32_t id);
// Sound.
std::int32_t sound(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t soundRef(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t soundTrack(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t track(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t play(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t changeVolume(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t changeAllVolume(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t changeTargetVolume(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t preloadTrack(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t playSoundDirect(ExBulletML_Runtime& runtime, std::int32_t id);
std::int32_t stopSoundDirect(ExBulletML_Runtime& runtime, std::int32_t id);
// Commands whose handlers come with other work: nothing yet; 1 when the node
// has child nodes (another object's script), else 0.
std::int32_t notYetBuilt(ExBulletML_Runtime& runtime, std::int32_t id);
// Nothing, 0 ("action", "debugstr", "debugval", "setfontshadowcolor").
std::int32_t nothing(ExBulletML_Runtime& runtime, std::int32_t id);
}  // namespace handlers

#include "runtime/CreationRules.h"

#include <limits>

#include "objects/BulletObjectManager.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "services/DebugInfo.h"
#include "services/FatalExit.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"

namespace creation {

double valueOf(ExBulletML_Runtime& runtime, const BulletML_Node* definition, std::int32_t id) {
    return definition ? definition->evalChild(id, runtime.getParams(), &runtime.getObjectVariables()) : 0.0;
}

Motion motionOf(ExBulletML_Runtime& runtime, const BulletML_Node* definition, std::int32_t id) {
    return {nodeTypeOf(definition, id), static_cast<float>(valueOf(runtime, definition, id))};
}

bool firesFromAnywhere() { return g_systemInfo && g_systemInfo->getSystemType() == 3; }

namespace {
// The two quiet-frame settings of the current game record. Asked for every
// bullet: they are found once per record rather than looked up by name each
// time, and the look-up is kept out of the test's own short path.
struct QuietSettings {
    std::uint64_t serial = 0;
    const float* death = nullptr;
    const float* ttc = nullptr;
};
QuietSettings g_quietSettings;

[[gnu::noinline]] void findQuietSettings(GameInfo& game) {
    static const NameHandle death = NamePool::instance().intern("deathnobulletframe");
    static const NameHandle ttc = NamePool::instance().intern("ttcnobulletframe");
    g_quietSettings = {game.serial(), &game.varRef(death), &game.varRef(ttc)};
}
}  // namespace

bool isQuietFrame() {
    // Without a frame counter no miss was ever counted.
    const std::uint32_t sinceMiss =
        g_frameCounter ? g_frameCounter->getMissFrames() : std::numeric_limits<std::uint32_t>::max();
    GameInfo* game = g_gameInfo;
    if (!game) return false;
    const QuietSettings& settings = g_quietSettings;
    if (settings.serial != game->serial()) findQuietSettings(*game);
    const float count = static_cast<float>(sinceMiss);
    // A value that does not compare (NaN) holds the bullets back, as a
    // setting larger than any count would.
    return !(*settings.death <= count && *settings.ttc <= count);
}

float directionOf(ExBulletML_Runtime& runtime, Motion direction, float fromX, float fromY) {
    switch (direction.type) {
        case kTypeAbsolute:
            return direction.value;
        case kTypeRelative: {
            BulletObjectManager* manager = runtimeObjectManager();
            return (manager ? manager->getCurrentDirection() : 0.0f) + direction.value;
        }
        case kTypeSequence:
            return runtime.getPreviousDirection() + direction.value;
        default: {
            BulletObjectManager* manager = runtimeObjectManager();
            const float toX = manager ? manager->getPlayerHitX() : 0.0f;
            const float toY = manager ? manager->getPlayerHitY() : 0.0f;
            return static_cast<float>(direction.value + aimAngle(fromX, fromY, toX, toY));
        }
    }
}

float speedOf(ExBulletML_Runtime& runtime, Motion speed) {
    switch (speed.type) {
        case kTypeRelative: {
            BulletObjectManager* manager = runtimeObjectManager();
            return (manager ? manager->getCurrentSpeed() : 0.0f) + speed.value;
        }
        case kTypeSequence:
            return runtime.getPreviousSpeed() + speed.value;
        default:
            return speed.value;
    }
}

void advanceDirection(ExBulletML_Runtime& runtime, Motion direction, float fromX, float fromY) {
    runtime.setPreviousDirection(directionOf(runtime, direction, fromX, fromY));
}

void launch(ExBulletML_Runtime& runtime, BulletObject& object, Motion direction, Motion speed) {
    object.setDirectionType(direction.type);
    // The speed never depends on the new object's direction, so both are set
    // at once and the velocity worked out from the two.
    const float degrees = directionOf(runtime, direction, object.getX(), object.getY());
    object.setDirectionAndSpeed(degrees, speedOf(runtime, speed));
    runtime.setPreviousDirection(object.getDirection());
    runtime.setPreviousSpeed(object.getSpeed());
}

void giveBack(BulletObject& object) {
    object.setActive(0);
    object.setState(1);
}

void missingReference(const BulletML_Node* reference) {
    if (DebugInfo* log = g_debugInfo) {
        log->write("ノード");
        log->writeWide(reference ? wideNameText(reference->getLabel()) : std::u16string());
        log->writeLine("が見つかりません");
    }
    // A script that names a definition the document lacks cannot go on:
    // ending with a failure status tells whoever started the game so.
    fatalExit();
}

}  // namespace creation

// "fire", "create", "bullet" and "bulletref": bullets placed at the firing
// object and sent off by direction and speed, each running its own script.
#include "objects/BulletObjectManager.h"
#include "records/GameInfo.h"
#include "runtime/CreationRules.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "services/Managers.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;
using creation::Motion;

constexpr std::int32_t kBulletDrawLevel = 18;
// The one attribute value a bullet's "flag" passes on.
constexpr std::int32_t kBulletAttribute = 16;

// Creation value indexes with their "fire" meaning.
enum : int { kCvDirection = 0, kCvSpeed = 1, kCvCx = 2, kCvCy = 3, kCvFireChild = 4 };

float creationValue(R& runtime, int index) { return runtime.getCreationValues()[index]; }

// A definition's child when it has one, else the fallback value.
float valueOr(R& runtime, const BulletML_Node* definition, std::int32_t id, float fallback) {
    return definition->hasChild(id) ? static_cast<float>(creation::valueOf(runtime, definition, id)) : fallback;
}

// "bullet": its own direction or speed, else the fire's type with the
// stored creation value.
Motion plainSource(R& runtime, const BulletML_Node* node, std::int32_t id, std::int32_t fireType, int index) {
    if (node->hasChild(id)) return creation::motionOf(runtime, node, id);
    return {fireType, creationValue(runtime, index)};
}

// "bulletref": the target's direction or speed, else the reference node's
// own (with the defaults of an absent one); never the creation values.
Motion refSource(R& runtime, const BulletML_Node* target, const BulletML_Node* reference, std::int32_t id) {
    return creation::motionOf(runtime, target->hasChild(id) ? target : reference, id);
}

// The new bullet's common set-up: kind, hidden until its script starts,
// level, centre and horizontal field range.
void placeBullet(BulletObject& bullet, float x, float y) {
    bullet.setKind(object_kind::kBullet);
    bullet.setActive(0);
    bullet.setDrawLevel(kBulletDrawLevel);
    bullet.setX(x);
    bullet.setY(y);
    if (GameInfo* game = g_gameInfo) {
        bullet.setFieldRangeX(static_cast<float>(game->getMinX()), static_cast<float>(game->getMaxX()));
    }
}

// The child link and the attribute flag, read from the definition.
void linkAndFlag(R& runtime, BulletObject& bullet, BulletObject& firer, const BulletML_Node* definition) {
    const float child = valueOr(runtime, definition, kChild, creationValue(runtime, kCvFireChild));
    if (truncateToInt32(child) == 1) {
        bullet.setParent(&firer);
        firer.setChildLink(1);
    }
    if (definition->hasChild(kFlag) &&
        truncateToInt32(creation::valueOf(runtime, definition, kFlag)) == kBulletAttribute) {
        bullet.setAttributeBits(kBulletAttribute);
    }
}

// Takes a bullet and its runtime; null (and nothing kept) when either pool
// is empty.
template <typename Spawn>
BulletObject* takeBullet(BulletObjectManager& manager, Spawn spawn) {
    BulletObject* bullet = manager.createBullet();
    if (!bullet) return nullptr;
    R* script = spawn();
    if (!script) {
        creation::giveBack(*bullet);
        return nullptr;
    }
    bullet->setMainRuntime(script);
    return bullet;
}
}  // namespace

namespace handlers {

std::int32_t fire(R& runtime, std::int32_t) {
    const BulletML_Node* node = runtime.getCurrentNode();
    runtime.setFireDirectionType(nodeTypeOf(node, kDirection));
    runtime.setFireSpeedType(nodeTypeOf(node, kSpeed));
    float* values = runtime.getCreationValues();
    values[kCvDirection] = static_cast<float>(runtime.evalChild(kDirection));
    values[kCvSpeed] = static_cast<float>(runtime.evalChild(kSpeed));
    values[kCvCx] = static_cast<float>(runtime.evalChild(kCx));
    values[kCvCy] = static_cast<float>(runtime.evalChild(kCy));
    values[kCvFireChild] = static_cast<float>(runtime.evalChild(kChild));
    return R::kGoOn;
}

std::int32_t create(R& runtime, std::int32_t) {
    static constexpr std::int32_t kIds[R::kCreationValueCount] = {kDirection, kSpeed, kCx,    kCy,    kX,
                                                                  kY,         kVital, kScore, kInv,   kChild,
                                                                  kFlag,      kPrate, kSpirit};
    float* values = runtime.getCreationValues();
    for (int i = 0; i < R::kCreationValueCount; ++i) values[i] = static_cast<float>(runtime.evalChild(kIds[i]));
    return R::kGoOn;
}

std::int32_t bullet(R& runtime, std::int32_t) {
    BulletML_Node* node = runtime.getCurrentNode();
    BulletObject* firer = runtimeCurrentObject();
    if (runtime.getRestartFlag()) {
        // This runtime is the bullet's own: its script is the node's children.
        runtime.setRestartFlag(0);
        runtime.restartNode();
        if (firer) firer->setActive(1);
        return R::kGoOn;
    }
    // Without a firing object there is no centre to fire from.
    BulletObjectManager* manager = runtimeObjectManager();
    if (!firer || !manager) return R::kLeave;
    if (!creation::mayFireFrom(*firer)) return R::kLeave;
    if (creation::isQuietFrame()) {
        creation::advanceDirection(
            runtime, plainSource(runtime, node, kDirection, runtime.getFireDirectionType(), kCvDirection),
            firer->getX(), firer->getY());
        return R::kLeave;
    }
    BulletObject* made = takeBullet(*manager, [&] { return runtime.spawnChild(node); });
    if (!made) {
        creation::advanceDirection(
            runtime, plainSource(runtime, node, kDirection, runtime.getFireDirectionType(), kCvDirection),
            firer->getX(), firer->getY());
        return R::kLeave;
    }
    made->setWideName(node->getLabel());
    // "cx" and "cy" of the fire are not applied here (only "bulletref" adds
    // them): patterns written for this engine place plain bullets at the
    // firer's centre.
    placeBullet(*made, firer->getX(), firer->getY());
    linkAndFlag(runtime, *made, *firer, node);
    const Motion direction = plainSource(runtime, node, kDirection, runtime.getFireDirectionType(), kCvDirection);
    const Motion speed = plainSource(runtime, node, kSpeed, runtime.getFireSpeedType(), kCvSpeed);
    creation::launch(runtime, *made, direction, speed);
    if (node->hasChild(kVital)) made->setVital(static_cast<float>(runtime.evalChild(kVital)));
    return R::kLeave;
}

std::int32_t bulletRef(R& runtime, std::int32_t) {
    BulletML_Node* node = runtime.getCurrentNode();
    BulletML_Node* target = node->getRefTarget();
    if (!target) creation::missingReference(node);
    BulletObject* firer = runtimeCurrentObject();
    BulletObjectManager* manager = runtimeObjectManager();
    if (!firer || !manager) return R::kLeave;
    if (!creation::mayFireFrom(*firer)) return R::kLeave;
    if (creation::isQuietFrame()) {
        creation::advanceDirection(runtime, refSource(runtime, target, node, kDirection), firer->getX(),
                                   firer->getY());
        return R::kLeave;
    }
    BulletObject* made = takeBullet(*manager, [&] { return runtime.spawnRefRuntime(target, node); });
    if (!made) {
        creation::advanceDirection(runtime, refSource(runtime, target, node, kDirection), firer->getX(),
                                   firer->getY());
        return R::kLeave;
    }
    made->setWideName(target->getLabel());
    linkAndFlag(runtime, *made, *firer, target);
    const float cx = valueOr(runtime, target, kCx, creationValue(runtime, kCvCx));
    const float cy = valueOr(runtime, target, kCy, creationValue(runtime, kCvCy));
    placeBullet(*made, firer->getX() + cx, firer->getY() + cy);
    const Motion direction = refSource(runtime, target, node, kDirection);
    const Motion speed = refSource(runtime, target, node, kSpeed);
    creation::launch(runtime, *made, direction, speed);
    if (target->hasChild(kVital)) made->setVital(static_cast<float>(creation::valueOf(runtime, target, kVital)));
    return R::kGoOn;
}

}  // namespace handlers

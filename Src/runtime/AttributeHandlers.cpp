// Hit shapes, attributes and links of the current object.
#include "objects/BulletObjectManager.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "services/Managers.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;

std::int32_t intChild(R& runtime, std::int32_t id) { return truncateToInt32(runtime.evalChild(id)); }

struct Shape {
    std::int32_t type;
    float a, b, c, d;
    // A shape that can touch anything: a circle with a radius, a rectangle
    // with width and height.
    bool hasArea() const { return type == kTypeCircle ? c > 0.0f : (c != a && d != b); }
};

Shape readShape(R& runtime, std::int32_t typeId) {
    std::int32_t type = nodeTypeOf(runtime.getCurrentNode(), typeId);
    if (type == kTypeCircle)
        return {type, static_cast<float>(runtime.evalChild(kCx)), static_cast<float>(runtime.evalChild(kCy)),
                static_cast<float>(runtime.evalChild(kRadius)), 0.0f};
    return {type, static_cast<float>(runtime.evalChild(kLeft)), static_cast<float>(runtime.evalChild(kTop)),
            static_cast<float>(runtime.evalChild(kRight)), static_cast<float>(runtime.evalChild(kBottom))};
}

void setBuzz(BulletObject* object, const Shape& shape) {
    object->setBuzzShape(shape.type, shape.a, shape.b, shape.c, shape.d);
    if (shape.hasArea()) object->setBuzzCount(1);
}
}  // namespace

namespace handlers {

std::int32_t collision(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kGoOn;
    Shape shape = readShape(runtime, kCollision);
    object->setHitShape(shape.type, shape.a, shape.b, shape.c, shape.d);
    std::uint8_t kind = object->getKind();
    if (kind == object_kind::kBullet || kind == object_kind::kBulletEnemy) setBuzz(object, shape);
    return R::kGoOn;
}

std::int32_t buzz(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (object) setBuzz(object, readShape(runtime, kBuzz));
    return R::kGoOn;
}

std::int32_t incBuzzCount(R&, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (object && object->getBuzzCount() == 0) object->setBuzzCount(1);
    return R::kGoOn;
}

std::int32_t setInv(R& runtime, std::int32_t) {
    if (BulletObject* object = runtimeCurrentObject()) object->setInvincibleFrames(intChild(runtime, kInv));
    return R::kGoOn;
}

std::int32_t setPlayerInv(R& runtime, std::int32_t) {
    BulletObjectManager* manager = runtimeObjectManager();
    BulletObject* player = manager ? manager->getPlayer() : nullptr;
    if (!player || (player->getFlags() & object_flag::kRevenge) || player->getState() != 0) return R::kGoOn;
    player->setInvincibleFrames(intChild(runtime, kInv));
    return R::kGoOn;
}

std::int32_t setBreakable(R& runtime, std::int32_t) {
    if (BulletObject* object = runtimeCurrentObject()) object->setBreakable(intChild(runtime, kNum) == 0 ? 1 : 0);
    return R::kGoOn;
}

std::int32_t group(R& runtime, std::int32_t) {
    BulletObjectManager* manager = runtimeObjectManager();
    if (!manager) return R::kGoOn;
    if (BulletObject* created = manager->createGroup()) {
        created->setGroupId(intChild(runtime, kQuick));
        created->setScore(intChild(runtime, kScore));
    }
    if (runtime.evalChild(kNum) > 0.0 && g_gameInfo) g_gameInfo->setGroupScoreFlag(1);
    return R::kGoOn;
}

std::int32_t setRevenge(R&, std::int32_t) {
    if (BulletObject* object = runtimeCurrentObject()) object->addFlags(object_flag::kRevenge);
    return R::kGoOn;
}

std::int32_t childRevenge(R&, std::int32_t) {
    if (BulletObject* object = runtimeCurrentObject()) object->setFlagsOnChildren(object_flag::kRevenge);
    return R::kGoOn;
}

std::int32_t parentRevenge(R&, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (object && object->getParent()) object->getParent()->addFlags(0x300);
    return R::kGoOn;
}

std::int32_t shareVital(R& runtime, std::int32_t) {
    if (BulletObject* object = runtimeCurrentObject()) object->setSharedVitalKey(intChild(runtime, kNum));
    return R::kGoOn;
}

std::int32_t setSharedVitalNum(R& runtime, std::int32_t) {
    if (BulletObjectManager* manager = runtimeObjectManager())
        manager->setSharedVital(static_cast<std::uint32_t>(intChild(runtime, kNum)),
                                static_cast<float>(runtime.evalChild(kVital)));
    return R::kGoOn;
}

std::int32_t setVital(R& runtime, std::int32_t) {
    if (BulletObject* object = runtimeCurrentObject())
        object->setVital(static_cast<float>(intChild(runtime, kVital)));
    return R::kGoOn;
}

std::int32_t changeBulletToItem(R&, std::int32_t) {
    if (BulletObjectManager* manager = runtimeObjectManager()) manager->changeBulletToItem();
    return R::kGoOn;
}

}  // namespace handlers

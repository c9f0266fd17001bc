// Motion of the current object: speed, direction, acceleration, position,
// edges, following and automatic targeting.
#include <cmath>

#include "objects/BulletObjectManager.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;

std::int32_t nodeType(R& runtime, std::int32_t id) { return nodeTypeOf(runtime.getCurrentNode(), id); }
std::int32_t term(R& runtime) { return truncateToInt32(runtime.evalChild(kTerm)); }
// The two commands below run for many bullets every few frames: they read the
// node's numbers and types through its kept pointers instead of its maps.
std::int32_t term(R& runtime, const BulletML_Node* node) { return truncateToInt32(runtime.evalNumber(node->termChild())); }
}  // namespace

double aimAngle(float fromX, float fromY, float toX, float toY) {
    float dx = toX - fromX;
    float dy = toY - fromY;
    return std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * 57.2957763671875 + 90.0;
}

namespace handlers {

std::int32_t changeSpeed(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kGoOn;
    const BulletML_Node* node = runtime.getCurrentNode();
    double value = runtime.evalNumber(node->speedChild());
    double target;
    switch (typeOrDefault(node->speedType(), kSpeed)) {
        case kTypeRelative:
            target = object->getSpeed() + value;
            break;
        case kTypeSequence:
            target = object->getSpeed() + value * runtime.evalNumber(node->termChild());
            break;
        default:
            target = value;
            break;
    }
    object->changeSpeed(static_cast<float>(target), term(runtime, node));
    return R::kGoOn;
}

std::int32_t changeDirection(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kGoOn;
    const BulletML_Node* node = runtime.getCurrentNode();
    std::int32_t type = typeOrDefault(node->directionType(), kDirection);
    object->setDirectionType(type);
    float value = static_cast<float>(runtime.evalNumber(node->directionChild()));
    std::int32_t frames = term(runtime, node);
    switch (type) {
        case kTypeAbsolute:
            object->changeDirectionAbsolute(value, frames);
            break;
        case kTypeRelative:
            object->changeDirectionRelative(value, frames);
            break;
        case kTypeSequence:
            object->changeDirectionSequence(value, frames);
            break;
        default: {
            BulletObjectManager* manager = runtimeObjectManager();
            double aim = aimAngle(object->getX(), object->getY(), manager->getPlayerHitX(), manager->getPlayerHitY());
            object->changeDirectionAbsolute(static_cast<float>(value + aim), frames);
            break;
        }
    }
    return R::kGoOn;
}

// Positions are virtual-screen units everywhere, so the acceleration is
// applied as given: converting it to back-buffer pixels would make patterns
// (and replays) depend on the window size.
std::int32_t accel(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kGoOn;
    // Each value is taken with its own term before the next is read: values
    // that draw "$_rand" draw in this order, and replays depend on it.
    double h = runtime.evalChild(kHorizontal);
    if (nodeType(runtime, kHorizontal) == kTypeSequence) h *= runtime.evalChild(kTerm);
    double v = runtime.evalChild(kVertical);
    if (nodeType(runtime, kVertical) == kTypeSequence) v *= runtime.evalChild(kTerm);
    object->setAccel(static_cast<float>(h), static_cast<float>(v), term(runtime));
    return R::kGoOn;
}

std::int32_t changePosition(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    float x = static_cast<float>(runtime.evalChild(kX));
    float y = static_cast<float>(runtime.evalChild(kY));
    runtime.setTarget(x, y);
    if (!object) return R::kGoOn;
    bool corner = nodeType(runtime, kChangePosition) == kTypeAbsolute;
    float fromX = corner ? object->getLeft() : object->getX();
    float fromY = corner ? object->getTop() : object->getY();
    float dx = x - fromX;
    float dy = y - fromY;
    float distanceSquared = dx * dx + dy * dy;
    float speed = object->getSpeed();
    // Snap radius: the square root of the speed. An object that would pass
    // the target this frame and land outside that radius snaps too, else it
    // would swing across the target for ever.
    bool arrives = distanceSquared <= speed;
    if (!arrives && speed > 0.0f) {
        float distance = std::sqrt(distanceSquared);
        float overshoot = speed - distance;
        arrives = distance <= speed && overshoot * overshoot > speed;
    }
    if (!arrives) {
        object->setDirection(static_cast<float>(aimAngle(fromX, fromY, x, y)));
        return R::kYield;
    }
    if (corner) {
        object->setLeft(x);
        object->setTop(y);
    } else {
        object->setX(x);
        object->setY(y);
    }
    return R::kGoOn;
}

std::int32_t setPosition(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kGoOn;
    float x = static_cast<float>(runtime.evalChild(kX));
    float y = static_cast<float>(runtime.evalChild(kY));
    if (nodeType(runtime, kSetPosition) == kTypeAbsolute) {
        float dx = x - object->getLeft();
        float dy = y - object->getTop();
        object->setLeft(x);
        object->setTop(y);
        object->moveChildrenX(dx);
        object->moveChildrenY(dy);
    } else {
        float dx = x - object->getX();
        float dy = y - object->getY();
        object->setX(x);
        object->setY(y);
        object->shiftChildrenX(dx);
        object->shiftChildrenY(dy);
    }
    return R::kGoOn;
}

std::int32_t edge(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kGoOn;
    float w = object->getWidth();
    float h = object->getHeight();
    object->setEdgeBoundsMax(w, h);
    object->setEdgeBoundsMin(-w, -h);
    std::int32_t type = nodeType(runtime, kEdge);
    object->applyImageBounds(type == kTypeLoop ? 1 : type == kTypeStop ? 0 : 2);
    return R::kGoOn;
}

std::int32_t definedAction(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kGoOn;
    switch (nodeType(runtime, kDefinedAction)) {
        case kTypeSyncToPlayerX:
            object->addFlags(object_flag::kFollowPlayerX);
            break;
        case kTypeSyncToPlayerY:
            object->addFlags(object_flag::kFollowPlayerY);
            break;
        case kTypeSyncToParentX:
            object->addFlags(object_flag::kFollowParentX);
            break;
        case kTypeSyncToParentY:
            object->addFlags(object_flag::kFollowParentY);
            break;
        default:
            break;
    }
    return R::kGoOn;
}

std::int32_t autoTarget(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    BulletObjectManager* manager = runtimeObjectManager();
    if (!object || !manager) return R::kGoOn;
    std::uint32_t n = static_cast<std::uint32_t>(truncateToInt32(runtime.evalChild(kNum) + 1.0));
    IntBulletObjectManager* enemies = manager->getEnemyManager();
    std::uint32_t found = (object->getAttributeBits() & 1) ? enemies->findAutoTarget(n) : enemies->findAutoTargetAlt(n);
    if (found != 0) object->setTargetTag(static_cast<std::int32_t>(found));
    return R::kGoOn;
}

}  // namespace handlers

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

// The type of a direction or speed from the type the node keeps for its
// child, as nodeTypeOf gives it for these two: a child without one (none
// stored, or "none" for an absent or unknown attribute) takes the default,
// aim or absolute.
std::int32_t motionTypeOf(std::int32_t stored, std::int32_t fallback) {
    return stored != 0 && stored != kTypeNone ? stored : fallback;
}

// The parameter children a bullet definition may give, found in one pass
// over the node's few children instead of one search per name (and a second
// one to evaluate it).
class Definition {
public:
    enum Slot : int { kSlotSpeed, kSlotDirection, kSlotCx, kSlotCy, kSlotVital, kSlotChild, kSlotFlag, kSlotCount };

    explicit Definition(const BulletML_Node* node)
        : directionType_(motionTypeOf(node->directionType(), kTypeAim)),
          speedType_(motionTypeOf(node->speedType(), kTypeAbsolute)) {
        // The node keeps its "speed" and "direction" numbers at hand; most
        // definitions give nothing else, and then the pass is not needed.
        std::size_t kept = 0;
        kept += take(kSlotSpeed, node->speedChild());
        kept += take(kSlotDirection, node->directionChild());
        if (node->children().size() == kept) return;
        for (const auto& [id, number] : node->children()) {
            const int slot = slotOf(id);
            if (slot < 0) continue;
            present_[slot] = true;
            numbers_[slot] = number;
        }
    }
    bool has(Slot slot) const { return present_[slot]; }
    // The child's value with the runtime's parameters and variables, as the
    // node's own evaluation gives it.
    double value(R& runtime, Slot slot) const {
        const BulletML_Node_Number* number = numbers_[slot];
        return number ? number->evaluate(runtime.getParams(), &runtime.getObjectVariables()) : 0.0;
    }
    // The child's value when the definition has one, else the fallback.
    float valueOr(R& runtime, Slot slot, float fallback) const {
        return has(slot) ? static_cast<float>(value(runtime, slot)) : fallback;
    }
    // Direction or speed (`id` kDirection or kSpeed) with the node's type
    // for it.
    Motion motion(R& runtime, Slot slot, std::int32_t id) const {
        return {id == kDirection ? directionType() : speedType(), static_cast<float>(value(runtime, slot))};
    }
    std::int32_t directionType() const { return directionType_; }
    std::int32_t speedType() const { return speedType_; }

private:
    // Notes a kept child; 1 when there is one.
    std::size_t take(Slot slot, const BulletML_Node_Number* number) {
        if (!number) return 0;
        present_[slot] = true;
        numbers_[slot] = number;
        return 1;
    }

    static int slotOf(std::int32_t id) {
        switch (id) {
            case kSpeed: return kSlotSpeed;
            case kDirection: return kSlotDirection;
            case kCx: return kSlotCx;
            case kCy: return kSlotCy;
            case kVital: return kSlotVital;
            case kChild: return kSlotChild;
            case kFlag: return kSlotFlag;
            default: return -1;
        }
    }

    std::int32_t directionType_;
    std::int32_t speedType_;
    bool present_[kSlotCount] = {};
    const BulletML_Node_Number* numbers_[kSlotCount] = {};
};

// "bullet": its own direction or speed, else the fire's type with the
// stored creation value.
Motion plainSource(R& runtime, const Definition& node, Definition::Slot slot, std::int32_t id, std::int32_t fireType,
                   int index) {
    if (node.has(slot)) return node.motion(runtime, slot, id);
    return {fireType, creationValue(runtime, index)};
}

Motion plainDirection(R& runtime, const Definition& node) {
    return plainSource(runtime, node, Definition::kSlotDirection, kDirection, runtime.getFireDirectionType(),
                       kCvDirection);
}

// "bulletref": the target's direction or speed, else the reference node's
// own (with the defaults of an absent one); never the creation values.
Motion refSource(R& runtime, const Definition& target, const BulletML_Node* reference, Definition::Slot slot,
                 std::int32_t id) {
    if (target.has(slot)) return target.motion(runtime, slot, id);
    return creation::motionOf(runtime, reference, id);
}

// The new bullet's common set-up: kind, hidden until its script starts,
// level, centre and horizontal field range. The object pool makes
// BulletObjects only, so the slot is called without dispatch. Inline, as
// linkAndFlag is: both run once per bullet made, from two handlers.
[[gnu::always_inline]] inline void placeBullet(BulletObject& bullet, float x, float y) {
    bullet.setKind(object_kind::kBullet);
    bullet.BulletObject::setActive(0);
    bullet.setDrawLevel(kBulletDrawLevel);
    bullet.setX(x);
    bullet.setY(y);
    if (GameInfo* game = g_gameInfo) {
        bullet.setFieldRangeX(static_cast<float>(game->getMinX()), static_cast<float>(game->getMaxX()));
    }
}

// The child link and the attribute flag, read from the definition.
[[gnu::always_inline]] inline void linkAndFlag(R& runtime, BulletObject& bullet, BulletObject& firer,
                                               const Definition& definition) {
    const float child = definition.valueOr(runtime, Definition::kSlotChild, creationValue(runtime, kCvFireChild));
    if (truncateToInt32(child) == 1) {
        bullet.setParent(&firer);
        firer.setChildLink(1);
    }
    if (definition.has(Definition::kSlotFlag) &&
        truncateToInt32(definition.value(runtime, Definition::kSlotFlag)) == kBulletAttribute) {
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

// "bullet" in a firing runtime: a new bullet from the firer, or, when none
// is made, the sequence turned as if it had been. Kept apart from the
// handler, whose other half (a bullet's own script starting) runs as often
// and needs none of this.
[[gnu::noinline]] std::int32_t fireBullet(R& runtime, BulletML_Node* node, BulletObject* firer) {
    // Without a firing object there is no centre to fire from.
    BulletObjectManager* manager = runtimeObjectManager();
    if (!firer || !manager) return R::kLeave;
    if (!creation::mayFireFrom(*firer)) return R::kLeave;
    const Definition definition(node);
    if (creation::isQuietFrame()) {
        creation::advanceDirection(runtime, plainDirection(runtime, definition), firer->getX(), firer->getY());
        return R::kLeave;
    }
    BulletObject* made = takeBullet(*manager, [&] { return runtime.spawnChild(node); });
    if (!made) {
        creation::advanceDirection(runtime, plainDirection(runtime, definition), firer->getX(), firer->getY());
        return R::kLeave;
    }
    made->setWideName(node->getLabel());
    // "cx" and "cy" of the fire are not applied here (only "bulletref" adds
    // them): patterns written for this engine place plain bullets at the
    // firer's centre.
    placeBullet(*made, firer->getX(), firer->getY());
    linkAndFlag(runtime, *made, *firer, definition);
    const Motion direction = plainDirection(runtime, definition);
    const Motion speed = plainSource(runtime, definition, Definition::kSlotSpeed, kSpeed, runtime.getFireSpeedType(),
                                     kCvSpeed);
    creation::launch(runtime, *made, direction, speed);
    if (definition.has(Definition::kSlotVital)) {
        made->setVital(static_cast<float>(definition.value(runtime, Definition::kSlotVital)));
    }
    return R::kLeave;
}

}  // namespace

namespace handlers {

std::int32_t fire(R& runtime, std::int32_t) {
    const BulletML_Node* node = runtime.getCurrentNode();
    const Definition definition(node);
    runtime.setFireDirectionType(definition.directionType());
    runtime.setFireSpeedType(definition.speedType());
    // Absent children give 0, as the node's own evaluation does.
    float* values = runtime.getCreationValues();
    values[kCvDirection] = static_cast<float>(definition.value(runtime, Definition::kSlotDirection));
    values[kCvSpeed] = static_cast<float>(definition.value(runtime, Definition::kSlotSpeed));
    values[kCvCx] = static_cast<float>(definition.value(runtime, Definition::kSlotCx));
    values[kCvCy] = static_cast<float>(definition.value(runtime, Definition::kSlotCy));
    values[kCvFireChild] = static_cast<float>(definition.value(runtime, Definition::kSlotChild));
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
    return fireBullet(runtime, node, firer);
}

std::int32_t bulletRef(R& runtime, std::int32_t) {
    BulletML_Node* node = runtime.getCurrentNode();
    BulletML_Node* target = node->getRefTarget();
    if (!target) creation::missingReference(node);
    BulletObject* firer = runtimeCurrentObject();
    BulletObjectManager* manager = runtimeObjectManager();
    if (!firer || !manager) return R::kLeave;
    if (!creation::mayFireFrom(*firer)) return R::kLeave;
    const Definition definition(target);
    if (creation::isQuietFrame()) {
        creation::advanceDirection(runtime, refSource(runtime, definition, node, Definition::kSlotDirection, kDirection),
                                   firer->getX(), firer->getY());
        return R::kLeave;
    }
    BulletObject* made = takeBullet(*manager, [&] { return runtime.spawnRefRuntime(target, node); });
    if (!made) {
        creation::advanceDirection(runtime, refSource(runtime, definition, node, Definition::kSlotDirection, kDirection),
                                   firer->getX(), firer->getY());
        return R::kLeave;
    }
    made->setWideName(target->getLabel());
    linkAndFlag(runtime, *made, *firer, definition);
    const float cx = definition.valueOr(runtime, Definition::kSlotCx, creationValue(runtime, kCvCx));
    const float cy = definition.valueOr(runtime, Definition::kSlotCy, creationValue(runtime, kCvCy));
    placeBullet(*made, firer->getX() + cx, firer->getY() + cy);
    const Motion direction = refSource(runtime, definition, node, Definition::kSlotDirection, kDirection);
    const Motion speed = refSource(runtime, definition, node, Definition::kSlotSpeed, kSpeed);
    creation::launch(runtime, *made, direction, speed);
    if (definition.has(Definition::kSlotVital)) {
        made->setVital(static_cast<float>(definition.value(runtime, Definition::kSlotVital)));
    }
    return R::kGoOn;
}

}  // namespace handlers

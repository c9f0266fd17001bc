// The object creation commands: "enemy", "shot", "player", "object", "item",
// "bomb", "dobject" and their references. Each makes one object in its list
// whose script is the defining node's children, placed and launched from the
// definition's values or, where it has none, from the creating runtime's
// creation values.
#include <array>
#include <string>

#include "objects/BulletObjectManager.h"
#include "records/GameInfo.h"
#include "runtime/CreationRules.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;
using creation::Motion;

// Creation value indexes with their "create" meaning.
enum : int {
    kCvDirection = 0,
    kCvSpeed = 1,
    kCvCx = 2,
    kCvCy = 3,
    kCvVital = 6,
    kCvScore = 7,
    kCvInv = 8,
    kCvChild = 9,
    kCvFlag = 10,
    kCvPrate = 11,
    kCvSpirit = 12
};

// The flag bit of an enemy that keeps to the quiet frames after a miss.
constexpr std::int32_t kQuietEnemyBit = 4;
// The level that "object" and "dobject" take from the creating object.
constexpr std::int32_t kCreatorsLevel = -2;
constexpr std::int32_t kNoLevel = -1;
constexpr std::int32_t kNoEdgeMode = -1;

enum class Creator { kEnemy, kShot, kPlain, kPausable, kPausableDelayed, kItem, kBomb };

// One row per element pair: the list, kind, draw level, field range and
// edge mode of a new object.
struct ElementRule {
    std::int32_t plainId;
    std::int32_t refId;
    Creator creator;
    std::uint8_t kind;
    std::int32_t level;
    bool fieldRange;
    std::int32_t edgeMode;
};

constexpr std::array<ElementRule, 7> kRules = {{
    {kEnemy, kEnemyRef, Creator::kEnemy, object_kind::kEnemy, 15, true, kNoEdgeMode},
    {kShot, kShotRef, Creator::kShot, object_kind::kShot, 11, true, 2},
    {kPlayer, kPlayerRef, Creator::kPlain, object_kind::kPlayer, 13, true, 1},
    {kObject, kObjectRef, Creator::kPausable, object_kind::kPlain, kCreatorsLevel, false, kNoEdgeMode},
    {kDObject, kDObjectRef, Creator::kPausableDelayed, object_kind::kPlain, kCreatorsLevel, false, kNoEdgeMode},
    {kItem, kItemRef, Creator::kItem, 0, 9, true, 4},
    {kBomb, kBombRef, Creator::kBomb, object_kind::kBomb, 22, false, kNoEdgeMode},
}};

const ElementRule* ruleFor(std::int32_t id) {
    for (const ElementRule& rule : kRules)
        if (rule.plainId == id || rule.refId == id) return &rule;
    return nullptr;
}

// Item types 1..8: kind, edge mode, and the collect delay when recent and
// when not (0: not set; -1: "autoitemterm").
struct ItemRule {
    std::uint8_t kind;
    std::uint8_t edgeMode;
    std::int32_t recentDelay;
    std::int32_t otherDelay;
};
constexpr std::int32_t kAutoTerm = -1;
constexpr std::array<ItemRule, 8> kItemRules = {{
    {10, 4, 1, kAutoTerm},
    {11, 4, 1, 0},
    {12, 4, 1, 0},
    {13, 3, 0, 0},
    {14, 3, 0, 0},
    {15, 4, 1, 0},
    {16, 4, 7, kAutoTerm},
    {17, 4, 0, 0},
}};
// The item type whose score follows the game-wide rank.
constexpr std::int32_t kRankScoredItem = 3;

NameHandle gameName(const char* name) { return NamePool::instance().intern(name); }

float gameVar(NameHandle name) { return g_gameInfo ? g_gameInfo->getVar(name) : 0.0f; }

float creationValue(R& runtime, int index) { return runtime.getCreationValues()[index]; }

// A definition's child when it has one, else the creation value.
float valueOr(R& runtime, const BulletML_Node* definition, std::int32_t id, int index) {
    return definition->hasChild(id) ? static_cast<float>(creation::valueOf(runtime, definition, id))
                                    : creationValue(runtime, index);
}
std::int32_t intOr(R& runtime, const BulletML_Node* definition, std::int32_t id, int index) {
    return truncateToInt32(valueOr(runtime, definition, id, index));
}

BulletObject* createFor(BulletObjectManager& manager, const ElementRule& rule, std::int32_t pause) {
    switch (rule.creator) {
        case Creator::kEnemy:
            return manager.createEnemy();
        case Creator::kShot:
            return manager.createShot();
        case Creator::kItem:
            return manager.createItem();
        case Creator::kBomb:
            return manager.createBomb();
        case Creator::kPausable:
        case Creator::kPausableDelayed:
            if (pause == 1) return manager.createPauseObject();
            if (pause == 2) return manager.createPauseRunObject();
            return rule.creator == Creator::kPausable ? manager.createPlainObject() : manager.createDelayObject();
        case Creator::kPlain:
        default:
            return manager.createPlainObject();
    }
}

// The item type's kind, edge mode and collect delay.
void applyItemType(BulletObject& item, std::int32_t type) {
    // Both settings are read for every item, whatever its type.
    static const NameHandle ttcItemFrame = gameName("ttcitemframe");
    static const NameHandle autoItemTerm = gameName("autoitemterm");
    const std::uint32_t window = static_cast<std::uint32_t>(truncateToInt32(gameVar(ttcItemFrame)));
    const std::int32_t term = truncateToInt32(gameVar(autoItemTerm));
    const bool systemType3 = g_systemInfo && g_systemInfo->getSystemType() == 3;
    const std::uint32_t sinceMagic = g_frameCounter ? g_frameCounter->getMagicFrames() : 0xFFFFFFFFu;
    const bool recent = !systemType3 && sinceMagic < window;

    item.setEdgeMode(4);
    if (type < 1 || type > static_cast<std::int32_t>(kItemRules.size())) return;  // the pool's kind stays
    const ItemRule& rule = kItemRules[static_cast<std::size_t>(type - 1)];
    item.setKind(rule.kind);
    item.setEdgeMode(rule.edgeMode);
    const std::int32_t delay = recent ? rule.recentDelay : rule.otherDelay;
    if (delay == kAutoTerm) {
        item.setCollectDelay(term);
    } else if (delay != 0) {
        item.setCollectDelay(delay);
    }
}

// The item score of the game-wide rank "grank" (0..5; any other rank, NaN
// included, takes rank 0's).
float rankItemScore() {
    static const NameHandle grank = gameName("grank");
    static const std::array<NameHandle, 6> scores = {
        gameName("itemscore_grank0"), gameName("itemscore_grank1"), gameName("itemscore_grank2"),
        gameName("itemscore_grank3"), gameName("itemscore_grank4"), gameName("itemscore_grank5")};
    const std::int32_t rank = g_gameInfo ? truncateToInt32(g_gameInfo->getGlobalVar(grank)) : 0;
    return gameVar(scores[rank >= 0 && rank <= 5 ? static_cast<std::size_t>(rank) : 0]);
}

// The per-element settings of the table.
void applyRule(BulletObjectManager& manager, BulletObject& made, const ElementRule& rule, bool isReference,
               std::int32_t flag, std::int32_t pause) {
    std::uint8_t kind = rule.kind;
    if (rule.creator == Creator::kPausable || rule.creator == Creator::kPausableDelayed) {
        kind = pause == 1 ? object_kind::kPause : pause == 2 ? object_kind::kPauseRun : object_kind::kPlain;
    }
    if (rule.creator == Creator::kItem) {
        applyItemType(made, flag);
    } else {
        made.setKind(kind);
    }
    if (rule.level == kCreatorsLevel) {
        // "object" and "dobject" draw at the creating object's level; their
        // references keep the level the object came with.
        BulletObject* creator = manager.getCurrentObject();
        if (!isReference && creator) made.setDrawLevel(creator->getDrawLevel());
    } else if (rule.level != kNoLevel) {
        made.setDrawLevel(rule.level);
    }
    if (rule.fieldRange) {
        if (GameInfo* game = g_gameInfo) {
            made.setFieldRangeX(static_cast<float>(game->getMinX()), static_cast<float>(game->getMaxX()));
            made.setFieldRangeY(static_cast<float>(game->getMinY()), static_cast<float>(game->getMaxY()));
        }
    }
    if (rule.edgeMode != kNoEdgeMode && rule.creator != Creator::kItem) {
        made.setEdgeMode(static_cast<std::uint8_t>(rule.edgeMode));
    }
    if (rule.creator == Creator::kPlain) manager.setPlayer(&made);
}

// The kinds an enemy definition's "type" gives, looked at for every object.
void applyEnemyType(BulletObject& made, const BulletML_Node* definition) {
    switch (definition->getChildType(kEnemy)) {
        case kTypeGround:
            made.setKind(object_kind::kGroundEnemy);
            break;
        case kTypeBullet:
            made.setKind(object_kind::kBulletEnemy);
            made.setDrawLevel(18);
            break;
        default:
            break;
    }
}

// Position, values and launch from the definition (fallbacks: the creation
// values). "cx" and "cy" are an absolute centre; an item's x stays inside
// the field, its y is never clamped.
void placeAndLaunch(R& runtime, BulletObject& made, const ElementRule& rule, const BulletML_Node* definition,
                    std::int32_t flag, Motion direction, Motion speed) {
    float x = valueOr(runtime, definition, kCx, kCvCx);
    if (rule.creator == Creator::kItem && g_gameInfo) {
        const float maxX = static_cast<float>(g_gameInfo->getMaxX());
        const float minX = static_cast<float>(g_gameInfo->getMinX());
        if (x > maxX) {
            x = maxX;
        } else if (x < minX) {
            x = minX;
        }
    }
    made.setX(x);
    made.setY(valueOr(runtime, definition, kCy, kCvCy));
    made.setVital(valueOr(runtime, definition, kVital, kCvVital));
    float score = valueOr(runtime, definition, kScore, kCvScore);
    if (rule.creator == Creator::kItem && flag == kRankScoredItem) score = rankItemScore();
    made.setScore(truncateToInt32(score));
    made.setInvincibleFrames(intOr(runtime, definition, kInv, kCvInv));
    made.setPrateRate(valueOr(runtime, definition, kPrate, kCvPrate));
    // The spirit word is the first of the object's extra words.
    made.setExtraWord(0, intOr(runtime, definition, kSpirit, kCvSpirit));
    creation::launch(runtime, made, direction, speed);
}

// A plain command's direction or speed: its own, else the fire's type with
// the creation value.
Motion plainSource(R& runtime, const BulletML_Node* node, std::int32_t id, std::int32_t fireType, int index) {
    if (node->hasChild(id)) return creation::motionOf(runtime, node, id);
    return {fireType, creationValue(runtime, index)};
}

// A reference's: the target's, else the reference node's own.
Motion refSource(R& runtime, const BulletML_Node* target, const BulletML_Node* reference, std::int32_t id) {
    return creation::motionOf(runtime, target->hasChild(id) ? target : reference, id);
}

// Where a direction not applied is aimed from: the creating object's centre.
void advanceFromCreator(R& runtime, Motion direction) {
    BulletObjectManager* manager = runtimeObjectManager();
    creation::advanceDirection(runtime, direction, manager ? manager->getCurrentX() : 0.0f,
                               manager ? manager->getCurrentY() : 0.0f);
}

enum class Outcome { kMade, kQuietFrame, kNoObject };

// The part both handlers share once the definition is known. When nothing
// is created (a quiet frame for an enemy, or an empty pool) the previous
// direction is still advanced.
template <typename Spawn, typename DirectionSource, typename SpeedSource>
Outcome createObject(R& runtime, const ElementRule& rule, const BulletML_Node* definition,
                  const BulletML_Node* bombFlagNode, bool isReference, Spawn spawn, DirectionSource directionSource,
                  SpeedSource speedSource) {
    BulletObjectManager* manager = runtimeObjectManager();
    const std::int32_t flag = intOr(runtime, definition, kFlag, kCvFlag);
    if (!manager) return Outcome::kNoObject;
    const bool pausable = rule.creator == Creator::kPausable || rule.creator == Creator::kPausableDelayed;
    const std::int32_t pause = pausable ? truncateToInt32(creation::valueOf(runtime, definition, kPause)) : 0;
    if (rule.creator == Creator::kEnemy && (flag & kQuietEnemyBit) && creation::isQuietFrame()) {
        advanceFromCreator(runtime, directionSource());
        return Outcome::kQuietFrame;
    }
    BulletObject* made = createFor(*manager, rule, pause);
    if (!made) {
        advanceFromCreator(runtime, directionSource());
        return Outcome::kNoObject;
    }
    applyRule(*manager, *made, rule, isReference, flag, pause);
    if (rule.creator == Creator::kBomb && bombFlagNode->hasChild(kFlag) &&
        truncateToInt32(creation::valueOf(runtime, bombFlagNode, kFlag)) == 1) {
        made->addFlags(1);
    }
    made->setAttributeBits(static_cast<std::uint32_t>(flag));
    R* script = spawn();
    if (!script) {
        // Nothing runs without its script: the object goes before its first turn.
        creation::giveBack(*made);
        advanceFromCreator(runtime, directionSource());
        return Outcome::kNoObject;
    }
    made->setMainRuntime(script);
    made->setWideName(definition->getLabel());
    made->setActive(0);
    if (intOr(runtime, definition, kChild, kCvChild) == 1) {
        if (BulletObject* creator = manager->getCurrentObject(); creator && creator != made) {
            made->setParent(creator);
            creator->setChildLink(1);
        }
    }
    applyEnemyType(*made, definition);
    const Motion direction = directionSource();
    const Motion speed = speedSource();
    placeAndLaunch(runtime, *made, rule, definition, flag, direction, speed);
    return Outcome::kMade;
}
}  // namespace

namespace handlers {

std::int32_t createObject(R& runtime, std::int32_t id) {
    BulletML_Node* node = runtime.getCurrentNode();
    if (runtime.getRestartFlag()) {
        // This runtime is the new object's own: its script is the children.
        runtime.setRestartFlag(0);
        runtime.restartNode();
        if (BulletObject* self = runtimeCurrentObject()) self->setActive(1);
        return R::kGoOn;
    }
    const ElementRule* rule = ruleFor(id);
    if (!rule) return R::kLeave;
    // The children are the new object's script, never this runtime's: the
    // node is left whether or not an object was made.
    ::createObject(
        runtime, *rule, node, node, false, [&] { return runtime.spawnChild(node); },
        [&] { return plainSource(runtime, node, kDirection, runtime.getFireDirectionType(), kCvDirection); },
        [&] { return plainSource(runtime, node, kSpeed, runtime.getFireSpeedType(), kCvSpeed); });
    return R::kLeave;
}

std::int32_t createObjectRef(R& runtime, std::int32_t id) {
    BulletML_Node* node = runtime.getCurrentNode();
    BulletML_Node* target = node->getRefTarget();
    if (!target) creation::missingReference(node);
    const ElementRule* rule = ruleFor(id);
    if (!rule) return R::kGoOn;
    const Outcome outcome = ::createObject(
        runtime, *rule, target, node, true, [&] { return runtime.spawnRefRuntime(target, node); },
        [&] { return refSource(runtime, target, node, kDirection); },
        [&] { return refSource(runtime, target, node, kSpeed); });
    // Only an enemy held back by the quiet frames leaves; an empty pool makes
    // nothing but the walk goes on as after a creation.
    return outcome == Outcome::kQuietFrame ? R::kLeave : R::kGoOn;
}

}  // namespace handlers

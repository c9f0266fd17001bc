// Item rules of the object manager: flagging objects around the player,
// turning flagged objects into items (or breaking them up), the per-frame
// step of the items and calling them to the player. Tuned by game variables
// read every time: "ttcrange", "autoitemterm", "bulletrevengeframe",
// "autoitemspeed", "ttcitemframe", "autoitemradius".
#include <cmath>

#include "objects/BulletObjectManager.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SineTable.h"
#include "services/SystemInfo.h"
#include "services/Truncate.h"

namespace {
constexpr std::uint32_t kCollecting = object_flag::kCollecting;
constexpr std::uint32_t kRevengeMode = object_flag::kRevenge;
constexpr std::uint32_t kToItemNear = object_flag::kToItemNear;
constexpr std::uint32_t kToItemByCommand = object_flag::kToItemByCommand;
constexpr std::uint32_t kBreakUp = object_flag::kBreakUp;

constexpr std::uint32_t kConversionFlags = kToItemNear | kToItemByCommand | kBreakUp;
constexpr std::uint8_t kItemDrawLevel = 9;
constexpr std::int32_t kItemExtraWord4 = 1025;
constexpr std::uint32_t kSystemTypeAlt = 3;

struct ItemVarNames {
    NameHandle ttcRange = internName("ttcrange");
    NameHandle autoItemTerm = internName("autoitemterm");
    NameHandle bulletRevengeFrame = internName("bulletrevengeframe");
    NameHandle autoItemSpeed = internName("autoitemspeed");
    NameHandle ttcItemFrame = internName("ttcitemframe");
    NameHandle autoItemRadius = internName("autoitemradius");
};
const ItemVarNames& names() {
    static const ItemVarNames instance;
    return instance;
}

float var(NameHandle name) {
    GameInfo* game = g_gameInfo;
    return game ? game->getVar(name) : 0.0f;
}

// Alive, shown and not in revenge mode.
bool isLiveNonRevenge(BulletObject& object) {
    return object.getState() == 0 && object.isActive() && !(object.getFlags() & kRevengeMode);
}

// The player when there is one to play against (a destroyed player kept by
// its reference is none).
BulletObject* livePlayer(const BulletObjectManager& manager) {
    BulletObject* player = manager.getPlayer();
    return player && !player->isReleased() ? player : nullptr;
}

bool withinRange(const BulletObject& object, float playerX, float playerY, float rangeSquared) {
    const float dx = object.getHitX() - playerX;
    const float dy = object.getHitY() - playerY;
    return dx * dx + dy * dy <= rangeSquared;
}

void addScore(std::int32_t score) {
    if (GameInfo* game = g_gameInfo) game->addScore(static_cast<std::uint32_t>(score));
}

// Enemies and plain objects outside the range: with attribute bit 1 inside
// it they become items; otherwise with attribute bit 2 they go into revenge
// mode and score. The score is added even when revenge mode is refused (an
// object already flagged by command keeps its flag).
void flagScoringList(IntBulletObjectManager& list, float px, float py, float range, bool enemies) {
    for (BulletObject* object = list.front(); object; object = IntBulletObjectManager::next(object)) {
        if (!isLiveNonRevenge(*object)) continue;
        const std::uint8_t bits = object->getAttributeBits();
        if ((bits & 1) && withinRange(*object, px, py, range)) {
            object->addFlags(kToItemNear);
        } else if (bits & 2) {
            if (enemies) {
                object->setVital(0.0f);
                object->setInvincibleFrames(0);
            }
            object->setFlags(kRevengeMode);
            addScore(object->getScore());
        }
    }
}

// What the item script gives each new item.
struct ItemValues {
    std::int32_t score;
    float prateRate;
    std::int32_t spirit;
};

// The per-frame values of the item step.
struct ItemStep {
    BulletObjectManager* manager;
    float speed;
    std::int32_t term;
    std::int64_t radiusSquared;
    bool window;
    float playerX;
    float playerY;
    float playerHitX;
    float playerHitY;
};

void itemTurn(BulletObject& item, void* context) {
    const ItemStep& step = *static_cast<const ItemStep*>(context);
    item.runMainOrRevenge();
    item.stepCollectDelay();
    item.runDamage();
    item.runPresent();
    const bool revenge = (item.getFlags() & kRevengeMode) != 0;
    if (!(item.getFlags() & kCollecting) && !revenge && item.getCollectDelay() < 0) {
        if (step.window) {
            item.setCollectDelay(step.term);
        } else {
            const float dx = item.getHitX() - step.playerHitX;
            const float dy = item.getHitY() - step.playerHitY;
            if (static_cast<double>(dx * dx + dy * dy) <= static_cast<double>(step.radiusSquared)) {
                item.setCollectDelay(1);
            }
        }
    }
    if ((item.getFlags() & kCollecting) && !(item.getFlags() & kRevengeMode)) {
        item.setSpeed(step.speed);
        const double dx = static_cast<double>(step.playerX - item.getX());
        const double dy = static_cast<double>(step.playerY - item.getY());
        item.setDirection(static_cast<float>(std::atan2(dy, dx) * sine_table::kDegreesPerRadian + 90.0));
    }
    item.update();
}
}  // namespace

void BulletObjectManager::loadItemScript(BulletML_Node_Manager* document) {
    itemScript_ = nullptr;
    if (!document) return;
    const bool quiet = document->isQuietLookup();
    document->setQuietLookup(true);
    itemScript_ = document->findLabel(ElementId::kItem, WideNamePool::instance().findOrInsert(u"ttc_item_01"));
    document->setQuietLookup(quiet);
}

void BulletObjectManager::flagAroundPlayer() {
    BulletObject* player = livePlayer(*this);
    if (!player) return;
    const float range = var(names().ttcRange);
    const float rangeSquared = range * range;
    const float px = player->getX();
    const float py = player->getY();
    for (BulletObject* bullet = bullets_.front(); bullet; bullet = IntBulletObjectManager::next(bullet)) {
        if (!isLiveNonRevenge(*bullet)) continue;
        bullet->addFlags(withinRange(*bullet, px, py, rangeSquared) ? kToItemNear : kBreakUp);
    }
    flagScoringList(enemies_, px, py, rangeSquared, true);
    flagScoringList(plainObjects_, px, py, rangeSquared, false);
}

void BulletObjectManager::changeBulletToItem() {
    for (BulletObject* object = plainObjects_.front(); object; object = IntBulletObjectManager::next(object)) {
        if (isLiveNonRevenge(*object) && (object->getAttributeBits() & 1)) object->addFlags(kToItemByCommand);
    }
    for (BulletObject* object = bullets_.front(); object; object = IntBulletObjectManager::next(object)) {
        if (isLiveNonRevenge(*object)) object->addFlags(kToItemByCommand);
    }
    for (BulletObject* object = enemies_.front(); object; object = IntBulletObjectManager::next(object)) {
        if (isLiveNonRevenge(*object) && (object->getAttributeBits() & 1)) object->addFlags(kToItemByCommand);
    }
}

void BulletObjectManager::convertFlagged(IntBulletObjectManager& list) {
    if (!itemScript_ || !livePlayer(*this)) return;
    // Which children of the item script hold the new item's score, prate and
    // spirit is the script's convention; these are the ones the "item"
    // command reads.
    const ItemValues values{truncateToInt32(itemScript_->evalChild(ElementId::kScore, nullptr, nullptr)),
                            static_cast<float>(itemScript_->evalChild(ElementId::kPrate, nullptr, nullptr)),
                            truncateToInt32(itemScript_->evalChild(ElementId::kSpirit, nullptr, nullptr))};
    const std::int32_t term = truncateToInt32(var(names().autoItemTerm));
    const float revengeFrames = var(names().bulletRevengeFrame);
    const std::int32_t fadeFrames = truncateToInt32(revengeFrames);
    // Rounded to nearest, ties to even (the frame step keeps the default
    // rounding mode).
    const std::int32_t countdown = truncateToInt32(std::nearbyint(static_cast<double>(revengeFrames)));

    BulletObject* object = list.front();
    while (object) {
        // The object may leave this list below: step on first.
        BulletObject* following = IntBulletObjectManager::next(object);
        const std::uint32_t flags = object->getFlags();
        if (isLiveNonRevenge(*object) && (flags & kConversionFlags)) {
            if (flags & kBreakUp) {
                object->dropProtectedChildren();
                object->setFlags(0);
                object->setFlags(kRevengeMode);
                object->changeImageColor(0, fadeFrames);
                object->setCountdown(countdown);
                object->setSpeed(0.0f);
                object->changeSpeed(0.0f, 1);
            } else {
                for (BulletObject* child = object->getFirstChild(); child; child = child->getNextSibling()) {
                    if (child->getFlags() & kRevengeMode) continue;
                    child->addFlags((flags & kToItemNear) ? kToItemNear : kToItemByCommand);
                }
                object->detachFamily();
                object->setDrawLevel(kItemDrawLevel);
                object->setKind(object_kind::kFirstItem);
                object->setScore(values.score);
                object->setPrateRate(values.prateRate);
                object->setExtraWord(0, values.spirit);
                object->setExtraWord4(kItemExtraWord4);
                ExBulletML_Runtime* runtime = object->getMainRuntime();
                if (!runtime) {
                    // An object made without a script takes one from the
                    // pool; with the pool empty it becomes an item without.
                    runtime = getRuntime();
                    if (runtime) object->setMainRuntime(runtime);
                }
                if (runtime) {
                    runtime->setup(itemScript_);
                    runtime->setRestartFlag(1);
                }
                // The item's scripts run (its script, then its revenge rule
                // once collected), even when the object's did not.
                object->setRuntimeActive(1);
                object->setInvincibleFrames(0);
                object->setFlags(0);
                object->setAttributeBits(0);
                object->setCollectDelay(term);
                object->setFlags(kCollecting);
                items_.append(object);
            }
        }
        object = following;
    }
}

void BulletObjectManager::updateItems() {
    BulletObject* player = livePlayer(*this);
    if (!player) {
        // No player to fly to: the items still run and dead ones leave, as
        // in any list, so none lingers until the next reset.
        items_.update();
        return;
    }
    std::uint32_t systemType = 0;
    if (const SystemInfo* system = g_systemInfo) systemType = system->getSystemType();
    const std::int64_t radius = truncateToInt32(var(names().autoItemRadius));
    const std::int32_t ttcItemFrame = truncateToInt32(var(names().ttcItemFrame));
    const FrameCounter* frames = g_frameCounter;
    const std::uint32_t magicFrames = frames ? frames->getMagicFrames() : FrameCounter::kExpiredFrames;
    ItemStep step{this,
                  var(names().autoItemSpeed),
                  truncateToInt32(var(names().autoItemTerm)),
                  radius * radius,
                  systemType != kSystemTypeAlt && magicFrames < static_cast<std::uint32_t>(ttcItemFrame),
                  player->getX(),
                  player->getY(),
                  player->getHitX(),
                  player->getHitY()};
    items_.updateWith(&itemTurn, &step);
}

void BulletObjectManager::collectAllItems() {
    for (BulletObject* item = items_.front(); item; item = IntBulletObjectManager::next(item)) {
        if (item->getState() == 0 && item->isActive()) item->addFlags(kCollecting);
    }
}

#include "objects/IntBulletObjectManager.h"

#include <algorithm>
#include <typeinfo>

#include "objects/BulletObject.h"
#include "objects/BulletObjectAllocator.h"
#include "objects/BulletObjectManager.h"
#include "objects/BulletObjectStep.h"
#include "records/GameInfo.h"
#include "services/Managers.h"
#include "services/Truncate.h"

IntBulletObjectManager* IntBulletObjectManager::registry_[kMaxLists] = {};

namespace {
// Each list's target map is reserved for a full pool, so filling it never
// allocates during play.
constexpr std::size_t kTargetMapCapacity = BulletObjectAllocator::kBlocks;
}  // namespace

IntBulletObjectManager::IntBulletObjectManager(std::string_view name)
    : name_(name.empty() ? NamePool::instance().emptyName() : internName(name)) {
    targetMap_.reserve(kTargetMapCapacity);
    for (int i = 0; i < kMaxLists; ++i) {
        if (!registry_[i]) {
            registry_[i] = this;
            index_ = i;
            break;
        }
    }
}

IntBulletObjectManager::~IntBulletObjectManager() {
    walking_ = 0;
    clear();
    if (index_ >= 0) registry_[index_] = nullptr;
}

BulletObject* IntBulletObjectManager::next(const BulletObject* object) { return object->listNext_; }

void IntBulletObjectManager::link(BulletObject* object, bool plainClass) {
    object->turn_.plainClass = plainClass;
    object->list_ = this;
    object->listPrev_ = tail_;
    object->listNext_ = nullptr;
    if (tail_) {
        tail_->listNext_ = object;
    } else {
        head_ = object;
    }
    tail_ = object;
    ++size_;
}

void IntBulletObjectManager::unlink(BulletObject* object) {
    if (object == cursor_) {
        // The walk is at this object: it goes on from the object's neighbour.
        cursorDetached_ = true;
        cursorNext_ = object->listNext_;
    } else if (cursorDetached_ && object == cursorNext_) {
        cursorNext_ = object->listNext_;
    }
    if (object->listPrev_) {
        object->listPrev_->listNext_ = object->listNext_;
    } else {
        head_ = object->listNext_;
    }
    if (object->listNext_) {
        object->listNext_->listPrev_ = object->listPrev_;
    } else {
        tail_ = object->listPrev_;
    }
    if (object->turn_.pendingDestroy) {
        --marked_;
        if (owner_) owner_->countMarked(-1);
        object->turn_.pendingDestroy = 0;
    } else {
        --size_;
    }
    object->list_ = nullptr;
    object->listPrev_ = nullptr;
    object->listNext_ = nullptr;
}

BulletObject* IntBulletObjectManager::create() {
    BulletObject* object = BulletObjectAllocator::instance().get();
    if (!object) return nullptr;
    // The pool makes BulletObjects only: its class needs no look-up, and the
    // slot is called without dispatch.
    link(object, true);
    object->BulletObject::setTag(serial_);
    ++serial_;
    return object;
}

void IntBulletObjectManager::append(BulletObject* object) {
    if (!object) return;
    if (object->list_) object->list_->detach(object);
    link(object, typeid(*object) == typeid(BulletObject));
}

void IntBulletObjectManager::detach(BulletObject* object) {
    if (object && object->list_ == this) unlink(object);
}

void IntBulletObjectManager::destroyObject(BulletObject* object) {
    unlink(object);
    forgetTargets(object);
    if (owner_) owner_->forgetObject(object);
    object->destroy(0);
}

bool IntBulletObjectManager::isRunning(BulletObject* object) const {
    return walking_ > 0 || (owner_ && owner_->isInWalk(object));
}

void IntBulletObjectManager::dispose(BulletObject* object) {
    if (object->turn_.pendingDestroy) return;
    if (isRunning(object)) {
        // A walk (or a script of this very object) is in progress: the walk
        // destroys it when it reaches it or ends.
        object->turn_.pendingDestroy = 1;
        --size_;
        ++marked_;
        if (owner_) owner_->countMarked(1);
        return;
    }
    destroyObject(object);
}

void IntBulletObjectManager::destroyMarked() {
    if (marked_ == 0 || walking_ > 0) return;
    BulletObject* object = head_;
    while (object) {
        BulletObject* following = object->listNext_;
        if (object->turn_.pendingDestroy && !(owner_ && owner_->isInWalk(object))) destroyObject(object);
        object = following;
    }
}

namespace {
// The walk reads every object's state word two or three times a frame; no
// object class replaces getState, so it is called without the virtual
// dispatch.
std::uint32_t stateOf(const BulletObject& object) { return object.stateWord(); }

// An object's turn in the ordinary walk: its scripts and motion, then an
// enemy's prate. `madeCurrent` and `outermost` are what runScriptsAndMotion
// takes, the same for every turn of one walk (a turn leaves the walk depth
// as it found it).
[[gnu::always_inline]] inline void ordinaryTurn(BulletObject& object, bool madeCurrent, bool outermost) {
    if (object.isPlainClass()) {
        object.runScriptsAndMotion(madeCurrent, outermost);
    } else {
        object.runMainOrRevenge();
        object.runDamage();
        object.runPresent();
        object.update();
    }
    if (object.getKind() == object_kind::kEnemy && stateOf(object) == 0 &&
        !(object.getFlags() & object_flag::kRevenge)) {
        GameInfo* game = g_gameInfo;
        if (game && game->isPlayerMoveEnabled()) game->addPrate(truncateToInt32(object.getPrateRate()));
    }
}

// For walks that take no quiet turns.
constexpr auto kNoQuietTurns = [](BulletObject&) { return false; };
}  // namespace

template <typename QuietFn, typename TurnFn>
[[gnu::always_inline]] inline void IntBulletObjectManager::walk(QuietFn quiet, TurnFn turn) {
    ++walking_;
    BulletObjectManager* const owner = owner_;
    // Where each object is recorded as the walk reaches it (a list without
    // an owner records it in a place nobody reads).
    BulletObject* unrecorded = nullptr;
    BulletObjectManager::WalkMarks marks{&unrecorded, &unrecorded};
    if (owner) {
        owner->enterWalk();
        marks = owner->walkMarks();
    }
    // The saved cursor of an enclosing walk of this list (none in practice).
    BulletObject* const outerCursor = cursor_;
    const bool outerDetached = cursorDetached_;
    BulletObject* const outerNext = cursorNext_;
    // False whenever the walk reaches an object: unlink sets it during the
    // object's turn, and the walk clears it as it follows cursorNext_.
    cursorDetached_ = false;

    // The object last reached, while that one took a quiet turn: such turns
    // leave the cursor and the marks as they are (nothing they do reads
    // them), so the marks are set to it when the walk ends there.
    BulletObject* quietLast = nullptr;
    BulletObject* object = head_;
    while (object) {
        if (quiet(*object)) {
            quietLast = object;
            object = object->listNext_;
            continue;
        }
        quietLast = nullptr;
        cursor_ = object;
        *marks.slot = object;
        *marks.current = object;
        if (object->turn_.pendingDestroy || stateOf(*object) != 0) {
            BulletObject* following = object->listNext_;
            cursor_ = nullptr;
            destroyObject(object);
            object = following;
            continue;
        }
        turn(*object);
        // Read after the turn, so objects appended during it are visited in
        // this walk.
        BulletObject* following;
        if (cursorDetached_) {
            // The object left the list during its turn: the walk goes on
            // from its neighbour there.
            following = cursorNext_;
            cursorDetached_ = false;
        } else {
            following = object->listNext_;
            if (object->turn_.pendingDestroy || stateOf(*object) != 0) [[unlikely]] {
                // No longer the walk's object: its own removal does not
                // move the cursor.
                cursor_ = nullptr;
                destroyObject(object);
            }
        }
        object = following;
    }
    if (quietLast) {
        *marks.slot = quietLast;
        *marks.current = quietLast;
    }

    cursor_ = outerCursor;
    cursorDetached_ = outerDetached;
    cursorNext_ = outerNext;
    if (owner) owner->leaveWalk();
    --walking_;
    destroyMarked();
}

void IntBulletObjectManager::update() {
    // The owner makes each object its current one; the process-wide manager
    // outside every walk now runs none of its objects' scripts. The
    // outermost walk, the one of every frame, has a loop of its own with
    // both known.
    const bool madeCurrent = owner_ && owner_ == g_bulletObjectManager;
    if (madeCurrent && owner_->isOutsideWalks()) {
        walk([](BulletObject& object) { return object.takeQuietTurn(); },
             [](BulletObject& object) { ordinaryTurn(object, true, true); });
    } else {
        walk(kNoQuietTurns, [madeCurrent](BulletObject& object) { ordinaryTurn(object, madeCurrent, false); });
    }
}

void IntBulletObjectManager::updateWith(Turn turn, void* context) {
    walk(kNoQuietTurns, [turn, context](BulletObject& object) { turn(object, context); });
}

void IntBulletObjectManager::removeDead() {
    BulletObject* object = head_;
    while (object) {
        BulletObject* following = object->listNext_;
        if (object->getState() != 0) dispose(object);
        object = following;
    }
}

void IntBulletObjectManager::clear() {
    BulletObject* object = head_;
    while (object) {
        BulletObject* following = object->listNext_;
        dispose(object);
        object = following;
    }
    for (auto& entry : targetMap_) entry.second->targetMapBits_ &= ~(1u << index_);
    targetMap_.clear();
}

void IntBulletObjectManager::vanishAll() {
    for (BulletObject* object = head_; object; object = object->listNext_) {
        if (!object->turn_.pendingDestroy) object->setState(1);
    }
}

std::int32_t IntBulletObjectManager::hasLiveEnemy() {
    for (BulletObject* object = head_; object; object = object->listNext_) {
        if (!object->turn_.pendingDestroy && object->isActive() && object->getState() == 0 &&
            object->getKind() == object_kind::kEnemy) {
            return 1;
        }
    }
    return 0;
}

std::int32_t IntBulletObjectManager::hasCollectingItem() {
    for (BulletObject* object = head_; object; object = object->listNext_) {
        const std::uint32_t flags = object->getFlags();
        if (!object->turn_.pendingDestroy && (flags & object_flag::kCollecting) && !(flags & object_flag::kRevenge)) return 1;
    }
    return 0;
}

BulletObject* IntBulletObjectManager::findTarget(std::uint32_t tag) const {
    auto it = std::lower_bound(targetMap_.begin(), targetMap_.end(), tag,
                               [](const auto& entry, std::uint32_t key) { return entry.first < key; });
    return it != targetMap_.end() && it->first == tag ? it->second : nullptr;
}

void IntBulletObjectManager::setTarget(std::uint32_t tag, BulletObject* object) {
    auto it = std::lower_bound(targetMap_.begin(), targetMap_.end(), tag,
                               [](const auto& entry, std::uint32_t key) { return entry.first < key; });
    if (it != targetMap_.end() && it->first == tag) {
        it->second = object;
    } else {
        targetMap_.insert(it, {tag, object});
    }
    if (index_ >= 0) object->targetMapBits_ |= 1u << index_;
}

void IntBulletObjectManager::forgetTargets(BulletObject* object) {
    std::uint32_t bits = object->targetMapBits_;
    object->targetMapBits_ = 0;
    for (int i = 0; bits != 0 && i < kMaxLists; ++i, bits >>= 1) {
        if (!(bits & 1) || !registry_[i]) continue;
        auto& map = registry_[i]->targetMap_;
        map.erase(std::remove_if(map.begin(), map.end(), [object](const auto& entry) { return entry.second == object; }),
                  map.end());
    }
}

void IntBulletObjectManager::revengeByName(NameHandle wideName) {
    for (BulletObject* object = head_; object; object = object->listNext_) {
        if (!object->turn_.pendingDestroy && object->getState() == 0 && object->getWideName() == wideName) {
            object->setFlags(object_flag::kRevenge | object_flag::kRevengeFromParent);
        }
    }
}

void IntBulletObjectManager::vanishByName(NameHandle wideName) {
    for (BulletObject* object = head_; object; object = object->listNext_) {
        if (!object->turn_.pendingDestroy && object->getWideName() == wideName) object->setState(1);
    }
}

bool IntBulletObjectManager::isAutoTargetCandidate(BulletObject* object) const {
    return !object->turn_.pendingDestroy && object->getState() == 0 && object->isActive() &&
           !(object->getFlags() & object_flag::kRevenge) && object->getInvincibleFrames() <= 0 &&
           object->getHitShape1().radiusSquared != 0.0f && object->isBreakable() &&
           !(object->getAttributeBits() & 16);
}

std::uint32_t IntBulletObjectManager::lockTarget(BulletObject* choice, std::uint32_t shotTag) {
    if (!choice) return 0;
    setTarget(choice->getTag(), choice);
    choice->setTargetTag(static_cast<std::int32_t>(shotTag));
    return choice->getTag();
}

std::uint32_t IntBulletObjectManager::findAutoTarget(std::uint32_t shotTag) {
    BulletObject* choice = nullptr;
    for (BulletObject* object = head_; object; object = object->listNext_) {
        if (!isAutoTargetCandidate(object)) continue;
        const std::uint32_t lock = static_cast<std::uint32_t>(object->getTargetTag());
        if (lock == 0 || lock == shotTag) {
            choice = object;
            break;
        }
        choice = object;  // the last candidate seen, when none is free
    }
    return lockTarget(choice, shotTag);
}

std::uint32_t IntBulletObjectManager::findAutoTargetAlt(std::uint32_t shotTag) {
    // The other choice of the autotarget command is not given by the design:
    // this one takes the first candidate whatever its lock.
    for (BulletObject* object = head_; object; object = object->listNext_) {
        if (isAutoTargetCandidate(object)) return lockTarget(object, shotTag);
    }
    return 0;
}

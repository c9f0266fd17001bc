#include "objects/BulletObjectManager.h"

#include <algorithm>
#include <cmath>

#include "graphics/MeshManager.h"
#include "objects/BulletObjectAllocator.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/VecParamAllocator.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"

BulletObjectManager::BulletObjectManager() {
    for (IntBulletObjectManager* list : allLists()) list->setOwner(this);
    sharedVitals_.reserve(kSharedVitalCapacity);
}

BulletObjectManager::~BulletObjectManager() {
    clearAll();
    tops_.clear();
    player_.reset(nullptr);
    current_ = nullptr;
}

std::array<IntBulletObjectManager*, 10> BulletObjectManager::allLists() {
    return {&plainObjects_, &bullets_,     &enemies_, &shots_,        &items_,
            &bombs_,        &groups_,      &delayObjects_, &pauseObjects_, &pauseRunObjects_};
}

BulletObject* BulletObjectManager::createInto(IntBulletObjectManager& list) { return list.create(); }

BulletObject* BulletObjectManager::createBullet() {
    BulletObject* object = createInto(bullets_);
    // The pool makes BulletObjects only: the slot is called without dispatch.
    if (object && current_) object->BulletObject::copyLevelAndKind(*current_);
    return object;
}

BulletObject* BulletObjectManager::createEnemy() {
    BulletObject* object = createInto(enemies_);
    if (!object) return nullptr;
    if (current_) object->copyLevelAndKind(*current_);
    enemyCacheValid_ = 1;
    enemyCacheAnswer_ = 1;
    return object;
}

BulletObject* BulletObjectManager::createShot() {
    BulletObject* object = createInto(shots_);
    if (object && current_) object->copyLevelAndKind(*current_);
    return object;
}

BulletObject* BulletObjectManager::createBomb() { return createInto(bombs_); }
BulletObject* BulletObjectManager::createPauseObject() { return createInto(pauseObjects_); }
BulletObject* BulletObjectManager::createPauseRunObject() { return createInto(pauseRunObjects_); }
BulletObject* BulletObjectManager::createItem() { return createInto(items_); }
BulletObject* BulletObjectManager::createPlainObject() { return createInto(plainObjects_); }
BulletObject* BulletObjectManager::createDelayObject() { return createInto(delayObjects_); }

SelectableObject* BulletObjectManager::createSelectable() { return selectables_.create(); }
SelectableObject* BulletObjectManager::createPauseSelectable() { return pauseSelectables_.create(); }

BulletObject* BulletObjectManager::createGroup() {
    BulletObject* object = createInto(groups_);
    if (object) lastGroupTag_ = object->getTag();
    return object;
}

ExBulletML_Runtime* BulletObjectManager::getRuntime() { return takeRuntimeFromPool(); }


float BulletObjectManager::getCurrentX() const { return current_ ? current_->getX() : 0.0f; }
float BulletObjectManager::getCurrentY() const { return current_ ? current_->getY() : 0.0f; }
float BulletObjectManager::getCurrentDirection() const { return current_ ? current_->getDirection() : 0.0f; }
float BulletObjectManager::getCurrentSpeed() const { return current_ ? current_->getSpeed() : 0.0f; }

float BulletObjectManager::getPlayerX() const { return player_ ? player_->getX() : 0.0f; }
float BulletObjectManager::getPlayerY() const { return player_ ? player_->getY() : 0.0f; }
float BulletObjectManager::getPlayerHitX() const { return player_ ? player_->getHitX() : 0.0f; }
float BulletObjectManager::getPlayerHitY() const { return player_ ? player_->getHitY() : 0.0f; }

float BulletObjectManager::getDistanceToPlayer() const {
    if (!current_ || !player_) return 0.0f;
    const float dx = player_->getHitX() - current_->getHitX();
    const float dy = player_->getHitY() - current_->getHitY();
    return std::sqrt(dx * dx + dy * dy);
}

std::int32_t BulletObjectManager::getEnemyCountCached() {
    if (!enemyCacheValid_) {
        enemyCacheAnswer_ = enemies_.hasLiveEnemy();
        enemyCacheValid_ = 1;
    }
    return enemyCacheAnswer_;
}

namespace {
template <typename Map>
auto findKey(Map& map, std::uint32_t key) {
    return std::lower_bound(map.begin(), map.end(), key,
                            [](const auto& entry, std::uint32_t wanted) { return entry.first < wanted; });
}
}  // namespace

float BulletObjectManager::getSharedVital(std::uint32_t key) const {
    auto it = findKey(sharedVitals_, key);
    return it != sharedVitals_.end() && it->first == key ? it->second : 0.0f;
}

void BulletObjectManager::setSharedVital(std::uint32_t key, float value) {
    auto it = findKey(sharedVitals_, key);
    if (it != sharedVitals_.end() && it->first == key) {
        it->second = value;
    } else {
        sharedVitals_.insert(it, {key, value});
    }
}

void BulletObjectManager::addSharedVital(std::uint32_t key, float delta) {
    auto it = findKey(sharedVitals_, key);
    if (it != sharedVitals_.end() && it->first == key) {
        it->second += delta;
    } else {
        sharedVitals_.insert(it, {key, 0.0f + delta});
    }
}

std::uint32_t BulletObjectManager::countObjects() {
    std::uint32_t count = 0;
    for (IntBulletObjectManager* list : allLists()) count += list->size();
    return count;
}

void BulletObjectManager::targetRevenge(NameHandle wideName) {
    GameInfo* game = g_gameInfo;
    if (game && game->isPaused()) {
        pauseObjects_.revengeByName(wideName);
        return;
    }
    if (game && game->getCutinMode() == 1) {
        pauseRunObjects_.revengeByName(wideName);
        return;
    }
    for (IntBulletObjectManager* list :
         {&plainObjects_, &bullets_, &enemies_, &shots_, &groups_, &items_, &bombs_, &delayObjects_}) {
        list->revengeByName(wideName);
    }
    selectables_.revengeByName(wideName);
    pauseSelectables_.revengeByName(wideName);
}

void BulletObjectManager::targetVanish(NameHandle wideName) {
    for (IntBulletObjectManager* list : allLists()) list->vanishByName(wideName);
    selectables_.vanishByName(wideName);
    pauseSelectables_.vanishByName(wideName);
}

void BulletObjectManager::clearAll() {
    for (IntBulletObjectManager* list : {&bullets_, &enemies_, &shots_, &groups_, &pauseObjects_, &items_, &bombs_,
                                         &pauseRunObjects_, &plainObjects_, &delayObjects_}) {
        list->clear();
    }
    selectables_.clear();
    pauseSelectables_.clear();
    tops_.set(TopObject::kPause, nullptr);
    tops_.set(TopObject::kGameOver, nullptr);
    tops_.set(TopObject::kBomb2, nullptr);
    tops_.set(TopObject::kTensionUp, nullptr);
    counters_[0] = 0;
    counters_[1] = 0;
}

void BulletObjectManager::runTopObject(BulletObject* object) {
    if (!object || object->isReleased()) return;
    enterWalk();
    walkAt(object);
    object->runMainOrRevenge();
    leaveWalk();
}

std::int32_t BulletObjectManager::execBullet() {
    FrameCounter* frames = g_frameCounter;
    if (frames) frames->beginSection("execBullet");
    GameInfo* game = g_gameInfo;
    if (!(game && game->isPaused())) {
        if (game && game->getCutinMode() == 1) {
            pauseRunObjects_.update();
        } else {
            convertFlagged(plainObjects_);
            convertFlagged(bullets_);
            convertFlagged(enemies_);
            plainObjects_.update();
            bullets_.update();
            enemies_.update();
            shots_.update();
            updateItems();
            bombs_.update();
            groups_.update();
            delayObjects_.update();
            if (MeshManager* meshes = g_meshManager) {
                meshes->stepPlain();
                meshes->stepShadow();
                meshes->stepEffect();
            }
        }
    }
    runTopObject(getPauseTop());
    runTopObject(getGameOverTop());
    pauseObjects_.update();

    // The menus: with a pause toggle pending the pause menu runs its steps
    // once more (it opens or closes in this frame), then the game's menu is
    // the active one; otherwise the one of the paused state is.
    if (game && game->isPauseToggleRequested()) {
        activeSelect_ = &pauseSelectables_;
        pauseSelectables_.runSteps();
        activeSelect_ = &selectables_;
    } else {
        activeSelect_ = game && game->isPaused() ? &pauseSelectables_ : &selectables_;
    }
    activeSelect_->runSteps();

    BulletObjectAllocator::instance().refill();
    if (frames) frames->beginSection("execBullet_Runtime");
    refillRuntimePool();
    VecParamAllocator::instance().refill();
    if (frames) frames->endSection("execBullet_Runtime");
    if (frames) frames->endSection("execBullet");
    return 0;
}

void BulletObjectManager::enterWalk() {
    if (walkDepth_ < kMaxWalkDepth) walkStack_[walkDepth_] = nullptr;
    ++walkDepth_;
}


void BulletObjectManager::leaveWalk() {
    if (walkDepth_ > 0) --walkDepth_;
    if (walkDepth_ <= kMaxWalkDepth && walkDepth_ > 0) {
        // The enclosing walk's object is current again.
        current_ = walkStack_[walkDepth_ - 1];
    }
    if (walkDepth_ == 0 && markedInLists_ != 0) {
        for (IntBulletObjectManager* list : allLists()) list->destroyMarked();
    }
}

bool BulletObjectManager::isInWalk(const BulletObject* object) const {
    const int depth = walkDepth_ < kMaxWalkDepth ? walkDepth_ : kMaxWalkDepth;
    for (int i = 0; i < depth; ++i) {
        if (walkStack_[i] == object) return true;
    }
    return false;
}

void BulletObjectManager::forgetObject(BulletObject* object) {
    if (current_ == object) current_ = nullptr;
    const int depth = walkDepth_ < kMaxWalkDepth ? walkDepth_ : kMaxWalkDepth;
    for (int i = 0; i < depth; ++i) {
        if (walkStack_[i] == object) walkStack_[i] = nullptr;
    }
}

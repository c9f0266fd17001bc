#include "objects/BulletObjectManager.h"

#include <cmath>

#include "runtime/ExBulletML_Runtime.h"
#include "runtime/VecParamAllocator.h"

BulletObjectManager::BulletObjectManager() : IntBulletObjectManager("bulletobjectmgr_") {
    for (IntBulletObjectManager* list : {&delayObjects_, &plainObjects_, &bullets_, &enemies_, &shots_, &groups_,
                                         &pauseObjects_, &items_, &bombs_, &pauseRunObjects_})
        list->setOwner(this);
}

BulletObjectManager::~BulletObjectManager() { clearAll(); }

BulletObject* BulletObjectManager::createBullet() {
    BulletObject* object = bullets_.create();
    if (current_) {
        object->setKind(current_->getKind());
    }
    return object;
}
BulletObject* BulletObjectManager::createEnemy() {
    enemyCacheValid_ = 1;
    enemyCacheAnswer_ = 1;
    return enemies_.create();
}
BulletObject* BulletObjectManager::createShot() { return shots_.create(); }
BulletObject* BulletObjectManager::createBomb() { return bombs_.create(); }
BulletObject* BulletObjectManager::createPauseObject() { return pauseObjects_.create(); }
BulletObject* BulletObjectManager::createPauseRunObject() { return pauseRunObjects_.create(); }
BulletObject* BulletObjectManager::createGroup() {
    BulletObject* object = groups_.create();
    lastGroupTag_ = object->getTag();
    return object;
}
BulletObject* BulletObjectManager::createItem() { return items_.create(); }
BulletObject* BulletObjectManager::createPlainObject() { return plainObjects_.create(); }
BulletObject* BulletObjectManager::createDelayObject() { return delayObjects_.create(); }

ExBulletML_Runtime* BulletObjectManager::getRuntime() { return takeRuntimeFromPool(); }

void BulletObjectManager::syncCurrentObject() {
    if (walkObject_) current_ = walkObject_;
}

float BulletObjectManager::getCurrentX() const { return current_ ? current_->getX() : 0.0f; }
float BulletObjectManager::getCurrentY() const { return current_ ? current_->getY() : 0.0f; }
float BulletObjectManager::getCurrentDirection() const { return current_ ? current_->getDirection() : 0.0f; }
float BulletObjectManager::getCurrentSpeed() const { return current_ ? current_->getSpeed() : 0.0f; }

float BulletObjectManager::getPlayerHitX() const { return player_ ? player_->getHitX() : 0.0f; }
float BulletObjectManager::getPlayerHitY() const { return player_ ? player_->getHitY() : 0.0f; }

float BulletObjectManager::getDistanceToPlayer() const {
    if (!current_ || !player_) return 0.0f;
    float dx = player_->getHitX() - current_->getHitX();
    float dy = player_->getHitY() - current_->getHitY();
    return std::sqrt(dx * dx + dy * dy);
}

std::int32_t BulletObjectManager::getEnemyCountCached() {
    if (!enemyCacheValid_) {
        std::int32_t live = 0;
        for (BulletObject* object : enemies_.objects())
            if (object->getState() == 0 && object->isActive() && object->getKind() == object_kind::kEnemy) ++live;
        enemyCacheAnswer_ = live;
        enemyCacheValid_ = 1;
    }
    return enemyCacheAnswer_;
}

float BulletObjectManager::getSharedVital(std::uint32_t key) const {
    auto it = sharedVitals_.find(key);
    return it != sharedVitals_.end() ? it->second : 0.0f;
}

void BulletObjectManager::setSharedVital(std::uint32_t key, float value) { sharedVitals_[key] = value; }

void BulletObjectManager::clearAll() {
    for (IntBulletObjectManager* list : {&delayObjects_, &plainObjects_, &bullets_, &enemies_, &shots_, &groups_,
                                         &pauseObjects_, &items_, &bombs_, &pauseRunObjects_})
        list->clear();
    current_ = walkObject_ = nullptr;
    player_ = nullptr;
}

std::int32_t BulletObjectManager::execBullet() {
    for (IntBulletObjectManager* list : {&plainObjects_, &bullets_, &enemies_, &shots_, &items_, &bombs_, &groups_,
                                         &delayObjects_})
        list->update();
    walkObject_ = nullptr;
    refillRuntimePool();
    VecParamAllocator::instance().refill();
    return 0;
}

void BulletObjectManager::forgetObject(BulletObject* object) {
    if (current_ == object) current_ = nullptr;
    if (walkObject_ == object) walkObject_ = nullptr;
    if (player_ == object) player_ = nullptr;
}

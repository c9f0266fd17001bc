#include "objects/IntBulletObjectManager.h"

#include "objects/BulletObject.h"
#include "objects/BulletObjectManager.h"

IntBulletObjectManager::IntBulletObjectManager(std::string_view name) : name_(NamePool::instance().intern(name)) {}

IntBulletObjectManager::~IntBulletObjectManager() { clear(); }

BulletObject* IntBulletObjectManager::create() {
    BulletObject* object = new BulletObject();
    object->setTag(serial_++);
    objects_.push_back(object);
    return object;
}

void IntBulletObjectManager::update() {
    // Objects created during the walk are visited in it (by index).
    for (std::size_t i = 0; i < objects_.size(); ++i) {
        BulletObject* object = objects_[i];
        if (object->getState() != 0) continue;
        if (owner_) owner_->walkAt(object);
        object->runMainOrRevenge();
        object->runPresent();
        object->runDamage();
        object->update();
    }
    if (owner_) owner_->walkAt(nullptr);
    removeDead();
}

void IntBulletObjectManager::removeDead() {
    std::size_t kept = 0;
    for (BulletObject* object : objects_) {
        if (object->getState() != 0) {
            if (owner_) owner_->forgetObject(object);
            object->destroy(0);
        } else {
            objects_[kept++] = object;
        }
    }
    objects_.resize(kept);
}

void IntBulletObjectManager::clear() {
    std::vector<BulletObject*> objects;
    objects.swap(objects_);
    for (BulletObject* object : objects) {
        if (owner_) owner_->forgetObject(object);
        object->destroy(0);
    }
}

void IntBulletObjectManager::vanishAll() {
    for (BulletObject* object : objects_) object->setState(1);
}

std::uint32_t IntBulletObjectManager::findAutoTarget(std::uint32_t shotTag) {
    std::uint32_t seen = 0;
    for (BulletObject* object : objects_) {
        if (object->getState() != 0) continue;
        if (++seen == shotTag) return object->getTag();
    }
    return 0;
}

std::uint32_t IntBulletObjectManager::findAutoTargetAlt(std::uint32_t shotTag) { return findAutoTarget(shotTag); }

// Stand-in for one named list of live script objects, until the objects
// work brings the real one (which replaces this file): a plain vector run
// once a frame in creation order, tags from the list's own serial.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "services/NamePool.h"

class BulletObject;
class BulletObjectManager;

class IntBulletObjectManager {
public:
    explicit IntBulletObjectManager(std::string_view name = {});
    IntBulletObjectManager(const IntBulletObjectManager&) = delete;
    IntBulletObjectManager& operator=(const IntBulletObjectManager&) = delete;
    virtual ~IntBulletObjectManager();

    NameHandle getName() const { return name_; }
    void setOwner(BulletObjectManager* owner) { owner_ = owner; }

    // A fresh object appended with the next serial as its tag.
    BulletObject* create();
    // Runs each live object's scripts and motion; destroys the dead ones.
    void update();
    void removeDead();
    void clear();
    void vanishAll();
    // The tag of the n-th live object of the list (1-based), or 0. The
    // stand-in's two choices are the same.
    std::uint32_t findAutoTarget(std::uint32_t shotTag);
    std::uint32_t findAutoTargetAlt(std::uint32_t shotTag);

    std::uint32_t size() const { return static_cast<std::uint32_t>(objects_.size()); }
    BulletObject* front() const { return objects_.empty() ? nullptr : objects_.front(); }
    const std::vector<BulletObject*>& objects() const { return objects_; }

private:
    NameHandle name_;
    BulletObjectManager* owner_ = nullptr;
    std::uint32_t serial_ = 1;
    std::vector<BulletObject*> objects_;
};

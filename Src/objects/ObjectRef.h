// A process-wide reference to an object that other code reads every frame
// (the player, the top objects). While a reference names an object, the
// object's destruction releases its scripts, images and family at once but
// keeps its block and last values, so readers see a dead object's last
// position rather than freed (or reused) memory; the block goes back to the
// pool when the last reference is re-pointed or cleared.
#pragma once
#include "objects/BulletObject.h"

class ObjectRef {
public:
    ObjectRef() = default;
    ObjectRef(const ObjectRef&) = delete;
    ObjectRef& operator=(const ObjectRef&) = delete;
    ~ObjectRef() { reset(nullptr); }

    void reset(BulletObject* object) {
        if (object == object_) return;
        if (object) object->pin();
        BulletObject* old = object_;
        object_ = object;
        if (old) old->unpin();
    }
    BulletObject* get() const { return object_; }
    BulletObject* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    BulletObject* object_ = nullptr;
};

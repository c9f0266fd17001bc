#include "objects/BulletObjectAllocator.h"

BulletObjectAllocator& BulletObjectAllocator::instance() {
    static BulletObjectAllocator pool;
    return pool;
}

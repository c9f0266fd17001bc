#include "objects/ObjectFixture.h"

#include <cstring>

#include "objects/BulletObjectAllocator.h"
#include "services/Fnv1a.h"
#include "services/Managers.h"

ObjectTest::ObjectTest() {
    Window::setInstance(&window);
    window.create("t", 0, 0, 640, 480, nullptr);
    d3d = std::make_unique<D3DObject>();
    g_d3dObject = d3d.get();
    EXPECT_EQ(d3d->initDirect3D(), S_OK);
    EXPECT_EQ(d3d->initDevice(640, 480, 60, 1, 0, 0, 1), S_OK);
    d3d->setVirtualScreenSize(640, 480);
    g_gameInfo = new GameInfo();
    g_gameInfo->setPlayerMoveEnabled(1);
    g_frameCounter = new FrameCounter();
    BulletObjectAllocator::instance().fill();
    g_bulletObjectManager = new BulletObjectManager();
}

ObjectTest::~ObjectTest() {
    delete g_bulletObjectManager;
    g_bulletObjectManager = nullptr;
    BulletObjectAllocator::instance().freeBlocks();
    delete g_frameCounter;
    g_frameCounter = nullptr;
    delete g_gameInfo;
    g_gameInfo = nullptr;
    d3d.reset();
    g_d3dObject = nullptr;
    Window::setInstance(nullptr);
}

Sprite* ObjectTest::sprite(float width, float height) {
    sprites.push_back(std::make_unique<Sprite>());
    sprites.back()->setSize(width, height);
    return sprites.back().get();
}

void ObjectTest::frames(int n) {
    for (int i = 0; i < n; ++i) {
        manager().resetEnemyCountCache();
        manager().execBullet();
    }
}

std::uint64_t ObjectTest::stateHash() {
    Fnv1a hash;
    for (IntBulletObjectManager* list : manager().allLists()) {
        hash.add(list->size());
        for (BulletObject* object = list->front(); object; object = IntBulletObjectManager::next(object)) {
            hash.add(object->getTag());
            hash.add(object->getState());
            hash.add(object->isActive());
            hash.add(object->getFlags());
            for (float value : {object->getLeft(), object->getTop(), object->getX(), object->getY(),
                                object->getVelocityX(), object->getVelocityY(), object->getDirection(),
                                object->getSpeed(), object->getWidth(), object->getHeight()}) {
                hash.add(value);
            }
        }
    }
    return hash.value();
}

int ObjectTest::countLogLines(std::string_view text) const {
    int count = 0;
    for (const std::string& line : log.logLines()) {
        if (line.find(text) != std::string::npos) ++count;
    }
    return count;
}

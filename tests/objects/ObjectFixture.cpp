#include "objects/ObjectFixture.h"

#include <cstring>

#include "objects/BulletObjectAllocator.h"
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

namespace {
void mix(std::uint64_t& hash, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
}
template <typename T>
void mixValue(std::uint64_t& hash, T value) {
    mix(hash, &value, sizeof value);
}
}  // namespace

std::uint64_t ObjectTest::stateHash() {
    std::uint64_t hash = 14695981039346656037ull;
    for (IntBulletObjectManager* list : manager().allLists()) {
        mixValue(hash, list->size());
        for (BulletObject* object = list->front(); object; object = IntBulletObjectManager::next(object)) {
            mixValue(hash, object->getTag());
            mixValue(hash, object->getState());
            mixValue(hash, object->isActive());
            mixValue(hash, object->getFlags());
            for (float value : {object->getLeft(), object->getTop(), object->getX(), object->getY(),
                                object->getVelocityX(), object->getVelocityY(), object->getDirection(),
                                object->getSpeed(), object->getWidth(), object->getHeight()}) {
                mixValue(hash, value);
            }
        }
    }
    return hash;
}

int ObjectTest::countLogLines(std::string_view text) const {
    int count = 0;
    for (const std::string& line : log.logLines()) {
        if (line.find(text) != std::string::npos) ++count;
    }
    return count;
}

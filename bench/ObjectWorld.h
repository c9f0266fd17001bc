// The object benchmarks' world: the managers a frame of objects needs, with
// the recording device at 640 x 480, and sprites for the bullets.
#pragma once
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "AllocationCounter.h"
#include "graphics/D3DObject.h"
#include "graphics/Sprite.h"
#include "objects/BulletObject.h"
#include "objects/BulletObjectAllocator.h"
#include "objects/BulletObjectManager.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "records/GameInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"

inline constexpr int kBullets = 10000;

class ObjectWorld {
public:
    ObjectWorld() : sprites_(kBullets) {
        Window::setInstance(&window_);
        window_.create("bench", 0, 0, 640, 480, nullptr);
        d3d_ = std::make_unique<D3DObject>();
        g_d3dObject = d3d_.get();
        d3d_->initDirect3D();
        g_d3dDevice = nullptr;  // another benchmark's device is not this world's to let go
        d3d_->initDevice(640, 480, 60, 1, 0, 0, 1);
        d3d_->setVirtualScreenSize(640, 480);
        g_gameInfo = new GameInfo();
        g_frameCounter = new FrameCounter();
        BulletObjectAllocator::instance().fill();
        g_bulletObjectManager = new BulletObjectManager();
    }
    ~ObjectWorld() {
        delete g_bulletObjectManager;
        g_bulletObjectManager = nullptr;
        BulletObjectAllocator::instance().freeBlocks();
        delete g_frameCounter;
        g_frameCounter = nullptr;
        delete g_gameInfo;
        g_gameInfo = nullptr;
        d3d_.reset();
        g_d3dObject = nullptr;
        Window::setInstance(nullptr);
    }
    BulletObjectManager& objects() { return *g_bulletObjectManager; }
    Sprite* sprite(int index) { return &sprites_[static_cast<std::size_t>(index)]; }

    // A bullet of the benchmark's pattern: spread directions and speeds,
    // wrapping at every edge, half of them turning all the time.
    BulletObject* bullet(int i, Sprite* image) {
        BulletObject* object = objects().createBullet();
        if (!object) return nullptr;
        image->setState(0);
        image->setSize(8.0f, 8.0f);
        object->setImage(image);
        object->setX(static_cast<float>(20 + (i * 37) % 600));
        object->setY(static_cast<float>(20 + (i * 53) % 440));
        object->setSpeed(0.5f + static_cast<float>(i % 7) * 0.5f);
        object->setDirection(static_cast<float>((i * 13) % 360));
        object->setAllEdgeActions(1);
        if (i % 2 == 0) object->changeDirectionSequence(0.5f, 1 << 30);
        return object;
    }
    void frame() {
        objects().resetEnemyCountCache();
        objects().execBullet();
    }

private:
    TestWindow window_;
    RecordingBackend gfx_;
    std::unique_ptr<D3DObject> d3d_;
    std::vector<Sprite> sprites_;
};


// The heap allocations of the timed frames, per frame.
inline void reportAllocations(benchmark::State& state, std::uint64_t before) {
    state.counters["allocs_per_frame"] =
        static_cast<double>(allocationCount() - before) / static_cast<double>(state.iterations());
}

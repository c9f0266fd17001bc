// The per-frame object step over a full field: 10,000 bullets with images,
// against the same arithmetic over plain float arrays, and steady play with
// 200 bullets vanishing and 200 made every frame. Each reports the heap
// allocations of its timed frames (allocs_per_frame, to be 0).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "AllocationCounter.h"
#include "ObjectWorld.h"
#include "graphics/Sprite.h"
#include "objects/BulletObject.h"
#include "objects/BulletObjectAllocator.h"
#include "objects/BulletObjectManager.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SineTable.h"

static void BulletStep(benchmark::State& state) {
    ObjectWorld world;
    for (int i = 0; i < kBullets; ++i) world.bullet(i, world.sprite(i));
    world.frame();  // first-frame set-up (profiler sections) outside the count
    const std::uint64_t before = allocationCount();
    for (auto _ : state) world.frame();
    reportAllocations(state, before);
    state.counters["live"] = world.objects().countObjects();
}
BENCHMARK(BulletStep)->Unit(benchmark::kMillisecond);

namespace {
// The same motion over plain arrays: previous centre, acceleration, velocity,
// speed change, direction change with the sine table, the move with the
// edge compares, the image position writes, the bounds from the size, the
// colour step and the counters.
struct PlainBullets {
    std::vector<float> left, top, centreX, centreY, velocityX, velocityY, accelX, accelY, previousX, previousY;
    std::vector<float> width, height, direction, directionStep, speed, speedStep, imageX, imageY;
    std::vector<float> rightBound, leftBound, bottomBound, topBound;
    std::vector<std::int32_t> directionFrames, speedFrames, age, countdown, invincible;
    std::vector<std::uint8_t> turning, speeding, colouring;

    explicit PlainBullets(int n) {
        for (auto* v : {&left, &top, &centreX, &centreY, &velocityX, &velocityY, &accelX, &accelY, &previousX,
                        &previousY, &width, &height, &direction, &directionStep, &speed, &speedStep, &imageX,
                        &imageY, &rightBound, &leftBound, &bottomBound, &topBound}) {
            v->assign(static_cast<std::size_t>(n), 0.0f);
        }
        for (auto* v : {&directionFrames, &speedFrames, &age, &countdown, &invincible}) {
            v->assign(static_cast<std::size_t>(n), 0);
        }
        for (auto* v : {&turning, &speeding, &colouring}) v->assign(static_cast<std::size_t>(n), 0);
        for (int i = 0; i < n; ++i) {
            const auto k = static_cast<std::size_t>(i);
            width[k] = height[k] = 8.0f;
            centreX[k] = static_cast<float>(20 + (i * 37) % 600);
            centreY[k] = static_cast<float>(20 + (i * 53) % 440);
            left[k] = centreX[k] - 4.0f;
            top[k] = centreY[k] - 4.0f;
            speed[k] = 0.5f + static_cast<float>(i % 7) * 0.5f;
            direction[k] = static_cast<float>((i * 13) % 360);
            velocityX[k] = sine_table::sinDeg(direction[k]) * speed[k];
            velocityY[k] = -sine_table::cosDeg(direction[k]) * speed[k];
            turning[k] = i % 2 == 0;
            directionStep[k] = 0.5f;
            directionFrames[k] = 1 << 30;
            rightBound[k] = bottomBound[k] = 2000.0f;
            leftBound[k] = topBound[k] = -2000.0f;
        }
    }

    void step() {
        const std::size_t n = left.size();
        for (std::size_t k = 0; k < n; ++k) {
            previousX[k] = centreX[k];
            previousY[k] = centreY[k];
            velocityX[k] += accelX[k];
            velocityY[k] += accelY[k];
            if (speeding[k] && --speedFrames[k] >= 0) {
                speed[k] += speedStep[k];
            }
            if (turning[k]) {
                if (directionFrames[k] > 0) --directionFrames[k];
                float d = direction[k] + directionStep[k];
                if (d > 360.0f || d < -360.0f) d = static_cast<float>(std::fmod(static_cast<double>(d), 360.0));
                direction[k] = d;
                velocityX[k] = sine_table::sinDeg(d) * speed[k];
                velocityY[k] = -sine_table::cosDeg(d) * speed[k];
            }
            float x = left[k] + velocityX[k];
            const float oldX = left[k];
            if (!(leftBound[k] < x && x < rightBound[k])) x = x >= rightBound[k] ? leftBound[k] : rightBound[k];
            left[k] = x;
            imageX[k] = x;
            centreX[k] += x - oldX;
            float y = top[k] + velocityY[k];
            const float oldY = top[k];
            if (!(topBound[k] < y && y < bottomBound[k])) y = y >= bottomBound[k] ? topBound[k] : bottomBound[k];
            top[k] = y;
            imageY[k] = y;
            centreY[k] += y - oldY;
            rightBound[k] = 640.0f;
            bottomBound[k] = 480.0f;
            leftBound[k] = -width[k];
            topBound[k] = -height[k];
            if (colouring[k]) colouring[k] = 0;
            ++age[k];
            if (countdown[k] != 0) --countdown[k];
            if (invincible[k] >= 1) --invincible[k];
        }
    }
};
}  // namespace

static void BulletStepPlainArrays(benchmark::State& state) {
    PlainBullets bullets(kBullets);
    bullets.step();
    const std::uint64_t before = allocationCount();
    for (auto _ : state) {
        bullets.step();
        benchmark::DoNotOptimize(bullets.left.data());
        benchmark::ClobberMemory();
    }
    reportAllocations(state, before);
}
BENCHMARK(BulletStepPlainArrays)->Unit(benchmark::kMillisecond);

namespace {
// A runtime from a fixed ring: its frame does nothing, and slot 0 hands it
// back to the ring instead of a pool.
class RingRuntime : public ExBulletML_Runtime {
public:
    RingRuntime() = default;
    ~RingRuntime() override = default;
    void destroy() override { inUse = false; }
    std::int32_t run() override {
        ++runs;
        return 0;
    }
    bool inUse = false;
    int runs = 0;
};
}  // namespace

static void BulletChurn(benchmark::State& state) {
    constexpr int kLongLived = 9000;
    constexpr int kPerFrame = 200;
    constexpr int kRing = 1600;  // churn bullets live three frames
    // The churn bullets' images and runtimes outlive the world: its end
    // destroys the bullets still live, which hand their runtimes back.
    std::vector<Sprite> churnSprites(kRing);
    std::vector<RingRuntime> runtimes(kRing);
    ObjectWorld world;
    for (int i = 0; i < kLongLived; ++i) world.bullet(i, world.sprite(i));
    int next = 0;
    auto spawn = [&] {
        for (int i = 0; i < kPerFrame; ++i, next = (next + 1) % kRing) {
            Sprite& image = churnSprites[static_cast<std::size_t>(next)];
            image.setState(0);
            image.setSize(8.0f, 8.0f);
            BulletObject* object = world.objects().createBullet();
            if (!object) continue;
            object->setImage(&image);
            object->setX(636.0f);
            object->setY(static_cast<float>(2 * i + 20));
            object->setSpeed(3.0f);
            object->setDirection(90.0f);
            RingRuntime& runtime = runtimes[static_cast<std::size_t>(next)];
            runtime.inUse = true;
            object->setMainRuntime(&runtime);
        }
    };
    for (int warm = 0; warm < 10; ++warm) {
        spawn();
        world.frame();
    }
    const std::uint64_t before = allocationCount();
    for (auto _ : state) {
        spawn();
        world.frame();
    }
    reportAllocations(state, before);
    state.counters["live"] = world.objects().countObjects();
}
BENCHMARK(BulletChurn)->Unit(benchmark::kMillisecond);

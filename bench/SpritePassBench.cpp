// The engine's sprite pass against a hand-written batch of the same quads,
// on the OpenGL device (hidden 640 x 480 window), real time.
//
// SpritePass/N       N 8 x 8 sprites of one 32 x 32 texture, layer 0, blend
//                    3, spread over the screen: beginFrame, update, prepare,
//                    drawAll in a scene; vs_hand_batch is its median CPU time
//                    per frame (of the drawing thread) over the hand batch's,
//                    measured interleaved;
//                    allocs_per_frame counts operator new in the timed frames
//                    after 3 warm-up frames (to be 0); mallocs_per_frame
//                    adds the OpenGL driver's own allocations
// SpriteHandBatch/N  the same quads' vertices made once; per frame its own
//                    buffers of the same sizes and index pattern, one DISCARD
//                    lock, one copy, one DrawIndexedPrimitive, same texture
//                    and blend mode
// Both end each frame with the same read-back of render target 0.
//
// Run headless: SDL_VIDEODRIVER=offscreen build/bench/vorly-bench --benchmark_filter=Sprite
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "HiddenGlDevice.h"
#include "graphics/D3DObject.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "services/Managers.h"

namespace {
constexpr int kWidth = 640, kHeight = 480, kSpriteSize = 8, kTextureSize = 32;

// The graphics start-up makes (device, texture manager, sprite pool, sprite
// managers) on a hidden window, one texture, and the hand batch's buffers.
class PassScene {
public:
    static PassScene& get() {
        static PassScene& scene = *new PassScene;
        return scene;
    }
    bool ready() const { return ready_; }
    const std::string& error() const { return error_; }

    // N sprites in one manager (the previous ones let go), and the hand
    // batch's copy of their vertices.
    void setSprites(std::uint32_t count) {
        activate();
        sprites_->clearAll();
        manager_ = sprites_->create();
        manager_->setTexture(texture_);
        std::uint32_t seed = 12345;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return seed >> 8;
        };
        handVertices_.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            const float x = float(next() % (kWidth - kSpriteSize)), y = float(next() % (kHeight - kSpriteSize));
            Sprite* sprite = manager_->createSprite(x, y, kSpriteSize, kSpriteSize, 0, 0, 1, 1);
            if (!sprite) break;
            sprite->setPackedColor(0x80000000u | (next() & 0x7FFFFFFFu));
            const SpriteVertex* v = sprite->getVertices();
            handVertices_.insert(handVertices_.end(), v, v + 4);
        }
    }

    void passFrame() {
        GfxDevice* device = activate();
        device->clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->beginScene();
        sprites_->beginFrame();
        sprites_->update();
        sprites_->prepare();
        sprites_->drawAll();
        device->endScene();
    }

    void handFrame() {
        GfxDevice* device = activate();
        device->clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->beginScene();
        d3d_->setRenderMode(1);
        d3d_->bindTexture(texture_->getD3DTexture(), 0);
        d3d_->setBlendMode(3);
        device->setIndices(handIndices_.get());
        device->setStreamSource(0, handBuffer_.get(), 0, sizeof(SpriteVertex));
        const auto quads = std::uint32_t(handVertices_.size() / 4);
        void* data = nullptr;
        if (handBuffer_->lock(0, quads * SpriteManagerManager::kQuadBytes, &data, D3DLOCK_DISCARD) == D3D_OK) {
            std::memcpy(data, handVertices_.data(), std::size_t(quads) * SpriteManagerManager::kQuadBytes);
            handBuffer_->unlock();
            device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, quads * 4, 0, quads * 2);
        }
        device->endScene();
    }

    // The read-back both frames end with.
    void readBack() { gl_.readBack(); }
    const std::vector<std::uint32_t>& picture() const { return gl_.picture(); }

private:
    PassScene() { ready_ = build(); }

    // Other benchmarks of the program make devices of their own: the
    // engine's pointers are set to this scene's before every use.
    GfxDevice* activate() {
        gl_.activate();
        g_textureManager = textures_.get();
        g_spriteManagerManager = sprites_.get();
        return device_;
    }

    bool build() {
        if (std::string why = gl_.open("sprite pass bench", kWidth, kHeight); !why.empty()) return fail(why);
        d3d_ = gl_.d3d();
        device_ = gl_.device();
        // The frame selects mode 2 before the sprites with the background off.
        d3d_->setRenderMode(2);
        SpriteAllocator::instance().fill();
        textures_ = std::make_unique<TextureManager>();
        sprites_ = std::make_unique<SpriteManagerManager>();
        activate();
        texture_ = textures_->create();
        if (texture_->createEmpty(kTextureSize, kTextureSize, D3DFMT_A8R8G8B8) != S_OK) return fail("no texture");
        D3DLOCKED_RECT locked;
        if (texture_->getD3DTexture()->lockRect(0, &locked, nullptr, 0) != D3D_OK) return fail("no texture lock");
        for (int y = 0; y < kTextureSize; ++y)
            for (int x = 0; x < kTextureSize; ++x) {
                const float dx = float(x) - 15.5f, dy = float(y) - 15.5f;
                const float a = std::clamp(1.0f - (dx * dx + dy * dy) / 256.0f, 0.0f, 1.0f);
                static_cast<std::uint32_t*>(
                    locked.pBits)[std::size_t(y) * (std::size_t(locked.Pitch) / 4) + std::size_t(x)] =
                    (std::uint32_t(a * 255.0f) << 24) | 0xFFFFFF;
            }
        texture_->getD3DTexture()->unlockRect(0);
        if (device_->createVertexBuffer(SpriteManagerManager::kVertexBufferBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                        kSpriteFvf, D3DPOOL_DEFAULT, handBuffer_.put()) != D3D_OK ||
            device_->createIndexBuffer(SpriteManagerManager::kIndexBufferBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                       D3DFMT_INDEX16, D3DPOOL_DEFAULT, handIndices_.put()) != D3D_OK)
            return fail("no hand batch buffers");
        if (!benchgl::fillQuadIndices(handIndices_.get(), SpriteManagerManager::kQuads)) return fail("no index lock");
        return true;
    }
    bool fail(const std::string& why) {
        error_ = why;
        return false;
    }

    bool ready_ = false;
    std::string error_;
    benchgl::HiddenGlDevice gl_;
    D3DObject* d3d_ = nullptr;
    GfxDevice* device_ = nullptr;
    std::unique_ptr<TextureManager> textures_;
    std::unique_ptr<SpriteManagerManager> sprites_;
    std::shared_ptr<Texture> texture_;
    std::shared_ptr<SpriteManager> manager_;
    GfxRef<GfxVertexBuffer> handBuffer_;
    GfxRef<GfxIndexBuffer> handIndices_;
    std::vector<SpriteVertex> handVertices_;
};

PassScene* sceneOrSkip(benchmark::State& state) {
    PassScene* scene = benchgl::readySceneOrSkip<PassScene>(state);
    if (scene) scene->setSprites(std::uint32_t(state.range(0)));
    return scene;
}

void SpritePass(benchmark::State& state) {
    PassScene* scene = sceneOrSkip(state);
    if (!scene) return;
    for (int i = 0; i < 3; ++i) {  // warm-up: lists and buffers sized, shaders compiled
        scene->passFrame();
        scene->readBack();
        scene->handFrame();
        scene->readBack();
    }
    const double mallocs = benchgl::timeAgainstHandBatch(
        state,
        [&] {
            scene->passFrame();
            scene->readBack();
        },
        [&] {
            scene->handFrame();
            scene->readBack();
        });
    // Allocations of C libraries too (the OpenGL driver's), for reference.
    state.counters["mallocs_per_frame"] = mallocs;
    // The sprites go back to the pool, so a benchmark after this one (the
    // game's own frames) starts with the whole pool, as a fresh game does.
    scene->setSprites(0);
}

void SpriteHandBatch(benchmark::State& state) {
    PassScene* scene = sceneOrSkip(state);
    if (!scene) return;
    for (int i = 0; i < 3; ++i) {
        scene->handFrame();
        scene->readBack();
    }
    for (auto _ : state) {
        scene->handFrame();
        scene->readBack();
    }
    scene->setSprites(0);
}
}  // namespace

BENCHMARK(SpritePass)->Arg(1000)->Arg(5000)->Arg(10000)->Iterations(120)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(SpriteHandBatch)->Arg(1000)->Arg(10000)->Iterations(60)->UseRealTime()->Unit(benchmark::kMillisecond);

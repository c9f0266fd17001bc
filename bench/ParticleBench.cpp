// The particle pass against a hand-written loop over the same quads, on the
// OpenGL device (hidden 640 x 480 window), real time.
//
// ParticlePass/N       N live particles (8 x 8 quads in the x/y plane over
//                      the view, one texture) all moving with one velocity
//                      inside a box they do not reach: ParticleManager::update
//                      and draw in a scene. vs_hand_batch is its median CPU
//                      time per frame (of the drawing thread) over the hand
//                      batch's, measured interleaved;
//                      allocs_per_frame counts operator new in the timed
//                      frames after 3 warm-up frames (to be 0)
// ParticleHandBatch/N  N 80-byte records moved by one loop, one copy into one
//                      DISCARD lock, one draw from an index buffer made once;
//                      the same state, texture and blend mode
// Both end each frame with the same read-back of render target 0.
//
// Run headless: SDL_VIDEODRIVER=offscreen build/bench/vorly-bench --benchmark_filter=Particle
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "HiddenGlDevice.h"
#include "graphics/ParticleManager.h"
#include "graphics/Texture.h"
#include "graphics/TextureManager.h"
#include "shell/InitGame.h"

namespace {

constexpr int kWidth = 640, kHeight = 480, kTextureSize = 32;
constexpr float kVelocityX = 0.001f, kVelocityY = 0.002f;

class ParticleScene {
public:
    static ParticleScene& get() {
        static ParticleScene& scene = *new ParticleScene;
        return scene;
    }
    bool ready() const { return ready_; }
    const std::string& error() const { return error_; }

    // N particles (the previous ones let go) and the hand batch's copy.
    void setParticles(std::uint32_t count) {
        activate();
        particles_->clear();
        std::uint32_t seed = 12345;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return float(seed >> 8) / float(1u << 24);
        };
        for (std::uint32_t i = 0; i < count; ++i)
            particles_->emit(next() * 24.0f - 12.0f, next() * 18.0f - 9.0f, next() * 4.0f);
        hand_.clear();
        particles_->forEachLive([this](const ParticleQuad& quad) { hand_.push_back(quad); });
    }

    void passFrame() {
        GfxDevice* device = activate();
        device->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->beginScene();
        particles_->update();
        particles_->draw();
        device->endScene();
        gl_.readBack();
    }

    void handFrame() {
        GfxDevice* device = activate();
        D3DObject* d3d = gl_.d3d();
        device->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->beginScene();
        d3d->setRenderMode(3);
        device->setMaterial(&black_);
        device->setIndices(handIndices_.get());
        device->setStreamSource(0, handBuffer_.get(), 0, sizeof(ParticleVertex));
        d3d->bindTexture(texture_->getD3DTexture(), texture_->getTag());
        d3d->setBlendMode(2);
        d3d->setTranslation(0.0f, 0.0f, 0.0f);
        d3d->applyWorld();
        for (ParticleQuad& quad : hand_)
            for (ParticleVertex& v : quad.v) {
                v.x += kVelocityX;
                v.y += kVelocityY;
            }
        const auto quads = std::uint32_t(hand_.size());
        void* data = nullptr;
        if (handBuffer_->lock(0, quads * sizeof(ParticleQuad), &data, D3DLOCK_DISCARD) == D3D_OK) {
            std::memcpy(data, hand_.data(), quads * sizeof(ParticleQuad));
            handBuffer_->unlock();
            device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, quads * 4, 0, quads * 2);
        }
        device->endScene();
        gl_.readBack();
    }

private:
    ParticleScene() { ready_ = build(); }

    GfxDevice* activate() {
        gl_.activate();
        g_textureManager = textures_.get();
        return gl_.device();
    }

    bool build() {
        if (std::string why = gl_.open("particle pass bench", kWidth, kHeight); !why.empty()) return fail(why);
        D3DObject* d3d = gl_.d3d();
        GfxDevice* device = gl_.device();
        textures_ = std::make_unique<TextureManager>();
        activate();
        setupRenderStates();
        benchgl::lookFromFront(*d3d);
        texture_ = textures_->createNamed(internName("spark.bmp"));
        if (texture_->createEmpty(kTextureSize, kTextureSize, D3DFMT_A8R8G8B8) != S_OK) return fail("no texture");
        D3DLOCKED_RECT locked;
        if (texture_->getD3DTexture()->lockRect(0, &locked, nullptr, 0) != D3D_OK) return fail("no texture lock");
        for (int y = 0; y < kTextureSize; ++y)
            for (int x = 0; x < kTextureSize; ++x) {
                const int dx = x - 16, dy = y - 16;
                const std::uint32_t glow = dx * dx + dy * dy < 256 ? 0x40u : 0x00u;
                static_cast<std::uint32_t*>(
                    locked.pBits)[std::size_t(y) * (std::size_t(locked.Pitch) / 4) + std::size_t(x)] =
                    0xFF000000u | glow << 16 | glow << 8 | glow;
            }
        texture_->getD3DTexture()->unlockRect(0);
        particles_ = std::make_unique<ParticleManager>();
        if (particles_->init() != S_OK) return fail("no particle buffers");
        particles_->setTexture(texture_, 0.4f, 0.4f);
        particles_->setFlag(2);
        particles_->setVelocity(kVelocityX, kVelocityY, 0.0f);
        particles_->setWorldMax(1000.0f, 1000.0f, 1000.0f);
        particles_->setWorldMin(-1000.0f, -1000.0f, -1000.0f);
        if (device->createVertexBuffer(ParticleManager::kVertexBufferBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                       kParticleFvf, D3DPOOL_DEFAULT, handBuffer_.put()) != D3D_OK ||
            device->createIndexBuffer(ParticleManager::kIndexBufferBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                      D3DFMT_INDEX16, D3DPOOL_DEFAULT, handIndices_.put()) != D3D_OK)
            return fail("no hand batch buffers");
        if (!benchgl::fillQuadIndices(handIndices_.get(), ParticleManager::kCapacity)) return fail("no index lock");
        hand_.reserve(ParticleManager::kCapacity);
        return true;
    }
    bool fail(const std::string& why) {
        error_ = why;
        return false;
    }

    bool ready_ = false;
    std::string error_;
    benchgl::HiddenGlDevice gl_;
    std::unique_ptr<TextureManager> textures_;
    std::shared_ptr<Texture> texture_;
    std::unique_ptr<ParticleManager> particles_;
    D3DMATERIAL9 black_{};
    GfxRef<GfxVertexBuffer> handBuffer_;
    GfxRef<GfxIndexBuffer> handIndices_;
    std::vector<ParticleQuad> hand_;
};

ParticleScene* sceneOrSkip(benchmark::State& state) {
    ParticleScene* scene = benchgl::readySceneOrSkip<ParticleScene>(state);
    if (scene) scene->setParticles(std::uint32_t(state.range(0)));
    return scene;
}

void ParticlePass(benchmark::State& state) {
    ParticleScene* scene = sceneOrSkip(state);
    if (!scene) return;
    for (int i = 0; i < 3; ++i) {  // warm-up: buffers touched, shaders compiled
        scene->passFrame();
        scene->handFrame();
    }
    benchgl::timeAgainstHandBatch(
        state, [&] { scene->passFrame(); }, [&] { scene->handFrame(); });
}

void ParticleHandBatch(benchmark::State& state) {
    ParticleScene* scene = sceneOrSkip(state);
    if (!scene) return;
    for (int i = 0; i < 3; ++i) scene->handFrame();
    for (auto _ : state) scene->handFrame();
}
}  // namespace

BENCHMARK(ParticlePass)->Arg(1000)->Iterations(120)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ParticleHandBatch)->Arg(1000)->Iterations(120)->UseRealTime()->Unit(benchmark::kMillisecond);

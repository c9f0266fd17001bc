// The whole frame pass against the sprite pass alone, on the OpenGL device
// (hidden 640 x 480 window), real time.
//
// FramePass/N   N 8 x 8 sprites as SpritePass/N draws them, drawn through
//               renderFrame and presentFrame (no pacing: vsync off) with the
//               effect target on (a rectangle over the whole target written
//               in the effect pass, its picture laid over the play field) and
//               wide compression on (the frame drawn into target 2 and
//               composited); each frame ends with the read-back of the back
//               buffer. vs_sprite_pass is its median CPU time per frame (of
//               the drawing thread) over that of the sprite pass alone on the same scene (beginFrame, update,
//               prepare, drawAll and the read-back), measured interleaved;
//               allocs_per_frame counts operator new in the timed frames
//               after 3 warm-up frames (to be 0; the debug display is off).
//
// Run headless: SDL_VIDEODRIVER=offscreen build/bench/vorly-bench --benchmark_filter='FramePass|SpritePass'
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "HiddenGlDevice.h"
#include "graphics/D3DObject.h"
#include "graphics/PresentFrame.h"
#include "graphics/RenderFrame.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "input/DInputObject.h"
#include "records/GameInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/InitGame.h"

namespace {
constexpr int kWidth = 640, kHeight = 480, kSpriteSize = 8, kTextureSize = 32;

// No vsync, so presentFrame paces nothing; no replay, nothing skipped.
struct UnpacedPeers : FrameCounterPeers {
    bool deviceVsync() override { return false; }
    bool retraceGives60Hz() override { return true; }
    std::optional<ReplayState> replay() override { return std::nullopt; }
    bool gameInfoExists() override { return true; }
    float gameVariable(NameHandle) override { return 0.0f; }
    void countDroppedFrame() override {}
    bool gamePaused() override { return false; }
    std::optional<PlayerCentre> playerCentre() override { return std::nullopt; }
};

class FrameScene {
public:
    static FrameScene& get() {
        static FrameScene& scene = *new FrameScene;
        return scene;
    }
    bool ready() const { return ready_; }
    const std::string& error() const { return error_; }

    void setSprites(std::uint32_t count) {
        activate();
        sprites_->clearAll();
        // The render targets' managers went with clearAll: made again.
        createRenderTargets();
        d3d_->setRenderTargetActive(1, 1);
        manager_ = sprites_->create();
        manager_->setTexture(texture_);
        std::uint32_t seed = 12345;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return seed >> 8;
        };
        for (std::uint32_t i = 0; i < count; ++i) {
            const float x = float(next() % (kWidth - kSpriteSize)), y = float(next() % (kHeight - kSpriteSize));
            Sprite* sprite = manager_->createSprite(x, y, kSpriteSize, kSpriteSize, 0, 0, 1, 1);
            if (!sprite) break;
            sprite->setPackedColor(0x80000000u | (next() & 0x7FFFFFFFu));
        }
        deactivate();
    }

    void wholeFrame() {
        activate();
        renderFrame();
        presentFrame();
        readBack();
        deactivate();
    }

    void spritePass() {
        GfxDevice* device = activate();
        device->clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->beginScene();
        d3d_->setRenderMode(2);
        sprites_->beginFrame();
        sprites_->update();
        sprites_->prepare();
        sprites_->drawAll();
        device->endScene();
        readBack();
        deactivate();
    }

private:
    FrameScene() { ready_ = build(); }

    // Other benchmarks make devices and managers of their own: the engine's
    // pointers are this scene's only while it draws.
    GfxDevice* activate() {
        gl_.activate();
        g_textureManager = textures_.get();
        g_spriteManagerManager = sprites_.get();
        g_systemInfo = system_.get();
        g_gameInfo = game_.get();
        g_dinputObject = input_.get();
        g_frameCounter = frames_.get();
        return device_;
    }
    void deactivate() {
        g_systemInfo = nullptr;
        g_gameInfo = nullptr;
        g_dinputObject = nullptr;
        g_frameCounter = nullptr;
    }

    void readBack() { gl_.readBack(); }

    bool build() {
        if (std::string why = gl_.open("frame pass bench", kWidth, kHeight); !why.empty()) return fail(why);
        d3d_ = gl_.d3d();
        device_ = gl_.device();
        SpriteAllocator::instance().fill();
        textures_ = std::make_unique<TextureManager>();
        sprites_ = std::make_unique<SpriteManagerManager>();
        system_ = std::make_unique<SystemInfo>();
        system_->setSystemType(2);
        system_->setDrawBg(1);
        system_->setWideCompress(1);
        game_ = std::make_unique<GameInfo>();
        game_->setFullDraw(0);
        game_->setVar(internName("effectmesh"), 1.0f);
        input_ = std::make_unique<DInputObject>();
        frames_ = std::make_unique<FrameCounter>(peers_);
        activate();
        setupRenderStates();
        texture_ = textures_->create();
        if (texture_->createEmpty(kTextureSize, kTextureSize, D3DFMT_A8R8G8B8) != S_OK) return fail("no texture");
        D3DLOCKED_RECT locked;
        if (texture_->getD3DTexture()->lockRect(0, &locked, nullptr, 0) != D3D_OK) return fail("no texture lock");
        for (int y = 0; y < kTextureSize; ++y)
            for (int x = 0; x < kTextureSize; ++x)
                static_cast<std::uint32_t*>(
                    locked.pBits)[std::size_t(y) * (std::size_t(locked.Pitch) / 4) + std::size_t(x)] = 0xFFFFFFFFu;
        texture_->getD3DTexture()->unlockRect(0);
        // The effect rectangle: the whole effect target written in the pass.
        setEffectPassDrawer([this] {
            D3DVIEWPORT9 saved{}, whole{0, 0, 512, 512, 0.0f, 1.0f};
            device_->getViewport(&saved);
            device_->setViewport(&whole);
            const D3DRECT rect{0, 0, 512, 512};
            device_->clear(1, &rect, D3DCLEAR_TARGET, 0x40FF0000u, 1.0f, 0);
            device_->setViewport(&saved);
        });
        if (createRenderTargets() != S_OK || !d3d_->getRenderTarget(1) || !d3d_->getRenderTarget(2))
            return fail("no render targets");
        deactivate();
        return true;
    }
    bool fail(const std::string& why) {
        error_ = why;
        deactivate();
        return false;
    }

    bool ready_ = false;
    std::string error_;
    benchgl::HiddenGlDevice gl_;
    D3DObject* d3d_ = nullptr;
    GfxDevice* device_ = nullptr;
    std::unique_ptr<TextureManager> textures_;
    std::unique_ptr<SpriteManagerManager> sprites_;
    std::unique_ptr<SystemInfo> system_;
    std::unique_ptr<GameInfo> game_;
    std::unique_ptr<DInputObject> input_;
    UnpacedPeers peers_;
    std::unique_ptr<FrameCounter> frames_;
    std::shared_ptr<Texture> texture_;
    std::shared_ptr<SpriteManager> manager_;
};

void FramePass(benchmark::State& state) {
    FrameScene* ready = benchgl::readySceneOrSkip<FrameScene>(state);
    if (!ready) return;
    FrameScene& scene = *ready;
    scene.setSprites(std::uint32_t(state.range(0)));
    for (int i = 0; i < 3; ++i) {  // warm-up: lists, buffers, sections and shaders
        scene.wholeFrame();
        scene.spritePass();
    }
    benchgl::timeAgainstHandBatch(
        state, [&] { scene.wholeFrame(); }, [&] { scene.spritePass(); }, "sprite_pass");
    // The sprites go back to the pool for the benchmarks after this one.
    scene.setSprites(0);
}
}  // namespace

BENCHMARK(FramePass)->Arg(5000)->Iterations(120)->UseRealTime()->Unit(benchmark::kMillisecond);

// The cost of drawing sprites through the OpenGL backend against a minimal
// hand-written OpenGL 3.3 batch of the same picture, in one process: N
// alpha-blended 16 x 16 textured quads on a 640 x 480 target, glFinish at the
// end of each frame.
//
// SpriteQuadsEngine/N   the sprite batcher's path: one dynamic vertex buffer
//                       locked DISCARD then NOOVERWRITE, one indexed draw per
//                       batch of 1,000 quads; vs_plain_gl is its median CPU
//                       time per frame (of the drawing thread) over the plain
//                       batch's, measured interleaved
// SpriteQuadsPlainGL/N  one VBO, one glDrawArrays, the same texture and blend
// SpriteQuadsPerQuadUP/N one DrawPrimitiveUP per quad
// SpriteQuadsMixed/N    64-quad batches alternating texture and blend mode;
//                       gl_calls_per_batch counted by the backend's seam
//
// Run headless: SDL_VIDEODRIVER=offscreen build/bench/vorly-bench --benchmark_filter=SpriteQuads
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "HiddenGlDevice.h"
#include "graphics/D3DDevice.h"
#include "graphics/RenderManager.h"
#include "graphics/Sprite.h"
#include "platform/Window.h"
#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/GlCallCount.h"
#include "platform/gfx/GlContext.h"

namespace {

constexpr int kWidth = 640, kHeight = 480, kQuadSize = 16;
constexpr std::uint32_t kBufferQuads = 10000;  // the sprite batcher's buffer: 10000 quads
constexpr std::uint32_t kBatchQuads = 1000;

constexpr std::uint32_t kQuadBytes = 4 * sizeof(SpriteVertex);

using benchgl::Clock;
using benchgl::median;
using benchgl::millisecondsSince;

// The render manager alone, to set blend modes by the engine's numbers.
class BenchRenderManager : public RenderManager {
protected:
    const D3DCAPS9& adapterCaps() const override { return caps_; }
    std::uint32_t getMultiSampleLevel() const override { return 0; }
    RenderTargetDevice renderTargetDevice() const override { return {}; }

private:
    D3DCAPS9 caps_{};
};

const char* const kPlainVertexShader = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec4 aColour;
layout(location = 2) in vec2 aTexCoord;
out vec4 vColour;
out vec2 vTexCoord;
void main() {
    vec2 ndc = (aPosition.xy + 0.5) * vec2(2.0 / 640.0, 2.0 / 480.0) - 1.0;
    gl_Position = vec4(ndc, 0.0, 1.0);
    vColour = aColour;
    vTexCoord = aTexCoord;
}
)";
const char* const kPlainFragmentShader = R"(#version 330 core
uniform sampler2D uTexture;
in vec4 vColour;
in vec2 vTexCoord;
out vec4 fragColour;
void main() { fragColour = texture(uTexture, vTexCoord) * vColour; }
)";

// The window, the engine's device with its buffers and textures, and the
// plain batch's own context with its objects; built once for every benchmark.
class SpriteScene {
public:
    static SpriteScene& get() {
        static SpriteScene scene;
        return scene;
    }
    bool ready() const { return ready_; }
    const std::string& error() const { return error_; }

    // Other benchmarks of the program make devices of their own: the
    // engine's device pointer (the render manager draws through it) is set
    // to this scene's before every frame.
    void activate() {
        Window::setInstance(&window_);
        g_d3dDevice = device_.get();
    }

    // The sprite batcher's frame: batches of kBatchQuads through one buffer.
    void engineFrame(std::uint32_t quads) {
        beginFrame();
        std::uint32_t cursor = 0;
        for (std::uint32_t first = 0; first < quads; first += kBatchQuads) {
            const std::uint32_t count = std::min(kBatchQuads, quads - first);
            if (cursor + count > kBufferQuads) cursor = 0;
            writeBatch(first, count, cursor);
            device_->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, cursor * 4, count * 4, cursor * 6, count * 2);
            cursor += count;
        }
        device_->endScene();
        glFinish();
    }

    // One DrawPrimitiveUP per quad.
    void perQuadFrame(std::uint32_t quads) {
        activate();
        device_->clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device_->beginScene();
        for (std::uint32_t q = 0; q < quads; ++q) {
            const SpriteVertex* v = &vertices_[std::size_t(q) * 4];
            const SpriteVertex strip[4] = {v[0], v[1], v[2], v[3]};
            device_->drawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(SpriteVertex));
        }
        device_->endScene();
        glFinish();
    }

    // 64-quad batches alternating texture and blend mode (the blend groups
    // in the order a sprite layer draws them: 3, 5, 2, 6, 7); returns the
    // OpenGL calls the batches made.
    std::uint64_t mixedFrame(std::uint32_t quads) {
        beginFrame();
        const std::uint64_t before = GlCallCount::calls;
        std::uint32_t cursor = 0, batch = 0;
        for (std::uint32_t first = 0; first < quads; first += 64, ++batch) {
            const std::uint32_t count = std::min(64u, quads - first);
            device_->setTexture(0, textures_[batch % 2].get());
            static constexpr int kModes[5] = {3, 5, 2, 6, 7};
            render_.setBlendMode(kModes[batch % 5]);
            if (cursor + count > kBufferQuads) cursor = 0;
            writeBatch(first, count, cursor);
            device_->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, cursor * 4, count * 4, cursor * 6, count * 2);
            cursor += count;
        }
        const std::uint64_t calls = GlCallCount::calls - before;
        device_->setTexture(0, textures_[0].get());
        render_.setBlendMode(3);
        device_->endScene();
        glFinish();
        return calls;
    }

    // The hand-written batch: one buffer of six vertices a quad, one draw.
    void plainFrame(std::uint32_t quads) {
        SDL_GL_MakeCurrent(sdlWindow_, plainContext_);
        glBindFramebuffer(GL_FRAMEBUFFER, plainFramebuffer_);
        glViewport(0, 0, kWidth, kHeight);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glUseProgram(plainProgram_);
        glBindVertexArray(plainVao_);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, plainTexture_);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBindBuffer(GL_ARRAY_BUFFER, plainBuffer_);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(std::size_t(quads) * 6 * sizeof(SpriteVertex)), triangles_.data(),
                     GL_STREAM_DRAW);
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(quads * 6));
        glFinish();
    }

    // Pixels of the two last frames (engine, plain) whose colours differ by
    // more than one step in some channel: both benchmarks draw the same picture.
    std::uint64_t differingPixels() {
        activate();
        std::vector<std::uint32_t> engine(std::size_t(kWidth) * kHeight), plain(engine.size());
        GfxRef<GfxSurface> target;
        D3DLOCKED_RECT locked;
        if (device_->getRenderTarget(0, target.put()) != D3D_OK || target->lockRect(&locked, nullptr, 0) != D3D_OK)
            return engine.size();
        for (int y = 0; y < kHeight; ++y)
            std::memcpy(&engine[std::size_t(y) * kWidth], static_cast<const std::uint8_t*>(locked.pBits) + y * locked.Pitch,
                        kWidth * 4);
        target->unlockRect();
        SDL_GL_MakeCurrent(sdlWindow_, plainContext_);
        glBindFramebuffer(GL_FRAMEBUFFER, plainFramebuffer_);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, plain.data());
        return benchgl::differingPixels(engine, plain);
    }

private:
    SpriteScene() { ready_ = build(); }

    bool build() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (!window_.create("sprite bench", 0, 0, kWidth, kHeight, nullptr)) return fail("no SDL window");
        Window::setInstance(&window_);
        sdlWindow_ = static_cast<SDL_Window*>(window_.nativeHandle());
        adapter_ = GfxRef<GfxAdapter>::adopt(GfxAdapter::create(D3D_SDK_VERSION));
        if (!adapter_) return fail("no OpenGL 3.3 adapter");
        D3DPRESENT_PARAMETERS p;
        p.BackBufferWidth = kWidth;
        p.BackBufferHeight = kHeight;
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
        p.BackBufferCount = 1;
        p.Windowed = 1;
        p.EnableAutoDepthStencil = 1;
        p.AutoDepthStencilFormat = D3DFMT_D16;
        p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (adapter_->createDevice(0, D3DDEVTYPE_HAL, &window_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p,
                                   device_.put()) != D3D_OK)
            return fail("no device");
        activate();
        makeQuads();
        if (!makeEngineObjects()) return fail("no engine buffers or textures");
        return makePlainObjects();
    }

    bool fail(const std::string& why) {
        error_ = why;
        return false;
    }

    // 20,000 quads at scattered whole-pixel places, each with its own tint
    // and alpha; texels map 1:1 to pixels.
    void makeQuads() {
        std::uint32_t seed = 12345;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return seed >> 8;
        };
        for (int q = 0; q < 20000; ++q) {
            const float x = float(next() % (kWidth - kQuadSize)) - 0.5f, y = float(next() % (kHeight - kQuadSize)) - 0.5f;
            const std::uint32_t colour = 0x80000000u | (next() & 0x7FFFFFFFu);
            const SpriteVertex tl{x, y, 0, 1, colour, 0, 0}, tr{x + kQuadSize, y, 0, 1, colour, 1, 0},
                bl{x, y + kQuadSize, 0, 1, colour, 0, 1}, br{x + kQuadSize, y + kQuadSize, 0, 1, colour, 1, 1};
            vertices_.insert(vertices_.end(), {tl, tr, bl, br});
            triangles_.insert(triangles_.end(), {tl, tr, bl, bl, tr, br});
        }
    }

    // A soft disc: opaque in the middle, fading out to the edge.
    static std::vector<std::uint32_t> discTexels(std::uint32_t rgb) {
        std::vector<std::uint32_t> texels(kQuadSize * kQuadSize);
        for (int y = 0; y < kQuadSize; ++y)
            for (int x = 0; x < kQuadSize; ++x) {
                const float dx = float(x) - 7.5f, dy = float(y) - 7.5f;
                const float a = std::clamp(1.0f - (dx * dx + dy * dy) / 64.0f, 0.0f, 1.0f);
                texels[std::size_t(y) * kQuadSize + std::size_t(x)] = (std::uint32_t(a * 255.0f) << 24) | rgb;
            }
        return texels;
    }

    bool makeEngineObjects() {
        for (int i = 0; i < 2; ++i) {
            if (device_->createTexture(kQuadSize, kQuadSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                       textures_[i].put()) != D3D_OK)
                return false;
            const std::vector<std::uint32_t> texels = discTexels(i ? 0x40FF80 : 0xFFFFFF);
            D3DLOCKED_RECT locked;
            if (textures_[i]->lockRect(0, &locked, nullptr, 0) != D3D_OK) return false;
            for (int y = 0; y < kQuadSize; ++y)
                std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch, &texels[y * kQuadSize],
                            kQuadSize * 4);
            textures_[i]->unlockRect(0);
        }
        if (device_->createVertexBuffer(kBufferQuads * kQuadBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0x144,
                                        D3DPOOL_DEFAULT, vertexBuffer_.put()) != D3D_OK ||
            device_->createIndexBuffer(kBufferQuads * 12, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                       D3DPOOL_DEFAULT, indexBuffer_.put()) != D3D_OK)
            return false;
        if (!benchgl::fillQuadIndices(indexBuffer_.get(), kBufferQuads)) return false;
        // The engine's states for sprites: its start-up sampler states on an
        // adapter with anisotropic filtering, the 2-D drawing mode, blend mode 3.
        device_->setSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
        device_->setSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC);
        device_->setSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
        device_->setSamplerState(0, D3DSAMP_MAXANISOTROPY, 16);
        device_->setSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        device_->setSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        device_->setRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device_->setFVF(0x144);
        device_->setRenderState(D3DRS_ZENABLE, 0);
        device_->setRenderState(D3DRS_ZWRITEENABLE, 0);
        device_->setRenderState(D3DRS_LIGHTING, 0);
        device_->setRenderState(D3DRS_FOGENABLE, 0);
        render_.setBlendMode(3);
        device_->setTexture(0, textures_[0].get());
        device_->setIndices(indexBuffer_.get());
        device_->setStreamSource(0, vertexBuffer_.get(), 0, sizeof(SpriteVertex));
        return true;
    }

    bool makePlainObjects() {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        plainContext_ = SDL_GL_CreateContext(sdlWindow_);
        if (!plainContext_) return fail(std::string("no second context: ") + SDL_GetError());
        SDL_GL_MakeCurrent(sdlWindow_, plainContext_);
        auto compile = [](GLenum kind, const char* source) {
            GLuint shader = glCreateShader(kind);
            glShaderSource(shader, 1, &source, nullptr);
            glCompileShader(shader);
            return shader;
        };
        GLuint vertex = compile(GL_VERTEX_SHADER, kPlainVertexShader);
        GLuint fragment = compile(GL_FRAGMENT_SHADER, kPlainFragmentShader);
        plainProgram_ = glCreateProgram();
        glAttachShader(plainProgram_, vertex);
        glAttachShader(plainProgram_, fragment);
        glLinkProgram(plainProgram_);
        GLint linked = 0;
        glGetProgramiv(plainProgram_, GL_LINK_STATUS, &linked);
        if (!linked) return fail("the plain program does not link");
        glUseProgram(plainProgram_);
        glUniform1i(glGetUniformLocation(plainProgram_, "uTexture"), 0);

        glGenVertexArrays(1, &plainVao_);
        glBindVertexArray(plainVao_);
        glGenBuffers(1, &plainBuffer_);
        glBindBuffer(GL_ARRAY_BUFFER, plainBuffer_);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(SpriteVertex), nullptr);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(SpriteVertex),
                              reinterpret_cast<const void*>(offsetof(SpriteVertex, color)));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(SpriteVertex),
                              reinterpret_cast<const void*>(offsetof(SpriteVertex, u)));

        const std::vector<std::uint32_t> texels = discTexels(0xFFFFFF);
        glGenTextures(1, &plainTexture_);
        glBindTexture(GL_TEXTURE_2D, plainTexture_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kQuadSize, kQuadSize, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     texels.data());

        glGenTextures(1, &plainTarget_);
        glBindTexture(GL_TEXTURE_2D, plainTarget_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
        glGenFramebuffers(1, &plainFramebuffer_);
        glBindFramebuffer(GL_FRAMEBUFFER, plainFramebuffer_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, plainTarget_, 0);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
            return fail("the plain target is incomplete");
        return true;
    }

    // Clear, and bind the buffers as the batcher's prepare step does (a
    // DrawPrimitiveUP unbinds the stream).
    void beginFrame() {
        activate();
        device_->clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device_->beginScene();
        device_->setIndices(indexBuffer_.get());
        device_->setStreamSource(0, vertexBuffer_.get(), 0, sizeof(SpriteVertex));
    }

    void writeBatch(std::uint32_t first, std::uint32_t count, std::uint32_t cursor) {
        void* data = nullptr;
        if (vertexBuffer_->lock(cursor * kQuadBytes, count * kQuadBytes, &data,
                                cursor == 0 ? D3DLOCK_DISCARD : D3DLOCK_NOOVERWRITE) != D3D_OK)
            return;
        std::memcpy(data, &vertices_[std::size_t(first) * 4], std::size_t(count) * kQuadBytes);
        vertexBuffer_->unlock();
    }

    bool ready_ = false;
    std::string error_;
    SdlWindow window_;
    SDL_Window* sdlWindow_ = nullptr;
    GfxRef<GfxAdapter> adapter_;
    GfxRef<GfxDevice> device_;
    BenchRenderManager render_;
    GfxRef<GfxTexture> textures_[2];
    GfxRef<GfxVertexBuffer> vertexBuffer_;
    GfxRef<GfxIndexBuffer> indexBuffer_;
    std::vector<SpriteVertex> vertices_;   // four a quad, for the engine
    std::vector<SpriteVertex> triangles_;  // six a quad, for the plain batch
    SDL_GLContext plainContext_ = nullptr;
    GLuint plainProgram_ = 0, plainVao_ = 0, plainBuffer_ = 0, plainTexture_ = 0, plainTarget_ = 0,
           plainFramebuffer_ = 0;
};

SpriteScene* sceneOrSkip(benchmark::State& state) {
    return benchgl::readySceneOrSkip<SpriteScene>(state);
}

// Times `frame` against the plain batch, interleaved frame by frame (see
// benchgl::timeAgainstHandBatch: the ratio is of the drawing thread's CPU
// time, so waits both sides share stay out of it).
template <class Frame>
void againstPlain(benchmark::State& state, std::uint32_t quads, SpriteScene& scene, Frame frame) {
    for (int i = 0; i < 10; ++i) {  // warm-up: shaders compiled, buffers sized
        scene.plainFrame(quads);
        frame();
    }
    const std::uint64_t uploadsBefore = GlCallCount::bufferUploadBytes, callsBefore = GlCallCount::calls;
    benchgl::timeAgainstHandBatch(state, frame, [&] { scene.plainFrame(quads); }, "plain_gl");
    const double frames = double(state.iterations());
    state.counters["uploaded_bytes"] = double(GlCallCount::bufferUploadBytes - uploadsBefore) / frames;
    state.counters["gl_calls"] = double(GlCallCount::calls - callsBefore) / frames;
}

void SpriteQuadsPlainGL(benchmark::State& state) {
    SpriteScene* scene = sceneOrSkip(state);
    if (!scene) return;
    const auto quads = std::uint32_t(state.range(0));
    scene->plainFrame(quads);
    std::vector<double> times;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        scene->plainFrame(quads);
        times.push_back(millisecondsSince(start));
    }
    state.counters["ms"] = median(times);
}

void SpriteQuadsEngine(benchmark::State& state) {
    SpriteScene* scene = sceneOrSkip(state);
    if (!scene) return;
    const auto quads = std::uint32_t(state.range(0));
    againstPlain(state, quads, *scene, [&] { scene->engineFrame(quads); });
    state.counters["written_bytes"] = double(quads) * kQuadBytes;
    scene->engineFrame(quads);
    scene->plainFrame(quads);
    state.counters["differing_pixels"] = double(scene->differingPixels());
}

void SpriteQuadsPerQuadUP(benchmark::State& state) {
    SpriteScene* scene = sceneOrSkip(state);
    if (!scene) return;
    const auto quads = std::uint32_t(state.range(0));
    againstPlain(state, quads, *scene, [&] { scene->perQuadFrame(quads); });
}

void SpriteQuadsMixed(benchmark::State& state) {
    SpriteScene* scene = sceneOrSkip(state);
    if (!scene) return;
    const auto quads = std::uint32_t(state.range(0));
    const double batches = double((quads + 63) / 64);
    scene->mixedFrame(quads);
    std::uint64_t calls = 0, frames = 0;
    for (auto _ : state) {
        calls += scene->mixedFrame(quads);
        ++frames;
    }
    state.counters["gl_calls_per_batch"] = double(calls) / double(frames) / batches;
}

}  // namespace

BENCHMARK(SpriteQuadsPlainGL)->Arg(1000)->Arg(5000)->Arg(20000)->Iterations(120)->Unit(benchmark::kMillisecond);
BENCHMARK(SpriteQuadsEngine)->Arg(1000)->Arg(5000)->Arg(20000)->Iterations(120)->Unit(benchmark::kMillisecond);
BENCHMARK(SpriteQuadsPerQuadUP)->Arg(1000)->Arg(5000)->Arg(20000)->Iterations(120)->Unit(benchmark::kMillisecond);
BENCHMARK(SpriteQuadsMixed)->Arg(1000)->Arg(5000)->Iterations(120)->Unit(benchmark::kMillisecond);

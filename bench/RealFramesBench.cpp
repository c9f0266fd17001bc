// The bundled game's own frames through the OpenGL device against a plain
// OpenGL peer drawing the same triangles, in one process, interleaved.
//
// RealFrames/<title|midstage|boss>: stage 1 is played from the
// play-through's input file on the recording device; a title frame and the
// densest frames of the middle and the end of the stage are kept (see
// RealFrameCapture.h). Each timed frame is then drawn
// (a) by the engine's OpenGL device from the frame's list, with the frame's
//     own states set on it, its vertices streamed through one dynamic vertex
//     and index buffer (DISCARD, then NOOVERWRITE), and
// (b) by the peer (RealFramePeer.h): one buffer of the frame's vertices and
//     indices, one shader per state, the same textures, blend modes and fog,
//     always linear filtering.
// Both end with glFinish. Counters: vs_plain_gl (median over median),
// cpu_ms (the drawing thread's CPU per engine frame, median), upload_bytes
// (buffer bytes the engine's device sent per frame), differing_pixels (between the two
// pictures, more than one step in a channel), allocs_per_frame.
//
// Run headless: SDL_VIDEODRIVER=offscreen build/bench/vorly-bench --benchmark_filter=RealFrames
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>

#include "HiddenGlDevice.h"
#include "RealFrameCapture.h"
#include "RealFramePeer.h"
#include "platform/gfx/GlCallCount.h"
#include "platform/gfx/GlContext.h"

namespace {

// The engine's device making a kept frame again.
class EngineReplay {
public:
    // Empty when the device holds every texture and buffer of the frames.
    std::string build(GfxDevice* device, const std::vector<realframes::Frame>& frames) {
        device_ = device;
        std::uint32_t vertexBytes = 0, indexCount = 0;
        for (const realframes::Frame& frame : frames) {
            std::uint32_t v = 0, i = 0;
            for (const realframes::Step& step : frame.steps) {
                v += std::uint32_t(step.call.vertices.size()) + step.call.stride;
                i += std::uint32_t(step.call.indices.size());
            }
            vertexBytes = std::max(vertexBytes, v);
            indexCount = std::max(indexCount, i);
            std::vector<GfxRef<GfxTexture>> textures;
            std::vector<GfxRef<GfxSurface>> targets;
            for (const realframes::TextureCopy& copy : frame.textures) {
                GfxRef<GfxTexture> texture;
                const bool target = copy.renderTarget();
                if (device->createTexture(copy.width, copy.height, std::uint32_t(copy.levels.size()), copy.usage,
                                          copy.format, target ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED,
                                          texture.put()) != D3D_OK)
                    return "the device refuses a texture of the frame";
                for (std::uint32_t level = 0; !target && level < copy.levels.size(); ++level) {
                    D3DSURFACE_DESC desc;
                    D3DLOCKED_RECT locked;
                    texture->getLevelDesc(level, &desc);
                    if (texture->lockRect(level, &locked, nullptr, 0) != D3D_OK) return "a texture does not lock";
                    const std::size_t row = copy.levels[level].size() / std::max(1u, desc.Height);
                    for (std::uint32_t y = 0; y < desc.Height; ++y)
                        std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + std::size_t(y) * locked.Pitch,
                                    copy.levels[level].data() + y * row, row);
                    texture->unlockRect(level);
                }
                GfxRef<GfxSurface> level;
                if (target && texture->getSurfaceLevel(0, level.put()) != D3D_OK)
                    return "a target texture has no surface";
                targets.push_back(std::move(level));
                textures.push_back(std::move(texture));
            }
            std::vector<GfxRef<GfxSurface>> depths;
            for (const realframes::DepthCopy& copy : frame.depths) {
                GfxRef<GfxSurface> depth;
                // The back buffer's own depth surface where it is the one of that size.
                if (device->getDepthStencilSurface(depth.put()) == D3D_OK) {
                    D3DSURFACE_DESC desc;
                    depth->getDesc(&desc);
                    if (desc.Width == copy.width && desc.Height == copy.height && desc.Format == copy.format &&
                        depths.empty()) {
                        depths.push_back(std::move(depth));
                        continue;
                    }
                }
                if (device->createDepthStencilSurface(copy.width, copy.height, copy.format, D3DMULTISAMPLE_NONE, 0,
                                                      0, depth.put()) != D3D_OK)
                    return "the device refuses a depth surface of the frame";
                depths.push_back(std::move(depth));
            }
            textures_.push_back(std::move(textures));
            targets_.push_back(std::move(targets));
            depths_.push_back(std::move(depths));
        }
        if (device->getBackBuffer(backBuffer_.put()) != D3D_OK ||
            device->createVertexBuffer(std::max(vertexBytes, 64u), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0,
                                       D3DPOOL_DEFAULT, vertices_.put()) != D3D_OK ||
            device->createIndexBuffer(std::max(indexCount, 16u) * 4, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                      D3DFMT_INDEX32, D3DPOOL_DEFAULT, indices_.put()) != D3D_OK)
            return "the device refuses the streaming buffers";
        return std::string();
    }

    void drawFrame(std::size_t which, const realframes::Frame& frame) {
        GfxDevice* d = device_;
        d->beginScene();
        std::uint32_t vertexAt = 0, indexAt = 0;
        for (const realframes::Step& step : frame.steps) {
            applyStates(which, step);
            if (step.call.clear) {
                d->clear(std::uint32_t(step.call.rects.size()), step.call.rects.empty() ? nullptr : step.call.rects.data(),
                         step.call.flags, step.call.color, step.call.z, step.call.stencil);
                continue;
            }
            // Vertices start on a whole vertex of their stride.
            vertexAt = (vertexAt + step.call.stride - 1) / step.call.stride * step.call.stride;
            const auto bytes = std::uint32_t(step.call.vertices.size());
            void* data = nullptr;
            if (vertices_->lock(vertexAt, bytes, &data, vertexAt == 0 ? D3DLOCK_DISCARD : D3DLOCK_NOOVERWRITE) !=
                D3D_OK)
                continue;
            std::memcpy(data, step.call.vertices.data(), bytes);
            vertices_->unlock();
            d->setStreamSource(0, vertices_.get(), 0, step.call.stride);
            const std::uint32_t firstVertex = vertexAt / step.call.stride;
            const auto vertexCount = std::uint32_t(bytes / step.call.stride);
            vertexAt += bytes;
            if (step.call.indices.empty()) {
                d->drawPrimitive(step.call.type, firstVertex, step.call.primitiveCount);
                continue;
            }
            const auto count = std::uint32_t(step.call.indices.size());
            if (indices_->lock(indexAt * 4, count * 4, &data, indexAt == 0 ? D3DLOCK_DISCARD : D3DLOCK_NOOVERWRITE) !=
                D3D_OK)
                continue;
            std::memcpy(data, step.call.indices.data(), std::size_t(count) * 4);
            indices_->unlock();
            d->setIndices(indices_.get());
            d->drawIndexedPrimitive(step.call.type, std::int32_t(firstVertex), 0, vertexCount, indexAt,
                                    step.call.primitiveCount);
            indexAt += count;
        }
        d->endScene();
    }

private:
    // Sends what differs from the states last sent, as the engine's managers
    // send theirs.
    void applyStates(std::size_t which, const realframes::Step& step) {
        GfxDevice* d = device_;
        const DeviceState& s = step.state;
        const bool all = !sent_;
        DeviceState& was = applied_;
        GfxSurface* target = step.target < 0 ? backBuffer_.get() : targets_[which][std::size_t(step.target)].get();
        const bool targetChanged = all || target != target_;
        if (targetChanged && target) {
            d->setRenderTarget(0, target);
            target_ = target;
        }
        GfxSurface* depth = step.depth >= 0 ? depths_[which][std::size_t(step.depth)].get() : nullptr;
        if (all || depth != depth_) {
            d->setDepthStencilSurface(depth);
            depth_ = depth;
        }
        for (std::uint32_t i = 0; i < kRenderStateCount; ++i)
            if (all || s.renderStates[i] != was.renderStates[i])
                d->setRenderState(D3DRENDERSTATETYPE(i), s.renderStates[i]);
        for (std::uint32_t i = 0; i < kTextureStageStateCount; ++i)
            if (all || s.stageStates[0][i] != was.stageStates[0][i])
                d->setTextureStageState(0, D3DTEXTURESTAGESTATETYPE(i), s.stageStates[0][i]);
        for (std::uint32_t i = 1; i < kSamplerStateCount; ++i)
            if (all || s.samplerStates[0][i] != was.samplerStates[0][i])
                d->setSamplerState(0, D3DSAMPLERSTATETYPE(i), s.samplerStates[0][i]);
        auto matrixDiffers = [](const D3DMATRIX& a, const D3DMATRIX& b) { return std::memcmp(&a, &b, sizeof a) != 0; };
        if (all || matrixDiffers(s.world, was.world)) d->setTransform(D3DTS_WORLD, &s.world);
        if (all || matrixDiffers(s.view, was.view)) d->setTransform(D3DTS_VIEW, &s.view);
        if (all || matrixDiffers(s.projection, was.projection)) d->setTransform(D3DTS_PROJECTION, &s.projection);
        if (s.lightSet[0] && (all || std::memcmp(&s.lights[0], &was.lights[0], sizeof(D3DLIGHT9)) != 0))
            d->setLight(0, &s.lights[0]);
        if (all || s.lightEnabled[0] != was.lightEnabled[0]) d->lightEnable(0, s.lightEnabled[0]);
        if (all || std::memcmp(&s.material, &was.material, sizeof(D3DMATERIAL9)) != 0) d->setMaterial(&s.material);
        if (all || s.fvf != was.fvf) d->setFVF(s.fvf);
        // Selecting a target resets the viewport.
        if (all || targetChanged || std::memcmp(&s.viewport, &was.viewport, sizeof(D3DVIEWPORT9)) != 0)
            d->setViewport(&s.viewport);
        GfxTexture* texture = step.texture >= 0 ? textures_[which][std::size_t(step.texture)].get() : nullptr;
        if (all || texture != texture_) {
            d->setTexture(0, texture);
            texture_ = texture;
        }
        applied_.renderStates = s.renderStates;
        applied_.stageStates[0] = s.stageStates[0];
        applied_.samplerStates[0] = s.samplerStates[0];
        applied_.world = s.world;
        applied_.view = s.view;
        applied_.projection = s.projection;
        applied_.lights[0] = s.lights[0];
        applied_.lightEnabled[0] = s.lightEnabled[0];
        applied_.material = s.material;
        applied_.fvf = s.fvf;
        applied_.viewport = s.viewport;
        sent_ = true;
    }

    GfxDevice* device_ = nullptr;
    std::vector<std::vector<GfxRef<GfxTexture>>> textures_;
    std::vector<std::vector<GfxRef<GfxSurface>>> targets_;  // level 0 of the target textures
    std::vector<std::vector<GfxRef<GfxSurface>>> depths_;
    GfxRef<GfxSurface> backBuffer_;
    GfxRef<GfxVertexBuffer> vertices_;
    GfxRef<GfxIndexBuffer> indices_;
    DeviceState applied_;
    bool sent_ = false;
    GfxSurface* target_ = nullptr;
    GfxSurface* depth_ = nullptr;
    GfxTexture* texture_ = nullptr;
};

// The kept frames, both sides built once for every benchmark.
class RealFrameScene {
public:
    static RealFrameScene& get() {
        static RealFrameScene scene;
        return scene;
    }
    const std::string& error() const { return error_; }
    const std::vector<realframes::Frame>& frames() const { return frames_; }
    // Why the peer cannot draw a frame, or empty.
    const std::string& peerError(std::size_t which) const { return peerErrors_[which]; }

    void engineFrame(std::size_t which) {
        device_.activate();
        engine_.drawFrame(which, frames_[which]);
        glFinish();
    }
    void plainFrame(std::size_t which) { peer_.drawFrame(which); }

    // Pixels whose colours differ by more than one step in some channel
    // between the last engine frame and the last peer frame.
    std::uint64_t differingPixels(std::size_t which) {
        device_.activate();
        device_.readBack();
        const std::vector<std::uint32_t>& engine = device_.picture();
        std::vector<std::uint32_t> plain;
        peer_.readBack(which, plain);
        if (plain.size() != engine.size()) return engine.size();
        return benchgl::differingPixels(engine, plain);
    }

private:
    RealFrameScene() {
        // The game is played on a recording adapter that reports what the
        // OpenGL one does; the program's start-up and release need the
        // managers' pointers to themselves meanwhile.
        AdapterSurvey survey = AdapterSurvey::standard();
        {
            benchgl::HiddenGlDevice probe;
            error_ = probe.open("real frames survey", 640, 480);
            if (!error_.empty()) return;
            probe.device()->getDeviceCaps(&survey.caps);
        }
        g_d3dObject = nullptr;
        g_d3dDevice = nullptr;
        const std::filesystem::path source = VORLY_SOURCE_DIR;
        frames_ = realframes::captureFrames(source / "game", source / "tests/fixtures/playthrough/input.txt", survey,
                                            error_);
        if (frames_.empty()) return;
        for (const realframes::Frame& frame : frames_)
            if (frame.backBufferWidth != 640 || frame.backBufferHeight != 480) {
                error_ = "the game's back buffer is not 640 x 480";
                return;
            }
        error_ = device_.open("real frames", 640, 480);
        if (!error_.empty()) return;
        error_ = engine_.build(device_.device(), frames_);
        if (!error_.empty()) return;
        peerErrors_ = peer_.build(frames_);
        device_.activate();
    }

    std::string error_;
    std::vector<realframes::Frame> frames_;
    benchgl::HiddenGlDevice device_;
    EngineReplay engine_;
    realframes::PlainGlPeer peer_;
    std::vector<std::string> peerErrors_;
};

void RealFrames(benchmark::State& state, std::size_t which) {
    RealFrameScene& scene = RealFrameScene::get();
    if (!scene.error().empty()) {
        state.SkipWithError(scene.error().c_str());
        return;
    }
    if (!scene.peerError(which).empty()) {
        state.SkipWithError(("the plain peer cannot draw this frame: " + scene.peerError(which)).c_str());
        return;
    }
    // One of each first: the driver's first use of every texture and
    // program is outside the timing.
    scene.engineFrame(which);
    scene.plainFrame(which);
    std::uint64_t uploads = 0, frames = 0;
    benchgl::timeAgainstHandBatch(
        state,
        [&] {
            const std::uint64_t uploadsBefore = GlCallCount::bufferUploadBytes;
            scene.engineFrame(which);
            uploads += GlCallCount::bufferUploadBytes - uploadsBefore;
            ++frames;
        },
        [&] { scene.plainFrame(which); }, "plain_gl");
    const realframes::Frame& frame = scene.frames()[which];
    state.counters["upload_bytes"] = frames ? double(uploads) / double(frames) : 0.0;
    state.counters["frame"] = frame.number;
    state.counters["vertices"] = double(frame.density);
    scene.engineFrame(which);
    scene.plainFrame(which);
    state.counters["differing_pixels"] = double(scene.differingPixels(which));
    state.SetLabel(frame.name + " (" VORLY_BUILD_TYPE ")");
}

BENCHMARK_CAPTURE(RealFrames, title, 0)->Name("RealFrames/title")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(RealFrames, midstage, 1)->Name("RealFrames/midstage")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(RealFrames, boss, 2)->Name("RealFrames/boss")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

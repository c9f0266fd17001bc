// What the drawing benchmarks share: the OpenGL device on a hidden window,
// the read-back of render target 0 that ends every timed frame (so no frame
// leaves work queued for the next), and the interleaved timing of an engine
// frame against a reference frame by the CPU time of the drawing thread.
#pragma once
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "AllocationCounter.h"
#include "graphics/D3DObject.h"
#include "platform/Window.h"
#include "platform/gfx/GlAdapter.h"
#include "services/Managers.h"

namespace benchgl {

using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

// The CPU time the calling thread has used, in milliseconds. The benchmark
// program has the software rasteriser draw in this thread (ProcessSetup.cpp),
// so this is the whole work of drawing a frame, while every wait (a swap
// interval, a busy machine) stays out of it.
inline double threadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Fills an index buffer with two triangles (0 1 2, 2 1 3) for each quad of
// four vertices, as the engine's sprite and particle batches index them.
// Pixels (X8R8G8B8 words, the same count on both sides) whose colours
// differ by more than one step in some channel: the two sides' rounding may
// differ by one, a drawing fault by more.
inline std::uint64_t differingPixels(const std::vector<std::uint32_t>& engine, const std::vector<std::uint32_t>& plain) {
    std::uint64_t differing = 0;
    for (std::size_t i = 0; i < engine.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            const int a = int((engine[i] >> shift) & 0xFF), b = int((plain[i] >> shift) & 0xFF);
            if (a - b > 1 || b - a > 1) {
                ++differing;
                break;
            }
        }
    return differing;
}

// A drawing benchmark's scene, made on its first use; nullptr, with the
// benchmark marked skipped and why, when it could not be made.
template <class Scene>
Scene* readySceneOrSkip(benchmark::State& state) {
    Scene& scene = Scene::get();
    if (!scene.ready()) {
        state.SkipWithError(scene.error().c_str());
        return nullptr;
    }
    return &scene;
}

// The camera of the mesh and particle scenes: 30 units in front of the
// origin, looking at it, y up.
inline void lookFromFront(D3DObject& d3d) {
    d3d.setEye(0.0f, 0.0f, -30.0f);
    d3d.setLookAt(0.0f, 0.0f, 0.0f);
    d3d.setUpVec(0.0f, 1.0f, 0.0f);
    d3d.updateView();
}

inline bool fillQuadIndices(GfxIndexBuffer* buffer, std::uint32_t quads) {
    void* data = nullptr;
    if (buffer->lock(0, 0, &data, D3DLOCK_DISCARD) != D3D_OK) return false;
    auto* index = static_cast<std::uint16_t*>(data);
    for (std::uint32_t q = 0; q < quads; ++q) {
        const auto base = std::uint16_t(q * 4);
        const std::uint16_t quad[6] = {base,
                                       std::uint16_t(base + 1),
                                       std::uint16_t(base + 2),
                                       std::uint16_t(base + 2),
                                       std::uint16_t(base + 1),
                                       std::uint16_t(base + 3)};
        std::memcpy(index + std::size_t(q) * 6, quad, sizeof quad);
    }
    buffer->unlock();
    return true;
}

class HiddenGlDevice {
public:
    // The window, the adapter survey and the device of width x height;
    // empty when all went well, else why not. Leaves g_d3dObject and
    // g_d3dDevice on this device.
    std::string open(const char* title, int width, int height) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        width_ = width;
        height_ = height;
        picture_.assign(std::size_t(width) * std::size_t(height), 0);
        if (!window_.create(title, 0, 0, width, height, nullptr)) return "no SDL window";
        Window::setInstance(&window_);
        d3d_ = std::make_unique<D3DObject>();
        g_d3dObject = d3d_.get();
        // The device creation lets go of the device g_d3dDevice points at:
        // another benchmark's, which stays its own.
        g_d3dDevice = nullptr;
        if (d3d_->initDirect3D() != S_OK) return "no OpenGL 3.3 adapter: " + openGlAdapterError();
        if (d3d_->initDevice(width, height, 60, 1, 0, 0, 0) != S_OK) return "no device";
        d3d_->setVirtualScreenSize(width, height);
        device_ = g_d3dDevice;
        return std::string();
    }

    D3DObject* d3d() const { return d3d_.get(); }
    GfxDevice* device() const { return device_; }

    // Other benchmarks of the program make devices of their own: a scene
    // points the engine at this one before every use.
    void activate() const {
        g_d3dObject = d3d_.get();
        g_d3dDevice = device_;
    }

    // Render target 0 copied out, row by row.
    void readBack() {
        GfxRef<GfxSurface> target;
        D3DLOCKED_RECT locked;
        if (device_->getRenderTarget(0, target.put()) != D3D_OK ||
            target->lockRect(&locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
            return;
        for (int y = 0; y < height_; ++y)
            std::memcpy(&picture_[std::size_t(y) * std::size_t(width_)],
                        static_cast<const std::uint8_t*>(locked.pBits) + std::size_t(y) * std::size_t(locked.Pitch),
                        std::size_t(width_) * 4);
        target->unlockRect();
    }
    const std::vector<std::uint32_t>& picture() const { return picture_; }

private:
    SdlWindow window_;
    std::unique_ptr<D3DObject> d3d_;
    GfxDevice* device_ = nullptr;
    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> picture_;
};

// Times the engine's frame against a reference frame (by default a
// hand-written batch), interleaved one for one so that both see the same
// machine state; only the engine's frame is in the benchmark's own time.
// "vs_<reference>" is the median CPU time of the drawing thread per engine
// frame over that per reference frame ("cpu_ms", "<reference>_cpu_ms"):
// waits both sides share do not enter it, and more work on either side, in
// the device's calls or in the pixels they fill, moves it. "ms" and
// "<reference>_ms" are the median wall times, for reference.
// Sets "allocs_per_frame" (operator new during the engine's frames); returns
// the C-library allocations per engine frame.
template <typename EngineFrame, typename HandFrame>
double timeAgainstHandBatch(benchmark::State& state, EngineFrame engineFrame, HandFrame handFrame,
                            const std::string& reference = "hand_batch") {
    std::vector<double> pass, hand, passCpu, handCpu;
    for (auto* times : {&pass, &hand, &passCpu, &handCpu}) times->reserve(4096);
    std::uint64_t allocations = 0, mallocs = 0, frames = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Clock::time_point start = Clock::now();
        double cpuStart = threadCpuMilliseconds();
        handFrame();
        handCpu.push_back(threadCpuMilliseconds() - cpuStart);
        hand.push_back(millisecondsSince(start));
        state.ResumeTiming();
        start = Clock::now();
        cpuStart = threadCpuMilliseconds();
        const std::uint64_t before = newCount(), mallocsBefore = allocationCount();
        engineFrame();
        allocations += newCount() - before;
        mallocs += allocationCount() - mallocsBefore;
        passCpu.push_back(threadCpuMilliseconds() - cpuStart);
        pass.push_back(millisecondsSince(start));
        ++frames;
    }
    state.counters["ms"] = median(pass);
    state.counters[reference + "_ms"] = median(hand);
    state.counters["cpu_ms"] = median(passCpu);
    state.counters[reference + "_cpu_ms"] = median(handCpu);
    state.counters["vs_" + reference] = median(passCpu) / median(handCpu);
    state.counters["allocs_per_frame"] = frames ? double(allocations) / double(frames) : 0.0;
    return frames ? double(mallocs) / double(frames) : 0.0;
}

}  // namespace benchgl

// The recording backend of the tests: an adapter and a device that keep
// textures, surfaces and buffers in CPU memory, log every call with its
// arguments ("SetRenderState(D3DRS_DESTBLEND, 2)") in call order, and answer
// with injected results where a test asks for them (a lost device, video
// memory running out, a failing format or creation). Nothing is drawn;
// clears fill the target's memory so tests can read them back.
//
// A test creates one RecordingBackend; while it lives, GfxAdapter::create
// makes recording adapters answering from its survey.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/gfx/AdapterSurvey.h"
#include "platform/gfx/DeviceState.h"
#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/StatefulDevice.h"

class RecordingAdapter;
class RecordingDevice;
class RecordingResource;

struct GfxCall {
    std::string method;     // "SetRenderState"
    std::string arguments;  // "D3DRS_DESTBLEND, 2"
    std::string text() const { return method + "(" + arguments + ")"; }
};

// One draw call that passed its checks: the states it drew with and a copy
// of the vertices it spans (for an indexed draw, minVertexIndex and the
// numVertices after it).
struct GfxDrawRecord {
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    std::string texture;  // stage 0's, "null" when none
    std::uint32_t fvf = 0;
    std::uint32_t alphaBlendEnable = 0, blendOp = 0, srcBlend = 0, destBlend = 0;
    std::uint32_t colorOp = 0, alphaOp = 0;  // stage 0
    std::uint32_t stride = 0;
    std::vector<std::uint8_t> vertices;
};

// With RecordingBackend::keepFrameSteps on, each clear and draw that passed
// its checks, with every state it saw, so that another device can make the
// frame again: a clear's arguments, or a draw's vertices (as GfxDrawRecord
// keeps them) and, for an indexed draw, its indices counted from the first
// kept vertex.
struct GfxFrameStep {
    bool clear = false;
    std::shared_ptr<const DeviceState> state;
    std::vector<D3DRECT> rects;
    std::uint32_t flags = 0;
    D3DCOLOR color = 0;
    float z = 1.0f;
    std::uint32_t stencil = 0;
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    std::uint32_t primitiveCount = 0;
    std::uint32_t stride = 0;
    std::vector<std::uint8_t> vertices;
    std::vector<std::uint32_t> indices;
};

// Injected results, by method name as the log spells it ("CreateTexture",
// "Present", "CreateDevice", "CheckDeviceFormat", ...). A call with a pending
// result answers it without doing anything else (it is still logged).
class GfxFaults {
public:
    // The next `times` calls of the method answer `result`.
    void failNext(const std::string& method, HRESULT result, int times = 1);
    // Every call of the method answers `result` until cleared.
    void failAlways(const std::string& method, HRESULT result);
    void clear();
    // The injected result of this call, or S_OK when none.
    HRESULT take(const std::string& method);

private:
    struct Plan {
        HRESULT result = S_OK;
        int times = 0;  // -1: always
    };
    std::map<std::string, Plan> plans_;
};

class RecordingBackend {
public:
    explicit RecordingBackend(AdapterSurvey survey = AdapterSurvey::standard());
    ~RecordingBackend();
    RecordingBackend(const RecordingBackend&) = delete;
    RecordingBackend& operator=(const RecordingBackend&) = delete;

    // What adapters created from now on report; change it before the engine
    // creates its adapter.
    AdapterSurvey survey;
    GfxFaults faults;
    // When set, GfxAdapter::create answers null (no Direct3D at all).
    bool refuseAdapter = false;
    // The display's refresh rate, for presentsAt60Hz.
    std::uint32_t displayRefreshRate = 60;

    // The device is lost: Present answers D3DERR_DEVICELOST and
    // testCooperativeLevel D3DERR_DEVICENOTRESET until a reset succeeds.
    void loseDevice();
    bool deviceLost() const { return lost_; }

    // The adapter and device alive now (the latest of each), or null.
    RecordingAdapter* adapter() const { return adapter_; }
    RecordingDevice* device() const { return device_; }

    // Every call of adapters, devices and resources, in order.
    const std::vector<GfxCall>& calls() const { return calls_; }
    std::vector<std::string> callTexts() const;
    // The calls of one method, as texts.
    std::vector<std::string> callsOf(const std::string& method) const;
    // Every draw call that passed its checks, in order.
    const std::vector<GfxDrawRecord>& draws() const { return draws_; }
    // Off unless set: the frame steps (see GfxFrameStep), in order.
    bool keepFrameSteps = false;
    const std::vector<GfxFrameStep>& frameSteps() const { return steps_; }
    std::vector<GfxFrameStep> takeFrameSteps() { return std::exchange(steps_, {}); }
    void clearCalls() {
        calls_.clear();
        draws_.clear();
        steps_.clear();
    }

    // Resources alive now, per pool (D3DPOOL_DEFAULT ones must be released
    // before a Direct3D reset).
    std::uint32_t liveResources(D3DPOOL pool) const;

    // Used by the recording objects.
    void log(std::string method, std::string arguments);
    void setLost(bool lost) { lost_ = lost; }
    void attach(RecordingAdapter* adapter) { adapter_ = adapter; }
    void detach(RecordingAdapter* adapter) {
        if (adapter_ == adapter) adapter_ = nullptr;
    }
    void attach(RecordingDevice* device) { device_ = device; }
    void detach(RecordingDevice* device) {
        if (device_ == device) device_ = nullptr;
    }
    void countResource(D3DPOOL pool, int delta);
    void recordDraw(GfxDrawRecord record) { draws_.push_back(std::move(record)); }
    void recordStep(GfxFrameStep step) { steps_.push_back(std::move(step)); }
    // A short name for the log: "texture#3".
    std::string nameObject(const char* kind);

private:
    std::vector<GfxCall> calls_;
    std::vector<GfxDrawRecord> draws_;
    std::vector<GfxFrameStep> steps_;
    bool lost_ = false;
    RecordingAdapter* adapter_ = nullptr;
    RecordingDevice* device_ = nullptr;
    std::map<D3DPOOL, int> live_;
    std::map<std::string, int> nextId_;
};

class RecordingAdapter : public SurveyedAdapter {
public:
    explicit RecordingAdapter(RecordingBackend& backend);
    ~RecordingAdapter() override;

    HRESULT getAdapterIdentifier(std::uint32_t adapter, std::uint32_t flags,
                                 D3DADAPTER_IDENTIFIER9* identifier) override;
    HRESULT getDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
    std::uint32_t getAdapterModeCount(std::uint32_t adapter, D3DFORMAT format) override;
    HRESULT enumAdapterModes(std::uint32_t adapter, D3DFORMAT format, std::uint32_t mode,
                             D3DDISPLAYMODE* displayMode) override;
    HRESULT checkDeviceType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                            D3DFORMAT backBufferFormat, std::int32_t windowed) override;
    HRESULT checkDeviceFormat(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, std::uint32_t usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    HRESULT checkDepthStencilMatch(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override;
    HRESULT checkDeviceMultiSampleType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat,
                                       std::int32_t windowed, D3DMULTISAMPLE_TYPE multiSampleType,
                                       std::uint32_t* qualityLevels) override;
    HRESULT createDevice(std::uint32_t adapter, D3DDEVTYPE type, Window* focusWindow, std::uint32_t behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, GfxDevice** device) override;

    RecordingBackend& backend() { return backend_; }

private:
    RecordingBackend& backend_;
};

class RecordingDevice : public StatefulDevice {
public:
    RecordingDevice(RecordingAdapter& adapter, Window* focusWindow, std::uint32_t behaviorFlags,
                    const D3DPRESENT_PARAMETERS& parameters);
    ~RecordingDevice() override;

    HRESULT testCooperativeLevel() override;
    HRESULT reset(D3DPRESENT_PARAMETERS* parameters) override;
    // True while someone other than the device holds the surface.
    bool heldByCaller(GfxSurface* surface) const;
    HRESULT present() override;
    bool presentsAt60Hz() override;
    std::uint32_t getAvailableTextureMem() override;
    HRESULT getDeviceCaps(D3DCAPS9* caps) override;

    HRESULT beginScene() override;
    HRESULT endScene() override;
    HRESULT clear(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color, float z,
                  std::uint32_t stencil) override;
    HRESULT setViewport(const D3DVIEWPORT9* viewport) override;

    HRESULT setRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) override;
    HRESULT setTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value) override;
    HRESULT setSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value) override;
    HRESULT setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT setLight(std::uint32_t index, const D3DLIGHT9* light) override;
    HRESULT lightEnable(std::uint32_t index, std::int32_t enable) override;
    HRESULT setMaterial(const D3DMATERIAL9* material) override;
    HRESULT setTexture(std::uint32_t stage, GfxTexture* texture) override;
    HRESULT setFVF(std::uint32_t fvf) override;

    HRESULT createTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, std::uint32_t usage,
                          D3DFORMAT format, D3DPOOL pool, GfxTexture** texture) override;
    HRESULT createVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                               GfxVertexBuffer** buffer) override;
    HRESULT createIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                              GfxIndexBuffer** buffer) override;
    HRESULT createDepthStencilSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality, std::int32_t discard,
                                      GfxSurface** surface) override;

    HRESULT getBackBuffer(GfxSurface** surface) override;
    HRESULT getRenderTarget(std::uint32_t index, GfxSurface** surface) override;
    HRESULT setRenderTarget(std::uint32_t index, GfxSurface* surface) override;
    HRESULT getDepthStencilSurface(GfxSurface** surface) override;
    HRESULT setDepthStencilSurface(GfxSurface* surface) override;

    HRESULT setStreamSource(std::uint32_t stream, GfxVertexBuffer* buffer, std::uint32_t offset,
                            std::uint32_t stride) override;
    HRESULT setIndices(GfxIndexBuffer* buffer) override;
    HRESULT drawPrimitive(D3DPRIMITIVETYPE type, std::uint32_t startVertex, std::uint32_t primitiveCount) override;
    HRESULT drawIndexedPrimitive(D3DPRIMITIVETYPE type, std::int32_t baseVertexIndex, std::uint32_t minVertexIndex,
                                 std::uint32_t numVertices, std::uint32_t startIndex,
                                 std::uint32_t primitiveCount) override;
    HRESULT drawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                            std::uint32_t stride) override;

    // What tests inspect.
    const DeviceState& state() const { return state_; }
    const D3DPRESENT_PARAMETERS& presentParameters() const { return parameters_; }
    std::uint32_t behaviorFlags() const { return behaviorFlags_; }
    Window* focusWindow() const { return focusWindow_; }
    std::uint32_t presentCount() const { return presents_; }
    bool inScene() const { return inScene_; }
    RecordingBackend& backend() { return backend_; }

    // Used by the recording resources.
    void track(RecordingResource* resource) { live_.insert(resource); }
    void forget(RecordingResource* resource, std::uint64_t bytes);

private:
    HRESULT injected(const char* method);
    // Whether a stride spans a whole vertex of the vertex format set; draws
    // without a format or with a shorter stride are refused, as OpenGL refuses them.
    bool holdsWholeVertices(std::uint32_t stride) const;
    // A creation refused: logged with its arguments alone.
    HRESULT refused(const char* method, const std::string& arguments, HRESULT result);
    // A creation that succeeds: names the new object of the kind and logs
    // the call with that name.
    std::string created(const char* method, const std::string& arguments, const char* kind);
    // CreateVertexBuffer and CreateIndexBuffer, alike but for the kind.
    template <class Buffer, class Interface, class Desc>
    HRESULT createBuffer(const char* method, const std::string& arguments, const char* kind, const Desc& desc,
                         Interface** buffer);
    void createBackBuffer();
    // Keeps the record of a draw that passed its checks.
    void recordDraw(D3DPRIMITIVETYPE type, const std::uint8_t* vertices, std::size_t bytes, std::uint32_t stride,
                    std::uint32_t primitiveCount, std::vector<std::uint32_t> indices = {});

    RecordingBackend& backend_;
    Window* focusWindow_;
    std::uint32_t presents_ = 0;
    // Every resource of this device still alive; they are orphaned when the
    // device goes first.
    std::set<RecordingResource*> live_;
};

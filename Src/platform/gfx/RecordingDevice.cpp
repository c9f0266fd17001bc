#include "platform/gfx/RecordingDevice.h"

#include <algorithm>

#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "platform/gfx/GfxFormat.h"
#include "platform/gfx/TextureLevels.h"

// ---------------------------------------------------------------------------
// Formatting of logged arguments.

namespace {

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string num(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(value));
    return text;
}

std::string colourText(const D3DCOLORVALUE& c) {
    return "(" + num(c.r) + ", " + num(c.g) + ", " + num(c.b) + ", " + num(c.a) + ")";
}

std::string vectorText(const D3DVECTOR& v) { return "(" + num(v.x) + ", " + num(v.y) + ", " + num(v.z) + ")"; }

std::string matrixText(const D3DMATRIX& m) {
    std::string text = "[";
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            if (r || c) text += ", ";
            text += num(m.m[r][c]);
        }
    return text + "]";
}

std::string parametersText(const D3DPRESENT_PARAMETERS& p) {
    return std::to_string(p.BackBufferWidth) + "x" + std::to_string(p.BackBufferHeight) + " " +
           formatName(p.BackBufferFormat) + " windowed " + std::to_string(p.Windowed) + " depth " +
           std::to_string(p.EnableAutoDepthStencil) + " " + formatName(p.AutoDepthStencilFormat) + " refresh " +
           std::to_string(p.FullScreen_RefreshRateInHz) + " interval " + hex(p.PresentationInterval);
}

}  // namespace

// ---------------------------------------------------------------------------
// Resources. Each belongs to one device; when the device goes first, the
// resource is orphaned: its calls fail and only release remains.

class RecordingResource {
public:
    // `counted`: made by the caller (not the device's own back buffer or
    // depth buffer), so it counts among the live resources and gives its
    // video memory back when it goes.
    RecordingResource(RecordingDevice* device, D3DPOOL pool, std::uint64_t bytes, std::string name,
                      bool counted = true)
        : device_(device),
          backend_(&device->backend()),
          pool_(pool),
          bytes_(counted && countsAsVideoMemory(pool) ? bytes : 0),
          name_(std::move(name)),
          counted_(counted) {
        if (counted_) backend_->countResource(pool_, +1);
        device_->track(this);
    }
    virtual ~RecordingResource() {
        if (counted_) backend_->countResource(pool_, -1);
        if (device_) device_->forget(this, bytes_);
    }
    void orphan() { device_ = nullptr; }
    const std::string& name() const { return name_; }

protected:
    RecordingDevice* device_;
    RecordingBackend* backend_;
    D3DPOOL pool_;
    std::uint64_t bytes_;
    std::string name_;
    bool counted_;
};

class RecordingTexture;

class RecordingSurface : public GfxSurface, public RecordingResource {
public:
    // A surface with its own storage (back buffer, depth surface).
    RecordingSurface(RecordingDevice* device, std::string name, const D3DSURFACE_DESC& desc, bool counted = true)
        : RecordingResource(device, desc.Pool, levelBytes(desc.Format, desc.Width, desc.Height), std::move(name),
                            counted),
          desc_(desc),
          own_(isDepthFormat(desc.Format) ? 0 : levelBytes(desc.Format, desc.Width, desc.Height)) {}
    // A level of a texture, sharing its storage and keeping it alive.
    RecordingSurface(RecordingDevice* device, std::string name, const D3DSURFACE_DESC& desc, GfxTexture* texture,
                     std::vector<std::uint8_t>* storage)
        : RecordingResource(device, desc.Pool, 0, std::move(name)),
          desc_(desc),
          container_(texture),
          shared_(storage) {}

    HRESULT getDesc(D3DSURFACE_DESC* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        *desc = desc_;
        return D3D_OK;
    }
    HRESULT lockRect(D3DLOCKED_RECT* locked, const D3DRECT* rect, std::uint32_t flags) override {
        backend_->log("LockRect", name_ + ", " + hex(flags));
        if (!locked || !device_ || locked_ || isDepthFormat(desc_.Format)) return D3DERR_INVALIDCALL;
        std::uint64_t offset = 0;
        if (!lockedRectOffset(desc_.Format, desc_.Width, desc_.Height, rect, offset)) return D3DERR_INVALIDCALL;
        locked->Pitch = std::int32_t(rowPitch(desc_.Format, desc_.Width));
        locked->pBits = storage().data() + offset;
        locked_ = true;
        return D3D_OK;
    }
    HRESULT unlockRect() override {
        backend_->log("UnlockRect", name_);
        if (!locked_) return D3DERR_INVALIDCALL;
        locked_ = false;
        return D3D_OK;
    }

    const D3DSURFACE_DESC& desc() const { return desc_; }
    std::vector<std::uint8_t>& storage() { return shared_ ? *shared_ : own_; }

    // Fills a rectangle (already clipped) with a colour.
    void fill(const D3DRECT& r, D3DCOLOR colour) {
        if (isDepthFormat(desc_.Format) || isBlockCompressed(desc_.Format)) return;
        std::vector<std::uint8_t>& bytes = storage();
        const std::uint32_t size = bitsPerPixel(desc_.Format) / 8;
        const std::uint32_t pitch = rowPitch(desc_.Format, desc_.Width);
        const std::uint32_t pixel = encodePixel(desc_.Format, colour);
        for (std::int32_t y = r.y1; y < r.y2; ++y)
            for (std::int32_t x = r.x1; x < r.x2; ++x)
                for (std::uint32_t b = 0; b < size; ++b)
                    bytes[std::uint64_t(y) * pitch + std::uint64_t(x) * size + b] = std::uint8_t(pixel >> (8 * b));
    }

private:
    D3DSURFACE_DESC desc_;
    GfxRef<GfxTexture> container_;
    std::vector<std::uint8_t> own_;
    std::vector<std::uint8_t>* shared_ = nullptr;
    bool locked_ = false;
};

class RecordingTexture : public GfxTexture, public RecordingResource {
public:
    RecordingTexture(RecordingDevice* device, std::string name, std::uint32_t width, std::uint32_t height,
                     std::uint32_t levels, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, std::uint64_t bytes)
        : RecordingResource(device, pool, bytes, std::move(name)),
          levels_(width, height, levels, usage, format, pool, true) {}

    std::uint32_t getLevelCount() override { return levels_.count(); }
    HRESULT getLevelDesc(std::uint32_t level, D3DSURFACE_DESC* desc) override { return levels_.getDesc(level, desc); }
    HRESULT lockRect(std::uint32_t level, D3DLOCKED_RECT* locked, const D3DRECT* rect,
                     std::uint32_t flags) override {
        backend_->log("LockRect", name_ + ", " + std::to_string(level) + ", " + hex(flags));
        if (HRESULT fault = backend_->faults.take("LockRect"); FAILED(fault)) return fault;
        if (!device_) return D3DERR_INVALIDCALL;
        return levels_.lock(level, locked, rect, flags);
    }
    HRESULT unlockRect(std::uint32_t level) override {
        backend_->log("UnlockRect", name_ + ", " + std::to_string(level));
        return levels_.unlock(level);
    }
    HRESULT getSurfaceLevel(std::uint32_t level, GfxSurface** surface) override {
        backend_->log("GetSurfaceLevel", name_ + ", " + std::to_string(level));
        if (HRESULT fault = backend_->faults.take("GetSurfaceLevel"); FAILED(fault)) return fault;
        if (!device_ || !levels_.has(level) || !surface) return D3DERR_INVALIDCALL;
        *surface = new RecordingSurface(device_, name_ + ".level" + std::to_string(level), levels_.desc(level), this,
                                        &levels_.bytes(level));
        return D3D_OK;
    }

private:
    TextureLevels levels_;
};

namespace {

// The storage and lock rules shared by vertex and index buffers.
class BufferStore {
public:
    explicit BufferStore(std::uint32_t length) : bytes_(length) {}
    HRESULT lock(std::uint32_t offset, std::uint32_t size, void** data) {
        if (!data || !bufferLockRange(offset, size, bytes_.size())) return D3DERR_INVALIDCALL;
        *data = bytes_.data() + offset;
        ++locks_;
        return D3D_OK;
    }
    HRESULT unlock() {
        if (locks_ == 0) return D3DERR_INVALIDCALL;
        --locks_;
        return D3D_OK;
    }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    int locks_ = 0;
};

std::string lockText(const std::string& name, std::uint32_t offset, std::uint32_t size, std::uint32_t flags) {
    return name + ", " + std::to_string(offset) + ", " + std::to_string(size) + ", " + hex(flags);
}

}  // namespace

// What vertex and index buffers share: the description, the storage with
// its lock rules, and the logging of locks.
template <class Interface, class Desc>
class RecordingBuffer : public Interface, public RecordingResource {
public:
    RecordingBuffer(RecordingDevice* device, std::string name, const Desc& desc)
        : RecordingResource(device, desc.Pool, desc.Size, std::move(name)), desc_(desc), store_(desc.Size) {}
    HRESULT getDesc(Desc* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        *desc = desc_;
        return D3D_OK;
    }
    HRESULT lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) override {
        backend_->log("Lock", lockText(name_, offset, size, flags));
        if (HRESULT fault = backend_->faults.take("Lock"); FAILED(fault)) return fault;
        if (!device_) return D3DERR_INVALIDCALL;
        return store_.lock(offset, size, data);
    }
    HRESULT unlock() override {
        backend_->log("Unlock", name_);
        return store_.unlock();
    }
    const std::vector<std::uint8_t>& bytes() const { return store_.bytes(); }

protected:
    Desc desc_;
    BufferStore store_;
};

using RecordingVertexBuffer = RecordingBuffer<GfxVertexBuffer, D3DVERTEXBUFFER_DESC>;

class RecordingIndexBuffer : public RecordingBuffer<GfxIndexBuffer, D3DINDEXBUFFER_DESC> {
public:
    using RecordingBuffer::RecordingBuffer;
    bool index32() const { return desc_.Format == D3DFMT_INDEX32; }
};

namespace {

// The log's name of a surface, texture or buffer the caller passes.
template <class Resource>
std::string nameOf(Resource* resource) {
    return resource ? dynamic_cast<RecordingResource*>(resource)->name() : "null";
}

}  // namespace

// ---------------------------------------------------------------------------
// Faults and the backend.

void GfxFaults::failNext(const std::string& method, HRESULT result, int times) {
    plans_[method] = {result, times};
}

void GfxFaults::failAlways(const std::string& method, HRESULT result) { plans_[method] = {result, -1}; }

void GfxFaults::clear() { plans_.clear(); }

HRESULT GfxFaults::take(const std::string& method) {
    auto it = plans_.find(method);
    if (it == plans_.end() || it->second.times == 0) return S_OK;
    if (it->second.times > 0) --it->second.times;
    return it->second.result;
}

RecordingBackend::RecordingBackend(AdapterSurvey survey_) : survey(std::move(survey_)) {
    GfxAdapter::setFactory([this]() -> GfxAdapter* {
        log("Direct3DCreate9", "");
        if (refuseAdapter) return nullptr;
        return new RecordingAdapter(*this);
    });
}

RecordingBackend::~RecordingBackend() { GfxAdapter::setFactory({}); }

void RecordingBackend::loseDevice() { lost_ = true; }

std::vector<std::string> RecordingBackend::callTexts() const {
    std::vector<std::string> texts;
    for (const auto& call : calls_) texts.push_back(call.text());
    return texts;
}

std::vector<std::string> RecordingBackend::callsOf(const std::string& method) const {
    std::vector<std::string> texts;
    for (const auto& call : calls_)
        if (call.method == method) texts.push_back(call.text());
    return texts;
}

std::uint32_t RecordingBackend::liveResources(D3DPOOL pool) const {
    auto it = live_.find(pool);
    return it == live_.end() ? 0 : std::uint32_t(it->second);
}

void RecordingBackend::log(std::string method, std::string arguments) {
    calls_.push_back({std::move(method), std::move(arguments)});
}

void RecordingBackend::countResource(D3DPOOL pool, int delta) { live_[pool] += delta; }

std::string RecordingBackend::nameObject(const char* kind) {
    return std::string(kind) + "#" + std::to_string(++nextId_[kind]);
}

// ---------------------------------------------------------------------------
// The adapter.

RecordingAdapter::RecordingAdapter(RecordingBackend& backend) : SurveyedAdapter(backend.survey), backend_(backend) {
    backend_.attach(this);
}

RecordingAdapter::~RecordingAdapter() { backend_.detach(this); }

HRESULT RecordingAdapter::getAdapterIdentifier(std::uint32_t adapter, std::uint32_t flags,
                                               D3DADAPTER_IDENTIFIER9* identifier) {
    backend_.log("GetAdapterIdentifier", std::to_string(adapter) + ", " + std::to_string(flags));
    if (HRESULT fault = backend_.faults.take("GetAdapterIdentifier"); FAILED(fault)) return fault;
    if (adapter != 0 || !identifier) return D3DERR_INVALIDCALL;
    *identifier = survey_.identifier;
    return D3D_OK;
}

HRESULT RecordingAdapter::getDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
    backend_.log("GetDeviceCaps", std::to_string(adapter) + ", " + std::to_string(type));
    if (HRESULT fault = backend_.faults.take("GetDeviceCaps"); FAILED(fault)) return fault;
    return SurveyedAdapter::getDeviceCaps(adapter, type, caps);
}

std::uint32_t RecordingAdapter::getAdapterModeCount(std::uint32_t adapter, D3DFORMAT format) {
    backend_.log("GetAdapterModeCount", std::to_string(adapter) + ", " + formatName(format));
    return SurveyedAdapter::getAdapterModeCount(adapter, format);
}

HRESULT RecordingAdapter::enumAdapterModes(std::uint32_t adapter, D3DFORMAT format, std::uint32_t mode,
                                           D3DDISPLAYMODE* displayMode) {
    backend_.log("EnumAdapterModes", std::to_string(adapter) + ", " + formatName(format) + ", " + std::to_string(mode));
    if (HRESULT fault = backend_.faults.take("EnumAdapterModes"); FAILED(fault)) return fault;
    return SurveyedAdapter::enumAdapterModes(adapter, format, mode, displayMode);
}

HRESULT RecordingAdapter::checkDeviceType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                                          D3DFORMAT backBufferFormat, std::int32_t windowed) {
    backend_.log("CheckDeviceType", std::to_string(adapter) + ", " + std::to_string(type) + ", " +
                                        formatName(displayFormat) + ", " + formatName(backBufferFormat) + ", " +
                                        std::to_string(windowed));
    if (HRESULT fault = backend_.faults.take("CheckDeviceType"); FAILED(fault)) return fault;
    return SurveyedAdapter::checkDeviceType(adapter, type, displayFormat, backBufferFormat, windowed);
}

HRESULT RecordingAdapter::checkDeviceFormat(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                            std::uint32_t usage, D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) {
    backend_.log("CheckDeviceFormat", std::to_string(adapter) + ", " + std::to_string(type) + ", " +
                                          formatName(adapterFormat) + ", " + hex(usage) + ", " +
                                          std::to_string(resourceType) + ", " + formatName(checkFormat));
    if (HRESULT fault = backend_.faults.take("CheckDeviceFormat"); FAILED(fault)) return fault;
    return SurveyedAdapter::checkDeviceFormat(adapter, type, adapterFormat, usage, resourceType, checkFormat);
}

HRESULT RecordingAdapter::checkDepthStencilMatch(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                                 D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) {
    backend_.log("CheckDepthStencilMatch", std::to_string(adapter) + ", " + std::to_string(type) + ", " +
                                               formatName(adapterFormat) + ", " + formatName(renderTargetFormat) +
                                               ", " + formatName(depthStencilFormat));
    if (HRESULT fault = backend_.faults.take("CheckDepthStencilMatch"); FAILED(fault)) return fault;
    return SurveyedAdapter::checkDepthStencilMatch(adapter, type, adapterFormat, renderTargetFormat,
                                                   depthStencilFormat);
}

HRESULT RecordingAdapter::checkDeviceMultiSampleType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat,
                                                     std::int32_t windowed, D3DMULTISAMPLE_TYPE multiSampleType,
                                                     std::uint32_t* qualityLevels) {
    backend_.log("CheckDeviceMultiSampleType", std::to_string(adapter) + ", " + std::to_string(type) + ", " +
                                                   formatName(surfaceFormat) + ", " + std::to_string(windowed) + ", " +
                                                   std::to_string(multiSampleType));
    if (HRESULT fault = backend_.faults.take("CheckDeviceMultiSampleType"); FAILED(fault)) return fault;
    return SurveyedAdapter::checkDeviceMultiSampleType(adapter, type, surfaceFormat, windowed, multiSampleType,
                                                       qualityLevels);
}

HRESULT RecordingAdapter::createDevice(std::uint32_t adapter, D3DDEVTYPE type, Window* focusWindow,
                                       std::uint32_t behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                       GfxDevice** device) {
    backend_.log("CreateDevice", std::to_string(adapter) + ", " + std::to_string(type) + ", " + hex(behaviorFlags) +
                                     ", " + (parameters ? parametersText(*parameters) : std::string("null")));
    if (!device) return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (HRESULT fault = backend_.faults.take("CreateDevice"); FAILED(fault)) return fault;
    if (HRESULT valid = validateCreation(adapter, type, focusWindow, behaviorFlags, parameters); FAILED(valid))
        return valid;
    const std::uint64_t needed = levelBytes(parameters->BackBufferFormat, parameters->BackBufferWidth,
                                            parameters->BackBufferHeight) +
                                 (parameters->EnableAutoDepthStencil
                                      ? levelBytes(parameters->AutoDepthStencilFormat, parameters->BackBufferWidth,
                                                   parameters->BackBufferHeight)
                                      : 0);
    if (needed > survey_.totalTextureMemory) return D3DERR_OUTOFVIDEOMEMORY;
    *device = new RecordingDevice(*this, focusWindow, behaviorFlags, *parameters);
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// The device.

RecordingDevice::RecordingDevice(RecordingAdapter& adapter, Window* focusWindow, std::uint32_t behaviorFlags,
                                 const D3DPRESENT_PARAMETERS& parameters)
    : StatefulDevice(adapter, behaviorFlags, parameters), backend_(adapter.backend()), focusWindow_(focusWindow) {
    if (parameters_.BackBufferFormat == D3DFMT_UNKNOWN) parameters_.BackBufferFormat = adapter.survey().desktop.Format;
    if (parameters_.BackBufferCount == 0) parameters_.BackBufferCount = 1;
    createBackBuffer();
    backend_.setLost(false);
    backend_.attach(this);
}

RecordingDevice::~RecordingDevice() {
    backend_.detach(this);
    state_ = DeviceState{};
    backBuffer_.reset();
    autoDepth_.reset();
    for (RecordingResource* resource : live_) resource->orphan();
}

void RecordingDevice::createBackBuffer() {
    backBuffer_.reset();
    autoDepth_.reset();
    auto* backBuffer = new RecordingSurface(this, "backbuffer", backBufferDesc(), false);
    adoptBackBuffer(backBuffer, parameters_.EnableAutoDepthStencil
                                    ? new RecordingSurface(this, "depthbuffer", autoDepthDesc(), false)
                                    : nullptr);
}

void RecordingDevice::forget(RecordingResource* resource, std::uint64_t bytes) {
    live_.erase(resource);
    freeMemory(bytes);
}

HRESULT RecordingDevice::injected(const char* method) { return backend_.faults.take(method); }

HRESULT RecordingDevice::testCooperativeLevel() {
    backend_.log("TestCooperativeLevel", "");
    if (HRESULT fault = injected("TestCooperativeLevel"); FAILED(fault)) return fault;
    return backend_.deviceLost() ? D3DERR_DEVICENOTRESET : D3D_OK;
}

HRESULT RecordingDevice::reset(D3DPRESENT_PARAMETERS* parameters) {
    backend_.log("Reset", parameters ? parametersText(*parameters) : std::string("null"));
    if (HRESULT fault = injected("Reset"); FAILED(fault)) return fault;
    // As Direct3D 9: no reset while a default-pool object is alive or the
    // caller still holds the back buffer or the automatic depth surface, so
    // that a missed release shows.
    if (backend_.liveResources(D3DPOOL_DEFAULT) != 0 || heldByCaller(backBuffer_.get()) ||
        heldByCaller(autoDepth_.get()))
        return D3DERR_INVALIDCALL;
    if (HRESULT valid = adapter_->validateCreation(0, D3DDEVTYPE_HAL, focusWindow_, behaviorFlags_, parameters); FAILED(valid)) return valid;
    // The back buffer and automatic depth buffer are made anew; every other
    // state stays.
    freeBackBufferMemory();
    parameters_ = *parameters;
    if (parameters_.BackBufferFormat == D3DFMT_UNKNOWN) parameters_.BackBufferFormat = adapter_->survey().desktop.Format;
    if (parameters_.BackBufferCount == 0) parameters_.BackBufferCount = 1;
    createBackBuffer();
    inScene_ = false;
    backend_.setLost(false);
    return D3D_OK;
}

bool RecordingDevice::heldByCaller(GfxSurface* surface) const {
    if (!surface) return false;
    // The device's own references: its copy and the selection in its state.
    std::uint32_t own = 1;
    if (state_.renderTarget.get() == surface) ++own;
    if (state_.depthStencil.get() == surface) ++own;
    return surface->references() > own;
}

HRESULT RecordingDevice::present() {
    backend_.log("Present", "");
    if (HRESULT fault = injected("Present"); FAILED(fault)) return fault;
    if (backend_.deviceLost()) return D3DERR_DEVICELOST;
    if (inScene_) return D3DERR_INVALIDCALL;
    ++presents_;
    return D3D_OK;
}

bool RecordingDevice::presentsAt60Hz() {
    return parameters_.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE && backend_.displayRefreshRate == 60;
}

std::uint32_t RecordingDevice::getAvailableTextureMem() {
    backend_.log("GetAvailableTextureMem", "");
    return StatefulDevice::getAvailableTextureMem();
}

HRESULT RecordingDevice::getDeviceCaps(D3DCAPS9* caps) {
    backend_.log("GetDeviceCaps", "");
    return StatefulDevice::getDeviceCaps(caps);
}

HRESULT RecordingDevice::beginScene() {
    backend_.log("BeginScene", "");
    if (HRESULT fault = injected("BeginScene"); FAILED(fault)) return fault;
    return StatefulDevice::beginScene();
}

HRESULT RecordingDevice::endScene() {
    backend_.log("EndScene", "");
    return StatefulDevice::endScene();
}

HRESULT RecordingDevice::clear(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color,
                               float z, std::uint32_t stencil) {
    std::string list;
    for (std::uint32_t i = 0; rects && i < count; ++i)
        list += std::string(i ? " " : "") + "(" + std::to_string(rects[i].x1) + ", " + std::to_string(rects[i].y1) +
                ")-(" + std::to_string(rects[i].x2) + ", " + std::to_string(rects[i].y2) + ")";
    backend_.log("Clear", std::to_string(count) + ", [" + list + "], " + hex(flags) + ", " + hex(color) + ", " +
                              num(z) + ", " + std::to_string(stencil));
    if (HRESULT fault = injected("Clear"); FAILED(fault)) return fault;
    if (!validClearArguments(count, rects, flags)) return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !state_.depthStencil) return D3DERR_INVALIDCALL;
    if (flags & D3DCLEAR_STENCIL) {
        D3DSURFACE_DESC depth;
        state_.depthStencil->getDesc(&depth);
        if (!hasStencilBits(depth.Format)) return D3DERR_INVALIDCALL;
    }
    if (backend_.keepFrameSteps) {
        GfxFrameStep step;
        step.clear = true;
        step.state = std::make_shared<DeviceState>(state_);
        if (rects) step.rects.assign(rects, rects + count);
        step.flags = flags;
        step.color = color;
        step.z = z;
        step.stencil = stencil;
        backend_.recordStep(std::move(step));
    }
    if (!(flags & D3DCLEAR_TARGET) || !state_.renderTarget) return D3D_OK;
    auto* target = static_cast<RecordingSurface*>(state_.renderTarget.get());
    forEachClearRect(count, rects, state_.viewport, [&](const D3DRECT& r) { target->fill(r, color); });
    return D3D_OK;
}

HRESULT RecordingDevice::setViewport(const D3DVIEWPORT9* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    const D3DVIEWPORT9& v = *viewport;
    backend_.log("SetViewport", std::to_string(v.X) + ", " + std::to_string(v.Y) + ", " + std::to_string(v.Width) +
                                    ", " + std::to_string(v.Height) + ", " + num(v.MinZ) + ", " + num(v.MaxZ));
    if (HRESULT fault = injected("SetViewport"); FAILED(fault)) return fault;
    return state_.setViewport(viewport);
}

HRESULT RecordingDevice::setRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) {
    backend_.log("SetRenderState", renderStateName(state) + ", " + std::to_string(value));
    if (HRESULT fault = injected("SetRenderState"); FAILED(fault)) return fault;
    return state_.setRenderState(state, value);
}

HRESULT RecordingDevice::setTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                              std::uint32_t value) {
    backend_.log("SetTextureStageState",
                 std::to_string(stage) + ", " + textureStageStateName(type) + ", " + std::to_string(value));
    if (HRESULT fault = injected("SetTextureStageState"); FAILED(fault)) return fault;
    return state_.setTextureStageState(stage, type, value);
}

HRESULT RecordingDevice::setSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value) {
    backend_.log("SetSamplerState",
                 std::to_string(sampler) + ", " + samplerStateName(type) + ", " + std::to_string(value));
    if (HRESULT fault = injected("SetSamplerState"); FAILED(fault)) return fault;
    return state_.setSamplerState(sampler, type, value);
}

HRESULT RecordingDevice::setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    backend_.log("SetTransform", transformStateName(state) + ", " + (matrix ? matrixText(*matrix) : "null"));
    if (HRESULT fault = injected("SetTransform"); FAILED(fault)) return fault;
    return state_.setTransform(state, matrix);
}

HRESULT RecordingDevice::setLight(std::uint32_t index, const D3DLIGHT9* light) {
    backend_.log("SetLight", std::to_string(index) + ", " +
                                 (light ? "type " + std::to_string(light->Type) + " diffuse " +
                                              colourText(light->Diffuse) + " direction " +
                                              vectorText(light->Direction)
                                        : std::string("null")));
    if (HRESULT fault = injected("SetLight"); FAILED(fault)) return fault;
    return state_.setLight(index, light);
}

HRESULT RecordingDevice::lightEnable(std::uint32_t index, std::int32_t enable) {
    backend_.log("LightEnable", std::to_string(index) + ", " + std::to_string(enable));
    if (HRESULT fault = injected("LightEnable"); FAILED(fault)) return fault;
    return state_.lightEnable(index, enable);
}

HRESULT RecordingDevice::setMaterial(const D3DMATERIAL9* material) {
    backend_.log("SetMaterial", material ? "diffuse " + colourText(material->Diffuse) + " ambient " +
                                               colourText(material->Ambient) + " specular " +
                                               colourText(material->Specular) + " emissive " +
                                               colourText(material->Emissive) + " power " + num(material->Power)
                                         : std::string("null"));
    if (HRESULT fault = injected("SetMaterial"); FAILED(fault)) return fault;
    return state_.setMaterial(material);
}

HRESULT RecordingDevice::setTexture(std::uint32_t stage, GfxTexture* texture) {
    backend_.log("SetTexture", std::to_string(stage) + ", " + nameOf(texture));
    if (HRESULT fault = injected("SetTexture"); FAILED(fault)) return fault;
    return state_.setTexture(stage, texture);
}

HRESULT RecordingDevice::setFVF(std::uint32_t fvf) {
    backend_.log("SetFVF", hex(fvf));
    if (HRESULT fault = injected("SetFVF"); FAILED(fault)) return fault;
    state_.fvf = fvf;
    return D3D_OK;
}

HRESULT RecordingDevice::refused(const char* method, const std::string& arguments, HRESULT result) {
    backend_.log(method, arguments);
    return result;
}

std::string RecordingDevice::created(const char* method, const std::string& arguments, const char* kind) {
    std::string name = backend_.nameObject(kind);
    backend_.log(method, arguments + " -> " + name);
    return name;
}

HRESULT RecordingDevice::createTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                                       std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, GfxTexture** texture) {
    const char* method = "CreateTexture";
    std::string arguments = std::to_string(width) + ", " + std::to_string(height) + ", " + std::to_string(levels) +
                            ", " + hex(usage) + ", " + formatName(format) + ", " + std::to_string(pool);
    if (!texture) return refused(method, arguments, D3DERR_INVALIDCALL);
    *texture = nullptr;
    if (HRESULT fault = injected(method); FAILED(fault)) return refused(method, arguments, fault);
    std::uint64_t bytes = 0;
    if (HRESULT valid = checkTextureCreation(adapter_->survey(), width, height, levels, usage, format, pool, bytes);
        FAILED(valid))
        return refused(method, arguments, valid);
    if (!reserveMemoryOf(pool, bytes)) return refused(method, arguments, D3DERR_OUTOFVIDEOMEMORY);
    std::string name = created(method, arguments, "texture");
    *texture = new RecordingTexture(this, name, width, height, levels, usage, format, pool, bytes);
    return D3D_OK;
}

template <class Buffer, class Interface, class Desc>
HRESULT RecordingDevice::createBuffer(const char* method, const std::string& arguments, const char* kind,
                                      const Desc& desc, Interface** buffer) {
    if (!buffer || FAILED(checkBufferCreation(desc))) return refused(method, arguments, D3DERR_INVALIDCALL);
    *buffer = nullptr;
    if (HRESULT fault = injected(method); FAILED(fault)) return refused(method, arguments, fault);
    if (!reserveMemoryOf(desc.Pool, desc.Size)) return refused(method, arguments, D3DERR_OUTOFVIDEOMEMORY);
    std::string name = created(method, arguments, kind);
    *buffer = new Buffer(this, name, desc);
    return D3D_OK;
}

HRESULT RecordingDevice::createVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf,
                                            D3DPOOL pool, GfxVertexBuffer** buffer) {
    return createBuffer<RecordingVertexBuffer>(
        "CreateVertexBuffer", std::to_string(length) + ", " + hex(usage) + ", " + hex(fvf) + ", " + std::to_string(pool),
        "vertexbuffer", vertexBufferDesc(length, usage, fvf, pool), buffer);
}

HRESULT RecordingDevice::createIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                           GfxIndexBuffer** buffer) {
    return createBuffer<RecordingIndexBuffer>(
        "CreateIndexBuffer",
        std::to_string(length) + ", " + hex(usage) + ", " + formatName(format) + ", " + std::to_string(pool),
        "indexbuffer", indexBufferDesc(length, usage, format, pool), buffer);
}

HRESULT RecordingDevice::createDepthStencilSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                                   D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality,
                                                   std::int32_t discard, GfxSurface** surface) {
    const char* method = "CreateDepthStencilSurface";
    std::string arguments = std::to_string(width) + ", " + std::to_string(height) + ", " + formatName(format) + ", " +
                            std::to_string(multiSample) + ", " + std::to_string(quality) + ", " +
                            std::to_string(discard);
    if (!surface || width == 0 || height == 0 || !adapter_->survey().depthFormats.count(format) ||
        multiSample != D3DMULTISAMPLE_NONE)
        return refused(method, arguments, D3DERR_INVALIDCALL);
    *surface = nullptr;
    if (HRESULT fault = injected(method); FAILED(fault)) return refused(method, arguments, fault);
    if (!reserveMemory(levelBytes(format, width, height)))
        return refused(method, arguments, D3DERR_OUTOFVIDEOMEMORY);
    std::string name = created(method, arguments, "surface");
    *surface = new RecordingSurface(this, name, depthStencilDesc(width, height, format));
    return D3D_OK;
}

HRESULT RecordingDevice::getBackBuffer(GfxSurface** surface) {
    backend_.log("GetBackBuffer", "");
    return StatefulDevice::getBackBuffer(surface);
}

HRESULT RecordingDevice::getRenderTarget(std::uint32_t index, GfxSurface** surface) {
    backend_.log("GetRenderTarget", std::to_string(index));
    if (HRESULT fault = injected("GetRenderTarget"); FAILED(fault)) return fault;
    return StatefulDevice::getRenderTarget(index, surface);
}

HRESULT RecordingDevice::setRenderTarget(std::uint32_t index, GfxSurface* surface) {
    backend_.log("SetRenderTarget", std::to_string(index) + ", " + nameOf(surface));
    if (HRESULT fault = injected("SetRenderTarget"); FAILED(fault)) return fault;
    if (index != 0 || !surface) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    surface->getDesc(&desc);
    if (!(desc.Usage & D3DUSAGE_RENDERTARGET)) return D3DERR_INVALIDCALL;
    state_.renderTarget = GfxRef<GfxSurface>(surface);
    // Selecting a target makes the viewport the whole target, as Direct3D does.
    state_.viewport = {0, 0, desc.Width, desc.Height, 0.0f, 1.0f};
    return D3D_OK;
}

HRESULT RecordingDevice::getDepthStencilSurface(GfxSurface** surface) {
    backend_.log("GetDepthStencilSurface", "");
    if (HRESULT fault = injected("GetDepthStencilSurface"); FAILED(fault)) return fault;
    return StatefulDevice::getDepthStencilSurface(surface);
}

HRESULT RecordingDevice::setDepthStencilSurface(GfxSurface* surface) {
    backend_.log("SetDepthStencilSurface", nameOf(surface));
    if (HRESULT fault = injected("SetDepthStencilSurface"); FAILED(fault)) return fault;
    if (surface) {
        D3DSURFACE_DESC desc;
        surface->getDesc(&desc);
        if (!isDepthFormat(desc.Format)) return D3DERR_INVALIDCALL;
    }
    state_.depthStencil = GfxRef<GfxSurface>(surface);
    return D3D_OK;
}

HRESULT RecordingDevice::setStreamSource(std::uint32_t stream, GfxVertexBuffer* buffer, std::uint32_t offset,
                                         std::uint32_t stride) {
    backend_.log("SetStreamSource", std::to_string(stream) + ", " + nameOf(buffer) + ", " + std::to_string(offset) +
                                        ", " + std::to_string(stride));
    if (HRESULT fault = injected("SetStreamSource"); FAILED(fault)) return fault;
    return state_.setStreamSource(stream, buffer, offset, stride);
}

HRESULT RecordingDevice::setIndices(GfxIndexBuffer* buffer) {
    backend_.log("SetIndices", nameOf(buffer));
    if (HRESULT fault = injected("SetIndices"); FAILED(fault)) return fault;
    state_.indices = GfxRef<GfxIndexBuffer>(buffer);
    return D3D_OK;
}

bool RecordingDevice::holdsWholeVertices(std::uint32_t stride) const {
    const VertexLayout layout = vertexLayout(state_.fvf);
    return layout.stride != 0 && stride >= layout.stride;
}

HRESULT RecordingDevice::drawPrimitive(D3DPRIMITIVETYPE type, std::uint32_t startVertex,
                                       std::uint32_t primitiveCount) {
    backend_.log("DrawPrimitive",
                 std::to_string(type) + ", " + std::to_string(startVertex) + ", " + std::to_string(primitiveCount));
    if (HRESULT fault = injected("DrawPrimitive"); FAILED(fault)) return fault;
    if (!inScene_ || !state_.streamBuffer || !holdsWholeVertices(state_.streamStride)) return D3DERR_INVALIDCALL;
    const auto* buffer = static_cast<RecordingVertexBuffer*>(state_.streamBuffer.get());
    if (!state_.streamHolds(buffer->bytes().size(), startVertex, vertexCountOf(type, primitiveCount)))
        return D3DERR_INVALIDCALL;
    recordDraw(type, buffer->bytes().data() + state_.streamOffset + std::size_t(startVertex) * state_.streamStride,
               std::size_t(vertexCountOf(type, primitiveCount)) * state_.streamStride, state_.streamStride,
               primitiveCount);
    return D3D_OK;
}

HRESULT RecordingDevice::drawIndexedPrimitive(D3DPRIMITIVETYPE type, std::int32_t baseVertexIndex,
                                              std::uint32_t minVertexIndex, std::uint32_t numVertices,
                                              std::uint32_t startIndex, std::uint32_t primitiveCount) {
    backend_.log("DrawIndexedPrimitive", std::to_string(type) + ", " + std::to_string(baseVertexIndex) + ", " +
                                             std::to_string(minVertexIndex) + ", " + std::to_string(numVertices) +
                                             ", " + std::to_string(startIndex) + ", " + std::to_string(primitiveCount));
    if (HRESULT fault = injected("DrawIndexedPrimitive"); FAILED(fault)) return fault;
    if (!inScene_ || !state_.streamBuffer || !state_.indices || !holdsWholeVertices(state_.streamStride))
        return D3DERR_INVALIDCALL;
    const auto* vertices = static_cast<RecordingVertexBuffer*>(state_.streamBuffer.get());
    const auto* indices = static_cast<RecordingIndexBuffer*>(state_.indices.get());
    if (!indexedDrawInBounds(indices->bytes().data(), indices->bytes().size(), indices->index32(), startIndex,
                             vertexCountOf(type, primitiveCount), baseVertexIndex,
                             state_.streamCapacity(vertices->bytes().size())))
        return D3DERR_INVALIDCALL;
    // The vertices the draw says it spans, cut at the buffer's end.
    const std::uint64_t capacity = state_.streamCapacity(vertices->bytes().size());
    const std::uint64_t first = std::uint64_t(std::max<std::int64_t>(0, std::int64_t(baseVertexIndex) + minVertexIndex));
    const std::uint64_t count = first >= capacity ? 0 : std::min<std::uint64_t>(numVertices, capacity - first);
    std::vector<std::uint32_t> kept;
    if (backend_.keepFrameSteps) {
        // The indices, counted from the first kept vertex.
        const std::uint64_t total = vertexCountOf(type, primitiveCount);
        kept.reserve(total);
        const std::uint8_t* bytes = indices->bytes().data();
        for (std::uint64_t i = startIndex; i < startIndex + total; ++i) {
            std::uint32_t index = 0;
            if (indices->index32())
                std::memcpy(&index, bytes + i * 4, 4);
            else
                index = std::uint16_t(bytes[i * 2] | (bytes[i * 2 + 1] << 8));
            kept.push_back(std::uint32_t(std::int64_t(index) + baseVertexIndex - std::int64_t(first)));
        }
    }
    recordDraw(type, vertices->bytes().data() + state_.streamOffset + first * state_.streamStride,
               std::size_t(count * state_.streamStride), state_.streamStride, primitiveCount, std::move(kept));
    return D3D_OK;
}

HRESULT RecordingDevice::drawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                                         std::uint32_t stride) {
    backend_.log("DrawPrimitiveUP",
                 std::to_string(type) + ", " + std::to_string(primitiveCount) + ", " + std::to_string(stride));
    if (HRESULT fault = injected("DrawPrimitiveUP"); FAILED(fault)) return fault;
    if (!inScene_ || !vertices || !holdsWholeVertices(stride) || vertexCountOf(type, primitiveCount) > kMaxDrawVertices)
        return D3DERR_INVALIDCALL;
    recordDraw(type, static_cast<const std::uint8_t*>(vertices),
               std::size_t(vertexCountOf(type, primitiveCount)) * stride, stride, primitiveCount);
    state_.streamBuffer.reset();
    state_.streamOffset = state_.streamStride = 0;
    return D3D_OK;
}

void RecordingDevice::recordDraw(D3DPRIMITIVETYPE type, const std::uint8_t* vertices, std::size_t bytes,
                                 std::uint32_t stride, std::uint32_t primitiveCount,
                                 std::vector<std::uint32_t> indices) {
    if (backend_.keepFrameSteps) {
        GfxFrameStep step;
        step.state = std::make_shared<DeviceState>(state_);
        step.type = type;
        step.primitiveCount = primitiveCount;
        step.stride = stride;
        step.vertices.assign(vertices, vertices + bytes);
        step.indices = std::move(indices);
        backend_.recordStep(std::move(step));
    }
    GfxDrawRecord record;
    record.type = type;
    record.texture = nameOf(state_.textures[0].get());
    record.fvf = state_.fvf;
    record.alphaBlendEnable = state_.renderStates[D3DRS_ALPHABLENDENABLE];
    record.blendOp = state_.renderStates[D3DRS_BLENDOP];
    record.srcBlend = state_.renderStates[D3DRS_SRCBLEND];
    record.destBlend = state_.renderStates[D3DRS_DESTBLEND];
    record.colorOp = state_.stageStates[0][D3DTSS_COLOROP];
    record.alphaOp = state_.stageStates[0][D3DTSS_ALPHAOP];
    record.stride = stride;
    record.vertices.assign(vertices, vertices + bytes);
    backend_.recordDraw(std::move(record));
}

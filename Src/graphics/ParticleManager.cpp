#include "graphics/ParticleManager.h"

#include <cstring>

#include "graphics/D3DObject.h"
#include "graphics/Texture.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"

namespace {
constexpr std::string_view kSource = "ParticleManager";
}  // namespace

ParticleManager::ParticleManager() = default;

ParticleManager::~ParticleManager() { releaseBuffers(); }

HRESULT ParticleManager::init() {
    active_ = List();
    free_ = List();
    live_ = 0;
    if (!records_) records_ = std::make_unique<ParticleQuad[]>(kCapacity);
    for (std::int32_t i = 0; i < std::int32_t(kCapacity); ++i) pushBack(free_, i);
    if (!staging_) staging_ = std::make_unique<ParticleQuad[]>(kCapacity);
    material_ = D3DMATERIAL9{};
    const HRESULT hr = createBuffer();
    count_ = 0;
    return hr;
}

HRESULT ParticleManager::createBuffer() {
    GfxDevice* device = g_d3dDevice;
    if (!device) return E_FAIL;
    vertexBuffer_ = GfxRef<GfxVertexBuffer>();
    indexBuffer_ = GfxRef<GfxIndexBuffer>();
    HRESULT result = S_OK;
    HRESULT hr = device->createVertexBuffer(kVertexBufferBytes, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, kParticleFvf,
                                            D3DPOOL_DEFAULT, vertexBuffer_.put());
    if (FAILED(hr)) {
        logFailure(kSource, 164, hr);
        result = hr;
    }
    hr = device->createIndexBuffer(kIndexBufferBytes, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, D3DFMT_INDEX16,
                                   D3DPOOL_DEFAULT, indexBuffer_.put());
    if (FAILED(hr)) {
        logFailure(kSource, 168, hr);
        if (SUCCEEDED(result)) result = hr;
    }
    void* data = nullptr;
    hr = indexBuffer_ ? indexBuffer_->lock(0, kIndexBufferBytes, &data, D3DLOCK_DISCARD) : D3DERR_INVALIDCALL;
    if (FAILED(hr)) {
        logFailure(kSource, 172, hr);
        if (SUCCEEDED(result)) result = hr;
    } else {
        auto* out = static_cast<std::uint16_t*>(data);
        for (std::uint32_t i = 0; i < kCapacity; ++i) {
            const auto base = static_cast<std::uint16_t>(4 * i);
            const std::uint16_t quad[6] = {base, std::uint16_t(base + 1), std::uint16_t(base + 2),
                                           std::uint16_t(base + 2), std::uint16_t(base + 1), std::uint16_t(base + 3)};
            std::memcpy(out + 6 * i, quad, sizeof quad);
        }
        indexBuffer_->unlock();
    }
    device->setIndices(indexBuffer_.get());
    device->setStreamSource(0, vertexBuffer_.get(), 0, sizeof(ParticleVertex));
    // A draw without buffers says so once more after each creation.
    missingLogged_ = false;
    return result;
}

void ParticleManager::releaseBuffers() {
    GfxDevice* device = g_d3dDevice;
    if (device && (vertexBuffer_ || indexBuffer_)) {
        // The device's own references would keep them through a reset.
        device->setStreamSource(0, nullptr, 0, 0);
        device->setIndices(nullptr);
    }
    vertexBuffer_ = GfxRef<GfxVertexBuffer>();
    indexBuffer_ = GfxRef<GfxIndexBuffer>();
}

void ParticleManager::setTexture(const std::shared_ptr<Texture>& texture, float width, float height) {
    texture_ = texture;
    width_ = width;
    height_ = height;
}

void ParticleManager::pushBack(List& list, std::int32_t index) {
    next_[index] = -1;
    prev_[index] = list.tail;
    if (list.tail >= 0)
        next_[list.tail] = index;
    else
        list.head = index;
    list.tail = index;
}

void ParticleManager::unlink(List& list, std::int32_t index) {
    const std::int32_t before = prev_[index], after = next_[index];
    if (before >= 0)
        next_[before] = after;
    else
        list.head = after;
    if (after >= 0)
        prev_[after] = before;
    else
        list.tail = before;
}

void ParticleManager::emit(float x, float y, float z) {
    const std::int32_t index = free_.head;
    if (index < 0) return;
    unlink(free_, index);
    records_[index].setup(x, y, z, width_, height_, orientation_);
    pushBack(active_, index);
    ++live_;
}

void ParticleManager::clear() {
    while (active_.head >= 0) {
        const std::int32_t index = active_.head;
        unlink(active_, index);
        pushBack(free_, index);
    }
    live_ = 0;
}

namespace {
// Whether a coordinate moving along `Dir` (+1, -1; 0 still) has reached its
// wall. Written as negated comparisons so that a NaN coordinate leaves too
// instead of holding its record for ever.
template <int Dir>
bool reached(float c, float min, float max) {
    if constexpr (Dir > 0) return !(c < max);
    else if constexpr (Dir < 0) return !(c > min);
    else return false;
}
}  // namespace

// One loop per direction code: each tests only the walls the common
// velocity can reach; standing still tests all six.
template <int X, int Y, int Z>
void ParticleManager::updateAlong() {
    const Vec3 v = velocity_, lo = min_, hi = max_;
    std::int32_t index = active_.head;
    while (index >= 0) {
        const std::int32_t after = next_[index];
        ParticleQuad& quad = records_[index];
        quad.move(v.x, v.y, v.z);
        const ParticleVertex& p = quad.v[0];
        bool leaves;
        if constexpr (X == 0 && Y == 0 && Z == 0) {
            leaves = !(p.x > lo.x && p.x < hi.x) || !(p.y > lo.y && p.y < hi.y) || !(p.z > lo.z && p.z < hi.z);
        } else {
            leaves = reached<X>(p.x, lo.x, hi.x) || reached<Y>(p.y, lo.y, hi.y) || reached<Z>(p.z, lo.z, hi.z);
        }
        if (leaves) {
            unlink(active_, index);
            pushBack(free_, index);
            --live_;
        } else {
            staging_[count_++] = quad;
        }
        index = after;
    }
}

void ParticleManager::update() {
    count_ = 0;
    if (!records_ || !staging_) return;
    auto dir = [](float s) { return s > 0.0f ? 0 : s < 0.0f ? 2 : 1; };
    using Loop = void (ParticleManager::*)();
    // [x][y][z], each 0 for +, 1 for still, 2 for -.
    static constexpr Loop kLoops[3][3][3] = {
        {{&ParticleManager::updateAlong<1, 1, 1>, &ParticleManager::updateAlong<1, 1, 0>,
          &ParticleManager::updateAlong<1, 1, -1>},
         {&ParticleManager::updateAlong<1, 0, 1>, &ParticleManager::updateAlong<1, 0, 0>,
          &ParticleManager::updateAlong<1, 0, -1>},
         {&ParticleManager::updateAlong<1, -1, 1>, &ParticleManager::updateAlong<1, -1, 0>,
          &ParticleManager::updateAlong<1, -1, -1>}},
        {{&ParticleManager::updateAlong<0, 1, 1>, &ParticleManager::updateAlong<0, 1, 0>,
          &ParticleManager::updateAlong<0, 1, -1>},
         {&ParticleManager::updateAlong<0, 0, 1>, &ParticleManager::updateAlong<0, 0, 0>,
          &ParticleManager::updateAlong<0, 0, -1>},
         {&ParticleManager::updateAlong<0, -1, 1>, &ParticleManager::updateAlong<0, -1, 0>,
          &ParticleManager::updateAlong<0, -1, -1>}},
        {{&ParticleManager::updateAlong<-1, 1, 1>, &ParticleManager::updateAlong<-1, 1, 0>,
          &ParticleManager::updateAlong<-1, 1, -1>},
         {&ParticleManager::updateAlong<-1, 0, 1>, &ParticleManager::updateAlong<-1, 0, 0>,
          &ParticleManager::updateAlong<-1, 0, -1>},
         {&ParticleManager::updateAlong<-1, -1, 1>, &ParticleManager::updateAlong<-1, -1, 0>,
          &ParticleManager::updateAlong<-1, -1, -1>}},
    };
    (this->*kLoops[dir(velocity_.x)][dir(velocity_.y)][dir(velocity_.z)])();
}

void ParticleManager::fillVertices() {
    count_ = 0;
    if (!records_ || !staging_) return;
    for (std::int32_t i = active_.head; i >= 0; i = next_[i]) staging_[count_++] = records_[i];
}

HRESULT ParticleManager::draw() {
    GfxDevice* device = g_d3dDevice;
    D3DObject* d3d = g_d3dObject;
    if (!texture_ || !device || !d3d) return S_OK;
    d3d->setRenderMode(3);
    device->setMaterial(&material_);
    device->setIndices(indexBuffer_.get());
    device->setStreamSource(0, vertexBuffer_.get(), 0, sizeof(ParticleVertex));
    d3d->bindTexture(texture_->getD3DTexture(), texture_->getTag());
    d3d->setBlendMode(2);
    d3d->setTranslation(0.0f, 0.0f, 0.0f);
    d3d->applyWorld();
    if (count_ == 0) return S_OK;
    if (!vertexBuffer_ || !indexBuffer_) {
        // Their creation failed (and was logged): nothing to draw into.
        if (!missingLogged_) {
            missingLogged_ = true;
            logFailure(kSource, 260, D3DERR_INVALIDCALL);
        }
        return S_OK;
    }
    void* data = nullptr;
    HRESULT hr = vertexBuffer_->lock(0, count_ * sizeof(ParticleQuad), &data, D3DLOCK_DISCARD);
    if (FAILED(hr)) {
        logFailure(kSource, 260, hr);
        return hr;
    }
    std::memcpy(data, staging_.get(), count_ * sizeof(ParticleQuad));
    vertexBuffer_->unlock();
    hr = device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, count_ * 4, 0, count_ * 2);
    if (FAILED(hr)) logFailure(kSource, 267, hr);
    return hr;
}

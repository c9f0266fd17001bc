// The mesh passes: device buffers, the groups of subsets by texture, and the
// draws of the ordinary, effect and shadow meshes.
#include <string>

#include "graphics/D3DDevice.h"
#include "graphics/D3DObject.h"
#include "graphics/MeshManager.h"
#include "graphics/Texture.h"
#include "platform/Text.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"

namespace {
constexpr std::string_view kSource = "MeshManager";

struct PassLines {
    int vertexBuffer, indexBuffer;  // creation
    int vertexLock, indexLock, draw;
    const char* name;
    // Profiler sections: the grouping, the filling of the buffers, the draws.
    const char* calcSection;
    const char* fillSection;
    const char* drawSection;
};
constexpr PassLines kLines[3] = {
    {227, 231, 464, 468, 517, "drawMeshGroup", "calcMeshGroup", "drawMeshGroup1", "drawMeshGroup2"},
    {235, 239, 663, 667, 709, "drawEffectMeshGroup", "calcEffectMeshGroup", "drawEffectMeshGroup1",
     "drawEffectMeshGroup2"},
    {244, 248, 840, 844, 890, "drawShadowMeshGroup", "calcShadowMeshGroup", "drawShadowMeshGroup1",
     "drawShadowMeshGroup2"},
};

// A profiler section of the frame counter (when there is one) from here to
// the end of the scope or an earlier end().
class Section {
public:
    explicit Section(const char* name) : frames_(g_frameCounter), name_(name) {
        if (frames_) frames_->beginSection(name_);
    }
    ~Section() { end(); }
    Section(const Section&) = delete;
    Section& operator=(const Section&) = delete;
    void end() {
        if (frames_) frames_->endSection(name_);
        frames_ = nullptr;
    }

private:
    FrameCounter* frames_;
    const char* name_;
};

bool inPass(const Mesh& mesh, MeshManager::Pass pass) {
    switch (pass) {
        case MeshManager::kOrdinary: return mesh.getFlag() == 0 && mesh.getParamC() == 0;
        case MeshManager::kEffect: return mesh.getFlag() != 0;
        case MeshManager::kShadow: return mesh.getFlag() == 0 && mesh.getParamC() != 0;
    }
    return false;
}
}  // namespace

MeshManager::MeshManager() {
    material1_.Diffuse = material1_.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    material2_.Diffuse = material2_.Ambient = {0.0f, 0.0f, 0.0f, 1.0f};
    createDeviceObjects();
}

MeshManager::~MeshManager() { releaseDeviceObjects(); }

HRESULT MeshManager::createDeviceObjects() {
    GfxDevice* device = g_d3dDevice;
    if (!device) return E_FAIL;
    HRESULT result = S_OK;
    for (int pass = 0; pass < 3; ++pass) {
        PassState& state = passes_[pass];
        state.vertexBuffer = GfxRef<GfxVertexBuffer>();
        state.indexBuffer = GfxRef<GfxIndexBuffer>();
        HRESULT hr = device->createVertexBuffer(kVertexBufferBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                                kD3DXMeshFvf, D3DPOOL_DEFAULT, state.vertexBuffer.put());
        if (FAILED(hr)) {
            logFailure(kSource, kLines[pass].vertexBuffer, hr);
            result = hr;
        }
        hr = device->createIndexBuffer(kIndexBufferBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                       D3DPOOL_DEFAULT, state.indexBuffer.put());
        if (FAILED(hr)) {
            logFailure(kSource, kLines[pass].indexBuffer, hr);
            result = hr;
        }
        // A pass missing either buffer draws nothing; say so once more at
        // its first frame.
        state.missingLogged = false;
    }
    device->setStreamSource(0, passes_[kOrdinary].vertexBuffer.get(), 0, sizeof(MeshVertex));
    device->setIndices(passes_[kOrdinary].indexBuffer.get());
    return result;
}

void MeshManager::releaseDeviceObjects() {
    GfxDevice* device = g_d3dDevice;
    if (device && passes_[kOrdinary].vertexBuffer) {
        // The device's own references would keep them through a reset.
        device->setStreamSource(0, nullptr, 0, 0);
        device->setIndices(nullptr);
    }
    for (PassState& state : passes_) {
        state.vertexBuffer = GfxRef<GfxVertexBuffer>();
        state.indexBuffer = GfxRef<GfxIndexBuffer>();
    }
}

void MeshManager::calc(Pass pass) {
    const Section section(kLines[pass].calcSection);
    Groups& groups = passes_[pass].groups;
    for (auto& [key, group] : groups) group->clear();
    const NameHandle none = NamePool::instance().emptyName();
    for (auto& [id, mesh] : resources_) {
        if (!mesh || !mesh->isActive() || !inPass(*mesh, pass)) continue;
        const std::vector<D3DXATTRIBUTERANGE>& table = mesh->getAttributeTable();
        const std::vector<MeshVertex>& vertices = mesh->getVertices();
        const std::vector<std::uint16_t>& indices = mesh->getIndices();
        for (std::size_t i = 0; i < table.size(); ++i) {
            const D3DXATTRIBUTERANGE& range = table[i];
            const std::shared_ptr<Texture>& texture =
                i < mesh->getTextures().size() ? mesh->getTextures()[i] : std::shared_ptr<Texture>();
            const NameHandle key = texture ? texture->getName() : none;
            std::unique_ptr<MeshGroup>& group = groups[key];
            if (!group) group = std::make_unique<MeshGroup>(texture);
            group->append(vertices.data() + range.VertexStart, indices.data() + std::size_t(range.FaceStart) * 3,
                          range.VertexCount, range.FaceCount * 3);
            group->effectFlag = mesh->getFlag();
            group->alphaTestFlag = mesh->getParamB();
            if (pass == kShadow) group->shadowFlag = mesh->getParamC();
        }
    }
}

HRESULT MeshManager::draw(Pass pass) {
    GfxDevice* device = g_d3dDevice;
    D3DObject* d3d = g_d3dObject;
    if (!device || !d3d) return S_OK;
    PassState& state = passes_[pass];
    const PassLines& lines = kLines[pass];
    Section filling(lines.fillSection);
    if (!state.vertexBuffer || !state.indexBuffer) {
        // Its creation failed (and was logged): nothing to draw into.
        if (!state.missingLogged) {
            state.missingLogged = true;
            logFailure(kSource, lines.vertexLock, D3DERR_INVALIDCALL);
        }
        return S_OK;
    }
    device->setIndices(state.indexBuffer.get());
    device->setStreamSource(0, state.vertexBuffer.get(), 0, sizeof(MeshVertex));
    d3d->setRenderMode(2);
    d3d->setBlendMode(blendMode_);
    if (pass == kEffect) {
        d3d->applyWorld();
        device->setMaterial(&material1_);
    } else if (pass == kOrdinary) {
        device->setMaterial(&material1_);
        d3d->applyWorld();
    } else {
        device->setMaterial(&material2_);
        d3d->computeShadowMatrix();
        d3d->applyShadowMatrix();
    }

    // The groups that fit, in key order: the first that would bring the
    // pass to 65,535 vertices or indices and every later one stay out.
    state.copied.clear();
    std::uint32_t vertexTotal = 0, indexTotal = 0;
    bool leftOut = false;
    for (auto& [key, group] : state.groups) {
        if (group->getIndexCount() == 0) continue;
        if (leftOut || vertexTotal + std::uint64_t(group->getVertexCount()) >= kPassLimit ||
            indexTotal + std::uint64_t(group->getIndexCount()) >= kPassLimit) {
            leftOut = true;
            continue;
        }
        vertexTotal += group->getVertexCount();
        indexTotal += group->getIndexCount();
        state.copied.push_back(group.get());
    }
    if (leftOut && !state.overflowLogged) {
        state.overflowLogged = true;
        logLine(std::string(lines.name) + ": 頂点またはインデックスが65535を超えるため描画しないグループがあります");
    }

    // Nothing to copy: no lock at all, since one of no bytes (size 0) would
    // take the whole buffer.
    if (state.copied.empty()) return S_OK;
    void* vertexData = nullptr;
    HRESULT hr = state.vertexBuffer->lock(0, vertexTotal * sizeof(MeshVertex), &vertexData, D3DLOCK_DISCARD);
    if (FAILED(hr)) {
        logFailure(kSource, lines.vertexLock, hr);
        return hr;
    }
    void* indexData = nullptr;
    hr = state.indexBuffer->lock(0, indexTotal * 2, &indexData, D3DLOCK_DISCARD);
    if (FAILED(hr)) {
        state.vertexBuffer->unlock();
        logFailure(kSource, lines.indexLock, hr);
        return hr;
    }
    auto* vertexOut = static_cast<MeshVertex*>(vertexData);
    auto* indexOut = static_cast<std::uint16_t*>(indexData);
    std::uint32_t offset = 0;
    for (MeshGroup* group : state.copied) {
        std::uint32_t* indices = group->indices();
        for (std::uint32_t i = 0; i < group->getIndexCount(); ++i) {
            indices[i] += offset;
            *indexOut++ = static_cast<std::uint16_t>(indices[i]);
        }
        for (std::uint32_t i = 0; i < group->getVertexCount(); ++i) *vertexOut++ = group->vertices()[i];
        offset += group->getVertexBase();
    }
    state.vertexBuffer->unlock();
    state.indexBuffer->unlock();
    filling.end();

    const Section drawing(lines.drawSection);
    const bool skipped = g_frameCounter && g_frameCounter->isSkippedFrame();
    offset = 0;
    std::uint32_t start = 0;
    for (MeshGroup* group : state.copied) {
        d3d->setOpaqueMode(group->alphaTestFlag != 0 ? 0 : 1);
        const std::shared_ptr<Texture>& texture = group->getTexture();
        if (pass != kShadow && texture)
            d3d->bindTexture(texture->getD3DTexture(), texture->getTag());
        else
            d3d->bindTexture(nullptr, 0xFFFFFFFFu);
        if (!skipped) {
            hr = device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, offset, group->getVertexCount(), start,
                                              group->getIndexCount() / 3);
            if (FAILED(hr)) {
                logFailure(kSource, lines.draw, hr);
                const std::string key = texture ? text::cp932ToUtf8(nameText(texture->getName())) : std::string();
                logLine(key + " tmpoffset " + std::to_string(offset) + " totalvertexnum " +
                        std::to_string(vertexTotal) + " tmpnumindex " + std::to_string(start) + " groupnumindex " +
                        std::to_string(group->getIndexCount()) + " ");
                return hr;
            }
        }
        start += group->getIndexCount();
        offset += group->getVertexBase();
    }
    if (pass == kOrdinary) d3d->setOpaqueMode(1);
    return S_OK;
}

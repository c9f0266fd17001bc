#include "graphics/Mesh.h"

#include "graphics/D3DDevice.h"
#include "graphics/Texture.h"
#include "graphics/TextureManager.h"
#include "platform/gfx/D3DXImage.h"
#include "platform/gfx/D3DXMath.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"

namespace {
constexpr std::string_view kSource = "Mesh";
constexpr float kRadiansPerDegree = 0.017453292f;
}  // namespace

Mesh::~Mesh() {
    if (mesh_) mesh_->Release();
}

HRESULT Mesh::fail(int line, HRESULT hr) {
    logFailure(kSource, line, hr);
    // Nothing half-made stays: the passes, copies and steps see an empty mesh.
    if (mesh_) mesh_->Release();
    mesh_ = nullptr;
    current_.clear();
    source_.clear();
    indices_.clear();
    table_.clear();
    textures_.clear();
    materials_.clear();
    textureNames_.clear();
    subsetCount_ = 0;
    return hr;
}

HRESULT Mesh::loadFromMemory(const void* bytes, std::uint32_t size) {
    GfxDevice* device = g_d3dDevice;
    std::vector<std::uint32_t> adjacency;
    std::vector<D3DXMATERIAL> materials;
    ID3DXMesh* loaded = nullptr;
    HRESULT hr = D3DXLoadMeshFromXInMemory(bytes, size, D3DXMESH_MANAGED, device, &adjacency, &materials, nullptr,
                                           &subsetCount_, &loaded);
    if (FAILED(hr)) return fail(63, hr);
    if (mesh_) mesh_->Release();
    mesh_ = nullptr;
    hr = loaded->CloneMeshFVF(loaded->GetOptions(), kD3DXMeshFvf, device, &mesh_);
    loaded->Release();
    if (FAILED(hr)) return fail(67, hr);
    hr = mesh_->OptimizeInplace(D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE, adjacency.data(), nullptr, nullptr,
                                nullptr);
    if (FAILED(hr)) return fail(73, hr);
    hr = D3DXComputeNormals(mesh_, nullptr);
    if (FAILED(hr)) return fail(77, hr);

    void* data = nullptr;
    mesh_->LockVertexBuffer(0, &data);
    const auto* vertices = static_cast<const MeshVertex*>(data);
    current_.assign(vertices, vertices + mesh_->GetNumVertices());
    source_ = current_;
    mesh_->UnlockVertexBuffer();
    mesh_->LockIndexBuffer(0, &data);
    const auto* indices = static_cast<const std::uint16_t*>(data);
    indices_.assign(indices, indices + mesh_->GetNumFaces() * 3);
    mesh_->UnlockIndexBuffer();

    std::uint32_t entries = 0;
    mesh_->GetAttributeTable(nullptr, &entries);
    table_.resize(entries);
    hr = mesh_->GetAttributeTable(table_.data(), &entries);
    if (FAILED(hr)) return fail(100, hr);
    subsetCount_ = entries;

    materials_.clear();
    textureNames_.clear();
    for (const D3DXMATERIAL& m : materials) {
        D3DMATERIAL9 kept;
        kept.Diffuse = m.MatD3D.Diffuse;
        kept.Ambient = m.MatD3D.Ambient;
        kept.Emissive = m.MatD3D.Emissive;
        kept.Power = m.MatD3D.Power;
        materials_.push_back(kept);
        textureNames_.push_back(m.textureFilename);
    }
    // Each subset takes the texture of its own attribute's material: a
    // material without faces has no subset, so subset i need not be
    // material i.
    textures_.assign(subsetCount_, nullptr);
    TextureManager* textureManager = g_textureManager;
    for (std::uint32_t i = 0; i < subsetCount_; ++i) {
        const std::uint32_t material = table_[i].AttribId;
        if (material >= textureNames_.size() || textureNames_[material].empty() || !textureManager) continue;
        textures_[i] = textureManager->loadTextureEx(textureNames_[material], D3DX_DEFAULT, 0);
    }
    return S_OK;
}

HRESULT Mesh::copyTo(Mesh& target) const {
    target.subsetCount_ = subsetCount_;
    target.textures_ = textures_;
    target.current_ = source_;
    target.source_ = source_;
    target.indices_ = indices_;
    target.table_ = table_;
    target.materials_ = materials_;
    target.textureNames_ = textureNames_;
    return S_OK;
}

void Mesh::offsetVertices(float dx, float dy, float dz) {
    for (MeshVertex& v : current_) {
        v.x += dx;
        v.y += dy;
        v.z += dz;
    }
}

void Mesh::setTexture(const std::shared_ptr<Texture>& texture, std::int32_t index) {
    const auto slot = static_cast<std::uint32_t>(index);
    if (slot < textures_.size()) textures_[slot] = texture;
}

void Mesh::stepMotion() {
    for (int axis = 0; axis < 3; ++axis) {
        float& v = velocity_[axis];
        float& a = acceleration_[axis];
        // A deceleration that would turn the motion round stops it instead.
        if ((v > 0.0f && a < 0.0f && v + a < 0.0f) || (v < 0.0f && a > 0.0f && v + a > 0.0f)) {
            v = 0.0f;
            a = 0.0f;
        }
        v += a;
    }
    for (int axis = 0; axis < 3; ++axis) position_[axis] += velocity_[axis];
    for (int axis = 0; axis < 3; ++axis) {
        const float v = velocity_[axis];
        if ((v > 0.0f && position_[axis] > upper_[axis]) || (v < 0.0f && position_[axis] < lower_[axis])) {
            setState(1);
            break;
        }
    }
}

std::int32_t Mesh::stepBatched() {
    for (int axis = 0; axis < 3; ++axis) rotation_[axis] += rotationVelocity_[axis];
    if (rotation_[0] != 0.0f || rotation_[1] != 0.0f || rotation_[2] != 0.0f) {
        D3DXMATRIX rx, ry, rz, t, m;
        D3DXMatrixRotationX(&rx, rotation_[0] * kRadiansPerDegree);
        D3DXMatrixRotationY(&ry, rotation_[1] * kRadiansPerDegree);
        D3DXMatrixRotationZ(&rz, rotation_[2] * kRadiansPerDegree);
        D3DXMatrixTranslation(&t, position_[0], position_[1], position_[2]);
        D3DXMatrixMultiply(&m, &rz, &ry);
        D3DXMatrixMultiply(&m, &m, &rx);
        D3DXMatrixMultiply(&m, &m, &t);
        for (std::size_t i = 0; i < current_.size(); ++i) {
            const D3DXVECTOR3 p(source_[i].x, source_[i].y, source_[i].z);
            D3DXVECTOR4 out;
            D3DXVec3Transform(&out, &p, &m);
            current_[i].x = out.x;
            current_[i].y = out.y;
            current_[i].z = out.z;
        }
    }
    stepMotion();
    offsetVertices(velocity_[0], velocity_[1], velocity_[2]);
    return 0;
}

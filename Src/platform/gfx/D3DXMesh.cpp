#include "platform/gfx/D3DXMesh.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/gfx/D3DXMath.h"
#include "platform/gfx/XFileReader.h"

std::uint32_t ID3DXMesh::Release() {
    const std::uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT ID3DXMesh::LockVertexBuffer(std::uint32_t, void** data) {
    if (!data) return D3DERR_INVALIDCALL;
    *data = vertices_.data();
    return D3D_OK;
}

HRESULT ID3DXMesh::LockIndexBuffer(std::uint32_t, void** data) {
    if (!data) return D3DERR_INVALIDCALL;
    *data = indices_.data();
    return D3D_OK;
}

HRESULT ID3DXMesh::LockAttributeBuffer(std::uint32_t, std::uint32_t** data) {
    if (!data) return D3DERR_INVALIDCALL;
    *data = attributes_.data();
    return D3D_OK;
}

HRESULT ID3DXMesh::CloneMeshFVF(std::uint32_t options, std::uint32_t fvf, GfxDevice*, ID3DXMesh** out) const {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (fvf != kD3DXMeshFvf) return D3DERR_INVALIDCALL;
    auto* copy = new ID3DXMesh();
    copy->vertices_ = vertices_;
    copy->indices_ = indices_;
    copy->attributes_ = attributes_;
    copy->table_ = table_;
    copy->options_ = options;
    *out = copy;
    return D3D_OK;
}

HRESULT ID3DXMesh::OptimizeInplace(std::uint32_t flags, const std::uint32_t*, std::uint32_t*, std::uint32_t*,
                                   void*) {
    if (!(flags & D3DXMESHOPT_ATTRSORT)) return D3D_OK;
    const std::size_t faceCount = attributes_.size();
    std::vector<std::uint32_t> order(faceCount);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return attributes_[a] < attributes_[b]; });

    std::vector<D3DXMeshVertex> vertices;
    std::vector<std::uint16_t> indices;
    std::vector<std::uint32_t> attributes;
    vertices.reserve(vertices_.size());
    indices.reserve(indices_.size());
    attributes.reserve(faceCount);
    table_.clear();
    // New number per old vertex within the current attribute's run.
    std::vector<std::int32_t> renumbered(vertices_.size(), -1);
    std::vector<std::uint32_t> touched;
    for (std::size_t i = 0; i < faceCount; ++i) {
        const std::uint32_t face = order[i];
        const std::uint32_t attribute = attributes_[face];
        if (table_.empty() || table_.back().AttribId != attribute) {
            // A new run: its vertices are numbered afresh, so a vertex the
            // previous run used is duplicated here.
            for (std::uint32_t old : touched) renumbered[old] = -1;
            touched.clear();
            D3DXATTRIBUTERANGE range;
            range.AttribId = attribute;
            range.FaceStart = static_cast<std::uint32_t>(i);
            range.VertexStart = static_cast<std::uint32_t>(vertices.size());
            table_.push_back(range);
        }
        for (int corner = 0; corner < 3; ++corner) {
            const std::uint16_t old = indices_[face * 3 + corner];
            if (renumbered[old] < 0) {
                renumbered[old] = static_cast<std::int32_t>(vertices.size());
                touched.push_back(old);
                vertices.push_back(vertices_[old]);
            }
            indices.push_back(static_cast<std::uint16_t>(renumbered[old]));
        }
        attributes.push_back(attribute);
        D3DXATTRIBUTERANGE& range = table_.back();
        ++range.FaceCount;
        range.VertexCount = static_cast<std::uint32_t>(vertices.size()) - range.VertexStart;
    }
    // Duplicates past 65,535 vertices cannot be indexed in 16 bits.
    if (vertices.size() > 65535) {
        table_.clear();
        return D3DXERR_INVALIDDATA;
    }
    vertices_ = std::move(vertices);
    indices_ = std::move(indices);
    attributes_ = std::move(attributes);
    return D3D_OK;
}

HRESULT ID3DXMesh::GetAttributeTable(D3DXATTRIBUTERANGE* table, std::uint32_t* size) const {
    if (table) std::copy(table_.begin(), table_.end(), table);
    if (size) *size = static_cast<std::uint32_t>(table_.size());
    return D3D_OK;
}

HRESULT D3DXLoadMeshFromXInMemory(const void* data, std::uint32_t size, std::uint32_t options, GfxDevice*,
                                  std::vector<std::uint32_t>* adjacency, std::vector<D3DXMATERIAL>* materials,
                                  void*, std::uint32_t* numMaterials, ID3DXMesh** mesh) {
    if (!mesh) return D3DERR_INVALIDCALL;
    *mesh = nullptr;
    XFileContent content;
    const HRESULT hr = readXFile(static_cast<const std::uint8_t*>(data), size, content);
    if (FAILED(hr)) return hr;
    auto* made = new ID3DXMesh();
    made->setOptions(options);
    made->vertices().reserve(content.vertices.size());
    for (const XFileVertex& v : content.vertices) made->vertices().push_back({v.x, v.y, v.z, 0, 0, 0, v.u, v.v});
    made->indices().assign(content.indices.begin(), content.indices.end());
    made->attributes() = std::move(content.attributes);
    if (adjacency) adjacency->assign(content.indices.size(), 0xFFFFFFFFu);
    if (materials) {
        materials->clear();
        for (const XFileMaterial& m : content.materials) {
            D3DXMATERIAL out;
            out.MatD3D.Diffuse = {m.diffuse[0], m.diffuse[1], m.diffuse[2], m.diffuse[3]};
            // The file holds no ambient colour.
            out.MatD3D.Ambient = {0, 0, 0, 0};
            out.MatD3D.Specular = {m.specular[0], m.specular[1], m.specular[2], 1.0f};
            out.MatD3D.Emissive = {m.emissive[0], m.emissive[1], m.emissive[2], 1.0f};
            out.MatD3D.Power = m.power;
            out.textureFilename = m.textureName;
            materials->push_back(std::move(out));
        }
    }
    if (numMaterials) *numMaterials = static_cast<std::uint32_t>(content.materials.size());
    *mesh = made;
    return D3D_OK;
}

HRESULT D3DXComputeNormals(ID3DXMesh* mesh, const std::uint32_t*) {
    if (!mesh) return D3DERR_INVALIDCALL;
    std::vector<D3DXMeshVertex>& vertices = mesh->vertices();
    const std::vector<std::uint16_t>& indices = mesh->indices();
    std::vector<D3DXVECTOR3> sums(vertices.size(), D3DXVECTOR3(0, 0, 0));
    auto position = [&vertices](std::uint16_t i) { return D3DXVECTOR3(vertices[i].x, vertices[i].y, vertices[i].z); };
    for (std::size_t f = 0; f + 2 < indices.size(); f += 3) {
        const std::uint16_t corner[3] = {indices[f], indices[f + 1], indices[f + 2]};
        const D3DXVECTOR3 p[3] = {position(corner[0]), position(corner[1]), position(corner[2])};
        D3DXVECTOR3 e1 = p[1] - p[0], e2 = p[2] - p[0], normal;
        D3DXVec3Cross(&normal, &e1, &e2);
        D3DXVec3Normalize(&normal, &normal);
        for (int c = 0; c < 3; ++c) {
            D3DXVECTOR3 a = p[(c + 1) % 3] - p[c], b = p[(c + 2) % 3] - p[c];
            const float la = D3DXVec3Length(&a), lb = D3DXVec3Length(&b);
            float angle = 0.0f;
            if (la > 0.0f && lb > 0.0f) {
                const float cosine = std::clamp(D3DXVec3Dot(&a, &b) / (la * lb), -1.0f, 1.0f);
                angle = std::acos(cosine);
            }
            sums[corner[c]] = sums[corner[c]] + normal * angle;
        }
    }
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        D3DXVECTOR3 n = sums[i];
        if (D3DXVec3Length(&n) > 0.0f) D3DXVec3Normalize(&n, &n);
        else n = D3DXVECTOR3(0, 0, 0);
        vertices[i].nx = n.x;
        vertices[i].ny = n.y;
        vertices[i].nz = n.z;
    }
    return D3D_OK;
}

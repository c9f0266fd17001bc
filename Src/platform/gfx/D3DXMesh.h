// A mesh held in memory in place of the library's ID3DXMesh: 32-byte
// vertices (position, normal, one texture coordinate pair), 16-bit indices,
// an attribute (material) per face and the attribute table that
// OptimizeInplace builds. Loaded from X files by D3DXLoadMeshFromXInMemory.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/HResult.h"
#include "platform/gfx/GfxTypes.h"

class GfxDevice;

inline constexpr std::uint32_t D3DXMESH_MANAGED = 0x220;
inline constexpr std::uint32_t D3DXMESHOPT_ATTRSORT = 0x02000000;
inline constexpr std::uint32_t D3DXMESHOPT_VERTEXCACHE = 0x04000000;
// XYZ | NORMAL | TEX1: the one vertex format meshes have.
inline constexpr std::uint32_t kD3DXMeshFvf = 0x112;

struct D3DXMeshVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
static_assert(sizeof(D3DXMeshVertex) == 32, "mesh vertices are 32 bytes");

struct D3DXATTRIBUTERANGE {
    std::uint32_t AttribId = 0;
    std::uint32_t FaceStart = 0;
    std::uint32_t FaceCount = 0;
    std::uint32_t VertexStart = 0;
    std::uint32_t VertexCount = 0;
};

struct D3DXMATERIAL {
    D3DMATERIAL9 MatD3D;
    // The texture file name as stored (cp932 bytes); empty when none.
    std::string textureFilename;
};

class ID3DXMesh {
public:
    ID3DXMesh() = default;
    ID3DXMesh(const ID3DXMesh&) = delete;
    ID3DXMesh& operator=(const ID3DXMesh&) = delete;

    std::uint32_t AddRef() { return ++references_; }
    std::uint32_t Release();

    std::uint32_t GetNumVertices() const { return static_cast<std::uint32_t>(vertices_.size()); }
    std::uint32_t GetNumFaces() const { return static_cast<std::uint32_t>(attributes_.size()); }
    std::uint32_t GetFVF() const { return kD3DXMeshFvf; }
    std::uint32_t GetOptions() const { return options_; }
    std::uint32_t GetNumBytesPerVertex() const { return sizeof(D3DXMeshVertex); }

    HRESULT LockVertexBuffer(std::uint32_t flags, void** data);
    HRESULT UnlockVertexBuffer() { return D3D_OK; }
    HRESULT LockIndexBuffer(std::uint32_t flags, void** data);
    HRESULT UnlockIndexBuffer() { return D3D_OK; }
    HRESULT LockAttributeBuffer(std::uint32_t flags, std::uint32_t** data);
    HRESULT UnlockAttributeBuffer() { return D3D_OK; }

    // A copy in the vertex format 0x112 (the only one held).
    HRESULT CloneMeshFVF(std::uint32_t options, std::uint32_t fvf, GfxDevice* device, ID3DXMesh** out) const;
    // With D3DXMESHOPT_ATTRSORT: faces stable-sorted by attribute (their file
    // order within an attribute stands for the cache order), vertices
    // renumbered by first use, a vertex that two attributes share duplicated,
    // unused ones dropped, one table entry per attribute with faces in
    // ascending order, each over a vertex range its indices use alone.
    HRESULT OptimizeInplace(std::uint32_t flags, const std::uint32_t* adjacencyIn, std::uint32_t* adjacencyOut,
                            std::uint32_t* faceRemap, void* vertexRemap);
    // The table's entries into `table` (when given) and their count.
    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, std::uint32_t* size) const;

    // What the loader fills.
    std::vector<D3DXMeshVertex>& vertices() { return vertices_; }
    std::vector<std::uint16_t>& indices() { return indices_; }
    std::vector<std::uint32_t>& attributes() { return attributes_; }
    void setOptions(std::uint32_t options) { options_ = options; }

private:
    ~ID3DXMesh() = default;

    std::vector<D3DXMeshVertex> vertices_;
    std::vector<std::uint16_t> indices_;
    std::vector<std::uint32_t> attributes_;
    std::vector<D3DXATTRIBUTERANGE> table_;
    std::uint32_t options_ = 0;
    std::uint32_t references_ = 1;
};

// The X file in memory as one mesh: materials (count into numMaterials),
// adjacency (three entries per face, all 0xFFFFFFFF: none is worked out).
// Effect instances are not read. Errors of readXFile.
HRESULT D3DXLoadMeshFromXInMemory(const void* data, std::uint32_t size, std::uint32_t options, GfxDevice* device,
                                  std::vector<std::uint32_t>* adjacency, std::vector<D3DXMATERIAL>* materials,
                                  void* effectInstances, std::uint32_t* numMaterials, ID3DXMesh** mesh);

// Vertex normals without adjacency: each face's normal normalize((v1 − v0) ×
// (v2 − v0)) added to its three vertices weighted by the face's angle at the
// vertex, the sums normalised; a zero sum gives (0, 0, 0).
HRESULT D3DXComputeNormals(ID3DXMesh* mesh, const std::uint32_t* adjacency);

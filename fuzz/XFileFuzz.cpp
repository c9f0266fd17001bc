// X files as the mesh archive may hold them: any bytes through the reader
// and, when it accepts them, the whole load of a mesh (clone, attribute
// sort, normals) as the engine does it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/gfx/D3DXMesh.h"
#include "platform/gfx/XFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    XFileContent content;
    const HRESULT read = readXFile(data, size, content);
    if (read != S_OK) {
        // A refused file leaves nothing behind.
        if (!content.vertices.empty() || !content.indices.empty() || !content.materials.empty()) std::abort();
        return 0;
    }
    if (content.indices.size() != 3 * content.attributes.size() || content.vertices.size() > 65535) std::abort();
    for (std::uint32_t index : content.indices)
        if (index >= content.vertices.size()) std::abort();
    for (std::uint32_t attribute : content.attributes)
        if (attribute >= content.materials.size()) std::abort();

    ID3DXMesh* loaded = nullptr;
    std::vector<std::uint32_t> adjacency;
    std::vector<D3DXMATERIAL> materials;
    std::uint32_t count = 0;
    if (FAILED(D3DXLoadMeshFromXInMemory(data, static_cast<std::uint32_t>(size), D3DXMESH_MANAGED, nullptr, &adjacency,
                                         &materials, nullptr, &count, &loaded)))
        std::abort();
    ID3DXMesh* mesh = nullptr;
    if (FAILED(loaded->CloneMeshFVF(loaded->GetOptions(), kD3DXMeshFvf, nullptr, &mesh))) std::abort();
    loaded->Release();
    if (SUCCEEDED(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE, adjacency.data(), nullptr,
                                        nullptr, nullptr))) {
        D3DXComputeNormals(mesh, nullptr);
        // Every subset covers the vertex range its faces use.
        std::uint32_t entries = 0;
        mesh->GetAttributeTable(nullptr, &entries);
        std::vector<D3DXATTRIBUTERANGE> table(entries);
        mesh->GetAttributeTable(table.data(), &entries);
        for (const D3DXATTRIBUTERANGE& range : table)
            for (std::uint32_t f = range.FaceStart; f < range.FaceStart + range.FaceCount; ++f)
                for (int c = 0; c < 3; ++c) {
                    const std::uint16_t index = mesh->indices()[3 * f + c];
                    if (index < range.VertexStart || index >= range.VertexStart + range.VertexCount) std::abort();
                }
    }
    mesh->Release();
    return 0;
}

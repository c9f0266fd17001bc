#include "platform/gfx/GfxDevice.h"

VertexLayout vertexLayout(std::uint32_t fvf) {
    VertexLayout layout;
    std::uint32_t offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        offset = 12;
        break;
    case D3DFVF_XYZRHW:
        layout.pretransformed = true;
        offset = 16;
        break;
    default:
        offset = 0;
        break;
    }
    if (fvf & D3DFVF_NORMAL) {
        layout.normalOffset = std::int32_t(offset);
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        layout.diffuseOffset = std::int32_t(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout.specularOffset = std::int32_t(offset);
        offset += 4;
    }
    layout.texCoordCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (layout.texCoordCount > 8) layout.texCoordCount = 8;
    if (layout.texCoordCount > 0) layout.texCoordOffset = std::int32_t(offset);
    // Every set of texture coordinates is two floats (the formats the engine
    // uses declare no other size).
    offset += 8 * layout.texCoordCount;
    layout.stride = offset;
    return layout;
}

std::uint64_t vertexCountOf(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount) {
    const std::uint64_t count = primitiveCount;
    if (count == 0) return 0;
    switch (type) {
    case D3DPT_POINTLIST:
        return count;
    case D3DPT_LINELIST:
        return count * 2;
    case D3DPT_LINESTRIP:
        return count + 1;
    case D3DPT_TRIANGLELIST:
        return count * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return count + 2;
    default:
        return 0;
    }
}

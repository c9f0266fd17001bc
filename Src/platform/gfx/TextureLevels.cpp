#include "platform/gfx/TextureLevels.h"

#include "platform/gfx/GfxFormat.h"

TextureLevels::TextureLevels(std::uint32_t width, std::uint32_t height, std::uint32_t count, std::uint32_t usage,
                             D3DFORMAT format, D3DPOOL pool, bool renderTargetBytes) {
    const bool withBytes = renderTargetBytes || !(usage & D3DUSAGE_RENDERTARGET);
    levels_.resize(count);
    for (std::uint32_t level = 0; level < count; ++level) {
        Level& l = levels_[level];
        l.desc.Format = format;
        l.desc.Type = D3DRTYPE_SURFACE;
        l.desc.Usage = usage;
        l.desc.Pool = pool;
        l.desc.Width = levelExtent(width, level);
        l.desc.Height = levelExtent(height, level);
        if (withBytes) l.bytes.assign(levelBytes(format, l.desc.Width, l.desc.Height), 0);
    }
}

HRESULT TextureLevels::getDesc(std::uint32_t level, D3DSURFACE_DESC* desc) const {
    if (!has(level) || !desc) return D3DERR_INVALIDCALL;
    *desc = levels_[level].desc;
    return D3D_OK;
}

HRESULT TextureLevels::lock(std::uint32_t level, D3DLOCKED_RECT* locked, const D3DRECT* rect, std::uint32_t flags) {
    if (!has(level) || !locked || levels_[level].locked) return D3DERR_INVALIDCALL;
    Level& l = levels_[level];
    if (l.desc.Usage & D3DUSAGE_RENDERTARGET) return D3DERR_INVALIDCALL;
    std::uint64_t offset = 0;
    if (!lockedRectOffset(l.desc.Format, l.desc.Width, l.desc.Height, rect, offset)) return D3DERR_INVALIDCALL;
    locked->Pitch = std::int32_t(rowPitch(l.desc.Format, l.desc.Width));
    locked->pBits = l.bytes.data() + offset;
    l.locked = true;
    l.readOnly = flags & D3DLOCK_READONLY;
    return D3D_OK;
}

HRESULT TextureLevels::unlock(std::uint32_t level) {
    if (!has(level) || !levels_[level].locked) return D3DERR_INVALIDCALL;
    levels_[level].locked = false;
    return D3D_OK;
}

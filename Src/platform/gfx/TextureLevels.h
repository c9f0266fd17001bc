// The levels of a texture as both backends keep them in CPU memory: each
// level's description and bytes, with the lock rules of LockRect.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/HResult.h"
#include "platform/gfx/GfxTypes.h"

class TextureLevels {
public:
    // Each level half the size of the one above (never below 1), its bytes
    // zero. Render-target levels get bytes only when renderTargetBytes is
    // set: the recording backend clears into them, OpenGL keeps none.
    TextureLevels(std::uint32_t width, std::uint32_t height, std::uint32_t count, std::uint32_t usage,
                  D3DFORMAT format, D3DPOOL pool, bool renderTargetBytes);

    std::uint32_t count() const { return std::uint32_t(levels_.size()); }
    bool has(std::uint32_t level) const { return level < levels_.size(); }
    const D3DSURFACE_DESC& desc(std::uint32_t level) const { return levels_[level].desc; }
    std::vector<std::uint8_t>& bytes(std::uint32_t level) { return levels_[level].bytes; }
    // Whether the last lock of the level promised not to write.
    bool lockedReadOnly(std::uint32_t level) const { return levels_[level].readOnly; }

    HRESULT getDesc(std::uint32_t level, D3DSURFACE_DESC* desc) const;
    // D3DERR_INVALIDCALL for a level that does not exist, is locked already
    // or is a render target's (the CPU never reaches those).
    HRESULT lock(std::uint32_t level, D3DLOCKED_RECT* locked, const D3DRECT* rect, std::uint32_t flags);
    HRESULT unlock(std::uint32_t level);

private:
    struct Level {
        D3DSURFACE_DESC desc;
        std::vector<std::uint8_t> bytes;
        bool locked = false;
        bool readOnly = false;
    };
    std::vector<Level> levels_;
};

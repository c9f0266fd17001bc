// The debug text font, standing in for ID3DXFont: glyphs are rasterised by
// the platform glyph module (FreeType with the IPA Gothic font where the
// D3DX font used a GDI face), cached in one texture, and drawn as
// pre-transformed quads modulated by the text colour. Drawing saves every
// device state it changes and restores it afterwards, as the D3DX font's own
// sprite does, so the callers' state caches stay true.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Glyph.h"
#include "platform/HResult.h"
#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/GfxResource.h"

struct D3DXFONT_DESC {
    std::int32_t Height = 0;
    std::uint32_t Width = 0;
    std::uint32_t Weight = 0;
    std::uint32_t MipLevels = 1;
    std::int32_t Italic = 0;
    std::uint8_t CharSet = 0;
    std::uint8_t OutputPrecision = 0;
    std::uint8_t Quality = 0;
    std::uint8_t PitchAndFamily = 0;
    // UTF-8; empty for the character set's default face.
    std::string FaceName;
};

// DrawText's rectangle (RECT).
struct TextRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// DrawText formats. The font draws left- and top-aligned without clipping
// (the only format the engine passes), breaking lines at '\n'.
constexpr std::uint32_t DT_NOCLIP = 0x100;

class DebugFont {
public:
    // D3DXCreateFontIndirect: E_FAIL when no glyph font can be made,
    // D3DERR_INVALIDCALL without a device, S_OK otherwise. The glyph cache
    // texture is made by the first drawText; a failure there draws nothing.
    static HRESULT create(GfxDevice* device, const D3DXFONT_DESC& desc, std::unique_ptr<DebugFont>* font);
    ~DebugFont();

    // DrawTextA of cp932 text at the rectangle's top-left corner. Returns the
    // height of the text drawn, 0 on failure.
    std::int32_t drawText(std::string_view text, const TextRect& rect, std::uint32_t format, D3DCOLOR colour);
    // The glyph cache lives in a managed texture, which survives a reset:
    // nothing to release or re-create.
    HRESULT onLostDevice() { return S_OK; }
    HRESULT onResetDevice() { return S_OK; }

    const D3DXFONT_DESC& desc() const { return desc_; }
    const TextMetric& metrics() const { return metrics_; }

private:
    struct CachedGlyph {
        float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
        std::int32_t width = 0, height = 0;
        std::int32_t originX = 0, originY = 0;
        std::int32_t advance = 0;
    };
    struct Vertex {
        float x, y, z, rhw;
        D3DCOLOR diffuse;
        float u, v;
    };

    DebugFont(GfxDevice* device, const D3DXFONT_DESC& desc, std::unique_ptr<GlyphFont> glyphs);
    // The cached glyph of a character, rasterising it on first use; null when
    // the cache is full (flush and clear, then ask again) or the glyph cannot
    // be had.
    const CachedGlyph* glyph(std::uint32_t code, bool& cacheFull);
    void clearCache();
    HRESULT flush(std::vector<Vertex>& vertices);

    GfxDevice* device_;
    D3DXFONT_DESC desc_;
    std::unique_ptr<GlyphFont> glyphs_;
    TextMetric metrics_;
    GfxRef<GfxTexture> cache_;
    std::uint32_t cacheSize_ = 256;
    std::map<std::uint32_t, CachedGlyph> cached_;
    std::int32_t packX_ = 0, packY_ = 0, rowHeight_ = 0;
    std::vector<std::uint8_t> bitmap_;
    std::vector<Vertex> vertices_;
};

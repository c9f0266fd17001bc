// One device texture under a pooled name: a picture read from an image file
// of the "texture" archive, an empty lockable texture of a given size and
// format, or a text texture into which glyphs are drawn one by one (the text
// operations, in TextureText.cpp). Made and found through TextureManager;
// sprite managers and sprites hold textures by shared pointer. Main thread.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Glyph.h"
#include "platform/HResult.h"
#include "platform/gfx/D3DXImage.h"
#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/GfxResource.h"
#include "services/ResourceObject.h"

class Texture : public ResourceObject {
public:
    // The glyph bitmap block of a text texture.
    static constexpr std::uint32_t kGlyphBufferSize = 65536;
    // The colour key of every loaded picture: magenta of alpha 0.
    static constexpr D3DCOLOR kColorKey = 0x00FF00FF;

    Texture();
    ~Texture() override;

    // Slot 2: lets go of the device texture only.
    void init() override;

    // Slot 14: CreateTexture(w, h, 1, 0, format, MANAGED); on failure the
    // image info stays as it was.
    virtual HRESULT createEmpty(std::uint32_t width, std::uint32_t height, D3DFORMAT format);
    // Slot 15: the named entry of the "texture" archive (a cp932 name) as a
    // texture, colour-keyed, with its image info. A second load lets go of
    // the first picture; after a failed one no device texture is held.
    virtual HRESULT load(std::string_view name, std::uint32_t filter, std::uint32_t mipLevels);
    // Slot 16: one level, linear filter.
    virtual HRESULT loadPlain(std::string_view name) { return load(name, D3DX_FILTER_LINEAR, 1); }
    // Slot 17: a full mip chain, linear filter.
    virtual HRESULT loadWithMips(std::string_view name) { return load(name, D3DX_FILTER_LINEAR, 0); }

    GfxTexture* getD3DTexture() const { return texture_.get(); }
    // Holds its own reference to the texture given (null lets go).
    void setD3DTexture(GfxTexture* texture) { texture_ = GfxRef<GfxTexture>(texture); }
    const D3DXIMAGE_INFO& getImageInfo() const { return imageInfo_; }
    float getWidth() const { return static_cast<float>(imageInfo_.Width); }
    // Read unsigned: a height with the top bit set is a large positive number.
    float getHeight() const { return static_cast<float>(imageInfo_.Height); }
    void setWidth(std::uint32_t width) { imageInfo_.Width = width; }
    void setHeight(std::uint32_t height) { imageInfo_.Height = height; }

    // An image entry's pixels after its first 128 bytes (a DDS header) copied
    // into level 0 of the texture already held. Refused unless the entry is
    // longer than 128 bytes, its header gives the texture's width, height
    // and format, and it holds the whole level.
    HRESULT loadSurface(std::string_view name);
    // Level 0 filled with zero bytes.
    HRESULT clearSurface();
    // Frees the glyph buffer and lets go of the device texture.
    void releaseAll();

    // ---- Text (TextureText.cpp) ----
    void setFontSize(std::int32_t size);
    void setFontColor(std::uint32_t color) { fontColor_ = color; }
    void setTextOffset(std::uint32_t x, std::uint32_t y) {
        textOffsetX_ = x;
        textOffsetY_ = y;
    }
    void setTextBoxSize(std::uint32_t width, std::uint32_t height) {
        boxWidth_ = width;
        boxHeight_ = height;
    }
    // The text restarts: laid out from the start and the surface cleared.
    HRESULT setString(std::string_view text);
    // Appended: laid out again, the surface kept, drawing goes on.
    HRESULT addString(std::string_view text);
    void setStringWait(std::uint32_t frames) { framesPerGlyph_ = frames; }
    void finishString() { finishRequested_ = 1; }
    void setUpdateLock(std::uint32_t lock) { updateLock_ = lock; }
    std::uint32_t getUpdateLock() const { return updateLock_; }
    // Bytes of the text not yet drawn.
    std::int32_t getPendingGlyphs() const;
    // One glyph on (two bytes, capped at the text's end); the bytes pending.
    std::int32_t advanceGlyph();
    void tickFrame() { ++frameCounter_; }
    void setSourceTexture(const std::shared_ptr<Texture>& source);
    // The per-frame typewriter step.
    void updateText();
    // The per-frame copy of a duplicate: the source thickened by one pixel
    // diagonally.
    void copyFromSource();

    std::uint32_t getSurfaceState() const { return surfaceState_; }
    std::uint32_t getNeedsClear() const { return needsClear_; }
    std::uint32_t getDrawnBytes() const { return drawnBytes_; }
    std::uint32_t getFontColor() const { return fontColor_; }
    const FontDesc& getFont() const { return font_; }
    const GlyphFont* getGlyphFont() const { return glyphFont_.get(); }
    const std::string& getText() const { return text_; }
    // Where glyph n was placed; false when it was not (past the box, "**").
    bool glyphPosition(std::uint32_t glyph, std::int32_t& x, std::int32_t& y) const;
    // The colour glyph n is drawn in.
    std::uint32_t glyphColor(std::uint32_t glyph) const;

private:
    void layoutText(bool restart);
    HRESULT clearText();
    HRESULT drawGlyph(std::uint32_t bytePosition);
    std::uint32_t codeAt(std::uint32_t bytePosition) const;

    GfxRef<GfxTexture> texture_;
    D3DXIMAGE_INFO imageInfo_;
    std::uint32_t needsClear_ = 0;
    FontDesc font_;
    std::unique_ptr<std::uint8_t[]> glyphBuffer_;
    std::uint32_t drawnBytes_ = 0;
    std::uint32_t textOffsetX_ = 0, textOffsetY_ = 0;
    std::uint32_t boxWidth_ = 0, boxHeight_ = 0;
    std::int32_t fontSize_ = 0;
    std::uint32_t framesPerGlyph_ = 0;
    std::uint32_t frameCounter_ = 0;
    std::uint32_t fontColor_ = 0;
    std::uint32_t finishRequested_ = 0;
    std::string text_;
    std::uint32_t updateLock_ = 0;
    std::uint32_t isDuplicate_ = 0;
    std::uint32_t surfaceState_ = 0;
    std::vector<std::int32_t> glyphX_, glyphY_;
    std::vector<std::uint8_t> glyphPlaced_;
    // Stands for the GDI font and the memory device context it is selected in.
    std::unique_ptr<GlyphFont> glyphFont_;
    // One colour per glyph number.
    std::vector<std::uint32_t> glyphColors_;
    std::uint32_t sourceId_ = 0;
    std::shared_ptr<Texture> source_;
};

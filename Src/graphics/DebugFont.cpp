#include "graphics/DebugFont.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint32_t kVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// cp932 lead bytes of a double-byte character.
bool isLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// The states the font sets while it draws, with the values it sets.
struct RenderStateValue {
    D3DRENDERSTATETYPE state;
    std::uint32_t value;
};
constexpr RenderStateValue kRenderStates[] = {
    {D3DRS_ALPHABLENDENABLE, 1},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
    {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
    {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
    {D3DRS_ALPHATESTENABLE, 1},
    {D3DRS_ALPHAREF, 0},
    {D3DRS_ALPHAFUNC, D3DCMP_GREATER},
    {D3DRS_ZENABLE, D3DZB_FALSE},
    {D3DRS_ZWRITEENABLE, 0},
    {D3DRS_LIGHTING, 0},
    {D3DRS_FOGENABLE, 0},
    {D3DRS_CULLMODE, D3DCULL_NONE},
};
struct StageStateValue {
    D3DTEXTURESTAGESTATETYPE state;
    std::uint32_t value;
};
constexpr StageStateValue kStageStates[] = {
    {D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG1, D3DTA_TEXTURE}, {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
    {D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
};
struct SamplerStateValue {
    D3DSAMPLERSTATETYPE state;
    std::uint32_t value;
};
constexpr SamplerStateValue kSamplerStates[] = {
    {D3DSAMP_MAGFILTER, D3DTEXF_POINT}, {D3DSAMP_MINFILTER, D3DTEXF_POINT}, {D3DSAMP_MIPFILTER, D3DTEXF_NONE},
    {D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP}, {D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP},
};

// Saves the states the font changes on construction and puts them back on
// destruction.
class SavedStates {
public:
    explicit SavedStates(GfxDevice* device) : device_(device) {
        for (std::size_t i = 0; i < std::size(kRenderStates); ++i) {
            device_->getRenderState(kRenderStates[i].state, &render_[i]);
        }
        for (std::size_t i = 0; i < std::size(kStageStates); ++i) {
            device_->getTextureStageState(0, kStageStates[i].state, &stage_[i]);
        }
        for (std::size_t i = 0; i < std::size(kSamplerStates); ++i) {
            device_->getSamplerState(0, kSamplerStates[i].state, &sampler_[i]);
        }
        device_->getFVF(&fvf_);
    }
    ~SavedStates() {
        for (std::size_t i = 0; i < std::size(kRenderStates); ++i) {
            device_->setRenderState(kRenderStates[i].state, render_[i]);
        }
        for (std::size_t i = 0; i < std::size(kStageStates); ++i) {
            device_->setTextureStageState(0, kStageStates[i].state, stage_[i]);
        }
        for (std::size_t i = 0; i < std::size(kSamplerStates); ++i) {
            device_->setSamplerState(0, kSamplerStates[i].state, sampler_[i]);
        }
        device_->setFVF(fvf_);
        // The bound texture cannot be read back: stage 0 is left empty, and
        // the device object forgets its bound texture so the next user binds
        // again.
        device_->setTexture(0, nullptr);
    }

private:
    GfxDevice* device_;
    std::uint32_t render_[std::size(kRenderStates)]{};
    std::uint32_t stage_[std::size(kStageStates)]{};
    std::uint32_t sampler_[std::size(kSamplerStates)]{};
    std::uint32_t fvf_ = 0;
};
}  // namespace

HRESULT DebugFont::create(GfxDevice* device, const D3DXFONT_DESC& desc, std::unique_ptr<DebugFont>* font) {
    if (!font) return D3DERR_INVALIDCALL;
    font->reset();
    if (!device) return D3DERR_INVALIDCALL;
    FontDesc glyphDesc;
    glyphDesc.height = desc.Height;
    glyphDesc.width = static_cast<std::int32_t>(desc.Width);
    glyphDesc.weight = static_cast<std::int32_t>(desc.Weight);
    glyphDesc.italic = desc.Italic ? 1 : 0;
    glyphDesc.charSet = desc.CharSet;
    glyphDesc.faceName = desc.FaceName;
    std::unique_ptr<GlyphFont> glyphs = GlyphSystem::instance().createFont(glyphDesc);
    if (!glyphs) return E_FAIL;
    *font = std::unique_ptr<DebugFont>(new DebugFont(device, desc, std::move(glyphs)));
    return S_OK;
}

DebugFont::DebugFont(GfxDevice* device, const D3DXFONT_DESC& desc, std::unique_ptr<GlyphFont> glyphs)
    : device_(device), desc_(desc), glyphs_(std::move(glyphs)), metrics_(glyphs_->textMetrics()) {
    // Room for a few hundred glyphs of this height.
    const std::int32_t height = std::max(metrics_.tmHeight, 1);
    while (cacheSize_ < 2048 && static_cast<std::int32_t>(cacheSize_) < height * 16) cacheSize_ *= 2;
}

DebugFont::~DebugFont() = default;

void DebugFont::clearCache() {
    cached_.clear();
    packX_ = 0;
    packY_ = 0;
    rowHeight_ = 0;
}

const DebugFont::CachedGlyph* DebugFont::glyph(std::uint32_t code, bool& cacheFull) {
    cacheFull = false;
    if (auto it = cached_.find(code); it != cached_.end()) return &it->second;

    GlyphMetrics metrics;
    std::uint32_t size = glyphs_->glyphOutline(code, metrics, nullptr, 0);
    if (size == GDI_ERROR) return nullptr;
    CachedGlyph entry;
    entry.advance = metrics.gmCellIncX;
    entry.originX = metrics.gmptGlyphOriginX;
    entry.originY = metrics.gmptGlyphOriginY;
    if (size == 0) {
        // A blank: it only advances.
        return &(cached_[code] = entry);
    }
    const auto width = static_cast<std::int32_t>(metrics.gmBlackBoxX);
    const auto height = static_cast<std::int32_t>(metrics.gmBlackBoxY);
    const auto side = static_cast<std::int32_t>(cacheSize_);
    if (width + 1 > side || height + 1 > side) return nullptr;
    // One empty texel between glyphs keeps linear sampling from bleeding.
    if (packX_ + width + 1 > side) {
        packX_ = 0;
        packY_ += rowHeight_;
        rowHeight_ = 0;
    }
    if (packY_ + height + 1 > side) {
        cacheFull = true;
        return nullptr;
    }
    // The rows are read below at the padded stride: a backend answering a
    // smaller bitmap is refused rather than read past.
    const std::uint32_t stride = glyphBitmapStride(metrics.gmBlackBoxX);
    if (stride != 0 && size / stride < metrics.gmBlackBoxY) return nullptr;
    bitmap_.resize(size);
    if (glyphs_->glyphOutline(code, metrics, bitmap_.data(), size) != size) return nullptr;

    D3DRECT area{packX_, packY_, packX_ + width, packY_ + height};
    D3DLOCKED_RECT locked;
    if (FAILED(cache_->lockRect(0, &locked, &area, 0))) return nullptr;
    for (std::int32_t row = 0; row < height; ++row) {
        auto* pixels = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) +
                                                        static_cast<std::ptrdiff_t>(row) * locked.Pitch);
        for (std::int32_t column = 0; column < width; ++column) {
            std::uint32_t level = bitmap_[row * stride + column];
            std::uint32_t alpha = std::min<std::uint32_t>(level, 64) * 255 / 64;
            pixels[column] = (alpha << 24) | 0x00FFFFFFu;
        }
    }
    cache_->unlockRect(0);

    const float scale = 1.0f / static_cast<float>(cacheSize_);
    entry.width = width;
    entry.height = height;
    entry.u0 = static_cast<float>(packX_) * scale;
    entry.v0 = static_cast<float>(packY_) * scale;
    entry.u1 = static_cast<float>(packX_ + width) * scale;
    entry.v1 = static_cast<float>(packY_ + height) * scale;
    packX_ += width + 1;
    rowHeight_ = std::max(rowHeight_, height + 1);
    return &(cached_[code] = entry);
}

HRESULT DebugFont::flush(std::vector<Vertex>& vertices) {
    if (vertices.empty()) return S_OK;
    HRESULT result = device_->drawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<std::uint32_t>(vertices.size() / 3),
                                              vertices.data(), sizeof(Vertex));
    vertices.clear();
    return result;
}

std::int32_t DebugFont::drawText(std::string_view text, const TextRect& rect, std::uint32_t, D3DCOLOR colour) {
    SavedStates saved(device_);
    for (const RenderStateValue& s : kRenderStates) device_->setRenderState(s.state, s.value);
    for (const StageStateValue& s : kStageStates) device_->setTextureStageState(0, s.state, s.value);
    for (const SamplerStateValue& s : kSamplerStates) device_->setSamplerState(0, s.state, s.value);
    // The glyph cache (up to 16 MB for large heights) is made at the first
    // draw: a font that is never drawn, as with the debug display off, costs
    // no texture.
    if (!cache_ && FAILED(device_->createTexture(cacheSize_, cacheSize_, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                                  cache_.put())))
        return 0;
    device_->setFVF(kVertexFormat);
    device_->setTexture(0, cache_.get());

    // Pen positions in 64 bits: a rectangle near the edge of the int range
    // must not overflow while glyph offsets are added.
    std::int64_t penX = rect.left;
    std::int64_t lineTop = rect.top;
    std::int32_t lines = text.empty() ? 0 : 1;
    bool failed = false;
    vertices_.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            penX = rect.left;
            lineTop += metrics_.tmHeight;
            ++lines;
            continue;
        }
        if (byte == '\r') continue;
        std::uint32_t code = byte;
        if (isLeadByte(byte) && i + 1 < text.size()) {
            code = (code << 8) | static_cast<unsigned char>(text[++i]);
        }
        bool cacheFull = false;
        const CachedGlyph* cached = glyph(code, cacheFull);
        if (!cached && cacheFull) {
            // Draw what uses the cache now, then start it afresh.
            if (FAILED(flush(vertices_))) failed = true;
            clearCache();
            cached = glyph(code, cacheFull);
        }
        if (!cached) continue;
        if (cached->width > 0) {
            // Pixel corners sit half a pixel up and left of the pixel centres,
            // so each texel lands on exactly one pixel.
            const float left = static_cast<float>(penX + cached->originX) - 0.5f;
            const float top =
                static_cast<float>(lineTop + metrics_.tmAscent - static_cast<std::int64_t>(cached->originY)) - 0.5f;
            const float right = left + static_cast<float>(cached->width);
            const float bottom = top + static_cast<float>(cached->height);
            const Vertex a{left, top, 0.0f, 1.0f, colour, cached->u0, cached->v0};
            const Vertex b{right, top, 0.0f, 1.0f, colour, cached->u1, cached->v0};
            const Vertex c{left, bottom, 0.0f, 1.0f, colour, cached->u0, cached->v1};
            const Vertex d{right, bottom, 0.0f, 1.0f, colour, cached->u1, cached->v1};
            vertices_.insert(vertices_.end(), {a, b, c, c, b, d});
        }
        penX += cached->advance;
    }
    if (FAILED(flush(vertices_))) failed = true;
    return failed ? 0 : lines * metrics_.tmHeight;
}

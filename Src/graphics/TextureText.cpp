// Text textures: a cp932 text laid out glyph by glyph in the text box and
// drawn into level 0 of the texture, all at once or one glyph every few
// frames. Glyph n is the two bytes at byte 2n; its 16-bit code goes to the
// glyph module, which reads it as GetGlyphOutlineA does.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "graphics/D3DObject.h"
#include "graphics/Texture.h"
#include "platform/Text.h"
#include "platform/gfx/GfxFormat.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace {
constexpr std::string_view kSource = "Texture";
constexpr const char* kGothic = "ＭＳ ゴシック";
constexpr const char* kMincho = "ＭＳ 明朝";

// A float truncated toward zero into the int32 range (NaN gives 0).
std::int32_t truncateHeight(float value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0f) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

bool isStarPair(std::uint32_t code) { return code == 0x2A2A; }

// The level's pixels locked for writing, if it is a 32-bit level.
struct LockedText {
    GfxTexture* texture;
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT rect{};
    HRESULT result;
    LockedText(GfxTexture* t, std::uint32_t flags) : texture(t) {
        result = texture->getLevelDesc(0, &desc);
        if (SUCCEEDED(result)) result = texture->lockRect(0, &rect, nullptr, flags);
    }
    ~LockedText() {
        if (SUCCEEDED(result)) texture->unlockRect(0);
    }
    bool is32Bit() const { return bitsPerPixel(desc.Format) == 32; }
    std::uint32_t* row(std::uint32_t y) const {
        return reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(rect.pBits) +
                                                static_cast<std::ptrdiff_t>(rect.Pitch) * y);
    }
};
}  // namespace

void Texture::setFontSize(std::int32_t size) {
    fontSize_ = size;
    const float deviceSize = g_d3dObject ? g_d3dObject->toDeviceY(static_cast<float>(size)) : static_cast<float>(size);
    font_ = FontDesc{};
    font_.height = truncateHeight(deviceSize);
    const bool mincho = g_systemInfo && g_systemInfo->getSystemType() == 3;
    font_.weight = mincho ? FW_BOLD : FW_NORMAL;
    font_.faceName = mincho ? kMincho : kGothic;
    font_.charSet = SHIFTJIS_CHARSET;
    glyphBuffer_ = std::make_unique<std::uint8_t[]>(kGlyphBufferSize);
    glyphFont_.reset();
    glyphFont_ = GlyphSystem::instance().createFont(font_);
}

std::uint32_t Texture::codeAt(std::uint32_t p) const {
    // An odd-length text's last byte pairs with 0.
    const std::uint32_t high = p < text_.size() ? static_cast<unsigned char>(text_[p]) : 0;
    const std::uint32_t low = p + 1 < text_.size() ? static_cast<unsigned char>(text_[p + 1]) : 0;
    return high * 256 + low;
}

HRESULT Texture::setString(std::string_view text) {
    text_.assign(text);
    drawnBytes_ = 0;
    needsClear_ = 1;
    frameCounter_ = 0;
    layoutText(true);
    return clearText();
}

HRESULT Texture::addString(std::string_view text) {
    text_.append(text);
    needsClear_ = 1;
    layoutText(false);
    return D3D_OK;
}

void Texture::layoutText(bool restart) {
    const std::size_t glyphs = text_.size() / 2 + 1;
    glyphX_.assign(glyphs, 0);
    glyphY_.assign(glyphs, 0);
    glyphPlaced_.assign(glyphs, 0);
    if (restart) glyphColors_.clear();
    if (!glyphFont_) {
        logLine("フォントがないため文字列を描画できません: " + text::cp932ToUtf8(text_));
        return;
    }
    const TextMetric metrics = glyphFont_->textMetrics();
    const std::int64_t lineHeight = metrics.tmHeight;
    std::int64_t x = 0, y = 0;
    auto newLine = [&] {
        y += lineHeight;
        x = 0;
        return y + lineHeight >= std::int64_t(boxHeight_);
    };
    for (std::uint32_t p = 0; p < text_.size(); p += 2) {
        const std::uint32_t glyph = p / 2;
        const std::uint32_t code = codeAt(p);
        GlyphMetrics glyphMetrics;
        if (glyphFont_->glyphOutline(code, glyphMetrics, nullptr, 0) == GDI_ERROR) glyphMetrics = GlyphMetrics{};
        // A glyph reaching the box's right edge goes to the next line; a
        // line that would reach the box's bottom ends the layout. "**" starts
        // a new line when no wrap happened (after a wrap it stays a glyph,
        // which draws nothing).
        if (x + glyphMetrics.gmCellIncX >= std::int64_t(boxWidth_)) {
            if (newLine()) break;
        } else if (isStarPair(code)) {
            // Keeps its colour entry, so later glyphs keep their own.
            if (glyph >= glyphColors_.size()) glyphColors_.resize(glyph + 1, fontColor_);
            if (newLine()) break;
            continue;
        }
        glyphX_[glyph] = static_cast<std::int32_t>(x);
        glyphY_[glyph] = static_cast<std::int32_t>(std::clamp<std::int64_t>(y, INT32_MIN, INT32_MAX));
        glyphPlaced_[glyph] = 1;
        if (glyph >= glyphColors_.size()) glyphColors_.resize(glyph + 1, fontColor_);
        x += glyphMetrics.gmCellIncX;
    }
}

HRESULT Texture::clearText() {
    if (!texture_) return D3D_OK;
    LockedText level(texture_.get(), 0);
    if (FAILED(level.result)) return level.result;
    if (level.is32Bit()) {
        // Width x height pixels of the picture, row by row through the pitch.
        const std::uint32_t width = std::min(imageInfo_.Width, level.desc.Width);
        const std::uint32_t height = std::min(imageInfo_.Height, level.desc.Height);
        for (std::uint32_t y = 0; y < height; ++y) std::memset(level.row(y), 0, std::size_t(width) * 4);
    }
    surfaceState_ = 2;
    return D3D_OK;
}

HRESULT Texture::drawGlyph(std::uint32_t p) {
    if (!texture_ || !glyphBuffer_ || !glyphFont_) return D3D_OK;
    const std::uint32_t code = codeAt(p);
    const std::uint32_t glyph = p / 2;
    // "**" draws nothing; a glyph past the box was never placed.
    if (isStarPair(code) || glyph >= glyphPlaced_.size() || !glyphPlaced_[glyph]) return D3D_OK;
    const TextMetric metrics = glyphFont_->textMetrics();
    GlyphMetrics gm;
    const std::uint32_t size = glyphFont_->glyphOutline(code, gm, nullptr, 0);
    if (size == GDI_ERROR) return D3D_OK;
    if (size > kGlyphBufferSize) {
        logLine("グリフがバッファに収まりません: " + text::cp932ToUtf8(text_.substr(p, 2)) +
                " size:" + std::to_string(size));
        return D3D_OK;
    }
    if (size != 0 && glyphFont_->glyphOutline(code, gm, glyphBuffer_.get(), kGlyphBufferSize) != size) return D3D_OK;
    LockedText level(texture_.get(), 0);
    if (FAILED(level.result)) {
        logFailure(kSource, 509, level.result);
        return level.result;
    }
    const std::uint32_t colour = glyphColor(glyph);
    if (size != 0 && level.is32Bit()) {
        // Written, not blended, each pixel clipped to the level.
        const std::uint32_t stride = glyphBitmapStride(gm.gmBlackBoxX);
        const std::int64_t left = std::int64_t(glyphX_[glyph]) + gm.gmptGlyphOriginX;
        const std::int64_t top = std::int64_t(glyphY_[glyph]) + metrics.tmAscent - gm.gmptGlyphOriginY;
        for (std::uint32_t r = 0; r < gm.gmBlackBoxY; ++r) {
            const std::int64_t py = top + r;
            if (py < 0 || py >= std::int64_t(level.desc.Height)) continue;
            std::uint32_t* row = level.row(static_cast<std::uint32_t>(py));
            for (std::uint32_t k = 0; k < gm.gmBlackBoxX; ++k) {
                const std::int64_t px = left + k;
                if (px < 0 || px >= std::int64_t(level.desc.Width)) continue;
                const std::uint32_t grey = std::min<std::uint32_t>(glyphBuffer_[std::size_t(r) * stride + k], 64);
                const std::uint32_t alpha = grey * 255 / 64;
                row[px] = (alpha << 24) | colour;
            }
        }
    }
    surfaceState_ = 1;
    return D3D_OK;
}

std::int32_t Texture::getPendingGlyphs() const {
    return static_cast<std::int32_t>(text_.size()) - static_cast<std::int32_t>(drawnBytes_);
}

std::int32_t Texture::advanceGlyph() {
    drawnBytes_ = static_cast<std::uint32_t>(std::min<std::size_t>(std::size_t(drawnBytes_) + 2, text_.size()));
    return getPendingGlyphs();
}

void Texture::updateText() {
    if (surfaceState_ == 1) surfaceState_ = 0;
    if (glyphX_.empty() || glyphY_.empty() || getPendingGlyphs() <= 0) return;
    // A text texture released with its sprite may still be walked for a
    // frame: without a device texture or glyph buffer nothing happens.
    if (!texture_ || !glyphBuffer_) return;
    // Each step: advance, then draw the glyph just passed; a failed draw
    // puts the glyph back so the next update tries it again.
    auto step = [this] {
        const std::uint32_t p = drawnBytes_;
        advanceGlyph();
        if (FAILED(drawGlyph(p))) {
            drawnBytes_ = p;
            return false;
        }
        return true;
    };
    if (framesPerGlyph_ == 0 || finishRequested_) {
        while (getPendingGlyphs() > 0)
            if (!step()) return;
        finishRequested_ = 0;
        return;
    }
    if (frameCounter_ % framesPerGlyph_ == 0 && !step()) return;
    ++frameCounter_;
}

void Texture::setSourceTexture(const std::shared_ptr<Texture>& source) {
    isDuplicate_ = 1;
    source_ = source;
    sourceId_ = source ? source->getTag() : 0;
}

void Texture::copyFromSource() {
    if (!isDuplicate_ || !source_ || source_->surfaceState_ == 0) return;
    if (!texture_ || !source_->texture_) return;
    LockedText from(source_->texture_.get(), D3DLOCK_READONLY);
    if (FAILED(from.result)) {
        logFailure(kSource, 580, from.result);
        return;
    }
    LockedText to(texture_.get(), 0);
    if (FAILED(to.result)) {
        logFailure(kSource, 583, to.result);
        return;
    }
    // Only between 32-bit levels, over the rectangle both have.
    if (!from.is32Bit() || !to.is32Bit()) return;
    const std::uint32_t width = std::min(from.desc.Width, to.desc.Width);
    const std::uint32_t height = std::min(from.desc.Height, to.desc.Height);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint32_t* out = to.row(y);
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint32_t value = from.row(y)[x];
            for (int dy = -1; dy <= 1; dy += 2) {
                const std::int64_t sy = std::int64_t(y) + dy;
                if (sy < 0 || sy >= std::int64_t(from.desc.Height)) continue;
                for (int dx = -1; dx <= 1; dx += 2) {
                    const std::int64_t sx = std::int64_t(x) + dx;
                    if (sx < 0 || sx >= std::int64_t(from.desc.Width)) continue;
                    value |= from.row(std::uint32_t(sy))[sx];
                }
            }
            out[x] = value;
        }
    }
}

bool Texture::glyphPosition(std::uint32_t glyph, std::int32_t& x, std::int32_t& y) const {
    if (glyph >= glyphPlaced_.size() || !glyphPlaced_[glyph]) return false;
    x = glyphX_[glyph];
    y = glyphY_[glyph];
    return true;
}

std::uint32_t Texture::glyphColor(std::uint32_t glyph) const {
    return glyph < glyphColors_.size() ? glyphColors_[glyph] : fontColor_;
}

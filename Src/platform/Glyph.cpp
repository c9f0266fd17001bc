#include "platform/Glyph.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/Text.h"

namespace {
std::atomic<GlyphSystem*> g_installed{nullptr};

// Used when the description asks for height 0.
constexpr std::int32_t kDefaultCellHeight = 16;

// The first code point of a UTF-8 text; 0 when there is none.
char32_t firstCodePoint(const std::string& utf8) {
    if (utf8.empty()) return 0;
    auto byte = [&](size_t i) { return static_cast<unsigned char>(utf8[i]); };
    unsigned char lead = byte(0);
    if (lead < 0x80) return lead;
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (extra == 0 || utf8.size() < static_cast<size_t>(extra) + 1) return 0;
    char32_t cp = lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) cp = (cp << 6) | (byte(i) & 0x3F);
    return cp;
}

// The Unicode character of a cp932 code; 0 when it names none.
char32_t unicodeOfCp932(std::uint32_t code) {
    code = glyphCharacter(code);
    std::string bytes;
    if (code > 0xFF) bytes.push_back(static_cast<char>((code >> 8) & 0xFF));
    bytes.push_back(static_cast<char>(code & 0xFF));
    std::string utf8 = text::cp932ToUtf8(bytes);
    char32_t cp = firstCodePoint(utf8);
    // The converter writes '?' for what it cannot convert.
    if (cp == U'?' && code != '?') return 0;
    return cp;
}

// The IPA faces that stand for the Windows Japanese faces.
struct FaceAlias {
    const char* windowsName;
    const char* family;
};
constexpr FaceAlias kFaceAliases[] = {
    {"ＭＳ ゴシック", "IPAGothic"},
    {"ＭＳ 明朝", "IPAMincho"},
    {"ＭＳ Ｐゴシック", "IPAPGothic"},
    {"ＭＳ Ｐ明朝", "IPAPMincho"},
};

std::string familyFor(const std::string& faceName) {
    for (const FaceAlias& alias : kFaceAliases)
        if (faceName == alias.windowsName) return alias.family;
    return faceName;
}

// GDI's 65 grey levels from FreeType's 256.
std::uint8_t grayLevel(unsigned char value) { return static_cast<std::uint8_t>((value * 64 + 127) / 255); }
}  // namespace

GlyphSystem& GlyphSystem::instance() {
    if (GlyphSystem* installed = g_installed.load()) return *installed;
    static FreeTypeGlyphSystem freeType;
    return freeType;
}

void GlyphSystem::setInstance(GlyphSystem* system) { g_installed = system; }

// ---------------------------------------------------------------------------
// FreeType backend

struct FreeTypeGlyphSystem::Library {
    // FreeType's library object is not thread-safe: every face made from it
    // and every call on those faces is made under this lock.
    std::mutex lock;
    FT_Library library = nullptr;
    // Our own fontconfig configuration, loaded on first use and freed with the
    // system (the library's default one is never freed).
    FcConfig* config = nullptr;
};

namespace {
class FreeTypeGlyphFont : public GlyphFont {
public:
    FreeTypeGlyphFont(std::mutex& lock, FT_Face face, bool embolden, const TextMetric& metrics)
        : lock_(lock), face_(face), embolden_(embolden), metrics_(metrics) {}
    ~FreeTypeGlyphFont() override {
        std::lock_guard<std::mutex> guard(lock_);
        FT_Done_Face(face_);
    }

    TextMetric textMetrics() const override { return metrics_; }
    std::string familyName() const override { return face_->family_name ? face_->family_name : ""; }

    std::uint32_t glyphOutline(std::uint32_t code, GlyphMetrics& metrics, std::uint8_t* buffer,
                               std::uint32_t bufferSize) override {
        std::lock_guard<std::mutex> guard(lock_);
        // Callers ask for a glyph's size and then for its bitmap: the last
        // glyph rendered answers the second call without rendering again.
        code = glyphCharacter(code);
        if (cached_ && cachedCode_ == code) return fromCache(metrics, buffer, bufferSize);
        const std::uint32_t size = render(code, metrics);
        if (size == GDI_ERROR) return size;
        return fromCache(metrics, buffer, bufferSize);
    }

private:
    std::uint32_t fromCache(GlyphMetrics& metrics, std::uint8_t* buffer, std::uint32_t bufferSize) const {
        metrics = cachedMetrics_;
        const auto size = static_cast<std::uint32_t>(cachedBitmap_.size());
        if (buffer == nullptr || size == 0) return size;
        if (bufferSize < size) return GDI_ERROR;
        std::memcpy(buffer, cachedBitmap_.data(), size);
        return size;
    }

    // Renders the glyph into the cache; GDI_ERROR leaves the cache empty.
    std::uint32_t render(std::uint32_t code, GlyphMetrics& metrics) {
        cached_ = false;
        cachedBitmap_.clear();
        std::uint32_t size = renderInto(code, metrics);
        if (size == GDI_ERROR) return size;
        cachedMetrics_ = metrics;
        cachedCode_ = code;
        cached_ = true;
        return size;
    }

    std::uint32_t renderInto(std::uint32_t code, GlyphMetrics& metrics) {
        char32_t cp = unicodeOfCp932(code);
        FT_UInt index = cp ? FT_Get_Char_Index(face_, cp) : 0;
        if (FT_Load_Glyph(face_, index, FT_LOAD_NO_BITMAP) != 0) return GDI_ERROR;
        FT_GlyphSlot slot = face_->glyph;
        FT_Pos advance = slot->advance.x;
        if (embolden_ && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            // One pixel wider, as GDI's synthetic bold.
            FT_Outline_EmboldenXY(&slot->outline, 64, 0);
            advance += 64;
        }
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return GDI_ERROR;
        const FT_Bitmap& bitmap = slot->bitmap;
        metrics = GlyphMetrics{};
        metrics.gmCellIncX = static_cast<std::int16_t>((advance + 32) >> 6);
        metrics.gmptGlyphOriginX = slot->bitmap_left;
        metrics.gmptGlyphOriginY = slot->bitmap_top;
        if (bitmap.width == 0 || bitmap.rows == 0) {
            // A blank glyph: GDI reports a 1 x 1 box and no bitmap.
            metrics.gmBlackBoxX = 1;
            metrics.gmBlackBoxY = 1;
            return 0;
        }
        metrics.gmBlackBoxX = bitmap.width;
        metrics.gmBlackBoxY = bitmap.rows;
        std::uint32_t stride = glyphBitmapStride(bitmap.width);
        const std::uint64_t bytes = static_cast<std::uint64_t>(stride) * bitmap.rows;
        if (bytes >= GDI_ERROR) return GDI_ERROR;
        const auto size = static_cast<std::uint32_t>(bytes);
        cachedBitmap_.assign(size, 0);
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const unsigned char* source = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
            std::uint8_t* target = cachedBitmap_.data() + std::size_t(row) * stride;
            for (unsigned column = 0; column < bitmap.width; ++column) target[column] = grayLevel(source[column]);
        }
        return size;
    }

    bool cached_ = false;
    std::uint32_t cachedCode_ = 0;
    GlyphMetrics cachedMetrics_;
    std::vector<std::uint8_t> cachedBitmap_;

    std::mutex& lock_;
    FT_Face face_;
    bool embolden_;
    TextMetric metrics_;
};

struct MatchedFace {
    std::string file;
    int index = 0;
};

// fontconfig's choice for the description; false when it has none.
bool matchFace(FcConfig* config, const FontDesc& desc, MatchedFace& out) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    if (!desc.faceName.empty()) {
        const std::string family = familyFor(desc.faceName);
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    }
    if (desc.charSet == SHIFTJIS_CHARSET) {
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    }
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(desc.weight, 1, 1000)));
    if (desc.italic) FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ITALIC);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* file = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr;
    if (found) {
        out.file = reinterpret_cast<const char*>(file);
        int index = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) out.index = index;
    }
    FcPatternDestroy(match);
    return found;
}
}  // namespace

FreeTypeGlyphSystem::FreeTypeGlyphSystem() : library_(std::make_unique<Library>()) {}

FreeTypeGlyphSystem::~FreeTypeGlyphSystem() {
    if (library_->library) FT_Done_FreeType(library_->library);
    if (library_->config) FcConfigDestroy(library_->config);
}

std::unique_ptr<GlyphFont> FreeTypeGlyphSystem::createFont(const FontDesc& desc) {
    std::lock_guard<std::mutex> guard(library_->lock);
    if (!library_->config) library_->config = FcInitLoadConfigAndFonts();
    MatchedFace matched;
    if (!library_->config || !matchFace(library_->config, desc, matched)) return nullptr;
    if (!library_->library && FT_Init_FreeType(&library_->library) != 0) {
        library_->library = nullptr;
        return nullptr;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library_->library, matched.file.c_str(), matched.index, &face) != 0) return nullptr;
    if (!FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        return nullptr;
    }

    // GDI measures a TrueType face by its Windows ascent and descent when the
    // font has them, else by the horizontal header.
    double ascentUnits = face->ascender;
    double descentUnits = -face->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            ascentUnits = os2->usWinAscent;
            descentUnits = os2->usWinDescent;
        }
    }
    double emUnits = face->units_per_EM;
    double cellUnits = ascentUnits + descentUnits;
    if (cellUnits <= 0 || emUnits <= 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    std::int32_t height = desc.height == 0 ? kDefaultCellHeight : desc.height;
    // Negated in floating point: the int's own negation of INT_MIN overflows.
    double pixelsPerUnit = height > 0 ? height / cellUnits : -static_cast<double>(height) / emUnits;
    double ppem = pixelsPerUnit * emUnits;
    if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(ppem * 64.0)), 72, 72) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    // The face's own weight (fontconfig reports the weight asked for).
    bool faceIsBold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
        faceIsBold = faceIsBold || os2->usWeightClass >= 600;
    }
    bool embolden = desc.weight >= 600 && !faceIsBold;
    TextMetric metrics;
    metrics.tmAscent = static_cast<std::int32_t>(std::lround(ascentUnits * pixelsPerUnit));
    metrics.tmDescent = static_cast<std::int32_t>(std::lround(descentUnits * pixelsPerUnit));
    metrics.tmHeight = metrics.tmAscent + metrics.tmDescent;
    metrics.tmInternalLeading = std::max<std::int32_t>(0, metrics.tmHeight - static_cast<std::int32_t>(std::lround(ppem)));
    metrics.tmExternalLeading = 0;
    metrics.tmMaxCharWidth =
        static_cast<std::int32_t>(std::lround((face->max_advance_width) * pixelsPerUnit)) + (embolden ? 1 : 0);
    metrics.tmAveCharWidth = static_cast<std::int32_t>(std::lround(emUnits * pixelsPerUnit / 2.0));
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
        if (os2->xAvgCharWidth > 0) {
            metrics.tmAveCharWidth = static_cast<std::int32_t>(std::lround(os2->xAvgCharWidth * pixelsPerUnit));
        }
    }
    return std::make_unique<FreeTypeGlyphFont>(library_->lock, face, embolden, metrics);
}

// ---------------------------------------------------------------------------
// Box backend

namespace {
class BoxGlyphFont : public GlyphFont {
public:
    explicit BoxGlyphFont(std::int32_t cellHeight) {
        metrics_.tmHeight = cellHeight;
        metrics_.tmAscent = static_cast<std::int32_t>(static_cast<std::int64_t>(cellHeight) * 3 / 4);
        metrics_.tmDescent = cellHeight - metrics_.tmAscent;
        metrics_.tmAveCharWidth = cellHeight / 2;
        metrics_.tmMaxCharWidth = cellHeight;
    }
    TextMetric textMetrics() const override { return metrics_; }

    std::uint32_t glyphOutline(std::uint32_t code, GlyphMetrics& metrics, std::uint8_t* buffer,
                               std::uint32_t bufferSize) override {
        metrics = GlyphMetrics{};
        code = glyphCharacter(code);
        std::int32_t advance = code > 0xFF ? metrics_.tmHeight : metrics_.tmHeight / 2;
        metrics.gmCellIncX = static_cast<std::int16_t>(advance);
        if (code == ' ' || advance < 3 || metrics_.tmHeight < 3) {
            metrics.gmBlackBoxX = 1;
            metrics.gmBlackBoxY = 1;
            return 0;
        }
        metrics.gmBlackBoxX = static_cast<std::uint32_t>(advance - 2);
        metrics.gmBlackBoxY = static_cast<std::uint32_t>(metrics_.tmHeight - 2);
        metrics.gmptGlyphOriginX = 1;
        metrics.gmptGlyphOriginY = metrics_.tmAscent - 1;
        std::uint32_t stride = glyphBitmapStride(metrics.gmBlackBoxX);
        const std::uint64_t bytes = static_cast<std::uint64_t>(stride) * metrics.gmBlackBoxY;
        if (bytes >= GDI_ERROR) return GDI_ERROR;
        const auto size = static_cast<std::uint32_t>(bytes);
        if (buffer == nullptr) return size;
        if (bufferSize < size) return GDI_ERROR;
        std::memset(buffer, 0, size);
        for (std::uint32_t row = 0; row < metrics.gmBlackBoxY; ++row) {
            std::memset(buffer + row * stride, 64, metrics.gmBlackBoxX);
        }
        return size;
    }

private:
    TextMetric metrics_;
};
}  // namespace

std::unique_ptr<GlyphFont> BoxGlyphSystem::createFont(const FontDesc& desc) {
    created.push_back(desc);
    // A character height (negative) is taken as the cell height; INT_MIN,
    // whose negation overflows, as the largest one.
    std::int32_t height = desc.height == 0   ? kDefaultCellHeight
                          : desc.height > 0  ? desc.height
                          : desc.height == INT32_MIN ? INT32_MAX
                                                     : -desc.height;
    return std::make_unique<BoxGlyphFont>(height);
}

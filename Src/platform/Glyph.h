// Fonts and glyph bitmaps in the shape of the GDI calls the engine makes:
// a font made from a LOGFONT-like description (CreateFontIndirect), its text
// metrics (GetTextMetrics) and one glyph at a time as an 8-bit grey bitmap of
// 65 levels, 0 to 64, rows padded to 4 bytes (GetGlyphOutline with
// GGO_GRAY8_BITMAP). Characters are given as cp932 codes, as the game's text
// holds them, read as GetGlyphOutlineA reads them (see glyphCharacter). Two backends: FreeType + fontconfig (FreeTypeGlyphSystem) and
// fixed box glyphs for tests (BoxGlyphSystem).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

constexpr std::uint32_t GDI_ERROR = 0xFFFFFFFFu;
constexpr std::uint8_t SHIFTJIS_CHARSET = 128;
constexpr std::int32_t FW_NORMAL = 400;
constexpr std::int32_t FW_BOLD = 700;

struct FontDesc {
    // Positive: the cell height in pixels (ascent + descent); negative: the
    // character height (the em); 0: a default height.
    std::int32_t height = 0;
    // The average character width; 0 keeps the face's own proportions (the
    // only value the engine passes).
    std::int32_t width = 0;
    std::int32_t weight = FW_NORMAL;
    std::uint8_t italic = 0;
    std::uint8_t charSet = SHIFTJIS_CHARSET;
    // The face name in UTF-8; empty asks for the default face of the
    // character set.
    std::string faceName;
};

struct TextMetric {
    std::int32_t tmHeight = 0;
    std::int32_t tmAscent = 0;
    std::int32_t tmDescent = 0;
    std::int32_t tmInternalLeading = 0;
    std::int32_t tmExternalLeading = 0;
    std::int32_t tmAveCharWidth = 0;
    std::int32_t tmMaxCharWidth = 0;
};

struct GlyphMetrics {
    std::uint32_t gmBlackBoxX = 0;
    std::uint32_t gmBlackBoxY = 0;
    // The black box's top-left corner relative to the pen position on the
    // baseline, y pointing up.
    std::int32_t gmptGlyphOriginX = 0;
    std::int32_t gmptGlyphOriginY = 0;
    std::int16_t gmCellIncX = 0;
    std::int16_t gmCellIncY = 0;
};

// The cp932 character a 16-bit code names, as GetGlyphOutlineA reads it: a
// lead byte (0x81-0x9F, 0xE0-0xFC) in the high byte makes a double-byte
// character (lead * 256 + trail); anything else names the low byte alone, so
// 0x2031 (" 1") is "1" and 0x2A2A ("**") is "*".
constexpr bool isCp932LeadByte(std::uint32_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
constexpr std::uint32_t glyphCharacter(std::uint32_t code) {
    code &= 0xFFFF;
    return isCp932LeadByte(code >> 8) ? code : (code & 0xFF);
}

// The bytes a glyph bitmap of that box takes: rows of width rounded up to 4.
constexpr std::uint32_t glyphBitmapStride(std::uint32_t width) { return (width + 3u) & ~3u; }

class GlyphFont {
public:
    virtual ~GlyphFont() = default;
    virtual TextMetric textMetrics() const = 0;
    // One glyph of a cp932 character (a single byte, or lead * 256 + trail).
    // Fills `metrics`; when `buffer` is given and holds at least the bitmap's
    // size, writes the bitmap into it. Returns the bitmap's size in bytes (0 for
    // a blank glyph, whose box is then 1 x 1), or GDI_ERROR.
    virtual std::uint32_t glyphOutline(std::uint32_t code, GlyphMetrics& metrics, std::uint8_t* buffer,
                                       std::uint32_t bufferSize) = 0;
    // The family of the face in use ("IPAGothic"), for tests and logs.
    virtual std::string familyName() const { return {}; }
};

class GlyphSystem {
public:
    virtual ~GlyphSystem() = default;
    // Null when no font can be made from the description.
    virtual std::unique_ptr<GlyphFont> createFont(const FontDesc& desc) = 0;

    // The process's glyph backend: FreeType unless a test installed another.
    static GlyphSystem& instance();
    // nullptr restores the FreeType backend.
    static void setInstance(GlyphSystem* system);
};

// FreeType rasterising the font fontconfig picks for the description: the
// named face when it exists, else the best face for the character set
// (Japanese for SHIFTJIS_CHARSET, the IPA Gothic font on Debian). The Windows
// Japanese faces the game names are looked up as their IPA counterparts
// ("ＭＳ ゴシック" as IPAGothic, "ＭＳ 明朝" as IPAMincho, the P faces as
// IPAPGothic and IPAPMincho); fontconfig knows none of them by name. A weight of
// 600 or more on a face that has no bold is emboldened by one pixel, as GDI
// synthesises bold.
class FreeTypeGlyphSystem : public GlyphSystem {
public:
    FreeTypeGlyphSystem();
    ~FreeTypeGlyphSystem() override;
    std::unique_ptr<GlyphFont> createFont(const FontDesc& desc) override;

private:
    struct Library;
    std::unique_ptr<Library> library_;
};

// Fixed box glyphs for tests: a font of cell height h has ascent h * 3 / 4;
// a single-byte character advances h / 2 and a double-byte one h; every
// glyph but the blank is a full box (level 64) one pixel inside its cell.
class BoxGlyphSystem : public GlyphSystem {
public:
    std::unique_ptr<GlyphFont> createFont(const FontDesc& desc) override;
    // The descriptions of every font made, for tests to inspect.
    std::vector<FontDesc> created;
};

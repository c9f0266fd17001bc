#include <gtest/gtest.h>

#include <vector>

#include "platform/Glyph.h"

namespace {
// Every level of a glyph bitmap lies in GDI's 0..64 range and the padding
// bytes past the black box are zero.
void expectWellFormed(const GlyphMetrics& metrics, const std::vector<std::uint8_t>& bitmap) {
    std::uint32_t stride = glyphBitmapStride(metrics.gmBlackBoxX);
    ASSERT_EQ(bitmap.size(), stride * metrics.gmBlackBoxY);
    int inked = 0;
    for (std::uint32_t row = 0; row < metrics.gmBlackBoxY; ++row) {
        for (std::uint32_t column = 0; column < stride; ++column) {
            std::uint8_t level = bitmap[row * stride + column];
            EXPECT_LE(level, 64);
            if (column >= metrics.gmBlackBoxX) {
                EXPECT_EQ(level, 0);
            }
            if (level > 0) ++inked;
        }
    }
    EXPECT_GT(inked, 0);
}

std::vector<std::uint8_t> outline(GlyphFont& font, std::uint32_t code, GlyphMetrics& metrics) {
    std::uint32_t size = font.glyphOutline(code, metrics, nullptr, 0);
    EXPECT_NE(size, GDI_ERROR);
    std::vector<std::uint8_t> bitmap(size == GDI_ERROR ? 0 : size);
    if (size != 0 && size != GDI_ERROR) {
        EXPECT_EQ(font.glyphOutline(code, metrics, bitmap.data(), size), size);
    }
    return bitmap;
}
}  // namespace

TEST(GlyphFreeType, JapaneseDefaultFaceAtCellHeight) {
    FreeTypeGlyphSystem system;
    FontDesc desc;
    desc.height = 20;
    desc.weight = FW_BOLD;
    std::unique_ptr<GlyphFont> font = system.createFont(desc);
    ASSERT_NE(font, nullptr);
    TextMetric metrics = font->textMetrics();
    EXPECT_EQ(metrics.tmHeight, 20);
    EXPECT_EQ(metrics.tmAscent + metrics.tmDescent, 20);
    EXPECT_GT(metrics.tmAscent, metrics.tmDescent);

    // "あ" in cp932 is 0x82A0: a full-width glyph inside the cell.
    GlyphMetrics kana;
    std::vector<std::uint8_t> bitmap = outline(*font, 0x82A0, kana);
    expectWellFormed(kana, bitmap);
    EXPECT_GE(kana.gmCellIncX, 18);
    EXPECT_LE(kana.gmCellIncX, 22);
    EXPECT_LE(kana.gmptGlyphOriginY, metrics.tmAscent);

    // "A" is half width.
    GlyphMetrics letter;
    expectWellFormed(letter, outline(*font, 'A', letter));
    EXPECT_LT(letter.gmCellIncX, kana.gmCellIncX);

    // The blank has a 1 x 1 box, no bitmap, and still advances.
    GlyphMetrics blank;
    EXPECT_EQ(font->glyphOutline(' ', blank, nullptr, 0), 0u);
    EXPECT_EQ(blank.gmBlackBoxX, 1u);
    EXPECT_EQ(blank.gmBlackBoxY, 1u);
    EXPECT_GT(blank.gmCellIncX, 0);
}

TEST(GlyphFreeType, BoldIsWiderAndShortBufferRefused) {
    FreeTypeGlyphSystem system;
    FontDesc regular;
    regular.height = 32;
    FontDesc bold = regular;
    bold.weight = FW_BOLD;
    auto regularFont = system.createFont(regular);
    auto boldFont = system.createFont(bold);
    ASSERT_NE(regularFont, nullptr);
    ASSERT_NE(boldFont, nullptr);
    GlyphMetrics thin, thick;
    std::uint32_t size = regularFont->glyphOutline('l', thin, nullptr, 0);
    boldFont->glyphOutline('l', thick, nullptr, 0);
    EXPECT_GT(thick.gmBlackBoxX, thin.gmBlackBoxX);

    std::vector<std::uint8_t> small(size - 1);
    EXPECT_EQ(regularFont->glyphOutline('l', thin, small.data(), size - 1), GDI_ERROR);
}

TEST(GlyphBox, FixedBoxesByCharacterWidth) {
    BoxGlyphSystem system;
    FontDesc desc;
    desc.height = 20;
    auto font = system.createFont(desc);
    ASSERT_EQ(system.created.size(), 1u);
    EXPECT_EQ(font->textMetrics().tmAscent, 15);
    GlyphMetrics wide, narrow;
    std::vector<std::uint8_t> bitmap = outline(*font, 0x82A0, wide);
    expectWellFormed(wide, bitmap);
    EXPECT_EQ(wide.gmCellIncX, 20);
    EXPECT_EQ(wide.gmBlackBoxX, 18u);
    EXPECT_EQ(wide.gmBlackBoxY, 18u);
    EXPECT_EQ(bitmap[0], 64);
    outline(*font, 'A', narrow);
    EXPECT_EQ(narrow.gmCellIncX, 10);
    EXPECT_EQ(narrow.gmBlackBoxX, 8u);
}

TEST(GlyphHeights, CharacterHeightsAndTheExtremesOfTheRange) {
    // A negative height asks for the character (em) height, so the cell is
    // taller; the most negative one must not overflow being negated.
    FreeTypeGlyphSystem freeType;
    BoxGlyphSystem box;
    FontDesc desc;
    desc.height = -20;
    auto emFont = freeType.createFont(desc);
    ASSERT_NE(emFont, nullptr);
    EXPECT_GT(emFont->textMetrics().tmHeight, 20);
    EXPECT_EQ(box.createFont(desc)->textMetrics().tmHeight, 20);

    for (std::int32_t height : {INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(height);
        desc.height = height;
        GlyphMetrics metrics;
        if (auto font = freeType.createFont(desc)) {
            font->glyphOutline('A', metrics, nullptr, 0);
        }
        // A box too large for a 32-bit bitmap size is refused.
        auto boxFont = box.createFont(desc);
        ASSERT_NE(boxFont, nullptr);
        EXPECT_EQ(boxFont->textMetrics().tmHeight, INT32_MAX);
        EXPECT_EQ(boxFont->glyphOutline('A', metrics, nullptr, 0), GDI_ERROR);
    }
}

TEST(GlyphCodes, CodesAreReadAsGetGlyphOutlineAReadsThem) {
    struct Case {
        std::uint32_t code, character;
    };
    const Case cases[] = {
        {0x2031, '1'},      // " 1", how setstringnum spaces digits
        {0x2A2A, '*'},      // "**" measures as "*"
        {0x0041, 'A'},      //
        {0x82A0, 0x82A0},   // "あ": lead byte 0x82
        {0xE040, 0xE040},   // lead bytes reach 0xE0-0xFC too
        {0xA0A0, 0xA0},     // 0xA0 leads nothing: the low byte alone
        {0x7F31, '1'},      //
        {0x1282A0, 0x82A0}, // only 16 bits count
    };
    for (const Case& c : cases) EXPECT_EQ(glyphCharacter(c.code), c.character) << std::hex << c.code;

    // Both backends follow it: " 1" inks like "1", "**" advances like "*".
    BoxGlyphSystem boxes;
    FreeTypeGlyphSystem freeType;
    FontDesc desc;
    desc.height = 24;
    for (GlyphSystem* system : {static_cast<GlyphSystem*>(&boxes), static_cast<GlyphSystem*>(&freeType)}) {
        auto font = system->createFont(desc);
        ASSERT_NE(font, nullptr);
        GlyphMetrics spaced, digit, stars, star;
        std::vector<std::uint8_t> a = outline(*font, 0x2031, spaced), b = outline(*font, '1', digit);
        EXPECT_EQ(a, b);
        EXPECT_FALSE(a.empty());
        EXPECT_EQ(spaced.gmCellIncX, digit.gmCellIncX);
        outline(*font, 0x2A2A, stars);
        outline(*font, '*', star);
        EXPECT_EQ(stars.gmCellIncX, star.gmCellIncX);
    }
}

TEST(GlyphFaces, WindowsJapaneseFacesResolveToTheIpaFaces) {
    FreeTypeGlyphSystem system;
    struct Case {
        const char* face;
        const char* family;
    };
    const Case cases[] = {
        {"ＭＳ ゴシック", "IPAGothic"},
        {"ＭＳ 明朝", "IPAMincho"},
        {"ＭＳ Ｐゴシック", "IPAPGothic"},
        {"ＭＳ Ｐ明朝", "IPAPMincho"},
    };
    for (const Case& c : cases) {
        FontDesc desc;
        desc.height = 16;
        desc.faceName = c.face;
        auto font = system.createFont(desc);
        ASSERT_NE(font, nullptr) << c.face;
        EXPECT_EQ(font->familyName(), c.family) << c.face;
    }
    // A face nobody has falls back to a Japanese face that draws kana.
    FontDesc unknown;
    unknown.height = 16;
    unknown.faceName = "No Such Face";
    auto font = system.createFont(unknown);
    ASSERT_NE(font, nullptr);
    GlyphMetrics kana;
    expectWellFormed(kana, outline(*font, 0x82A0, kana));
}

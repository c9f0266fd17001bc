// Text textures with box glyphs (cell height 16: ascent 12, "あ" advances
// 16, a single-byte character 8; each glyph a full box one pixel inside its
// cell): layout, the typewriter, colours, failures, duplicates.
#include <gtest/gtest.h>

#include "graphics/Texture.h"
#include "graphics/TextureTestSupport.h"

namespace {
const std::string A = "\x82\xa0";  // あ
const std::string I = "\x82\xa2";  // い
const std::string U = "\x82\xa4";  // う

class TextTextureTest : public TextureTest {
protected:
    // An A8R8G8B8 text texture of that size, font 16, box = the given box.
    void make(std::uint32_t width, std::uint32_t height, std::uint32_t boxWidth, std::uint32_t boxHeight) {
        ASSERT_EQ(texture.createEmpty(width, height, D3DFMT_A8R8G8B8), D3D_OK);
        texture.setTextBoxSize(boxWidth, boxHeight);
        texture.setFontSize(16);
        texture.setFontColor(0x00FFFFFF);
    }
    std::uint32_t at(std::uint32_t x, std::uint32_t y) {
        std::uint32_t width = 0;
        std::vector<std::uint32_t> p = pixels(texture.getD3DTexture(), &width);
        return p.at(std::size_t(y) * width + x);
    }
    void poke(Texture& t, std::uint32_t x, std::uint32_t y, std::uint32_t value) {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(t.getD3DTexture()->lockRect(0, &locked, nullptr, 0), D3D_OK);
        reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + locked.Pitch * y)[x] = value;
        t.getD3DTexture()->unlockRect(0);
    }
    Texture texture;
};

struct Placed {
    bool placed;
    std::int32_t x, y;
};
}  // namespace

TEST_F(TextTextureTest, LayoutWrapsStopsAndBreaksLines) {
    struct Case {
        const char* name;
        std::string text;
        std::uint32_t boxWidth, boxHeight;
        std::vector<Placed> glyphs;
    };
    const std::vector<Case> cases = {
        {"wraps when the advance reaches the width exactly", A + A, 32, 64, {{true, 0, 0}, {true, 0, 16}}},
        {"one pixel more keeps the line", A + A, 33, 64, {{true, 0, 0}, {true, 16, 0}}},
        {"** starts a new line and is not placed", A + "**" + I, 64, 64, {{true, 0, 0}, {false, 0, 0}, {true, 0, 16}}},
        {"** after a wrap stays a glyph", A + "**", 24, 64, {{true, 0, 0}, {true, 0, 16}}},
        {"the box height stops the layout after a wrap", A + A + A, 32, 32, {{true, 0, 0}, {false, 0, 0}, {false, 0, 0}}},
        {"an odd length pairs the last byte with 0", A + "\x82", 64, 64, {{true, 0, 0}, {true, 16, 0}}},
        {"\" 1\" is the digit, half width", " 1 2 3", 64, 64, {{true, 0, 0}, {true, 8, 0}, {true, 16, 0}}},
    };
    make(64, 64, 64, 64);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        texture.setTextBoxSize(c.boxWidth, c.boxHeight);
        ASSERT_EQ(texture.setString(c.text), D3D_OK);
        EXPECT_EQ(texture.getSurfaceState(), 2u);
        EXPECT_EQ(texture.getNeedsClear(), 1u);
        EXPECT_EQ(texture.getPendingGlyphs(), std::int32_t(c.text.size()));
        for (std::uint32_t g = 0; g < c.glyphs.size(); ++g) {
            std::int32_t x = -1, y = -1;
            EXPECT_EQ(texture.glyphPosition(g, x, y), c.glyphs[g].placed) << "glyph " << g;
            if (c.glyphs[g].placed) {
                EXPECT_EQ(x, c.glyphs[g].x) << "glyph " << g;
                EXPECT_EQ(y, c.glyphs[g].y) << "glyph " << g;
            }
        }
    }
}

TEST_F(TextTextureTest, GlyphsAreWrittenInTheirColourAndClippedToTheTexture) {
    make(20, 20, 100, 100);
    texture.setFontColor(0x00123456);
    texture.setStringWait(0);
    ASSERT_EQ(texture.setString(" 1" + A + A), D3D_OK);
    texture.updateText();
    EXPECT_EQ(texture.getSurfaceState(), 1u);
    EXPECT_EQ(texture.getPendingGlyphs(), 0);
    // " 1" inks x 1..6, y 1..14 at full alpha; its cell's edge stays clear.
    EXPECT_EQ(at(1, 1), 0xFF123456u);
    EXPECT_EQ(at(6, 14), 0xFF123456u);
    EXPECT_EQ(at(0, 0), 0u);
    EXPECT_EQ(at(7, 1), 0u);
    EXPECT_EQ(at(1, 15), 0u);
    // The second "あ" starts at x 24: past the texture's 20 pixels, clipped.
    EXPECT_EQ(at(19, 5), 0xFF123456u);
    texture.updateText();
    EXPECT_EQ(texture.getSurfaceState(), 0u);
}

TEST_F(TextTextureTest, TypewriterDrawsOneGlyphEveryFramesPerGlyph) {
    struct Case {
        std::uint32_t wait;
        bool finishAfterTwo;
        std::vector<std::uint32_t> drawnAfterEachUpdate;
    };
    const std::vector<Case> cases = {
        {0, false, {6, 6, 6}},
        {1, false, {2, 4, 6, 6}},
        {3, false, {2, 2, 2, 4, 4, 4, 6, 6}},
        {3, true, {2, 2, 6, 6}},
    };
    make(64, 64, 64, 64);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "wait " << c.wait << (c.finishAfterTwo ? " finished" : ""));
        texture.setStringWait(c.wait);
        ASSERT_EQ(texture.setString(A + I + U), D3D_OK);
        std::vector<std::uint32_t> drawn;
        for (std::size_t i = 0; i < c.drawnAfterEachUpdate.size(); ++i) {
            if (c.finishAfterTwo && i == 2) texture.finishString();
            texture.updateText();
            drawn.push_back(texture.getDrawnBytes());
        }
        EXPECT_EQ(drawn, c.drawnAfterEachUpdate);
    }
}

TEST_F(TextTextureTest, AddedTextKeepsColoursAndGoesOn) {
    make(96, 64, 96, 64);
    texture.setStringWait(0);
    texture.setFontColor(0x00FF0000);
    ASSERT_EQ(texture.setString(A + "**" + I), D3D_OK);
    texture.updateText();
    texture.setFontColor(0x000000FF);
    ASSERT_EQ(texture.addString(U), D3D_OK);
    EXPECT_EQ(texture.getDrawnBytes(), 6u);
    EXPECT_EQ(texture.getSurfaceState(), 1u);  // no clear
    // One colour per glyph number, "**" included: only the new glyph is blue.
    EXPECT_EQ(texture.glyphColor(0), 0x00FF0000u);
    EXPECT_EQ(texture.glyphColor(2), 0x00FF0000u);
    EXPECT_EQ(texture.glyphColor(3), 0x000000FFu);
    texture.updateText();
    // "い" on line 2 at x 0, "う" after it at x 16; "あ" still drawn.
    EXPECT_EQ(at(1, 1), 0xFFFF0000u);
    EXPECT_EQ(at(1, 17), 0xFFFF0000u);
    EXPECT_EQ(at(17, 17), 0xFF0000FFu);
}

TEST_F(TextTextureTest, AFailedLockIsLoggedAndTheGlyphTriedAgain) {
    make(64, 64, 64, 64);
    texture.setStringWait(1);
    ASSERT_EQ(texture.setString(A + I), D3D_OK);
    gfx.faults.failNext("LockRect", D3DERR_INVALIDCALL);
    texture.updateText();
    EXPECT_EQ(texture.getDrawnBytes(), 0u);
    EXPECT_EQ(linesFrom(".\\Src\\Texture:509"),
              (std::vector<std::string>{".\\Src\\Texture:509  FAILED", "D3DERR_INVALIDCALL"}));
    texture.updateText();
    EXPECT_EQ(texture.getDrawnBytes(), 2u);
    EXPECT_EQ(at(1, 1), 0xFFFFFFFFu);
    // The clear's own lock failure returns without a line.
    gfx.faults.failNext("LockRect", D3DERR_INVALIDCALL);
    EXPECT_EQ(texture.setString(A), D3DERR_INVALIDCALL);
    EXPECT_EQ(linesFrom(".\\Src\\Texture:509").size(), 2u);
}

TEST_F(TextTextureTest, NothingIsDrawnWithoutFontTextureOrRoom) {
    // No font set (so no glyph buffer either): one line, nothing drawn,
    // nothing advanced.
    ASSERT_EQ(texture.createEmpty(32, 32, D3DFMT_A8R8G8B8), D3D_OK);
    texture.setTextBoxSize(32, 32);
    ASSERT_EQ(texture.setString(A), D3D_OK);
    EXPECT_TRUE(log.logContains("フォントがないため文字列を描画できません: あ"));
    texture.updateText();
    EXPECT_EQ(texture.getPendingGlyphs(), 2);
    EXPECT_EQ(pixels(texture.getD3DTexture()), std::vector<std::uint32_t>(32 * 32, 0));

    // Glyphs past the box are not drawn over the first line.
    Texture boxed;
    ASSERT_EQ(boxed.createEmpty(64, 64, D3DFMT_A8R8G8B8), D3D_OK);
    boxed.setTextBoxSize(32, 32);
    boxed.setFontSize(16);
    boxed.setFontColor(0x00FFFFFF);
    ASSERT_EQ(boxed.setString(" 1" + A + A), D3D_OK);  // "1" at 0, "あ" at 8, then the stop
    boxed.updateText();
    const std::vector<std::uint32_t> once = pixels(boxed.getD3DTexture());
    EXPECT_EQ(once[1 * 64 + 9], 0xFFFFFFFFu);
    EXPECT_EQ(once[17 * 64 + 1], 0u);

    // A glyph too big for the buffer: one line, skipped.
    Texture huge;
    ASSERT_EQ(huge.createEmpty(64, 64, D3DFMT_A8R8G8B8), D3D_OK);
    huge.setTextBoxSize(1000, 1000);
    huge.setFontSize(300);
    ASSERT_EQ(huge.setString(A), D3D_OK);
    huge.updateText();
    EXPECT_TRUE(log.logContains("グリフがバッファに収まりません: あ size:89400"));
    EXPECT_EQ(pixels(huge.getD3DTexture()), std::vector<std::uint32_t>(64 * 64, 0));

    // Released with its sprite but still walked: nothing happens.
    Texture released;
    ASSERT_EQ(released.createEmpty(32, 32, D3DFMT_A8R8G8B8), D3D_OK);
    released.setTextBoxSize(32, 32);
    released.setFontSize(16);
    ASSERT_EQ(released.setString(A), D3D_OK);
    released.releaseAll();
    released.updateText();
    released.copyFromSource();
    EXPECT_EQ(released.getDrawnBytes(), 0u);
}

TEST_F(TextTextureTest, DuplicatesCopyTheCommonRectangleThickened) {
    auto source = std::make_shared<Texture>();
    ASSERT_EQ(source->createEmpty(4, 3, D3DFMT_A8R8G8B8), D3D_OK);
    source->setTextBoxSize(4, 3);
    Texture duplicate;
    ASSERT_EQ(duplicate.createEmpty(3, 5, D3DFMT_A8R8G8B8), D3D_OK);
    duplicate.setSourceTexture(source);
    poke(duplicate, 1, 4, 0xCAFEBABE);
    // The source unchanged since its last update: nothing is copied.
    poke(*source, 1, 1, 0xFF000001);
    duplicate.copyFromSource();
    EXPECT_EQ(pixels(duplicate.getD3DTexture())[1 * 3 + 1], 0u);
    // After a layout cleared it, the copy runs.
    ASSERT_EQ(source->setString(""), D3D_OK);
    poke(*source, 1, 1, 0xFF000001);
    poke(*source, 3, 2, 0x00000100);
    duplicate.copyFromSource();
    const std::vector<std::uint32_t> p = pixels(duplicate.getD3DTexture());
    EXPECT_EQ(p[0], 0xFF000001u);
    EXPECT_EQ(p[2], 0xFF000001u);
    EXPECT_EQ(p[4], 0xFF000001u);
    EXPECT_EQ(p[1], 0u);
    EXPECT_EQ(p[6], 0xFF000001u);
    // (2, 1) has (3, 2) as its diagonal neighbour inside the source.
    EXPECT_EQ(p[1 * 3 + 2], 0x00000100u);
    EXPECT_EQ(p[4 * 3 + 1], 0xCAFEBABEu);  // outside the common rectangle
    // A 16-bit side is not copied.
    Texture narrow;
    ASSERT_EQ(narrow.createEmpty(4, 3, D3DFMT_R5G6B5), D3D_OK);
    narrow.setSourceTexture(source);
    narrow.copyFromSource();
    EXPECT_EQ(pixels(narrow.getD3DTexture()), std::vector<std::uint32_t>(12, 0xFF000000));
}

TEST_F(TextTextureTest, FontFollowsTheDeviceScaleAndTheSystemType) {
    object->setVirtualScreenSize(640, 320);  // 1.5 device pixels per virtual one
    struct Case {
        std::uint32_t systemType;
        std::int32_t size, height;
        const char* face;
        std::int32_t weight;
    };
    const Case cases[] = {
        {0, 11, 16, "ＭＳ ゴシック", 400},
        {0, -11, -16, "ＭＳ ゴシック", 400},
        {3, 10, 15, "ＭＳ 明朝", 700},
    };
    g_systemInfo = new SystemInfo();
    for (const Case& c : cases) {
        g_systemInfo->setSystemType(c.systemType);
        Texture t;
        t.setFontSize(c.size);
        EXPECT_EQ(t.getFont().height, c.height);
        EXPECT_EQ(t.getFont().faceName, c.face);
        EXPECT_EQ(t.getFont().weight, c.weight);
        EXPECT_EQ(t.getFont().charSet, 128);
        EXPECT_NE(t.getGlyphFont(), nullptr);
    }
}

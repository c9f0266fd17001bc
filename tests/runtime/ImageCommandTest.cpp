// The image and text commands through the interpreter, on the recording
// device with the texture and sprite managers: the image sprite's blend,
// size, colour and texels, vanish margins by edge mode and the square rule,
// the sprite's later changes, text and surface images and their texture
// sizes, the text commands, waiting for drawn text, preloading.
#include <cmath>
#include <limits>
#include <memory>

#include "DeviceRuntimeBench.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/Texture.h"
#include "graphics/TextureManager.h"
#include "platform/gfx/PngWriter.h"
#include "services/ArchiveManager.h"

namespace {

class ImageCommands : public DeviceRuntimeBench {
protected:
    ImageCommands() {
        // A 64 x 32 picture under the name "pic.dds" ("texture" archive).
        std::vector<std::uint8_t> png;
        const std::vector<std::uint32_t> pixels(64 * 32, 0xFF808080);
        EXPECT_TRUE(encodePngRgba(64, 32, pixels.data(), png));
        root().writeFile("texture/pic.dds", png);
        // Entries that are no picture (a missing entry would end the program).
        root().writeFile("texture/bad.dds", std::string(64, 'x'));
        root().writeFile("texture/bad.bmp", std::string(64, 'y'));
        g_archiveManager = new ArchiveManager();
        EXPECT_EQ(g_archiveManager->buildTextureArchive("texture"), S_OK);
        g_archiveManager->loadIndex("texture");
        SpriteAllocator::instance().fill();
        textures = std::make_unique<TextureManager>();
        g_textureManager = textures.get();
        sprites = std::make_unique<SpriteManagerManager>();
        g_spriteManagerManager = sprites.get();
    }
    ~ImageCommands() override {
        // The objects give their images back before the sprites go.
        delete g_bulletObjectManager;
        g_bulletObjectManager = nullptr;
        sprites.reset();
        g_spriteManagerManager = nullptr;
        SpriteAllocator::instance().freeBlocks();
        textures.reset();
        g_textureManager = nullptr;
        delete g_archiveManager;
        g_archiveManager = nullptr;
    }

    std::unique_ptr<TextureManager> textures;
    std::unique_ptr<SpriteManagerManager> sprites;
};

// Margins beyond the field's edges (the bounds less the field limits).
struct Margins {
    float right, bottom, left, top;
};
void expectMargins(const BulletObject& o, Margins m) {
    EXPECT_EQ(o.getRightBound() - float(o.getFieldRight()), m.right);
    EXPECT_EQ(o.getBottomBound() - float(o.getFieldBottom()), m.bottom);
    EXPECT_EQ(o.getLeftBound() - float(o.getFieldLeft()), m.left);
    EXPECT_EQ(o.getTopBound() - float(o.getFieldTop()), m.top);
}

TEST_F(ImageCommands, ImgMakesTheSpriteFromLiteralOrComputedValues) {
    struct Row {
        const char* type;  // "" for none
        std::uint8_t blend;
    } rows[] = {{"", 3}, {"normal", 3}, {"add", 2}, {"maskadd", 5}, {"noalpha", 6}, {"add2", 7}};
    setGlobal("w", 32);
    for (bool computed : {false, true}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.type << (computed ? " computed" : " literal"));
            const std::string type = *row.type ? std::string(" type=\"") + row.type + "\"" : "";
            BulletObject* object =
                run("<img" + type + "><file>pic</file><left>16</left><right>48</right><top>8</top><bottom>24</bottom>"
                    "<width>" + (computed ? "$__w" : "32") +
                    "</width><height>16</height><alpha>128</alpha><red>255.9</red><green>64</green><blue>0</blue>"
                    "</img>");
            Sprite* image = object->getImage();
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->getBlend(), row.blend);
            EXPECT_EQ(image->getWidth(), 32.0f);
            EXPECT_EQ(image->getHeight(), 16.0f);
            EXPECT_EQ(image->getPackedColor(), 0x80FF4000u);
            // Texels of the 64 x 32 picture as fractions.
            EXPECT_EQ(image->getU0(), 0.25f);
            EXPECT_EQ(image->getV0(), 0.25f);
            EXPECT_EQ(image->getDu(), 0.5f);
            EXPECT_EQ(image->getDv(), 0.5f);
            EXPECT_EQ(object->isActive(), 1);
            EXPECT_EQ(object->getWidth(), 32.0f);
            // Edge mode 0 (the pool's).
            expectMargins(*object, {0, 0, -32, -16});
        }
    }
}

TEST_F(ImageCommands, MarginsByEdgeModeAndTheSquareRule) {
    // A 20 x 40 image from "img" (reflect by option) or "imgstring" (reflect
    // as vanish); the square rule from the image direction or the hit shape.
    const std::string img = "<img><file>pic</file><width>20</width><height>40</height></img>";
    const std::string text = "<imgstring><width>20</width><height>40</height></imgstring>";
    struct Row {
        const std::string* body;
        std::uint8_t edgeMode;
        std::uint8_t reflectOption;
        std::int32_t square;  // 0 none, 1 image direction "sync", 2 hit shape "syncedge"
        Margins expected;
    } rows[] = {
        {&img, 0, 0, 0, {0, 0, -20, -40}},
        {&img, 1, 0, 0, {-20, -40, 0, 0}},
        {&img, 2, 0, 0, {20, 40, -20, -40}},
        {&img, 4, 0, 0, {0, 0, -20, -480}},
        {&img, 7, 0, 0, {20, 40, -20, -40}},
        {&img, 3, 0, 0, {0, 0, -20, -40}},
        {&img, 3, 1 | 2, 0, {-20, 0, 0, -40}},
        {&img, 3, 4 | 8, 0, {0, -40, -20, 0}},
        {&text, 3, 1 | 2 | 4 | 8, 0, {20, 40, -20, -40}},
        {&text, 0, 0, 0, {0, 0, -20, -40}},
        {&img, 2, 0, 1, {40, 40, -40, -40}},
        {&img, 0, 0, 2, {0, 0, -40, -40}},
        {&text, 4, 0, 1, {0, 0, -40, -480}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.body->substr(0, 10) << " mode " << int(row.edgeMode) << " option "
                                          << int(row.reflectOption) << " square " << row.square);
        BulletObject* object = run(*row.body, 1, [&row](BulletObject& o) {
            o.setEdgeMode(row.edgeMode);
            o.setReflectOption(row.reflectOption);
            o.setAllEdgeActions(edge_action::kVanish);
            if (row.square == 1) o.setImageDirection(kTypeSync, 0.0f);
            if (row.square == 2) o.setHitShape(kTypeSyncEdge, 0, 0, 4, 4);
        });
        ASSERT_NE(object->getImage(), nullptr);
        expectMargins(*object, row.expected);
        // Loop mode also stops the object at every edge.
        for (int edge = 0; edge < 4; ++edge)
            EXPECT_EQ(object->getEdgeAction(edge), row.edgeMode == 1 ? edge_action::kClamp : edge_action::kVanish);
    }
}

TEST_F(ImageCommands, ImgDirectionSyncSquaresTheMarginsAndTurnsHalfWay) {
    struct Row {
        const char* type;
        std::int32_t mode;
        float angle;
        bool margins;
    } rows[] = {{"sync", kTypeSync, 210.0f, true}, {"syncedge", kTypeSyncEdge, 210.0f, true},
                {"none", 0, 30.0f, false}, {"absolute", kTypeAbsolute, 30.0f, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        BulletObject* object = run(std::string("<img><file>pic</file><width>20</width><height>40</height></img>") +
                                       "<imgdirection type=\"" + row.type + "\">30</imgdirection>",
                                   1, [](BulletObject& o) { o.setEdgeMode(2); });
        EXPECT_EQ(object->getImageAngle(), row.angle);
        if (row.mode != 0) {
            EXPECT_EQ(object->getImageAngleMode(), row.mode);
        }
        if (row.margins) {
            expectMargins(*object, {40, 40, -40, -40});
        } else {
            expectMargins(*object, {20, 40, -20, -40});
        }
    }
}

TEST_F(ImageCommands, LaterCommandsChangeTheImage) {
    const std::string img = "<img><file>pic</file><width>32</width><height>16</height>"
                            "<alpha>255</alpha><red>255</red><green>255</green><blue>255</blue></img>";
    BulletObject* object = run(img + "<setimgsize><width>10</width><height>20</height></setimgsize>");
    EXPECT_EQ(object->getImage()->getWidth(), 10.0f);
    EXPECT_EQ(object->getImage()->getHeight(), 20.0f);
    EXPECT_EQ(object->getWidth(), 10.0f);
    expectMargins(*object, {0, 0, -10, -20});

    object = run(img + "<setimgsize type=\"relative\"><width>10</width><height>-6</height></setimgsize>");
    EXPECT_EQ(object->getImage()->getWidth(), 42.0f);
    EXPECT_EQ(object->getImage()->getHeight(), 10.0f);
    expectMargins(*object, {0, 0, -42, -10});

    // Literal values (the node's float array) and computed ones alike.
    setGlobal("a", 0);
    for (const char* alpha : {"0", "$__a"}) {
        object = run(img + "<changecolor><alpha>" + alpha +
                         "</alpha><red>255</red><green>0</green><blue>255</blue><term>2</term></changecolor>",
                     1);
        Sprite* image = object->getImage();
        image->stepColor();
        image->stepColor();
        EXPECT_EQ(image->getPackedColor(), 0x00FF00FFu) << alpha;
    }

    object = run(img + "<changeimgsize><width>64</width><height>8</height><term>2</term></changeimgsize>");
    object->getImage()->stepSize();
    object->getImage()->stepSize();
    EXPECT_EQ(object->getImage()->getWidth(), 64.0f);
    EXPECT_EQ(object->getImage()->getHeight(), 8.0f);

    object = run(img + "<setimguv><left>0</left><right>64</right><top>16</top><bottom>32</bottom></setimguv>"
                       "<setdrawlevel><num>12.7</num></setdrawlevel>");
    EXPECT_EQ(object->getImage()->getU0(), 0.0f);
    EXPECT_EQ(object->getImage()->getV0(), 0.5f);
    EXPECT_EQ(object->getImage()->getDu(), 1.0f);
    EXPECT_EQ(object->getImage()->getDv(), 0.5f);
    EXPECT_EQ(object->getDrawLevel(), 12);
    EXPECT_EQ(object->getImage()->getLayer(), 12);

    // Without an image nothing changes and nothing fails.
    object = run("<setimgsize><width>10</width><height>20</height></setimgsize><changecolor><term>3</term>"
                 "</changecolor><changeimgsize><term>2</term></changeimgsize><setimguv/><setstring><string>x"
                 "</string></setstring><setfontsize/><waitdrawstring/>");
    EXPECT_EQ(object->getImage(), nullptr);
    EXPECT_EQ(trace_.back(), "1 wait 2");
}

TEST_F(ImageCommands, OwnImagesTakeTexturesOfTheNextSizeUp) {
    struct Row {
        const char* element;
        float width, height;
        std::uint32_t textureWidth, textureHeight;
    } rows[] = {
        {"imgstring", 100, 10, 128, 16},  {"imgstring", 16, 17, 16, 32},   {"imgstring", 3000, 1024, 2048, 1024},
        {"createsurface", 40, 10, 64, 64}, {"createsurface", 3000, 65, 2048, 128},
        {"imgstring", 1e30f, -5, 2048, 16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.element << " " << row.width << " x " << row.height);
        setGlobal("w", row.width);
        setGlobal("h", row.height);
        const std::string e = row.element;
        BulletObject* object = run("<" + e + "><width>$__w</width><height>$__h</height></" + e + ">");
        Sprite* image = object->getImage();
        ASSERT_NE(image, nullptr);
        Texture* texture = image->getTexture().get();
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->getImageInfo().Width, row.textureWidth);
        EXPECT_EQ(texture->getImageInfo().Height, row.textureHeight);
        EXPECT_EQ(texture->getImageInfo().Format, D3DFMT_A8R8G8B8);
        if (row.width < 2048) {
            EXPECT_EQ(image->getDu(), row.width / float(row.textureWidth));
        }
        EXPECT_EQ(image->getPackedColor(), 0xFFFFFFFFu);
        EXPECT_EQ(image->getLayer(), object->getDrawLevel());
        EXPECT_EQ(object->isActive(), 1);
        EXPECT_EQ(object->getState(), 0u);
    }
    // A size that is no number: a 2048 texture and the script goes on.
    const std::uint32_t before = textures->size();
    setGlobal("w", std::numeric_limits<float>::quiet_NaN());
    run("<imgstring><width>$__w</width><height>$__w</height></imgstring>");
    EXPECT_EQ(trace_.back(), "1 wait 2");
    ASSERT_EQ(textures->size(), before + 1);
    EXPECT_EQ(textures->findById(before + 1)->getImageInfo().Width, 2048u);
}

TEST_F(ImageCommands, DuplicateImagesNeedAParent) {
    // No parent: no texture and no sprite manager are made.
    const std::uint32_t texturesBefore = textures->size(), managersBefore = sprites->size();
    BulletObject* object = run("<createdupimg><width>40</width><height>20</height></createdupimg>");
    EXPECT_EQ(object->getImage(), nullptr);
    EXPECT_EQ(textures->size(), texturesBefore);
    EXPECT_EQ(sprites->size(), managersBefore);

    // A child of a text image: a blue "shadow" texture of its own size rule.
    object = run("<imgstring><width>40</width><height>20</height></imgstring>"
                 "<object><child>1</child><createdupimg><width>40</width><height>20</height></createdupimg><wait>-1</wait></object>");
    BulletObject* child = IntBulletObjectManager::next(object);
    ASSERT_NE(child, nullptr);
    ASSERT_EQ(child->getParent(), object);
    Sprite* image = child->getImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getPackedColor(), 0xFF0000FFu);
    EXPECT_EQ(image->getTexture()->getName(), internName("shadow"));
    EXPECT_EQ(image->getTexture()->getImageInfo().Width, 64u);
    EXPECT_EQ(image->getTexture()->getImageInfo().Height, 32u);
}

TEST_F(ImageCommands, SpinsAndSurfaceCommandsReachTheImage) {
    // "rotateimg": 5 degrees a frame for three frames of a spinning image.
    BulletObject* object =
        run("<img><file>pic</file><width>8</width><height>8</height></img>"
            "<imgdirection type=\"rotate\">0</imgdirection><rotateimg><direction>5</direction><term>3</term>"
            "</rotateimg>",
            6);
    ASSERT_NE(object->getImage(), nullptr);
    EXPECT_FLOAT_EQ(object->getImage()->getAngle(), 15.0f);

    // "clearsurface" fills the image's texture; "loadsurface" reads the
    // named entry into it (this one is no surface of its size: refused and
    // logged under its name).
    gfx.clearCalls();
    run("<createsurface><width>40</width><height>10</height></createsurface><clearsurface/>");
    EXPECT_EQ(gfx.callsOf("UnlockRect").size(), 1u);
    EXPECT_EQ(countLogLines("pic.dds"), 0);
    run("<createsurface><width>40</width><height>10</height></createsurface><loadsurface><file>pic</file>"
        "</loadsurface>");
    EXPECT_EQ(countLogLines("pic.dds"), 1);
}

TEST_F(ImageCommands, PauseObjectsLockTheirTextUpdates) {
    BulletObject* object =
        run("<object><pause>1</pause><imgstring><width>8</width><height>8</height></imgstring><wait>-1</wait>"
            "</object><imgstring><width>8</width><height>8</height></imgstring>");
    BulletObject* paused = manager().getPauseManager()->front();
    ASSERT_NE(paused, nullptr);
    ASSERT_NE(paused->getImage(), nullptr);
    EXPECT_EQ(paused->getImage()->getTexture()->getUpdateLock(), 1u);
    EXPECT_EQ(object->getImage()->getTexture()->getUpdateLock(), 0u);
}

TEST_F(ImageCommands, TextCommandsWriteIntoTheImageTexture) {
    const std::string text = "<imgstring><width>200</width><height>30</height></imgstring>";
    struct Row {
        const char* commands;
        const char* text;
    } rows[] = {
        {"<setstringnum><num>0</num></setstringnum>", " 0"},
        {"<setstringnum><num>-5</num></setstringnum>", " - 5"},
        {"<setstringnum><num>7.9</num></setstringnum>", " 7"},
        {"<setstringnum><num>123</num></setstringnum><addstringnum><num>4</num></addstringnum>", " 1 2 3 4"},
        {"<setstring><string>AB</string></setstring><addstring><string>CD</string></addstring>", "ABCD"},
        {"<addstring><string>AB</string></addstring><setstring><string>X</string></setstring>", "X"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.commands);
        BulletObject* object = run(text + row.commands);
        EXPECT_EQ(object->getImage()->getTexture()->getText(), row.text);
    }

    // Font sizes: none or 0 is 24.
    auto font = [&](const std::string& commands) {
        return run(text + commands)->getImage()->getTexture()->getFont().height;
    };
    const std::int32_t size24 = font("");
    EXPECT_EQ(font("<setfontsize/>"), size24);
    EXPECT_EQ(font("<setfontsize><height>0</height></setfontsize>"), size24);
    EXPECT_EQ(font("<setfontsize><height>24.5</height></setfontsize>"), size24);
    EXPECT_NE(font("<setfontsize><height>30</height></setfontsize>"), size24);

    // Font colours: each channel kept within 0..255; alpha unused.
    struct Colour {
        const char* channels;
        std::uint32_t packed;
    } colours[] = {
        {"<red>255</red><green>128</green><blue>1</blue>", 0xFF8001},
        {"<alpha>255</alpha><red>256</red><green>-1</green><blue>300</blue>", 0xFF00FF},
        {"<red>$__nan</red><green>12.9</green>", 0x000C00},
    };
    setGlobal("nan", std::numeric_limits<float>::quiet_NaN());
    for (const Colour& colour : colours) {
        SCOPED_TRACE(colour.channels);
        BulletObject* object = run(text + "<setfontcolor>" + colour.channels + "</setfontcolor>");
        EXPECT_EQ(object->getImage()->getTexture()->getFontColor(), colour.packed);
    }
}

TEST_F(ImageCommands, WaitDrawStringHoldsTheScriptUntilTheTextIsDrawn) {
    BulletObject* object = run("<imgstring><width>100</width><height>20</height></imgstring>"
                               "<setstringwait><term>1000</term></setstringwait>"
                               "<setstring><string>ABCD</string></setstring><waitdrawstring/>",
                               2);
    Texture* texture = object->getImage()->getTexture().get();
    EXPECT_GT(texture->getPendingGlyphs(), 0);
    EXPECT_EQ(trace_.back(), "2 waitdrawstring 2");
    // The skip button: the next update draws the rest; the wait ends the
    // frame after.
    g_gameInfo->setSkipPressed(1);
    frames(1);
    EXPECT_EQ(trace_.back(), "3 waitdrawstring 2");
    g_gameInfo->setSkipPressed(0);
    texture->updateText();
    EXPECT_EQ(texture->getPendingGlyphs(), 0);
    frames(1);
    EXPECT_EQ(trace_[trace_.size() - 2], "4 waitdrawstring 0");
    EXPECT_EQ(trace_.back(), "4 wait 2");

    // Without the skip the text keeps the script waiting.
    object = run("<imgstring><width>100</width><height>20</height></imgstring>"
                 "<setstringwait><term>1000</term></setstringwait>"
                 "<setstring><string>ABCD</string></setstring><waitdrawstring/>",
                 3);
    object->getImage()->getTexture()->updateText();
    frames(1);
    EXPECT_EQ(trace_.back(), "4 waitdrawstring 2");
}

TEST_F(ImageCommands, ImgStringRefEntersTheLabelledTextImage) {
    BulletObject* object =
        run("<imgstringref label=\"t\"><param>100</param></imgstringref>", 1, {},
            "<action label=\"x\"><imgstring label=\"t\"><width>$1</width><height>8</height></imgstring></action>");
    ASSERT_NE(object->getImage(), nullptr);
    EXPECT_EQ(object->getImage()->getTexture()->getImageInfo().Width, 128u);
    EXPECT_EQ(object->getWidth(), 100.0f);
}

TEST_F(ImageCommands, PreloadImgLoadsOrLogsOneLine) {
    run("<preloadimg><file>pic</file></preloadimg><preloadimg><file type=\"bmp\">bad</file></preloadimg>"
        "<preloadimg><file>bad</file></preloadimg>");
    EXPECT_EQ(trace_.back(), "1 wait 2");
    EXPECT_NE(textures->findCachedByName("pic.dds"), nullptr);
    EXPECT_EQ(countLogLines(".\\Src\\ExBulletML_Runtime_Img:1585  Arg:bad.bmp  FAILED"), 1);
    EXPECT_EQ(countLogLines(".\\Src\\ExBulletML_Runtime_Img:1585  Arg:bad.dds  FAILED"), 1);
    EXPECT_EQ(countLogLines("ExBulletML_Runtime_Img:1585  Arg:pic.dds"), 0);
    // No code line follows the command's own: the next load's first line
    // does, and the last one ends the log.
    const std::vector<std::string> lines = logLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), ".\\Src\\ExBulletML_Runtime_Img:1585  Arg:bad.dds  FAILED");
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].find("Img:1585  Arg:bad.bmp  FAILED") != std::string::npos) {
            EXPECT_EQ(lines[i + 1].rfind("bad.dds ", 0), 0u) << lines[i + 1];
        }
    }
}

TEST_F(ImageCommands, AnEmptySpritePoolLeavesTheImage) {
    BulletObject* object = run("<img><file>pic</file><width>8</width><height>8</height></img><wait>1</wait>"
                               "<img type=\"add\"><file>pic</file><width>8</width><height>8</height></img>",
                               1);
    Sprite* first = object->getImage();
    ASSERT_NE(first, nullptr);
    std::vector<Sprite*> taken;
    while (Sprite* s = SpriteAllocator::instance().make(0, 0, 1, 1, 0, 0, 1, 1, 1, 1)) taken.push_back(s);
    frames(2);
    EXPECT_EQ(object->getImage(), first);
    EXPECT_EQ(first->getBlend(), 3);
    for (Sprite* s : taken) s->destroy(0);
}

}  // namespace

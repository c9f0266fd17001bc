// The camera, shadow point, light, fog, clear-colour and render-target colour
// commands through the interpreter on the recording device: what each sets at
// once, what moves over frames, the channel rules and a missing device.
#include <cmath>
#include <limits>

#include "DeviceRuntimeBench.h"
#include "graphics/RenderTarget.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"

namespace {

class SceneCommands : public DeviceRuntimeBench {
protected:
    // The device object's camera frames, as the frame runs them.
    void views(int n) {
        for (int i = 0; i < n; ++i) d3d->updateView();
    }
};

// Reaches the shadow projection's point.
struct ShadowPoint : TransformManager {
    static D3DXVECTOR3 of(const TransformManager& t) { return t.*(&ShadowPoint::shadowPoint_); }
};

std::string world(float x, float y, float z) {
    return "<worldx>" + std::to_string(x) + "</worldx><worldy>" + std::to_string(y) + "</worldy><worldz>" +
           std::to_string(z) + "</worldz>";
}

template <typename Vector>
void expectVector(const Vector& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

TEST_F(SceneCommands, CameraVectorsAtOnceOverFramesAndBySpeeds) {
    using Get = const D3DXVECTOR3& (TransformManager::*)() const;
    struct Row {
        const char* name;  // eye, lookat, upvec
        Get get;
    } rows[] = {{"eye", &TransformManager::getEye},
                {"lookat", &TransformManager::getLookAt},
                {"upvec", &TransformManager::getUpVec}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string n = row.name;
        // At once.
        run("<set" + n + ">" + world(1, 2, 3) + "</set" + n + ">");
        expectVector((*d3d.*row.get)(), 1, 2, 3);

        // Over four frames.
        run("<set" + n + ">" + world(0, 0, 0) + "</set" + n + "><change" + n + ">" + world(8, -4, 2) +
            "<term>4</term></change" + n + ">");
        views(2);
        expectVector((*d3d.*row.get)(), 4, -2, 1);
        views(2);
        expectVector((*d3d.*row.get)(), 8, -4, 2);

        // A speed per axis, then the speed itself changing over two frames.
        run("<set" + n + ">" + world(0, 0, 0) + "</set" + n + "><set" + n + "speed>" + world(1, 0, -1) + "</set" + n +
            "speed>");
        views(3);
        expectVector((*d3d.*row.get)(), 3, 0, -3);
        run("<change" + n + "speed>" + world(3, 2, -1) + "<term>2</term></change" + n + "speed>");
        views(2);
        expectVector((*d3d.*row.get)(), 3 + 2 + 3, 1 + 2, -3 - 1 - 1);
        // Stopped again for the next row.
        d3d->reset();
    }

    run("<plainshadowpoint>" + world(5, -20, 7) + "</plainshadowpoint>");
    expectVector(ShadowPoint::of(*d3d), 5, -20, 7);
}

TEST_F(SceneCommands, LightAndAmbientColours) {
    run("<setlight type=\"directional\"><alpha>255</alpha><red>255</red><green>51</green><blue>0</blue>"
        "<x>0</x><y>-3</y><z>4</z></setlight>");
    const D3DLIGHT9& light = d3d->light();
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_FLOAT_EQ(light.Diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(light.Diffuse.g, 0.2f);
    EXPECT_FLOAT_EQ(light.Diffuse.b, 0.0f);
    EXPECT_FLOAT_EQ(light.Diffuse.a, 1.0f);
    expectVector(light.Direction, 0.0f, -0.6f, 0.8f);
    EXPECT_TRUE(d3d->lightInUse());

    // The directional colour over two frames; the direction stays.
    run("<changelight type=\"directional\"><alpha>255</alpha><red>0</red><green>255</green><blue>102</blue>"
        "<x>1</x><y>0</y><z>0</z><term>2</term></changelight>");
    d3d->updateLighting();
    EXPECT_FLOAT_EQ(d3d->light().Diffuse.g, 0.6f);
    d3d->updateLighting();
    EXPECT_FLOAT_EQ(d3d->light().Diffuse.r, 0.0f);
    EXPECT_FLOAT_EQ(d3d->light().Diffuse.g, 1.0f);
    EXPECT_FLOAT_EQ(d3d->light().Diffuse.b, 0.4f);
    expectVector(d3d->light().Direction, 0.0f, -0.6f, 0.8f);

    // Other types: the ambient colour chosen by "flag" (channels truncated).
    run("<setlight><alpha>10.9</alpha><red>20</red><green>30</green><blue>40</blue><flag>1</flag></setlight>");
    EXPECT_EQ(d3d->ambient(1), (std::array<float, 4>{10, 20, 30, 40}));
    run("<changelight type=\"ambient\"><alpha>0</alpha><red>40</red><green>30</green><blue>0</blue><term>2</term>"
        "<flag>1</flag></changelight>");
    d3d->updateLighting();
    EXPECT_EQ(d3d->ambient(1), (std::array<float, 4>{5, 30, 30, 20}));
    d3d->updateLighting();
    EXPECT_EQ(d3d->ambient(1), (std::array<float, 4>{0, 40, 30, 0}));
}

TEST_F(SceneCommands, FogFromTheDepthBoundsInAnOpaqueColour) {
    run("<setfog><worldminz>10</worldminz><worldmaxz>90</worldmaxz><alpha>7</alpha><red>256</red><green>-1</green>"
        "<blue>16</blue></setfog>");
    const FogInfo& fog = d3d->currentFog();
    EXPECT_EQ(fog.start, 10.0f);
    EXPECT_EQ(fog.end, 90.0f);
    // Each channel masked to 8 bits, alpha always 255.
    EXPECT_EQ(fog.colour, 0xFF00FF10u);

    run("<changefog><worldminz>20</worldminz><worldmaxz>110</worldmaxz><red>0</red><green>255</green>"
        "<blue>16</blue><term>2</term></changefog>");
    EXPECT_TRUE(d3d->fogChanging());
    d3d->stepFog();
    EXPECT_EQ(d3d->currentFog().start, 15.0f);
    EXPECT_EQ(d3d->currentFog().end, 100.0f);
    d3d->stepFog();
    EXPECT_EQ(d3d->currentFog().start, 20.0f);
    EXPECT_EQ(d3d->currentFog().colour, 0xFF00FF10u);
    EXPECT_FALSE(d3d->fogChanging());
}

TEST_F(SceneCommands, BackgroundColourChannelsAreClamped) {
    setGlobal("nan", std::numeric_limits<float>::quiet_NaN());
    struct Row {
        const char* channels;
        std::uint32_t rgb;
    } rows[] = {
        {"<red>16</red><green>32</green><blue>48</blue>", 0x102030},
        {"<alpha>0</alpha><red>300</red><green>-4</green><blue>255.9</blue>", 0xFF00FF},
        // Values outside the integer range truncate like NaN, to 0.
        {"<red>$__nan</red><green>1e20</green><blue>255</blue>", 0x0000FF},
        {"", 0x000000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.channels);
        d3d->setClearEnabled(0);
        run(std::string("<setbgcolor>") + row.channels + "</setbgcolor>");
        EXPECT_EQ(d3d->getClearColor(), row.rgb);
        EXPECT_EQ(d3d->isClearEnabled(), 1u);
    }
}

class SceneCommandsTargetColour : public SceneCommands {
protected:
    SceneCommandsTargetColour() {
        SpriteAllocator::instance().fill();
        sprites = std::make_unique<SpriteManagerManager>();
        g_spriteManagerManager = sprites.get();
        // The back buffer (no display sprite) and the effect target.
        EXPECT_EQ(d3d->createRenderTarget(0, 0, 0, RenderTarget::kModeBackBuffer), S_OK);
        EXPECT_EQ(d3d->createRenderTarget(1, 512, 512, RenderTarget::kModeEffect), S_OK);
    }
    ~SceneCommandsTargetColour() override {
        // The targets give their sprites back before the pool goes.
        d3d.reset();
        g_d3dObject = nullptr;
        sprites.reset();
        g_spriteManagerManager = nullptr;
        SpriteAllocator::instance().freeBlocks();
    }
    std::unique_ptr<SpriteManagerManager> sprites;
};

TEST_F(SceneCommandsTargetColour, ChannelsClampedAndTheBlendGroupFromTheType) {
    setGlobal("nan", std::numeric_limits<float>::quiet_NaN());
    RenderTarget* target = d3d->getRenderTarget(1);
    ASSERT_NE(target->getSprite(), nullptr);
    struct Row {
        const char* type;
        const char* values;
        std::uint32_t argb;
        std::uint8_t blend;
    } rows[] = {
        {"add", "<alpha>128</alpha><red>64</red><green>32</green><blue>16</blue>", 0x80402010, 2},
        {"maskadd", "<alpha>300</alpha><red>-5</red><green>255.9</green><blue>1e20</blue>", 0xFF00FF00, 5},
        {"noalpha", "<alpha>$__nan</alpha><red>1</red><green>2</green><blue>3</blue>", 0x00010203, 6},
        // "add2" is a group of its own for images, not for targets.
        {"add2", "<alpha>255</alpha><red>255</red><green>255</green><blue>255</blue>", 0xFFFFFFFF, 3},
        {"normal", "<alpha>9</alpha>", 0x09000000, 3},
        {nullptr, "<alpha>10</alpha><red>20</red><green>30</green><blue>40</blue>", 0x0A141E28, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.values);
        Sprite* sprite = target->getSprite();
        sprite->setBlend(0);
        target->setColorMode(0);
        const std::string type = row.type ? std::string(" type=\"") + row.type + "\"" : "";
        run("<setrendertargetcolor" + type + "><num>1</num>" + row.values + "</setrendertargetcolor>");
        EXPECT_EQ(sprite->getPackedColor(), row.argb);
        EXPECT_EQ(sprite->getBlend(), row.blend);
        EXPECT_EQ(target->getDisplayBlendMode(), row.blend);
    }
    // The target keeps the colour and group: the sprite it makes again after
    // a device reset shows them.
    ASSERT_EQ(d3d->releaseRenderTargets(), S_OK);
    ASSERT_EQ(d3d->restoreRenderTargets(), S_OK);
    ASSERT_NE(target->getSprite(), nullptr);
    EXPECT_EQ(target->getSprite()->getPackedColor(), 0x0A141E28u);
    EXPECT_EQ(target->getSprite()->getBlend(), 3);

    // No such target, or a target without a display sprite: nothing changes.
    for (const char* num : {"0", "7", "-1"}) {
        SCOPED_TRACE(num);
        run(std::string("<setrendertargetcolor type=\"add\"><num>") + num +
            "</num><alpha>1</alpha></setrendertargetcolor>");
        EXPECT_EQ(target->getSprite()->getPackedColor(), 0x0A141E28u);
        EXPECT_EQ(target->getDisplayBlendMode(), 3u);
        EXPECT_EQ(d3d->getRenderTarget(0)->getDisplayBlendMode(), 2u);
        EXPECT_EQ(trace_.back(), "1 wait 2");
    }
    EXPECT_EQ(d3d->findRenderTarget(7), nullptr);
}

TEST_F(SceneCommands, WithoutTheDeviceObjectNothingHappens) {
    std::unique_ptr<D3DObject> kept = std::move(d3d);
    g_d3dObject = nullptr;
    run("<seteye>" + world(1, 2, 3) + "</seteye><changeeyespeed>" + world(1, 1, 1) +
        "<term>3</term></changeeyespeed><plainshadowpoint/><setlight type=\"directional\"/><changelight/>"
        "<setfog/><changefog/><setbgcolor><red>9</red></setbgcolor><setrendertargetcolor><num>1</num>"
        "</setrendertargetcolor>");
    EXPECT_EQ(trace_.back(), "1 wait 2");
    // The top action, nine commands that went on, the wait.
    EXPECT_EQ(trace_.size(), 11u);
    d3d = std::move(kept);
    g_d3dObject = d3d.get();
}

}  // namespace

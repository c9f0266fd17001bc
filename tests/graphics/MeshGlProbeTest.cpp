// Meshes and particles on the OpenGL backend (headless through Mesa): the
// device, render targets and scene states as start-up makes them, the mesh
// and particle managers over a texture and mesh archive, frames drawn by
// renderFrame with the 3-D background on, pixels read back. The camera sits
// 10 units before the origin looking along +z with y up, so a point (x, y, 0)
// lands at 320 + x * s, 240 - y * s with s = 240 / (10 tan(pi / 8)).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "graphics/D3DObject.h"
#include "graphics/FrameCapture.h"
#include "graphics/GlTestDevice.h"
#include "graphics/ImageFiles.h"
#include "graphics/Mesh.h"
#include "graphics/MeshManager.h"
#include "graphics/ParticleManager.h"
#include "graphics/RenderFrame.h"
#include "graphics/RenderTarget.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "input/DInputObject.h"
#include "platform/Window.h"
#include "platform/gfx/GlAdapter.h"
#include "records/GameInfo.h"
#include "services/ArchiveManager.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"
#include "shell/InitGame.h"
#include "support/TestSupport.h"
#include "support/XFileWriter.h"

namespace {
constexpr std::uint32_t kBackground = 0x000060;
const double kScale = 240.0 / (10.0 * std::tan(M_PI / 8));

int sx(double x) { return int(std::lround(320.0 + x * kScale)); }
int sy(double y) { return int(std::lround(240.0 - y * kScale)); }

// A 2 x 2 square in the x/y plane around the origin facing the camera, u
// left to right; one white material, textured when a name is given.
std::vector<std::uint8_t> square(const std::string& texture) {
    XTokens x;
    x.object("Mesh", "", [&](XTokens& m) {
        m.ints({4}).floats({-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0}).ints({1, 4, 3, 2, 1, 0});
        m.object("MeshTextureCoords", "", [](XTokens& t) { t.ints({4}).floats({0, 1, 1, 1, 1, 0, 0, 0}); });
        m.object("MeshMaterialList", "", [&](XTokens& l) {
            l.ints({1, 1, 0});
            l.object("Material", "", [&](XTokens& mat) {
                mat.floats({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0});
                if (!texture.empty())
                    mat.object("TextureFilename", "", [&](XTokens& t) { t.string(texture); });
            });
        });
    });
    return writeXText(x);
}

std::string hex(std::uint32_t rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", rgb & 0xFFFFFF);
    return text;
}

// The largest difference of the red, green and blue channels.
int rgbDistance(std::uint32_t a, std::uint32_t b) { return channelDistance(a | 0xFF000000u, b | 0xFF000000u); }

class MeshGlProbe : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.create("mesh probe", 0, 0, 640, 480, nullptr));
        Window::setInstance(&window);
        g_dinputObject = &input;
        g_systemInfo = new SystemInfo();
        g_systemInfo->setDrawBg(1);
        g_systemInfo->setSystemType(2);
        g_systemInfo->setEffectTargetEnabled(1);
        g_gameInfo = new GameInfo();
        g_gameInfo->setVar(internName("effectmesh"), 1.0f);
        object = std::make_unique<D3DObject>();
        g_d3dObject = object.get();
        ASSERT_EQ(object->initDirect3D(), S_OK) << openGlAdapterError();
        ASSERT_EQ(object->initDevice(640, 480, 60, 1, 0, 0, 1), S_OK);
        object->setVirtualScreenSize(640, 480);
        SpriteAllocator::instance().fill();
        g_spriteManagerManager = new SpriteManagerManager();
        ASSERT_EQ(setupRenderStates(), S_OK);
        ASSERT_EQ(createRenderTargets(), S_OK);
        // The effect picture shown ("effectmeshenable") over the whole
        // screen ("fulldrawon").
        RenderTarget* effect = object->getRenderTarget(1);
        ASSERT_NE(effect, nullptr);
        ASSERT_EQ(object->setRenderTargetActive(1, 1), S_OK);
        effect->setFullView(1);
        object->setEye(0, 0, -10);
        object->setLookAt(0, 0, 0);
        object->setUpVec(0, 1, 0);
        object->setClearColor(0, 0, 0x60);

        log.root().writeFile("mesh/plain.x", square(""));
        log.root().writeFile("mesh/red.x", square("red.bmp"));
        for (const auto& [name, argb] : std::initializer_list<std::pair<const char*, std::uint32_t>>{
                 {"white.bmp", 0xFFFFFFFF}, {"red.bmp", 0xFFE02020}, {"green.bmp", 0xFF20E020},
                 {"spark.bmp", 0xFF644000}})
            log.root().writeFile(std::string("texture/") + name, files::bmp(8, 8, Pixels(64, argb), 24));
        g_archiveManager = new ArchiveManager();
        ASSERT_EQ(g_archiveManager->buildTextureArchive("texture"), S_OK);
        ASSERT_EQ(g_archiveManager->buildArchive("mesh"), S_OK);
        g_archiveManager->loadIndex("texture");
        g_archiveManager->loadIndex("mesh");
        g_textureManager = new TextureManager();
        g_meshManager = new MeshManager();
        g_particleManager = new ParticleManager();
        g_particleManager->init();
    }
    void TearDown() override {
        delete g_particleManager;
        g_particleManager = nullptr;
        delete g_meshManager;
        g_meshManager = nullptr;
        delete g_spriteManagerManager;
        g_spriteManagerManager = nullptr;
        delete g_textureManager;
        g_textureManager = nullptr;
        SpriteAllocator::instance().freeBlocks();
        delete g_archiveManager;
        g_archiveManager = nullptr;
        object.reset();
        g_d3dObject = nullptr;
        delete g_gameInfo;
        g_gameInfo = nullptr;
        delete g_systemInfo;
        g_systemInfo = nullptr;
        g_dinputObject = nullptr;
        Window::setInstance(nullptr);
    }
    // A mesh of the archive moved to (x, y, z), as "mesh" places it.
    std::shared_ptr<Mesh> place(const char* file, float x, float y, float z, const char* label = "") {
        std::shared_ptr<Mesh> mesh = g_meshManager->loadMesh(file);
        mesh->setPosition(x, y, z);
        mesh->offsetVertices(x, y, z);
        mesh->setMaxBound(100, 100, 100);
        mesh->setMinBound(-100, -100, -100);
        mesh->setFileName(internName(label));
        return mesh;
    }
    FramePicture frame() {
        renderFrame();
        FramePicture picture;
        EXPECT_EQ(captureFrame(g_d3dDevice, picture), S_OK);
        return picture;
    }

    LoggedTest log;
    SdlWindow window;
    DInputObject input;
    std::unique_ptr<D3DObject> object;
};
}  // namespace

// An untextured white square under a directional light and no ambient: its
// pixels carry the light's colour times the cosine between the light and the
// face's normal, at the square's projected place; the background around it.
TEST_F(MeshGlProbe, ALitSquareAtItsProjectedPlace) {
    object->setAmbient(0, 0, 0, 0, 0);
    place("plain.x", -1.5f, 1.5f, 0);
    struct Row {
        const char* name;
        float x, y, z;   // the light's direction
        double cosine;  // against the face's normal (0, 0, -1)
    } rows[] = {
        {"straight on", 0, 0, 1, 1.0},
        {"at 60 degrees", std::sqrt(3.0f) / 2, 0, 0.5f, 0.5},
        {"from behind", 0, 0, -1, 0.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        object->setLight(0, 255, 255, 128, 64, row.x, row.y, row.z);
        const FramePicture p = frame();
        const std::uint32_t pixel = p.at(sx(-1.5), sy(1.5));
        EXPECT_NEAR(int((pixel >> 16) & 0xFF), 255 * row.cosine, 2) << hex(pixel);
        EXPECT_NEAR(int((pixel >> 8) & 0xFF), 128 * row.cosine, 2) << hex(pixel);
        EXPECT_NEAR(int(pixel & 0xFF), 64 * row.cosine, 2) << hex(pixel);
        // Corners 3 pixels inside are lit alike; 3 pixels outside is the
        // background.
        for (const auto& [x, y] : {std::pair{-2.5, 0.5}, {-0.5, 0.5}, {-2.5, 2.5}, {-0.5, 2.5}}) {
            const int ix = sx(x) + (x < -1.5 ? 3 : -3), iy = sy(y) + (y < 1.5 ? -3 : 3);
            EXPECT_LE(rgbDistance(p.at(ix, iy), pixel), 2) << ix << "," << iy;
            const int ox = sx(x) + (x < -1.5 ? -3 : 3), oy = sy(y) + (y < 1.5 ? 3 : -3);
            EXPECT_EQ(hex(p.at(ox, oy)), hex(kBackground)) << ox << "," << oy;
        }
    }
}

// The square's material names red.bmp; "setmeshtexture" on its label swaps
// in green.bmp, on another label nothing; a second square with the same
// material stays red.
TEST_F(MeshGlProbe, TheTextureOfALabelledMeshIsSwapped) {
    place("red.x", -1.5f, 1.5f, 0, "left");
    place("red.x", 1.5f, 1.5f, 0, "right");
    const FramePicture before = frame();
    EXPECT_EQ(hex(before.at(sx(-1.5), sy(1.5))), hex(0xE02020));
    EXPECT_EQ(hex(before.at(sx(1.5), sy(1.5))), hex(0xE02020));
    g_meshManager->setMeshTexture(internName("left"), g_textureManager->loadTexture("green.bmp"), 0);
    g_meshManager->setMeshTexture(internName("nobody"), g_textureManager->loadTexture("white.bmp"), 0);
    const FramePicture after = frame();
    EXPECT_EQ(hex(after.at(sx(-1.5), sy(1.5))), hex(0x20E020));
    EXPECT_EQ(hex(after.at(sx(1.5), sy(1.5))), hex(0xE02020));
    EXPECT_EQ(hex(after.at(sx(0), sy(1.5))), hex(kBackground));
}

// A textured square and its shadow copy: the light comes down and forward,
// so the shadow falls flat on the plane y = -2 behind the square, from
// z = 2.5 to 4.5, black whatever the texture; the square keeps its texture.
TEST_F(MeshGlProbe, TheShadowCopyFallsBlackOnThePlane) {
    object->setLight(0, 255, 255, 255, 255, 0, -1, 1);
    object->setShadowPoint(0, -2, 0);
    place("red.x", -1.5f, 1.5f, 0);
    place("red.x", -1.5f, 1.5f, 0)->setParamC(1);
    const FramePicture p = frame();
    // The shadow's middle: (-1.5, -2, 3.5), 13.5 units from the eye.
    const auto at = [&](double x, double y, double z) {
        const double view = z + 10.0;
        return p.at(std::uint32_t(std::lround(320.0 + x * kScale * 10.0 / view)),
                    std::uint32_t(std::lround(240.0 - y * kScale * 10.0 / view)));
    };
    EXPECT_EQ(hex(at(-1.5, -2, 3.5)), hex(0));
    EXPECT_EQ(hex(at(-2.2, -2, 2.8)), hex(0));
    EXPECT_EQ(hex(at(-0.8, -2, 4.2)), hex(0));
    // Beside it and in front of it, the background.
    EXPECT_EQ(hex(at(-3.0, -2, 3.5)), hex(kBackground));
    EXPECT_EQ(hex(at(0.0, -2, 3.5)), hex(kBackground));
    EXPECT_EQ(hex(at(-1.5, -2, 2.0)), hex(kBackground));
    // The square itself: red, lit by cos 45 degrees plus the white ambient,
    // so the texture's own colour.
    EXPECT_EQ(hex(p.at(sx(-1.5), sy(1.5))), hex(0xE02020));
}

// Particles are drawn into the effect picture, which is added over the
// frame: two overlapping 1 x 1 particles of (100, 64, 0) add up where they
// overlap, over the background and over a red square drawn in the ordinary
// pass.
TEST_F(MeshGlProbe, ParticlesAreAddedOverThePlayField) {
    place("red.x", 1.5f, -1.0f, 0);
    ParticleManager& particles = *g_particleManager;
    particles.setTexture(g_textureManager->loadTexture("spark.bmp"), 1, 1);
    particles.setWorldMax(100, 100, 100);
    particles.setWorldMin(-100, -100, -100);
    particles.setVelocity(0, 0, 0);
    particles.setFlag(2);
    particles.emit(-2.0f, -0.5f, 0);
    particles.emit(-1.5f, -0.5f, 0);
    particles.emit(1.0f, -0.5f, 0);
    const FramePicture p = frame();
    // The effect picture keeps the background where a particle was drawn
    // (cleared to it, alpha 0), so that adds once more there.
    const auto plus = [](std::uint32_t a, std::uint32_t b) {
        std::uint32_t sum = 0;
        for (int shift : {0, 8, 16}) sum |= std::min(0xFFu, ((a >> shift) & 0xFF) + ((b >> shift) & 0xFF)) << shift;
        return sum;
    };
    const std::uint32_t spark = 0x644000, twice = plus(spark, spark), bg = kBackground;
    struct Probe {
        double x, y;
        std::uint32_t expected;
    } probes[] = {
        {-1.75, -1.0, plus(plus(spark, bg), bg)},      // the first particle alone
        {-1.25, -1.0, plus(plus(twice, bg), bg)},      // both
        {-0.75, -1.0, plus(plus(spark, bg), bg)},      // the second alone
        {-2.25, -1.0, bg},                             // left of them
        {-1.25, -0.25, bg},                            // above them
        {1.5, -1.0, plus(plus(spark, bg), 0xE02020)},  // over the square
        {2.25, -1.0, 0xE02020},                        // the square beside the third
    };
    for (const Probe& probe : probes)
        EXPECT_LE(rgbDistance(p.at(sx(probe.x), sy(probe.y)), probe.expected), 2)
            << probe.x << "," << probe.y << " " << hex(p.at(sx(probe.x), sy(probe.y))) << " "
            << hex(probe.expected);
}

// An effect mesh is drawn into the effect picture (opaque there, alpha 1)
// and so added over the frame, at the same projected place as an ordinary
// mesh: the picture's 512 texels are stretched over the 640-pixel screen.
TEST_F(MeshGlProbe, AnEffectMeshIsAddedAtItsProjectedPlace) {
    place("red.x", 1.5f, 1.5f, 0)->setFlag(1);
    place("red.x", -1.5f, 1.5f, 0);
    const FramePicture p = frame();
    EXPECT_EQ(hex(p.at(sx(-1.5), sy(1.5))), hex(0xE02020));
    EXPECT_LE(rgbDistance(p.at(sx(1.5), sy(1.5)), 0xE02080), 2) << hex(p.at(sx(1.5), sy(1.5)));
    for (const auto& [x, y] : {std::pair{0.5, 0.5}, {2.5, 0.5}, {0.5, 2.5}, {2.5, 2.5}}) {
        const int ix = sx(x) + (x < 1.5 ? 3 : -3), iy = sy(y) + (y < 1.5 ? -3 : 3);
        EXPECT_LE(rgbDistance(p.at(ix, iy), 0xE02080), 2) << ix << "," << iy << " " << hex(p.at(ix, iy));
        const int ox = sx(x) + (x < 1.5 ? -3 : 3), oy = sy(y) + (y < 1.5 ? 3 : -3);
        EXPECT_EQ(hex(p.at(ox, oy)), hex(kBackground)) << ox << "," << oy;
    }
}

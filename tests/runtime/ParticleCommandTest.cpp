// The particle commands through the interpreter with the particle manager:
// "setupparticle" sets the texture, size, box, velocity and orientation;
// "createparticle" emits only while the 3-D background is drawn.
#include <memory>

#include "DeviceRuntimeBench.h"
#include "graphics/ParticleManager.h"
#include "graphics/Texture.h"
#include "graphics/TextureManager.h"
#include "platform/gfx/PngWriter.h"
#include "services/ArchiveManager.h"
#include "services/SystemInfo.h"

namespace {

class ParticleCommands : public DeviceRuntimeBench {
protected:
    ParticleCommands() {
        std::vector<std::uint8_t> png;
        const std::vector<std::uint32_t> pixels(16, 0xFFFFFFFF);
        EXPECT_TRUE(encodePngRgba(4, 4, pixels.data(), png));
        root().writeFile("texture/spark.dds", png);
        g_archiveManager = new ArchiveManager();
        EXPECT_EQ(g_archiveManager->buildTextureArchive("texture"), S_OK);
        g_archiveManager->loadIndex("texture");
        textures = std::make_unique<TextureManager>();
        g_textureManager = textures.get();
        particles = std::make_unique<ParticleManager>();
        EXPECT_EQ(particles->init(), S_OK);
        g_particleManager = particles.get();
        g_systemInfo = new SystemInfo();
        g_systemInfo->setDrawBg(1);
    }
    ~ParticleCommands() override {
        delete g_systemInfo;
        g_systemInfo = nullptr;
        particles.reset();
        g_particleManager = nullptr;
        textures.reset();
        g_textureManager = nullptr;
        delete g_archiveManager;
        g_archiveManager = nullptr;
    }
    std::vector<ParticleQuad> live() const {
        std::vector<ParticleQuad> out;
        particles->forEachLive([&](const ParticleQuad& q) { out.push_back(q); });
        return out;
    }

    static constexpr const char* kSetup =
        "<setupparticle><file>spark</file><worldvx>0</worldvx><worldvy>0</worldvy><worldvz>-2</worldvz>"
        "<worldmaxx>10</worldmaxx><worldmaxy>10</worldmaxy><worldmaxz>10</worldmaxz>"
        "<worldminx>-10</worldminx><worldminy>-10</worldminy><worldminz>-10</worldminz>"
        "<width>3</width><height>4</height><flag>2.7</flag></setupparticle>";
    static constexpr const char* kCreate =
        "<createparticle><worldx>1</worldx><worldy>2</worldy><worldz>9</worldz></createparticle>";

    std::unique_ptr<TextureManager> textures;
    std::unique_ptr<ParticleManager> particles;
};

TEST_F(ParticleCommands, SetupThenCreatePlacesAQuadThatMovesAndLeaves) {
    run(std::string(kSetup) + kCreate);
    ASSERT_EQ(live().size(), 1u);
    const ParticleQuad q = live()[0];
    // Orientation 2 (the flag truncated): the x/y plane, 3 wide and 4 high.
    EXPECT_EQ(q.v[0].x, 1.0f);
    EXPECT_EQ(q.v[0].z, 9.0f);
    EXPECT_EQ(q.v[3].x, 4.0f);
    EXPECT_EQ(q.v[3].y, -2.0f);
    EXPECT_EQ(q.v[3].z, 9.0f);
    EXPECT_NE(textures->findCachedByHandle(internName("spark.dds")), nullptr);
    // Moving by -2 in z towards the minimum -10: out after ten updates.
    for (int i = 0; i < 9; ++i) particles->update();
    EXPECT_EQ(particles->liveCount(), 1u);
    EXPECT_EQ(live()[0].v[0].z, -9.0f);
    particles->update();
    EXPECT_EQ(particles->liveCount(), 0u);
}

TEST_F(ParticleCommands, SetupReadsItsValuesInTheirOrder) {
    // Each value draws the next random number (a replay repeats the setup
    // only in this order): velocity, box maximum, box minimum, width,
    // height, flag. The flag is 2 + a draw (the x/y plane).
    const char* names[] = {"worldvx",   "worldvy",   "worldvz",   "worldmaxx", "worldmaxy", "worldmaxz",
                           "worldminx", "worldminy", "worldminz", "width",     "height",    "flag"};
    std::string body = "<setupparticle><file>spark</file>";
    for (int i = 0; i < 12; ++i) {
        const std::string value = i >= 3 && i < 6 ? "$_rand+50" : i >= 6 && i < 9 ? "-50-$_rand" : i == 11 ? "2+$_rand" : "$_rand";
        body += std::string("<") + names[i] + ">" + value + "</" + names[i] + ">";
    }
    body += "</setupparticle><createparticle/>";
    run(body, 1, [](BulletObject&) { ExBulletML_Runtime::reseed(); });
    const std::uint32_t after = ExBulletML_Runtime::randomState();
    ExBulletML_Runtime::reseed();
    float r[12];
    for (float& value : r) value = float(ExBulletML_Runtime::nextRandom() / 32768.0);
    EXPECT_EQ(after, ExBulletML_Runtime::randomState());
    ASSERT_EQ(live().size(), 1u);
    ParticleQuad q = live()[0];
    // Width and height on the x/y plane.
    EXPECT_NEAR(q.v[3].x, r[9], 1e-6f);
    EXPECT_NEAR(q.v[3].y, -r[10], 1e-6f);
    EXPECT_EQ(q.v[3].z, 0.0f);
    // The velocity, one update later.
    particles->update();
    ASSERT_EQ(live().size(), 1u);
    q = live()[0];
    EXPECT_NEAR(q.v[0].x, r[0], 1e-6f);
    EXPECT_NEAR(q.v[0].y, r[1], 1e-6f);
    EXPECT_NEAR(q.v[0].z, r[2], 1e-6f);
}

TEST_F(ParticleCommands, CreateNeedsTheBackgroundAndAFreeRecord) {
    g_systemInfo->setDrawBg(0);
    run(std::string(kSetup) + kCreate);
    EXPECT_EQ(particles->liveCount(), 0u);
    g_systemInfo->setDrawBg(1);
    std::string many(kSetup);
    many += "<repeat><times>1001</times><action>" + std::string(kCreate) + "</action></repeat>";
    run(many);
    EXPECT_EQ(particles->liveCount(), 1000u);
    // Without the manager the commands do nothing.
    g_particleManager = nullptr;
    run(std::string(kSetup) + kCreate);
    EXPECT_EQ(particles->liveCount(), 1000u);
}

}  // namespace

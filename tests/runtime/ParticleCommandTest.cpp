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

// The mesh commands through the interpreter with the mesh manager: placing
// by the 19 values and the flag bits (effect, alpha test, shadow copy),
// absent bounds, preloading, textures by label, the manager-wide velocity
// and acceleration, and the three step families.
#include <memory>

#include "DeviceRuntimeBench.h"
#include "graphics/Mesh.h"
#include "graphics/MeshManager.h"
#include "graphics/Texture.h"
#include "graphics/TextureManager.h"
#include "platform/gfx/PngWriter.h"
#include "services/ArchiveManager.h"
#include "support/XFileWriter.h"

namespace {

class MeshCommands : public DeviceRuntimeBench {
protected:
    MeshCommands() {
        // A triangle with one textured material.
        XTokens x;
        x.object("Mesh", "", [](XTokens& m) {
            m.ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).ints({1, 3, 0, 1, 2});
            m.object("MeshMaterialList", "", [](XTokens& l) {
                l.ints({1, 1, 0});
                l.object("Material", "", [](XTokens& mat) {
                    mat.floats({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0});
                    mat.object("TextureFilename", "", [](XTokens& t) { t.string("t.dds"); });
                });
            });
        });
        root().writeFile("mesh/tri.x", writeXText(x));
        std::vector<std::uint8_t> png;
        const std::vector<std::uint32_t> pixels(16, 0xFF808080);
        EXPECT_TRUE(encodePngRgba(4, 4, pixels.data(), png));
        root().writeFile("texture/t.dds", png);
        root().writeFile("texture/u.dds", png);
        g_archiveManager = new ArchiveManager();
        EXPECT_EQ(g_archiveManager->buildArchive("mesh"), S_OK);
        EXPECT_EQ(g_archiveManager->buildTextureArchive("texture"), S_OK);
        g_archiveManager->loadIndex("mesh");
        g_archiveManager->loadIndex("texture");
        textures = std::make_unique<TextureManager>();
        g_textureManager = textures.get();
        meshes = std::make_unique<MeshManager>();
        g_meshManager = meshes.get();
    }
    ~MeshCommands() override {
        meshes.reset();
        g_meshManager = nullptr;
        textures.reset();
        g_textureManager = nullptr;
        delete g_archiveManager;
        g_archiveManager = nullptr;
    }

    // The meshes in id order.
    std::vector<std::shared_ptr<Mesh>> all() {
        std::vector<std::shared_ptr<Mesh>> out;
        for (std::uint32_t id = 1; id < 100; ++id)
            if (auto mesh = meshes->findById(id)) out.push_back(mesh);
        return out;
    }
    static std::string values(const std::string& flag) {
        return "<worldx>1</worldx><worldy>2</worldy><worldz>3</worldz><worldvx>0.5</worldvx>"
               "<worldmaxx>50</worldmaxx><worldmaxy>50</worldmaxy><worldmaxz>60</worldmaxz><worldminx>-50</worldminx>"
               "<worldminy>-50</worldminy><worldminz>-60</worldminz><flag>" +
               flag + "</flag>";
    }

    std::unique_ptr<TextureManager> textures;
    std::unique_ptr<MeshManager> meshes;
};

TEST_F(MeshCommands, MeshPlacesOneOrTwoMeshesByTheFlag) {
    struct Row {
        const char* flag;
        std::size_t count;
        std::int32_t effect, alphaTest;
    } rows[] = {{"0", 1, 0, 0}, {"1", 1, 1, 0}, {"16.9", 1, 0, 1}, {"33", 2, 1, 0}, {"48", 2, 0, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flag);
        meshes->clearAll();
        run("<mesh label=\"sky\"><file>tri</file>" + values(row.flag) + "</mesh>");
        const std::vector<std::shared_ptr<Mesh>> made = all();
        ASSERT_EQ(made.size(), row.count);
        for (std::size_t i = 0; i < made.size(); ++i) {
            const Mesh& m = *made[i];
            const bool shadow = i == 1;
            EXPECT_EQ(m.getFlag(), shadow ? 0 : row.effect);
            EXPECT_EQ(m.getParamB(), row.alphaTest);
            EXPECT_EQ(m.getParamC(), shadow ? 1 : 0);
            EXPECT_EQ(m.getFileName(), shadow ? 0 : wide("sky"));
            // Placed, then moved once by the frame's mesh step.
            EXPECT_EQ(m.getPosition(), (Mesh::Vector{1.5f, 2, 3}));
            EXPECT_EQ(m.getVelocity(), (Mesh::Vector{0.5f, 0, 0}));
            EXPECT_EQ(made[i]->getState(), 0u);
            // The vertices stand at the position.
            EXPECT_EQ(m.getVertices()[1].x, m.getSourceVertices()[1].x + 1.5f);
            EXPECT_EQ(m.getVertices()[1].y, m.getSourceVertices()[1].y + 2.0f);
            EXPECT_EQ(m.getVertices()[1].z, m.getSourceVertices()[1].z + 3.0f);
            ASSERT_EQ(m.getTextures().size(), 1u);
            EXPECT_EQ(m.getTextures()[0], textures->findCachedByName("t.dds"));
        }
    }
}

TEST_F(MeshCommands, TheValuesAreEvaluatedInTheirOrder) {
    // Each value draws the next random number: a replay repeats the mesh
    // only when the 19 values are read in this order.
    const char* names[] = {"worldx",    "worldy",    "worldz",    "worldvx",   "worldvy",   "worldvz",  "worldmaxx",
                           "worldmaxy", "worldmaxz", "worldminx", "worldminy", "worldminz", "rotatex",  "rotatey",
                           "rotatez",   "rotatevx",  "rotatevy",  "rotatevz",  "flag"};
    std::string body = "<mesh><file>tri</file>";
    for (int i = 0; i < 19; ++i) {
        const std::string value = i >= 6 && i < 9 ? "$_rand+10" : i >= 9 && i < 12 ? "-10-$_rand" : "$_rand";
        body += std::string("<") + names[i] + ">" + value + "</" + names[i] + ">";
    }
    run(body + "</mesh>", 1, [](BulletObject&) { ExBulletML_Runtime::reseed(); });
    ASSERT_EQ(meshes->size(), 1u);
    const Mesh& mesh = *meshes->findById(1);
    const std::uint32_t after = ExBulletML_Runtime::randomState();
    ExBulletML_Runtime::reseed();
    float r[19];
    for (float& value : r) value = float(ExBulletML_Runtime::nextRandom() / 32768.0);
    // The flag took the 19th: no other number was drawn.
    EXPECT_EQ(after, ExBulletML_Runtime::randomState());
    for (int axis = 0; axis < 3; ++axis) {
        SCOPED_TRACE(axis);
        // One frame's step has moved and turned it since.
        EXPECT_NEAR(mesh.getVelocity()[axis], r[3 + axis], 1e-6f);
        EXPECT_NEAR(mesh.getPosition()[axis], r[axis] + r[3 + axis], 1e-6f);
        EXPECT_NEAR(mesh.getMaxBounds()[axis], 10 + r[6 + axis], 1e-5f);
        EXPECT_NEAR(mesh.getMinBounds()[axis], -10 - r[9 + axis], 1e-5f);
        EXPECT_NEAR(mesh.getRotationVelocity()[axis], r[15 + axis], 1e-6f);
        EXPECT_NEAR(mesh.getRotation()[axis], r[12 + axis] + r[15 + axis], 1e-6f);
    }
}

TEST_F(MeshCommands, RotationAndItsSpeed) {
    run("<mesh><file>tri</file><worldmaxx>9</worldmaxx><rotatex>10</rotatex><rotatey>20</rotatey>"
        "<rotatevz>2</rotatevz><rotatevx>1</rotatevx></mesh>");
    ASSERT_EQ(meshes->size(), 1u);
    // One step has turned it once.
    EXPECT_EQ(meshes->findById(1)->getRotation(), (Mesh::Vector{11, 20, 2}));
}

TEST_F(MeshCommands, AbsentBoundsAreZero) {
    run("<mesh><file>tri</file><worldy>-1</worldy><worldvy>1</worldvy><worldmaxx>9</worldmaxx>"
        "<worldmaxz>9</worldmaxz><worldminx>-9</worldminx><worldminz>-9</worldminz></mesh>");
    // The frame's step moved it to y 0: inside.
    ASSERT_EQ(meshes->size(), 1u);
    meshes->stepPlain();  // y 1 > 0: out, taken away
    EXPECT_EQ(meshes->size(), 0u);
}

TEST_F(MeshCommands, StepsMoveTheirOwnFamilyAndVelocityReachesEveryMesh) {
    run("<mesh><file>tri</file><worldmaxx>99</worldmaxx><flag>0</flag></mesh>"
        "<mesh><file>tri</file><worldmaxx>99</worldmaxx><flag>33</flag></mesh>"
        "<setmeshvelocity><worldvx>1</worldvx></setmeshvelocity>"
        "<setmeshaccel><worldvx>0.5</worldvx></setmeshaccel>");
    const std::vector<std::shared_ptr<Mesh>> made = all();
    ASSERT_EQ(made.size(), 3u);  // plain, effect, shadow
    // The frame's steps moved every family once.
    for (const auto& m : made) {
        EXPECT_EQ(m->getVelocity()[0], 1.5f);
        EXPECT_EQ(m->getAcceleration()[0], 0.5f);
        EXPECT_EQ(m->getPosition()[0], 1.5f);
    }
    meshes->stepPlain();
    EXPECT_EQ(made[0]->getPosition()[0], 3.5f);
    EXPECT_EQ(made[1]->getPosition()[0], 1.5f);
    EXPECT_EQ(made[2]->getPosition()[0], 1.5f);
    meshes->stepShadow();
    EXPECT_EQ(made[1]->getPosition()[0], 1.5f);
    EXPECT_EQ(made[2]->getPosition()[0], 3.5f);
    meshes->stepEffect();
    EXPECT_EQ(made[1]->getPosition()[0], 3.5f);
    EXPECT_EQ(made[0]->getPosition()[0], 3.5f);
}

TEST_F(MeshCommands, TheObjectStepMovesMeshesExceptPausedOrInCutInMode1) {
    run("<mesh><file>tri</file><worldvx>1</worldvx><worldmaxx>99</worldmaxx></mesh>");
    std::shared_ptr<Mesh> mesh = meshes->findById(1);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->getPosition()[0], 1.0f);
    g_gameInfo->setCutinMode(1);
    frames(2);
    EXPECT_EQ(mesh->getPosition()[0], 1.0f);
    g_gameInfo->setCutinMode(0);
    frames(2);
    EXPECT_EQ(mesh->getPosition()[0], 3.0f);
    // Nor while the game is paused.
    g_gameInfo->requestPauseToggle();
    g_gameInfo->applyPauseToggle();
    ASSERT_NE(g_gameInfo->isPaused(), 0);
    frames(2);
    EXPECT_EQ(mesh->getPosition()[0], 3.0f);
    g_gameInfo->requestPauseToggle();
    g_gameInfo->applyPauseToggle();
    frames(1);
    EXPECT_EQ(mesh->getPosition()[0], 4.0f);
}

TEST_F(MeshCommands, PreloadedMeshesAreInactiveCopiesShareNoVertices) {
    run("<preloadmesh label=\"p\"><file>tri</file></preloadmesh><mesh><file>tri</file><worldx>4</worldx></mesh>");
    const std::vector<std::shared_ptr<Mesh>> made = all();
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[0]->isActive(), 0);
    EXPECT_EQ(made[0]->getFileName(), wide("p"));
    EXPECT_EQ(made[1]->isActive(), 1);
    // The second is a copy of the first model, moved on its own.
    EXPECT_EQ(made[1]->getSourceVertices()[1].x, made[0]->getSourceVertices()[1].x);
    EXPECT_EQ(made[1]->getVertices()[1].x, made[0]->getVertices()[1].x + 4.0f);
}

TEST_F(MeshCommands, MeshTexturesByLabelOnlyWhenLoaded) {
    run("<mesh label=\"a\"><file>tri</file></mesh><mesh label=\"b\"><file>tri</file></mesh>"
        "<setmeshtexture label=\"a\"><file>u</file><num>0</num></setmeshtexture>");
    std::vector<std::shared_ptr<Mesh>> made = all();
    ASSERT_EQ(made.size(), 2u);
    const auto original = textures->findCachedByName("t.dds");
    // "u.dds" is not loaded: nothing changes.
    EXPECT_EQ(made[0]->getTextures()[0], original);

    textures->loadTexture("u.dds");
    const auto replacement = textures->findCachedByName("u.dds");
    ASSERT_NE(replacement, nullptr);
    struct Row {
        const char* num;
        bool changes;
    } rows[] = {{"1", false}, {"-1", false}, {"0.9", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.num);
        meshes->clearAll();
        run(std::string("<mesh label=\"a\"><file>tri</file></mesh><mesh label=\"b\"><file>tri</file></mesh>"
                        "<setmeshtexture label=\"a\"><file>u</file><num>") +
            row.num + "</num></setmeshtexture>");
        made = all();
        ASSERT_EQ(made.size(), 2u);
        EXPECT_EQ(made[0]->getTextures()[0], row.changes ? replacement : original);
        EXPECT_EQ(made[1]->getTextures()[0], original);
    }
}

TEST_F(MeshCommands, WithoutTheMeshManagerNothingHappens) {
    std::unique_ptr<MeshManager> kept = std::move(meshes);
    g_meshManager = nullptr;
    run("<mesh><file>tri</file></mesh><preloadmesh><file>tri</file></preloadmesh><setmeshtexture><file>t</file>"
        "</setmeshtexture><setmeshvelocity/><setmeshaccel/>");
    EXPECT_EQ(trace_.back(), "1 wait 2");
    EXPECT_EQ(kept->size(), 0u);
    meshes = std::move(kept);
    g_meshManager = meshes.get();
}

}  // namespace

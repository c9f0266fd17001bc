// The mesh resource on the recording device: a load's subsets, materials and
// per-subset textures, a failed load left empty, second instances, and the
// per-frame motion: velocity stops, bounds, rotation from the loaded
// vertices.
#include <cmath>

#include "graphics/Mesh.h"
#include "graphics/TextureManager.h"
#include "graphics/TextureTestSupport.h"
#include "support/XFileWriter.h"

namespace {

// A unit square of two triangles (materials 2 and 0) and a third triangle
// (material 0); material 1 (textured) has no face.
std::vector<std::uint8_t> squareFile() {
    XTokens x;
    x.object("Mesh", "", [](XTokens& m) {
        m.ints({5}).floats({0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 2, 0, 0});
        m.ints({3}).ints({3, 0, 1, 2, 3, 0, 2, 3, 3, 3, 2, 4});
        m.object("MeshMaterialList", "", [](XTokens& l) {
            l.ints({3, 3, 2, 0, 0});
            const char* names[] = {"a.bmp", "b.bmp", "c.bmp"};
            for (int i = 0; i < 3; ++i)
                l.object("Material", "", [&](XTokens& mat) {
                    mat.floats({0.25 * i, 0.5, 0.75, 1, 8, 1, 1, 1, 0, 0, 0.5});
                    mat.object("TextureFilename", "", [&](XTokens& t) { t.string(names[i]); });
                });
        });
    });
    return writeXText(x);
}

class MeshTest : public TextureTest {
protected:
    MeshTest() {
        pack({{"a.bmp", files::bmp(4, 4, Pixels(16, 0xFFFF0000), 32)},
              {"b.bmp", files::bmp(4, 4, Pixels(16, 0xFF00FF00), 32)},
              {"c.bmp", files::bmp(4, 4, Pixels(16, 0xFF0000FF), 32)}});
        g_textureManager = &textures;
    }
    ~MeshTest() override { g_textureManager = nullptr; }

    static HRESULT load(Mesh& mesh, const std::vector<std::uint8_t>& file) {
        return mesh.loadFromMemory(file.data(), std::uint32_t(file.size()));
    }

    TextureManager textures;
};

TEST_F(MeshTest, SubsetsTakeTheTexturesOfTheirOwnMaterials) {
    Mesh mesh;
    ASSERT_EQ(load(mesh, squareFile()), S_OK);
    EXPECT_EQ(mesh.getSubsetCount(), 2u);
    EXPECT_EQ(mesh.getIndexCount(), 9u);
    ASSERT_EQ(mesh.getAttributeTable().size(), 2u);
    EXPECT_EQ(mesh.getAttributeTable()[0].AttribId, 0u);
    EXPECT_EQ(mesh.getAttributeTable()[1].AttribId, 2u);
    // Subset 1 is material 2's, not material 1's.
    ASSERT_EQ(mesh.getTextures().size(), 2u);
    EXPECT_EQ(mesh.getTextures()[0], textures.findCachedByName("a.bmp"));
    EXPECT_EQ(mesh.getTextures()[1], textures.findCachedByName("c.bmp"));
    EXPECT_NE(mesh.getTextures()[1], nullptr);
    EXPECT_EQ(textures.findCachedByName("b.bmp"), nullptr);
    // Materials as the file has them; no ambient, no specular kept.
    ASSERT_EQ(mesh.getMaterials().size(), 3u);
    EXPECT_EQ(mesh.getMaterials()[1].Diffuse.r, 0.25f);
    EXPECT_EQ(mesh.getMaterials()[1].Power, 8.0f);
    EXPECT_EQ(mesh.getMaterials()[1].Emissive.b, 0.5f);
    EXPECT_EQ(mesh.getMaterials()[1].Ambient.r, 0.0f);
    EXPECT_EQ(mesh.getMaterials()[1].Specular.r, 0.0f);
    // Loaded and current vertices alike, normals computed (the square faces
    // -z in the file's winding).
    EXPECT_EQ(mesh.getVertexCount(), mesh.getSourceVertices().size());
    for (const MeshVertex& v : mesh.getVertices()) EXPECT_FLOAT_EQ(v.nz, -1.0f);

    // A second instance: the same model, moving on its own; a negative
    // subset number changes no texture.
    Mesh copy;
    EXPECT_EQ(mesh.copyTo(copy), S_OK);
    EXPECT_EQ(copy.getSubsetCount(), 2u);
    EXPECT_EQ(copy.getTextures(), mesh.getTextures());
    copy.setTexture(nullptr, -1);
    copy.setTexture(nullptr, 2);
    EXPECT_EQ(copy.getTextures(), mesh.getTextures());
    copy.setTexture(nullptr, 1);
    EXPECT_EQ(copy.getTextures()[1], nullptr);
    copy.setVelocity(1, 0, 0);
    copy.stepBatched();
    EXPECT_EQ(copy.getVertices()[0].x, mesh.getVertices()[0].x + 1.0f);
    EXPECT_EQ(mesh.getVertices()[0].x, mesh.getSourceVertices()[0].x);
}

TEST_F(MeshTest, AFailedLoadLeavesAnEmptyMesh) {
    Mesh mesh;
    ASSERT_EQ(load(mesh, squareFile()), S_OK);
    std::vector<std::uint8_t> broken = squareFile();
    broken.resize(broken.size() / 2);
    EXPECT_EQ(load(mesh, broken), D3DXERR_INVALIDDATA);
    const std::vector<std::string> lines = linesFrom(".\\Src\\Mesh:63  FAILED");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "D3DXERR_INVALIDDATA");
    EXPECT_EQ(mesh.getVertexCount(), 0u);
    EXPECT_EQ(mesh.getIndexCount(), 0u);
    EXPECT_EQ(mesh.getSubsetCount(), 0u);
    EXPECT_TRUE(mesh.getAttributeTable().empty() && mesh.getTextures().empty());
    // Everything else still works on it.
    mesh.setTexture(nullptr, 0);
    mesh.offsetVertices(1, 2, 3);
    mesh.setRotationVelocity(0, 0, 5);
    EXPECT_EQ(mesh.stepBatched(), 0);
    Mesh copy;
    mesh.copyTo(copy);
    EXPECT_EQ(copy.getSubsetCount(), 0u);
    EXPECT_EQ(copy.getVertexCount(), 0u);

    // A load that fails after the file was read: 32,769 positions, every
    // triangle once in each of two materials; kept apart per material they
    // would need 65,538 vertices. The mesh holds nothing of the file, not
    // even its material count.
    std::vector<double> positions;
    std::vector<std::uint32_t> faces, materials{2, 0};
    const std::uint32_t count = 32769;
    for (std::uint32_t i = 0; i < count; ++i) positions.insert(positions.end(), {double(i), double(i % 7), 0.0});
    for (std::uint32_t i = 0; i < count; i += 3) faces.insert(faces.end(), {3, i, i + 1, i + 2});
    for (std::uint32_t i = 0; i < count; i += 3) faces.insert(faces.end(), {3, i, i + 1, i + 2});
    materials[1] = 2 * (count / 3);
    for (std::uint32_t f = 0; f < 2 * (count / 3); ++f) materials.push_back(f < count / 3 ? 0 : 1);
    XTokens twice;
    twice.object("Mesh", "", [&](XTokens& m) {
        m.ints({count}).floats(positions).ints({2 * (count / 3)}).ints(faces);
        m.object("MeshMaterialList", "", [&](XTokens& l) {
            l.ints(materials);
            for (int i = 0; i < 2; ++i)
                l.object("Material", "", [](XTokens& mat) { mat.floats({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}); });
        });
    });
    Mesh split;
    EXPECT_EQ(load(split, writeXBinary(twice)), D3DXERR_INVALIDDATA);
    const std::vector<std::string> optimised = linesFrom(".\\Src\\Mesh:73  FAILED");
    ASSERT_GE(optimised.size(), 2u);
    EXPECT_EQ(optimised[1], "D3DXERR_INVALIDDATA");
    EXPECT_EQ(split.getSubsetCount(), 0u);
    EXPECT_EQ(split.getVertexCount(), 0u);
    EXPECT_TRUE(split.getAttributeTable().empty() && split.getTextures().empty());

    Mesh none;
    const std::string text = "xof 0303txt 0032 Frame { }";
    EXPECT_EQ(none.loadFromMemory(text.data(), std::uint32_t(text.size())), D3DXERR_LOADEDMESHASNODATA);
}

TEST_F(MeshTest, VelocityStopsWhenTheAccelerationWouldTurnIt) {
    struct Row {
        float velocity, acceleration;
        std::vector<float> positions;  // x after each frame
    } rows[] = {
        {1.0f, -0.3f, {0.7f, 1.1f, 1.2f, 1.2f, 1.2f}},
        {1.0f, -0.5f, {0.5f, 0.5f, 0.0f, -1.0f}},
        {-1.0f, 0.25f, {-0.75f, -1.25f, -1.5f, -1.5f}},
        {0.0f, 0.5f, {0.5f, 1.5f}},
        {2.0f, 0.0f, {2.0f, 4.0f}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.velocity << " " << row.acceleration);
        Mesh mesh;
        mesh.setMaxBounds(100, 100, 100);
        mesh.setMinBounds(-100, -100, -100);
        mesh.setVelocity(row.velocity, 0, 0);
        mesh.setAcceleration(row.acceleration, 0, 0);
        for (float expected : row.positions) {
            mesh.stepBatched();
            EXPECT_NEAR(mesh.getPosition()[0], expected, 1e-5f);
        }
        EXPECT_EQ(mesh.getState(), 0u);
    }
}

TEST_F(MeshTest, LeavingTheBoundsSetsStateOne) {
    struct Row {
        float vy;
        float y;  // start
        int frames;
        std::uint32_t state;
    } rows[] = {
        {1.0f, 8.5f, 1, 0}, {1.0f, 8.5f, 2, 1}, {-1.0f, -9.5f, 1, 1},
        // At rest, or moving back in, never.
        {0.0f, 50.0f, 3, 0}, {-1.0f, 50.0f, 2, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.vy << " from " << row.y << " x" << row.frames);
        Mesh mesh;
        mesh.setPosition(0, row.y, 0);
        mesh.setVelocity(0, row.vy, 0);
        for (int i = 0; i < row.frames; ++i) mesh.stepBatched();
        EXPECT_EQ(mesh.getState(), row.state);
    }
}

TEST_F(MeshTest, RotatedVerticesComeFromTheLoadedOnes) {
    Mesh mesh;
    ASSERT_EQ(load(mesh, squareFile()), S_OK);
    // Without rotation the offset and the velocity move the vertices.
    mesh.setPosition(5, 0, 0);
    mesh.offsetVertices(5, 0, 0);
    mesh.setVelocity(0, 0, 1);
    mesh.stepBatched();
    const MeshVertex& corner = mesh.getVertices()[0];
    const MeshVertex& loaded = mesh.getSourceVertices()[0];
    EXPECT_EQ(corner.x, loaded.x + 5.0f);
    EXPECT_EQ(corner.z, loaded.z + 1.0f);

    // A quarter turn about z at the position (5, 0, 1), then the velocity.
    mesh.setRotationVelocity(0, 0, 90);
    mesh.stepBatched();
    for (std::size_t i = 0; i < mesh.getVertices().size(); ++i) {
        const MeshVertex& v = mesh.getVertices()[i];
        const MeshVertex& s = mesh.getSourceVertices()[i];
        EXPECT_NEAR(v.x, -s.y + 5.0f, 1e-5f);
        EXPECT_NEAR(v.y, s.x, 1e-5f);
        EXPECT_NEAR(v.z, s.z + 1.0f + 1.0f, 1e-5f);
        // Normals and texture coordinates stay.
        EXPECT_EQ(v.nz, s.nz);
        EXPECT_EQ(v.u, s.u);
    }

    // All three axes: a point turns about z, then y, then x, and then moves
    // to the position: (x, y, z) becomes (z, -y, x) + position.
    Mesh turned;
    ASSERT_EQ(load(turned, squareFile()), S_OK);
    turned.setPosition(1, 2, 3);
    turned.setRotation(90, 90, 90);
    turned.setMaxBounds(100, 100, 100);
    turned.stepBatched();
    for (std::size_t i = 0; i < turned.getVertices().size(); ++i) {
        const MeshVertex& v = turned.getVertices()[i];
        const MeshVertex& s = turned.getSourceVertices()[i];
        EXPECT_NEAR(v.x, s.z + 1.0f, 1e-5f);
        EXPECT_NEAR(v.y, -s.y + 2.0f, 1e-5f);
        EXPECT_NEAR(v.z, s.x + 3.0f, 1e-5f);
    }
}

}  // namespace

// The mesh passes on the recording device: subsets grouped by texture and
// drawn one call per group in key order, the families of the three passes,
// the alpha-test flag of the last mesh appended, empty passes, groups past
// the 65,535 limit left out, failed buffers, empty appends, the profiler
// sections of each pass.
#include <cstring>

#include "SkippingPeers.h"
#include "graphics/Mesh.h"
#include "graphics/MeshManager.h"
#include "graphics/RenderFrame.h"
#include "graphics/TextureManager.h"
#include "graphics/TextureTestSupport.h"
#include "platform/Clock.h"
#include "services/FrameCounter.h"
#include "services/SystemInfo.h"
#include "support/XFileWriter.h"

namespace {

// `triangles` separate triangles at x offsets, one material (textured when
// a name is given).
std::vector<std::uint8_t> triangles(std::uint32_t count, const std::string& texture) {
    std::vector<double> positions;
    std::vector<std::uint32_t> faces;
    for (std::uint32_t i = 0; i < count; ++i) {
        positions.insert(positions.end(), {double(i), 0, 0, double(i) + 1, 0, 0, double(i), 1, 0});
        faces.insert(faces.end(), {3, 3 * i, 3 * i + 1, 3 * i + 2});
    }
    XTokens x;
    x.object("Mesh", "", [&](XTokens& m) {
        m.ints({3 * count}).floats(positions).ints({count}).ints(faces);
        m.object("MeshMaterialList", "", [&](XTokens& l) {
            l.ints({1, 1, 0});
            l.object("Material", "", [&](XTokens& mat) {
                mat.floats({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0});
                if (!texture.empty())
                    mat.object("TextureFilename", "", [&](XTokens& t) { t.string(texture); });
            });
        });
    });
    return writeXBinary(x);
}

// One triangle drawn `count` times over the same three positions.
std::vector<std::uint8_t> sameTriangle(std::uint32_t count, const std::string& texture) {
    std::vector<std::uint32_t> faces;
    for (std::uint32_t i = 0; i < count; ++i) faces.insert(faces.end(), {3, 0, 1, 2});
    XTokens x;
    x.object("Mesh", "", [&](XTokens& m) {
        m.ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).ints({count}).ints(faces);
        m.object("MeshMaterialList", "", [&](XTokens& l) {
            l.ints({1, 1, 0});
            l.object("Material", "", [&](XTokens& mat) {
                mat.floats({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0});
                mat.object("TextureFilename", "", [&](XTokens& t) { t.string(texture); });
            });
        });
    });
    return writeXBinary(x);
}

class MeshPassTest : public TextureTest {
protected:
    MeshPassTest() {
        log.root().writeFile("mesh/a.x", triangles(1, "a.bmp"));
        log.root().writeFile("mesh/b.x", triangles(2, "b.bmp"));
        log.root().writeFile("mesh/plain.x", triangles(1, ""));
        log.root().writeFile("mesh/big.x", triangles(13334, "b.bmp"));
        log.root().writeFile("mesh/big2.x", triangles(13334, "a.bmp"));
        log.root().writeFile("mesh/many.x", sameTriangle(21846, "b.bmp"));
        pack({{"a.bmp", files::bmp(4, 4, Pixels(16, 0xFFFF0000), 32)},
              {"b.bmp", files::bmp(4, 4, Pixels(16, 0xFF00FF00), 32)}});
        EXPECT_EQ(g_archiveManager->buildArchive("mesh"), S_OK);
        g_archiveManager->loadIndex("mesh");
        g_textureManager = &textures;
    }
    ~MeshPassTest() override {
        meshes.reset();
        g_textureManager = nullptr;
    }
    MeshManager& manager() {
        if (!meshes) meshes = std::make_unique<MeshManager>();
        return *meshes;
    }
    // One pass inside a scene; its draw records.
    std::vector<GfxDrawRecord> pass(MeshManager::Pass which) {
        gfx.clearCalls();
        device().beginScene();
        switch (which) {
            case MeshManager::kOrdinary: manager().calcMeshGroup(); manager().drawMeshGroup(); break;
            case MeshManager::kEffect: manager().calcEffectMeshGroup(); manager().drawEffectMeshGroup(); break;
            case MeshManager::kShadow: manager().calcShadowMeshGroup(); manager().drawShadowMeshGroup(); break;
        }
        device().endScene();
        return gfx.draws();
    }
    int count(const std::string& call) const {
        int n = 0;
        for (const std::string& c : calls()) n += c.rfind(call, 0) == 0;
        return n;
    }
    static std::size_t vertexCount(const GfxDrawRecord& d) { return d.vertices.size() / sizeof(MeshVertex); }

    TextureManager textures;
    std::unique_ptr<MeshManager> meshes;
};

TEST_F(MeshPassTest, OneDrawPerTextureInKeyOrder) {
    manager().loadMesh("plain.x");
    auto a1 = manager().loadMesh("a.x");
    auto b = manager().loadMesh("b.x");
    auto a2 = manager().loadMesh("a.x");
    a2->offsetVertices(10, 0, 0);
    a2->setParamB(1);
    const std::vector<GfxDrawRecord> draws = pass(MeshManager::kOrdinary);
    // The empty name first, then the textures as their names were pooled.
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].texture, "null");
    EXPECT_EQ(vertexCount(draws[0]), 3u);
    EXPECT_EQ(vertexCount(draws[1]), 6u);  // both "a.x" meshes in one call
    EXPECT_EQ(vertexCount(draws[2]), 6u);
    EXPECT_EQ(draws[1].fvf, 0x112u);
    MeshVertex v[6];
    std::memcpy(v, draws[1].vertices.data(), sizeof v);
    EXPECT_EQ(v[0].x, a1->getVertices()[0].x);
    EXPECT_EQ(v[3].x, a2->getVertices()[0].x);
    // The group takes the alpha-test flag of the mesh appended last.
    const MeshManager::Groups& groups = manager().groups(MeshManager::kOrdinary);
    EXPECT_EQ(groups.at(internName("a.bmp"))->alphaTestFlag, 1);
    EXPECT_EQ(count("DrawIndexedPrimitive"), 3);
}

TEST_F(MeshPassTest, EachGroupIsDrawnWithItsOwnAlphaTest) {
    // Group a.bmp alpha-tested (its last mesh asks for it), group b.bmp not;
    // after the ordinary pass alpha testing is off.
    manager().loadMesh("a.x")->setParamB(1);
    manager().loadMesh("b.x");
    for (int frame = 0; frame < 2; ++frame) {
        SCOPED_TRACE(frame);
        std::uint32_t alphaTest = device().state().renderStates[D3DRS_ALPHATESTENABLE];
        pass(MeshManager::kOrdinary);
        std::vector<std::uint32_t> atDraws;
        for (const std::string& call : calls()) {
            if (call == "SetRenderState(D3DRS_ALPHATESTENABLE, 1)") alphaTest = 1;
            if (call == "SetRenderState(D3DRS_ALPHATESTENABLE, 0)") alphaTest = 0;
            if (call.rfind("DrawIndexedPrimitive", 0) == 0) atDraws.push_back(alphaTest);
        }
        EXPECT_EQ(atDraws, (std::vector<std::uint32_t>{1, 0}));
        EXPECT_EQ(alphaTest, 0u);
        EXPECT_EQ(device().state().renderStates[D3DRS_ALPHATESTENABLE], 0u);
    }
}

TEST_F(MeshPassTest, EachPassDrawsItsFamily) {
    auto plain = manager().loadMesh("a.x");
    auto effect = manager().loadMesh("a.x");
    effect->setFlag(1);
    auto shadow = manager().loadMesh("b.x");
    shadow->setParamC(1);
    auto hidden = manager().loadMesh("b.x");
    hidden->setActive(0);
    struct Row {
        MeshManager::Pass pass;
        std::size_t vertices;
        std::string texture;  // "" any
        bool worldFirst;      // the world transform before the material
        const char* diffuse;  // of the pass's material
    } rows[] = {{MeshManager::kOrdinary, 3, "", false, "diffuse (1, 1, 1, 1)"},
                {MeshManager::kEffect, 3, "", true, "diffuse (1, 1, 1, 1)"},
                {MeshManager::kShadow, 6, "null", false, "diffuse (0, 0, 0, 1)"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.pass));
        const std::vector<GfxDrawRecord> draws = pass(row.pass);
        std::size_t material = 0, world = 0;
        const std::vector<std::string> sequence = calls();
        for (std::size_t i = 0; i < sequence.size(); ++i) {
            if (!material && sequence[i].rfind("SetMaterial", 0) == 0) {
                material = i + 1;
                EXPECT_NE(sequence[i].find(row.diffuse), std::string::npos) << sequence[i];
            }
            if (!world && sequence[i].rfind("SetTransform(D3DTS_WORLD", 0) == 0) world = i + 1;
        }
        ASSERT_TRUE(material && world);
        EXPECT_EQ(world < material, row.worldFirst);
        ASSERT_EQ(draws.size(), 1u);
        EXPECT_EQ(vertexCount(draws[0]), row.vertices);
        if (!row.texture.empty()) {
            EXPECT_EQ(draws[0].texture, row.texture);
        } else {
            EXPECT_NE(draws[0].texture, "null");
        }
    }
    // A pass without meshes locks nothing into its buffers and draws nothing:
    // a lock of no bytes would be one of the whole buffer (size 0), and the
    // OpenGL backend would upload all of it every frame.
    manager().clearAll();
    for (MeshManager::Pass which : {MeshManager::kOrdinary, MeshManager::kEffect, MeshManager::kShadow}) {
        EXPECT_TRUE(pass(which).empty());
        EXPECT_TRUE(gfx.callsOf("Lock").empty()) << which;
    }
}

TEST_F(MeshPassTest, GroupsPastTheLimitAreLeftOutAndSaidOnce) {
    manager().loadMesh("a.x");     // key a.bmp (pooled first), 3 vertices
    manager().loadMesh("big.x");   // key b.bmp, 40,002 vertices
    manager().loadMesh("big2.x");  // key a.bmp too: 40,005 in group a
    manager().loadMesh("plain.x");
    for (int frame = 0; frame < 2; ++frame) {
        const std::vector<GfxDrawRecord> draws = pass(MeshManager::kOrdinary);
        // The empty group, then a (40,005 vertices), then b would pass 65,535.
        ASSERT_EQ(draws.size(), 2u);
        EXPECT_EQ(vertexCount(draws[1]), 40005u);
    }
    int lines = 0;
    for (const std::string& line : log.logLines()) lines += line.find("65535") != std::string::npos;
    EXPECT_EQ(lines, 1);

    // One mesh of 21,846 faces over three corners: 65,538 indices, counted
    // in full (not wrapped to 2), so its group is left out, not drawn from
    // two stray indices.
    manager().clearAll();
    manager().loadMesh("a.x");
    auto many = manager().loadMesh("many.x");
    EXPECT_EQ(many->getIndexCount(), 65538u);
    EXPECT_EQ(many->getVertexCount(), 3u);
    const std::vector<GfxDrawRecord> draws = pass(MeshManager::kOrdinary);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(vertexCount(draws[0]), 3u);
    EXPECT_EQ(manager().groups(MeshManager::kOrdinary).at(internName("b.bmp"))->getIndexCount(), 65538u);
}

TEST_F(MeshPassTest, ASkippedFrameFillsTheBuffersAndDrawsNothing) {
    manager().loadMesh("a.x");
    manager().loadMesh("b.x");
    SkippingPeers peers;
    g_frameCounter = new FrameCounter(peers);
    g_frameCounter->onPresent();  // frame 1: odd, skipped at double speed
    EXPECT_TRUE(pass(MeshManager::kOrdinary).empty());
    // Both buffers were filled: 9 vertices of 32 bytes, 9 indices.
    const std::vector<std::string> locks = gfx.callsOf("Lock");
    ASSERT_EQ(locks.size(), 2u);
    EXPECT_NE(locks[0].find(", 0, 288, "), std::string::npos) << locks[0];
    EXPECT_NE(locks[1].find(", 0, 18, "), std::string::npos) << locks[1];
    EXPECT_EQ(gfx.callsOf("Unlock").size(), 2u);
    g_frameCounter->onPresent();  // frame 2: drawn
    EXPECT_EQ(pass(MeshManager::kOrdinary).size(), 2u);
    delete g_frameCounter;
    g_frameCounter = nullptr;
}

TEST_F(MeshPassTest, FailedLocksAndDrawsSayWhichPassAndGroup) {
    struct Row {
        MeshManager::Pass pass;
        std::int32_t effect, shadow;
        const char *lockLine, *drawLine;
    } rows[] = {
        {MeshManager::kOrdinary, 0, 0, ".\\Src\\MeshManager:464  FAILED", ".\\Src\\MeshManager:517  FAILED"},
        {MeshManager::kEffect, 1, 0, ".\\Src\\MeshManager:663  FAILED", ".\\Src\\MeshManager:709  FAILED"},
        {MeshManager::kShadow, 0, 1, ".\\Src\\MeshManager:840  FAILED", ".\\Src\\MeshManager:890  FAILED"},
    };
    auto drawPass = [this](MeshManager::Pass which) {
        device().beginScene();
        HRESULT hr = S_OK;
        switch (which) {
            case MeshManager::kOrdinary: manager().calcMeshGroup(); hr = manager().drawMeshGroup(); break;
            case MeshManager::kEffect: manager().calcEffectMeshGroup(); hr = manager().drawEffectMeshGroup(); break;
            case MeshManager::kShadow: manager().calcShadowMeshGroup(); hr = manager().drawShadowMeshGroup(); break;
        }
        device().endScene();
        return hr;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.drawLine);
        manager().clearAll();
        for (const char* file : {"a.x", "b.x"}) {
            auto mesh = manager().loadMesh(file);
            mesh->setFlag(row.effect);
            mesh->setParamC(row.shadow);
        }
        // The vertex buffer's lock fails: the pass ends with its code.
        gfx.faults.failNext("Lock", D3DERR_INVALIDCALL);
        gfx.clearCalls();
        EXPECT_EQ(drawPass(row.pass), D3DERR_INVALIDCALL);
        EXPECT_TRUE(gfx.draws().empty());
        std::vector<std::string> lines = linesFrom(row.lockLine);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[1], "D3DERR_INVALIDCALL");

        // The first group's draw fails: its line, the group's numbers, and
        // the second group is not tried.
        gfx.faults.failNext("DrawIndexedPrimitive", D3DERR_INVALIDCALL);
        gfx.clearCalls();
        EXPECT_EQ(drawPass(row.pass), D3DERR_INVALIDCALL);
        EXPECT_EQ(gfx.callsOf("DrawIndexedPrimitive").size(), 1u);
        lines = linesFrom(row.drawLine);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[1], "D3DERR_INVALIDCALL");
        EXPECT_EQ(lines[2], "a.bmp tmpoffset 0 totalvertexnum 9 tmpnumindex 0 groupnumindex 3 ");
    }
}

TEST_F(MeshPassTest, FailedBuffersDrawNothingAndSaySoOnce) {
    gfx.faults.failNext("CreateVertexBuffer", E_OUTOFMEMORY);
    manager().loadMesh("a.x");
    EXPECT_EQ(linesFrom(".\\Src\\MeshManager:227  FAILED").size() >= 2, true);
    for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(pass(MeshManager::kOrdinary).empty());
    int lines = 0;
    for (const std::string& line : log.logLines()) lines += line == ".\\Src\\MeshManager:464  FAILED";
    EXPECT_EQ(lines, 1);
    // The other passes had their buffers.
    manager().findById(1)->setFlag(1);
    EXPECT_EQ(pass(MeshManager::kEffect).size(), 1u);
}

TEST_F(MeshPassTest, EmptyAppendsChangeNothing) {
    MeshGroup group(nullptr);
    const MeshVertex v[2] = {};
    const std::uint16_t i[3] = {0, 1, 1};
    group.append(v, i, 0, 0);
    group.append(v, i, 2, 0);
    EXPECT_EQ(group.getVertexCount(), 0u);
    EXPECT_EQ(group.getVertexBase(), 0u);
    group.append(v, i, 2, 3);
    EXPECT_EQ(group.getVertexBase(), 2u);
    EXPECT_EQ(group.getIndexCount(), 3u);
}

}  // namespace

namespace {

// A clock that moves one millisecond at every reading: a section that is
// begun and ended shows at least one millisecond.
struct TickingClock : FakeClock {
    std::uint32_t timeGetTime() override {
        const std::uint32_t now = FakeClock::timeGetTime();
        advance(1);
        return now;
    }
};

// Each pass times its grouping, the filling of its buffers and its draws in
// sections of its own; a pass without a frame counter times nothing.
TEST_F(MeshPassTest, EachPassIsTimedInItsOwnSections) {
    manager().loadMesh("a.x");
    manager().loadMesh("plain.x")->setFlag(1);
    manager().loadMesh("b.x")->setParamC(1);
    TickingClock clock;
    clock.set(1000);
    Clock::setInstance(&clock);
    FrameCounter frames;
    g_frameCounter = &frames;
    pass(MeshManager::kOrdinary);
    pass(MeshManager::kEffect);
    g_frameCounter = nullptr;
    pass(MeshManager::kShadow);
    clock.advance(1000);  // the profile folds at the next Present
    frames.onPresent();
    for (const char* measured : {"calcMeshGroup", "drawMeshGroup1", "drawMeshGroup2", "calcEffectMeshGroup",
                                 "drawEffectMeshGroup1", "drawEffectMeshGroup2"})
        EXPECT_GE(frames.getSectionAverage(measured), 1.0f) << measured;
    for (const char* unmeasured : {"calcShadowMeshGroup", "drawShadowMeshGroup1", "drawShadowMeshGroup2"})
        EXPECT_EQ(frames.getSectionAverage(unmeasured), 0.0f) << unmeasured;
    Clock::setInstance(nullptr);
}

// The frame pass draws the ordinary and the shadow meshes at their places,
// and only while the 3-D background is drawn.
TEST_F(MeshPassTest, TheFrameDrawsTheMeshesOnlyWithTheBackground) {
    manager().loadMesh("a.x");
    manager().loadMesh("b.x")->setParamC(1);
    g_meshManager = &manager();
    for (const std::uint32_t drawBg : {1u, 0u}) {
        SCOPED_TRACE(drawBg);
        delete g_systemInfo;
        g_systemInfo = new SystemInfo();
        g_systemInfo->setDrawBg(drawBg);
        gfx.clearCalls();
        EXPECT_EQ(renderFrame(), S_OK);
        std::size_t meshVertices = 0;
        for (const GfxDrawRecord& draw : gfx.draws())
            if (draw.fvf == 0x112u) meshVertices += vertexCount(draw);
        EXPECT_EQ(meshVertices, drawBg ? 3u + 6u : 0u);
    }
    g_meshManager = nullptr;
}

}  // namespace
